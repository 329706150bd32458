// Checks of the store's file and pages before LMDB is let near them (layout in store_file.h).
#include "store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

struct PageHeader {
    size_t pgno;
    uint16_t pad;
    uint16_t flags;
    uint16_t lower;
    uint16_t upper;
};

constexpr size_t kHeaderSize = sizeof(PageHeader);
constexpr size_t kNodeSize = 8;
constexpr uint32_t kMagic = 0xBEEFC0DE;
constexpr uint32_t kDataVersion = 1;
constexpr size_t kNoPage = ~size_t{0};
constexpr size_t kMetaPages = 2;
constexpr size_t kMinPageSize = 512;
constexpr size_t kMaxPageSize = 32768;  // node offsets are 16 bits
constexpr unsigned kMaxDepth = 32;      // LMDB's cursor holds no more levels
constexpr size_t kMaxKeySize = 511;
constexpr int kMetaReads = 3;

constexpr uint16_t kBranchPage = 0x01;
constexpr uint16_t kLeafPage = 0x02;
constexpr uint16_t kOverflowPage = 0x04;
constexpr uint16_t kMetaPage = 0x08;

constexpr uint16_t kBigValue = 0x01;  // the value is on overflow pages
constexpr uint16_t kSubTree = 0x02;   // a named database
constexpr uint16_t kDuplicates = 0x04;
constexpr uint16_t kSortedDuplicates = 0x04;  // of a tree

std::string PageName(size_t pgno) {
    return "page " + std::to_string(pgno);
}

std::string Hex(unsigned value) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", value);
    return text;
}

// Reads size bytes at offset; false with a reason on a short read.
bool ReadAt(int fd, uint64_t offset, void* buffer, size_t size, std::string* error) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, static_cast<char*>(buffer) + done, size - done,
                                static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = n < 0 ? strerror(errno) : "end of file";
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

uint64_t FileSize(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

// Reads meta page index (at offset pageSize * index) and checks its header, magic and version.
bool ReadMetaPage(int fd, size_t index, size_t pageSize, StoreMeta* meta, std::string* error) {
    unsigned char bytes[kHeaderSize + sizeof(StoreMeta)];
    std::string why;
    if (!ReadAt(fd, uint64_t{pageSize} * index, bytes, sizeof bytes, &why)) {
        *error = "truncated: meta page " + std::to_string(index) + " is cut short";
        return false;
    }
    PageHeader header;
    memcpy(&header, bytes, kHeaderSize);
    memcpy(meta, bytes + kHeaderSize, sizeof *meta);
    if (header.flags != kMetaPage || header.pgno != index || meta->magic != kMagic) {
        *error = "not a store: page " + std::to_string(index) + " is no LMDB meta page";
        return false;
    }
    if (meta->version != kDataVersion) {
        *error = "not a store: LMDB data format " + std::to_string(meta->version) + ", not " +
                 std::to_string(kDataVersion);
        return false;
    }
    const size_t size = meta->trees[kFreeTree].pad;
    if (size < kMinPageSize || size > kMaxPageSize || (size & (size - 1)) != 0) {
        *error = "damaged: meta page " + std::to_string(index) + " gives a page size of " +
                 std::to_string(size);
        return false;
    }
    return true;
}

// The current meta's pages and roots must lie inside the file: LMDB maps pages past its end
// and dies of SIGBUS when it touches them.
bool CheckMeta(const StoreMeta& meta, size_t pageSize, uint64_t fileSize, std::string* error) {
    if (meta.lastPage < kMetaPages - 1 || meta.lastPage >= fileSize / pageSize) {
        *error = "truncated: " + std::to_string(fileSize) + " bytes, shorter than the " +
                 std::to_string(meta.lastPage + uint64_t{1}) + " pages of " +
                 std::to_string(pageSize) + " bytes its meta page counts";
        return false;
    }
    static const char* const kNames[] = {"free", "main"};
    for (int tree : {kFreeTree, kMainTree}) {
        const StoreTreeRecord& record = meta.trees[tree];
        const bool empty = record.root == kNoPage;
        if (empty ? record.depth != 0
                  : record.root < kMetaPages || record.root > meta.lastPage || record.depth == 0 ||
                        record.depth > kMaxDepth) {
            *error = std::string("damaged: the ") + kNames[tree] + " tree's root page " +
                     (empty ? "is none" : std::to_string(record.root)) + " at depth " +
                     std::to_string(record.depth) + " does not fit pages 2 to " +
                     std::to_string(meta.lastPage);
            return false;
        }
    }
    return true;
}

// Both meta pages, each checked.
bool ReadMetaPages(int fd, StoreMeta metas[2], std::string* error) {
    if (!ReadMetaPage(fd, 0, 0, &metas[0], error))
        return false;
    const size_t pageSize = metas[0].trees[kFreeTree].pad;
    if (!ReadMetaPage(fd, 1, pageSize, &metas[1], error))
        return false;
    if (metas[1].trees[kFreeTree].pad != pageSize) {
        *error = "damaged: meta pages 0 and 1 give page sizes " + std::to_string(pageSize) +
                 " and " + std::to_string(metas[1].trees[kFreeTree].pad);
        return false;
    }
    return true;
}

// Everything a walk of the pages carries along.
struct WalkState {
    const StoreFile* file;
    const StoreMeta* meta;
    bool firstOnly;
    const std::function<void(const StoreEntry&)>* onEntry;
    size_t pageSize;
    std::vector<uint8_t> use;                   // per page: kUnused, kInUse or kFree
    const uint8_t* whole;                       // the whole file, when it is small
    std::vector<uint8_t> image;                 // which is read into this
    std::vector<std::vector<uint8_t>> buffers;  // else one page per level of the tree
    std::string previousKey;                    // of the last leaf of the tree walked
    bool havePrevious;
    size_t pages[2][3];  // per tree: branch, leaf and overflow pages found
    size_t entries[2];
    bool subTrees;
    std::vector<size_t> freePages;
    StoreEntry entry;
    StoreWalk result;
};

constexpr uint8_t kUnused = 0;
constexpr uint8_t kInUse = 1;
constexpr uint8_t kFree = 2;

bool Stopped(const WalkState& state) {
    return state.firstOnly && !state.result.damage.empty();
}

void Damage(WalkState& state, size_t pgno, const std::string& what) {
    state.result.damage.push_back({PageName(pgno), what});
}

std::string NodeName(size_t index) {
    return "node " + std::to_string(index);
}

// LMDB's order of the main tree's keys (bytes, then length) and of the free tree's (txnids).
int CompareKeys(int tree, std::string_view a, std::string_view b) {
    if (tree == kFreeTree && a.size() == sizeof(size_t) && b.size() == sizeof(size_t)) {
        size_t x, y;
        memcpy(&x, a.data(), sizeof x);
        memcpy(&y, b.data(), sizeof y);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return a.compare(b);
}

// A small store is read whole, in one call; a big one a page at a time.
constexpr uint64_t kWholeFileSize = uint64_t{1} << 20;

// size bytes at offset, from the whole file or read into *buffer; null with a reason on a short
// read.
const uint8_t* ReadBytes(WalkState& state, uint64_t offset, size_t size,
                         std::vector<uint8_t>* buffer, std::string* why) {
    if (state.whole != nullptr)
        return state.whole + offset;
    buffer->resize(size);
    return ReadAt(state.file->fd, offset, buffer->data(), size, why) ? buffer->data() : nullptr;
}

bool PageInRange(const WalkState& state, size_t pgno) {
    return pgno >= kMetaPages && pgno <= state.meta->lastPage;
}

std::string OutOfRange(const WalkState& state, size_t pgno) {
    return "page " + std::to_string(pgno) + ", outside pages 2 to " +
           std::to_string(state.meta->lastPage);
}

// Claims count pages from pgno for one use; false (with the damage noted) when one is taken.
bool ClaimPages(WalkState& state, size_t from, size_t pgno, size_t count) {
    for (size_t page = pgno; page < pgno + count; ++page) {
        if (state.use[page] != kUnused) {
            Damage(state, from, "names page " + std::to_string(page) + ", in use elsewhere");
            return false;
        }
        state.use[page] = kInUse;
    }
    return true;
}

// The value of a node with flag kBigValue: its overflow pages checked, its bytes in *value.
bool ReadOverflow(WalkState& state, int tree, size_t from, const std::string& node, size_t pgno,
                  size_t size, std::vector<uint8_t>* value) {
    if (!PageInRange(state, pgno)) {
        Damage(state, from, node + "'s value is on " + OutOfRange(state, pgno));
        return false;
    }
    std::string why;
    const uint8_t* bytes =
        ReadBytes(state, uint64_t{state.pageSize} * pgno, kHeaderSize, value, &why);
    if (bytes == nullptr) {
        Damage(state, pgno, "cannot be read: " + why);
        return false;
    }
    PageHeader header;
    memcpy(&header, bytes, kHeaderSize);
    uint32_t count = 0;
    memcpy(&count, bytes + offsetof(PageHeader, lower), sizeof count);
    if (header.pgno != pgno || header.flags != kOverflowPage) {
        Damage(state, pgno,
               header.pgno != pgno
                   ? "is marked as page " + std::to_string(header.pgno)
                   : "has flags " + Hex(header.flags) + " where an overflow page belongs");
        return false;
    }
    if (count == 0 || count > state.meta->lastPage - pgno + 1 ||
        size > uint64_t{count} * state.pageSize - kHeaderSize) {
        Damage(state, pgno,
               "holds " + std::to_string(size) + " bytes in " + std::to_string(count) +
                   " pages, which do not fit up to page " + std::to_string(state.meta->lastPage));
        return false;
    }
    if (!ClaimPages(state, from, pgno, count))
        return false;
    state.pages[tree][2] += count;
    const uint64_t offset = uint64_t{state.pageSize} * pgno + kHeaderSize;
    if (state.whole != nullptr) {
        value->assign(state.whole + offset, state.whole + offset + size);
    } else if (ReadBytes(state, offset, size, value, &why) == nullptr) {
        Damage(state, pgno, "cannot be read: " + why);
        return false;
    }
    return true;
}

// A value of the free tree: a count, then that many page numbers, each freed once.
void CheckFreeList(WalkState& state, size_t from, const std::string& node,
                   const std::vector<uint8_t>& value) {
    size_t count = 0;
    if (value.size() >= sizeof count)
        memcpy(&count, value.data(), sizeof count);
    if (value.size() % sizeof count != 0 || value.size() < sizeof count ||
        count > value.size() / sizeof count - 1) {
        Damage(state, from, node + " is no list of free pages");
        return;
    }
    for (size_t i = 1; i <= count; ++i) {
        size_t pgno;
        memcpy(&pgno, value.data() + i * sizeof pgno, sizeof pgno);
        if (!PageInRange(state, pgno)) {
            Damage(state, from, node + " frees " + OutOfRange(state, pgno));
            return;
        }
        state.freePages.push_back(pgno);
    }
}

struct KeyRange {
    const std::string_view* low;   // every key of the subtree is at least this, when given
    const std::string_view* high;  // and below this
};

void WalkPage(WalkState& state, int tree, size_t pgno, unsigned level, KeyRange range);

// One node of a page: its bounds, its key's place in the order, its value or child.
bool WalkNode(WalkState& state, int tree, size_t pgno, unsigned level, bool leaf, size_t index,
              const PageHeader& header, const uint8_t* page, KeyRange range) {
    const std::string node = NodeName(index);
    const size_t count = (header.lower - kHeaderSize) / 2;
    const uint16_t upper = header.upper;
    uint16_t offset;
    memcpy(&offset, page + kHeaderSize + 2 * index, sizeof offset);
    if (offset < upper || offset % 2 != 0 || offset + kNodeSize > state.pageSize) {
        Damage(state, pgno, node + " lies outside the page");
        return false;
    }
    uint32_t sizeOrPage;
    uint16_t flags, keySize;
    memcpy(&sizeOrPage, page + offset, sizeof sizeOrPage);
    memcpy(&flags, page + offset + 4, sizeof flags);
    memcpy(&keySize, page + offset + 6, sizeof keySize);
    const size_t keyEnd = offset + kNodeSize + keySize;
    if (keyEnd > state.pageSize) {
        Damage(state, pgno, node + "'s key runs past the end of the page");
        return false;
    }
    const std::string_view key(reinterpret_cast<const char*>(page) + offset + kNodeSize, keySize);
    // A branch's first key is never compared; every other key is ordered.
    const bool ordered = leaf || index > 0;
    const bool keySizeOk = tree == kMainTree ? keySize <= kMaxKeySize : keySize == sizeof(size_t);
    if (ordered && !keySizeOk) {
        Damage(state, pgno, node + " has a key of " + std::to_string(keySize) + " bytes");
        return false;
    }
    if (ordered &&
        ((range.low != nullptr && CompareKeys(tree, key, *range.low) < 0) ||
         (range.high != nullptr && CompareKeys(tree, key, *range.high) >= 0) ||
         (leaf && state.havePrevious && CompareKeys(tree, key, state.previousKey) <= 0))) {
        Damage(state, pgno, node + "'s key is out of order");
        return false;
    }
    if (!leaf) {
        size_t child = sizeOrPage;
        if (sizeof(size_t) > 4)
            child |= static_cast<size_t>(static_cast<uint64_t>(flags) << 16 << 16);
        if (!PageInRange(state, child)) {
            Damage(state, pgno, node + " names " + OutOfRange(state, child));
            return false;
        }
        // The child's keys lie from this node's key up to the next node's.
        std::string_view high;
        KeyRange childRange = {index > 0 ? &key : range.low, range.high};
        if (index + 1 < count) {
            uint16_t next;
            memcpy(&next, page + kHeaderSize + 2 * (index + 1), sizeof next);
            uint16_t nextKeySize = 0;
            if (next >= upper && next % 2 == 0 && next + kNodeSize <= state.pageSize)
                memcpy(&nextKeySize, page + next + 6, sizeof nextKeySize);
            if (next + kNodeSize + nextKeySize <= state.pageSize) {
                high = std::string_view(reinterpret_cast<const char*>(page) + next + kNodeSize,
                                        nextKeySize);
                childRange.high = &high;
            }
        }
        WalkPage(state, tree, child, level + 1, childRange);
        return !Stopped(state);
    }
    // A named database's record lies in the node itself, and duplicates only in a tree that sorts
    // them: LMDB follows either as a tree of its own.
    const bool subTree = (flags & kSubTree) != 0, duplicates = (flags & kDuplicates) != 0;
    if ((flags & ~(kBigValue | kSubTree | kDuplicates)) != 0 ||
        (tree == kFreeTree && (subTree || duplicates)) ||
        (duplicates && (state.meta->trees[tree].flags & kSortedDuplicates) == 0) ||
        (subTree && ((flags & kBigValue) != 0 || sizeOrPage != sizeof(StoreTreeRecord)))) {
        Damage(state, pgno, node + " has flags " + Hex(flags));
        return false;
    }
    std::vector<uint8_t>& value = state.entry.value;
    if ((flags & kBigValue) != 0) {
        size_t overflow;
        if (keyEnd + sizeof overflow > state.pageSize) {
            Damage(state, pgno, node + "'s value runs past the end of the page");
            return false;
        }
        memcpy(&overflow, page + keyEnd, sizeof overflow);
        if (!ReadOverflow(state, tree, pgno, node, overflow, sizeOrPage, &value))
            return false;
    } else if (keyEnd + sizeOrPage > state.pageSize) {
        Damage(state, pgno, node + "'s value runs past the end of the page");
        return false;
    } else {
        value.assign(page + keyEnd, page + keyEnd + sizeOrPage);
    }
    state.previousKey.assign(key);
    state.havePrevious = true;
    ++state.entries[tree];
    if (tree == kFreeTree) {
        CheckFreeList(state, pgno, node, value);
        return !Stopped(state);
    }
    state.subTrees = state.subTrees || subTree || duplicates;
    state.entry.key.assign(key);
    state.entry.subTree = subTree || duplicates;
    (*state.onEntry)(state.entry);
    return true;
}

void WalkPage(WalkState& state, int tree, size_t pgno, unsigned level, KeyRange range) {
    if (state.use[pgno] != kUnused) {
        Damage(state, pgno, "is reached twice");
        return;
    }
    state.use[pgno] = kInUse;
    const bool leaf = level + 1 == state.meta->trees[tree].depth;
    std::string why;
    const uint8_t* page = ReadBytes(state, uint64_t{state.pageSize} * pgno, state.pageSize,
                                    &state.buffers[level], &why);
    if (page == nullptr) {
        Damage(state, pgno, "cannot be read: " + why);
        return;
    }
    PageHeader header;
    memcpy(&header, page, kHeaderSize);
    if (header.pgno != pgno) {
        Damage(state, pgno, "is marked as page " + std::to_string(header.pgno));
        return;
    }
    if (header.flags != (leaf ? kLeafPage : kBranchPage)) {
        Damage(state, pgno,
               "has flags " + Hex(header.flags) + " where a " + (leaf ? "leaf" : "branch") +
                   " page belongs");
        return;
    }
    if (header.lower < kHeaderSize || header.lower > header.upper ||
        header.upper > state.pageSize || (header.lower - kHeaderSize) % 2 != 0) {
        Damage(state, pgno,
               "has impossible bounds (lower " + std::to_string(header.lower) + ", upper " +
                   std::to_string(header.upper) + ")");
        return;
    }
    const size_t count = (header.lower - kHeaderSize) / 2;
    // LMDB asserts that a branch of the main tree has two children at least.
    const size_t least = leaf ? 1 : tree == kMainTree ? 2 : 1;
    if (count < least) {
        Damage(state, pgno,
               std::string("is a ") + (leaf ? "leaf" : "branch") + " page of " +
                   std::to_string(count) + (count == 1 ? " node" : " nodes"));
        return;
    }
    ++state.pages[tree][leaf ? 1 : 0];
    for (size_t i = 0; i < count; ++i) {
        if (!WalkNode(state, tree, pgno, level, leaf, i, header, page, range))
            return;
    }
}

std::string Counted(size_t count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// What the trees' records and the free list say against what the walk found.
void CheckCounts(WalkState& state) {
    static const char* const kNames[] = {"free", "main"};
    static const char* const kKinds[] = {"branch page", "leaf page", "overflow page"};
    for (int tree : {kFreeTree, kMainTree}) {
        const StoreTreeRecord& record = state.meta->trees[tree];
        const size_t counted[] = {record.branchPages, record.leafPages, record.overflowPages};
        for (int kind = 0; kind < 3; ++kind) {
            if (counted[kind] != state.pages[tree][kind]) {
                state.result.miscounts.push_back(
                    {"store", std::string("the ") + kNames[tree] + " tree counts " +
                                  Counted(counted[kind], kKinds[kind]) + ", holds " +
                                  std::to_string(state.pages[tree][kind])});
            }
        }
        if (record.entries != state.entries[tree]) {
            state.result.miscounts.push_back(
                {"store", std::string("the ") + kNames[tree] + " tree counts " +
                              Counted(record.entries, "entry") + ", holds " +
                              std::to_string(state.entries[tree])});
        }
    }
    // Pages of named databases are not walked: they would count as lost.
    size_t unused = 0;
    for (size_t pgno = kMetaPages; pgno < state.use.size(); ++pgno)
        unused += state.use[pgno] == kUnused ? 1 : 0;
    if (unused > 0 && !state.subTrees) {
        state.result.miscounts.push_back(
            {"store", Counted(unused, "page") + " neither in use nor free"});
    }
}

}  // namespace

bool OpenStoreFile(const std::string& path, StoreFile* file, std::string* error) {
    *file = StoreFile();
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        *error = strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = "not a regular file";
        return false;
    }
    file->fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file->fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        file->readOnly = true;
        file->whyReadOnly = strerror(errno);
        file->fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    }
    if (file->fd < 0) {
        *error = strerror(errno);
        return false;
    }
    // LMDB would set up an empty file as a new store.
    bool ok = FileSize(file->fd) > 0;
    if (!ok)
        *error = "empty file, not a store";
    // A meta read while a writer writes it can be half old, half new: a refusal holds only
    // when it is read so again.
    for (int attempt = 0; ok && attempt < kMetaReads; ++attempt) {
        StoreMeta metas[2];
        ok = ReadMetaPages(file->fd, metas, error);
        if (ok) {
            file->pageSize = metas[0].trees[kFreeTree].pad;
            file->meta = metas[metas[1].txnid > metas[0].txnid ? 1 : 0];
            ok = CheckMeta(file->meta, file->pageSize, FileSize(file->fd), error);
        }
        if (ok)
            break;
        ok = attempt + 1 < kMetaReads;
    }
    if (!ok)
        CloseStoreFile(file);
    return ok;
}

void CloseStoreFile(StoreFile* file) {
    if (file->fd >= 0)
        close(file->fd);
    file->fd = -1;
}

bool ReadStoreMeta(const StoreFile& file, size_t txnid, StoreMeta* meta, std::string* error) {
    StoreMeta metas[2];
    if (!ReadMetaPages(file.fd, metas, error))
        return false;
    if (metas[0].trees[kFreeTree].pad != file.pageSize) {
        *error =
            "damaged: the page size changed to " + std::to_string(metas[0].trees[kFreeTree].pad);
        return false;
    }
    const int newest = metas[1].txnid > metas[0].txnid ? 1 : 0;
    const StoreMeta* found = txnid == kNewestMeta      ? &metas[newest]
                             : metas[0].txnid == txnid ? &metas[0]
                             : metas[1].txnid == txnid ? &metas[1]
                                                       : nullptr;
    if (found == nullptr) {
        *error = "changed while it was read";
        return false;
    }
    *meta = *found;
    return CheckMeta(*meta, file.pageSize, FileSize(file.fd), error);
}

bool StoreMetaHeld(const StoreFile& file, const StoreMeta& meta, bool unlocked) {
    StoreMeta now;
    std::string error;
    StoreMeta newest;
    return ReadStoreMeta(file, meta.txnid, &now, &error) && memcmp(&now, &meta, sizeof now) == 0 &&
           (!unlocked ||
            (ReadStoreMeta(file, kNewestMeta, &newest, &error) && newest.txnid <= meta.txnid + 1));
}

bool ReadStoreImage(const StoreFile& file, const StoreMeta& meta, std::vector<uint8_t>* image,
                    std::string* error) {
    image->resize((meta.lastPage + uint64_t{1}) * file.pageSize);
    if (ReadAt(file.fd, 0, image->data(), image->size(), error))
        return true;
    *error = "cannot be read: " + *error;
    return false;
}

StoreWalk WalkStore(const StoreFile& file, const StoreMeta& meta, const std::vector<uint8_t>* image,
                    bool firstOnly, const std::function<void(const StoreEntry&)>& onEntry) {
    WalkState state = {};
    state.file = &file;
    state.meta = &meta;
    state.firstOnly = firstOnly;
    state.onEntry = &onEntry;
    state.pageSize = file.pageSize;
    state.use.assign(meta.lastPage + 1, kUnused);
    state.use[0] = state.use[1] = kInUse;
    std::string why;
    if (image == nullptr && (uint64_t{meta.lastPage} + 1) * file.pageSize <= kWholeFileSize) {
        if (!ReadStoreImage(file, meta, &state.image, &why)) {
            state.result.damage.push_back({"store", why});
            return state.result;
        }
        image = &state.image;
    }
    state.whole = image != nullptr ? image->data() : nullptr;
    for (int tree : {kFreeTree, kMainTree}) {
        const StoreTreeRecord& record = meta.trees[tree];
        if (record.root == kNoPage || Stopped(state))
            continue;
        state.buffers.resize(record.depth);
        state.havePrevious = false;
        WalkPage(state, tree, record.root, 0, KeyRange{nullptr, nullptr});
    }
    // A page both in use and free would be handed out while it holds data.
    for (size_t pgno : state.freePages) {
        if (Stopped(state))
            break;
        if (state.use[pgno] != kUnused) {
            Damage(state, pgno,
                   state.use[pgno] == kFree ? "is free twice" : "is both in use and free");
        }
        state.use[pgno] = kFree;
    }
    if (state.result.damage.empty())
        CheckCounts(state);
    state.result.entries = state.entries[kMainTree];
    for (uint8_t use : state.use)
        state.result.pages += use == kInUse ? 1 : 0;
    return state.result;
}

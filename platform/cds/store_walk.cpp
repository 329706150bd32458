// The walk of every page of the store's trees, each checked before it is followed (layout in
// store_file.h).
#include <cstdio>
#include <cstring>
#include <string_view>

#include "store_file.h"

namespace {

constexpr size_t kMaxKeySize = 511;
constexpr uint16_t kSortedDuplicates = 0x04;  // a tree's flag

std::string PageName(size_t pgno) {
    return "page " + std::to_string(pgno);
}

std::string Hex(unsigned value) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", value);
    return text;
}

// Everything a walk of the pages carries along.
struct WalkState {
    const StoreFile* file;
    const StoreMeta* meta;
    bool firstOnly;
    const std::function<bool(const StoreEntry&)>* onEntry;
    bool wantEntries;  // onEntry has not said it wants no more
    size_t pageSize;
    std::vector<uint8_t> use;                   // per page: kUnused, kInUse or kFree
    const uint8_t* whole;                       // the whole file, when it is small
    StoreImage image;                           // which is read into this
    std::vector<std::vector<uint8_t>> buffers;  // else one page per level of the tree
    std::string_view previousKey;  // of the last leaf of the tree walked, in a page read
    std::string previousCopy;      // or here, when that page's buffer is read over
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
    return ReadStoreBytes(state.file->fd, offset, buffer->data(), size, why) ? buffer->data()
                                                                             : nullptr;
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

// The value of a node with flag kBigValue: its overflow pages checked, its bytes in *value
// unless value is null.
bool ReadOverflow(WalkState& state, int tree, size_t from, size_t node, size_t pgno, size_t size,
                  std::vector<uint8_t>* value) {
    if (!PageInRange(state, pgno)) {
        Damage(state, from, NodeName(node) + "'s value is on " + OutOfRange(state, pgno));
        return false;
    }
    std::string why;
    std::vector<uint8_t> buffer;
    const uint8_t* bytes =
        ReadBytes(state, uint64_t{state.pageSize} * pgno, kPageHeaderSize, &buffer, &why);
    if (bytes == nullptr) {
        Damage(state, pgno, "cannot be read: " + why);
        return false;
    }
    StorePageHeader header;
    memcpy(&header, bytes, kPageHeaderSize);
    uint32_t count = 0;
    memcpy(&count, bytes + offsetof(StorePageHeader, lower), sizeof count);
    if (header.pgno != pgno || header.flags != kOverflowPage) {
        Damage(state, pgno,
               header.pgno != pgno
                   ? "is marked as page " + std::to_string(header.pgno)
                   : "has flags " + Hex(header.flags) + " where an overflow page belongs");
        return false;
    }
    if (count == 0 || count > state.meta->lastPage - pgno + 1 ||
        size > uint64_t{count} * state.pageSize - kPageHeaderSize) {
        Damage(state, pgno,
               "holds " + std::to_string(size) + " bytes in " + std::to_string(count) +
                   " pages, which do not fit up to page " + std::to_string(state.meta->lastPage));
        return false;
    }
    if (!ClaimPages(state, from, pgno, count))
        return false;
    state.pages[tree][2] += count;
    const uint64_t offset = uint64_t{state.pageSize} * pgno + kPageHeaderSize;
    if (value == nullptr)
        return true;
    if (state.whole != nullptr) {
        value->assign(state.whole + offset, state.whole + offset + size);
    } else if (ReadBytes(state, offset, size, value, &why) == nullptr) {
        Damage(state, pgno, "cannot be read: " + why);
        return false;
    }
    return true;
}

// A value of the free tree: a count, then that many page numbers, each freed once.
void CheckFreeList(WalkState& state, size_t from, size_t node, const std::vector<uint8_t>& value) {
    size_t count = 0;
    if (value.size() >= sizeof count)
        memcpy(&count, value.data(), sizeof count);
    if (value.size() % sizeof count != 0 || value.size() < sizeof count ||
        count > value.size() / sizeof count - 1) {
        Damage(state, from, NodeName(node) + " is no list of free pages");
        return;
    }
    for (size_t i = 1; i <= count; ++i) {
        size_t pgno;
        memcpy(&pgno, value.data() + i * sizeof pgno, sizeof pgno);
        if (!PageInRange(state, pgno)) {
            Damage(state, from, NodeName(node) + " frees " + OutOfRange(state, pgno));
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
              const StorePageHeader& header, const uint8_t* page, KeyRange range) {
    const size_t count = (header.lower - kPageHeaderSize) / 2;
    const uint16_t upper = header.upper;
    uint16_t offset;
    memcpy(&offset, page + kPageHeaderSize + 2 * index, sizeof offset);
    if (offset < upper || offset % 2 != 0 || offset + kNodeSize > state.pageSize) {
        Damage(state, pgno, NodeName(index) + " lies outside the page");
        return false;
    }
    uint32_t sizeOrPage;
    uint16_t flags, keySize;
    memcpy(&sizeOrPage, page + offset, sizeof sizeOrPage);
    memcpy(&flags, page + offset + 4, sizeof flags);
    memcpy(&keySize, page + offset + 6, sizeof keySize);
    const size_t keyEnd = offset + kNodeSize + keySize;
    if (keyEnd > state.pageSize) {
        Damage(state, pgno, NodeName(index) + "'s key runs past the end of the page");
        return false;
    }
    const std::string_view key(reinterpret_cast<const char*>(page) + offset + kNodeSize, keySize);
    // A branch's first key is never compared; every other key is ordered.
    const bool ordered = leaf || index > 0;
    const bool keySizeOk = tree == kMainTree ? keySize <= kMaxKeySize : keySize == sizeof(size_t);
    if (ordered && !keySizeOk) {
        Damage(state, pgno,
               NodeName(index) + " has a key of " + std::to_string(keySize) + " bytes");
        return false;
    }
    // A leaf's keys rise from the one before, so only its first and last are held to the range.
    const bool first = !leaf || index == 0, last = !leaf || index + 1 == count;
    if (ordered &&
        ((first && range.low != nullptr && CompareKeys(tree, key, *range.low) < 0) ||
         (last && range.high != nullptr && CompareKeys(tree, key, *range.high) >= 0) ||
         (leaf && state.havePrevious && CompareKeys(tree, key, state.previousKey) <= 0))) {
        Damage(state, pgno, NodeName(index) + "'s key is out of order");
        return false;
    }
    if (!leaf) {
        size_t child = sizeOrPage;
        if (sizeof(size_t) > 4)
            child |= static_cast<size_t>(static_cast<uint64_t>(flags) << 16 << 16);
        if (!PageInRange(state, child)) {
            Damage(state, pgno, NodeName(index) + " names " + OutOfRange(state, child));
            return false;
        }
        // The child's keys lie from this node's key up to the next node's.
        std::string_view high;
        KeyRange childRange = {index > 0 ? &key : range.low, range.high};
        if (index + 1 < count) {
            uint16_t next;
            memcpy(&next, page + kPageHeaderSize + 2 * (index + 1), sizeof next);
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
        Damage(state, pgno, NodeName(index) + " has flags " + Hex(flags));
        return false;
    }
    // A value is read only when someone wants it.
    const bool wanted = tree == kFreeTree || state.wantEntries;
    std::vector<uint8_t>& value = state.entry.value;
    if ((flags & kBigValue) != 0) {
        size_t overflow;
        if (keyEnd + sizeof overflow > state.pageSize) {
            Damage(state, pgno, NodeName(index) + "'s value runs past the end of the page");
            return false;
        }
        memcpy(&overflow, page + keyEnd, sizeof overflow);
        if (!ReadOverflow(state, tree, pgno, index, overflow, sizeOrPage,
                          wanted ? &value : nullptr))
            return false;
    } else if (keyEnd + sizeOrPage > state.pageSize) {
        Damage(state, pgno, NodeName(index) + "'s value runs past the end of the page");
        return false;
    } else if (wanted) {
        value.assign(page + keyEnd, page + keyEnd + sizeOrPage);
    }
    state.previousKey = key;
    state.havePrevious = true;
    ++state.entries[tree];
    if (tree == kFreeTree) {
        CheckFreeList(state, pgno, index, value);
        return !Stopped(state);
    }
    state.subTrees = state.subTrees || subTree || duplicates;
    if (wanted) {
        state.entry.key.assign(key);
        state.entry.subTree = subTree || duplicates;
        state.wantEntries = (*state.onEntry)(state.entry);
    }
    return true;
}

void WalkPage(WalkState& state, int tree, size_t pgno, unsigned level, KeyRange range) {
    if (state.use[pgno] != kUnused) {
        Damage(state, pgno, "is reached twice");
        return;
    }
    state.use[pgno] = kInUse;
    const bool leaf = level + 1 == state.meta->trees[tree].depth;
    // The last leaf's key may lie in the buffer this page is read into.
    if (state.whole == nullptr && state.havePrevious &&
        state.previousKey.data() != state.previousCopy.data()) {
        state.previousCopy.assign(state.previousKey);
        state.previousKey = state.previousCopy;
    }
    std::string why;
    const uint8_t* page = ReadBytes(state, uint64_t{state.pageSize} * pgno, state.pageSize,
                                    &state.buffers[level], &why);
    if (page == nullptr) {
        Damage(state, pgno, "cannot be read: " + why);
        return;
    }
    StorePageHeader header;
    memcpy(&header, page, kPageHeaderSize);
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
    if (header.lower < kPageHeaderSize || header.lower > header.upper ||
        header.upper > state.pageSize || (header.lower - kPageHeaderSize) % 2 != 0) {
        Damage(state, pgno,
               "has impossible bounds (lower " + std::to_string(header.lower) + ", upper " +
                   std::to_string(header.upper) + ")");
        return;
    }
    const size_t count = (header.lower - kPageHeaderSize) / 2;
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

StoreWalk WalkStore(const StoreFile& file, const StoreMeta& meta, const StoreImage* image,
                    bool firstOnly, const std::function<bool(const StoreEntry&)>& onEntry) {
    WalkState state = {};
    state.file = &file;
    state.meta = &meta;
    state.firstOnly = firstOnly;
    state.onEntry = &onEntry;
    state.wantEntries = true;
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
    state.whole = image != nullptr ? image->bytes.get() : nullptr;
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

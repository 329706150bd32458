// Checks of the store's file and its meta pages before LMDB maps it (layout in store_file.h).
#include "store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr uint32_t kMagic = 0xBEEFC0DE;
constexpr uint32_t kDataVersion = 1;
constexpr size_t kMinPageSize = 512;
constexpr size_t kMaxPageSize = 32768;  // node offsets are 16 bits
constexpr unsigned kMaxDepth = 32;      // LMDB's cursor holds no more levels
constexpr int kMetaReads = 3;

// Reads meta page index (at offset pageSize * index) and checks its header, magic and version.
bool ReadMetaPage(int fd, size_t index, size_t pageSize, StoreMeta* meta, std::string* error) {
    unsigned char bytes[kPageHeaderSize + sizeof(StoreMeta)];
    std::string why;
    if (!ReadStoreBytes(fd, uint64_t{pageSize} * index, bytes, sizeof bytes, &why)) {
        *error = "truncated: meta page " + std::to_string(index) + " is cut short";
        return false;
    }
    StorePageHeader header;
    memcpy(&header, bytes, kPageHeaderSize);
    memcpy(meta, bytes + kPageHeaderSize, sizeof *meta);
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
    // LMDB takes the free tree's flags from the meta page; one of the flags of sorted duplicates
    // there makes its first write abort.
    if ((meta.trees[kFreeTree].flags & kDuplicateFlags) != 0) {
        char text[64];
        snprintf(text, sizeof text, "damaged: the free tree has flags 0x%x",
                 meta.trees[kFreeTree].flags);
        *error = text;
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
}  // namespace

bool ReadStoreBytes(int fd, uint64_t offset, void* buffer, size_t size, std::string* error) {
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

uint64_t StoreFileSize(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

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
    bool ok = StoreFileSize(file->fd) > 0;
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
            ok = CheckMeta(file->meta, file->pageSize, StoreFileSize(file->fd), error);
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
    return CheckMeta(*meta, file.pageSize, StoreFileSize(file.fd), error);
}

bool StoreMetaHeld(const StoreFile& file, const StoreMeta& meta, bool unlocked) {
    StoreMeta now;
    std::string error;
    StoreMeta newest;
    return ReadStoreMeta(file, meta.txnid, &now, &error) && memcmp(&now, &meta, sizeof now) == 0 &&
           (!unlocked ||
            (ReadStoreMeta(file, kNewestMeta, &newest, &error) && newest.txnid <= meta.txnid + 1));
}

bool ReadStoreImage(const StoreFile& file, const StoreMeta& meta, StoreImage* image,
                    std::string* error) {
    const uint64_t size = (meta.lastPage + uint64_t{1}) * file.pageSize;
    if (size > std::numeric_limits<size_t>::max()) {
        *error = "too big to be read at once";
        return false;
    }
    image->size = static_cast<size_t>(size);
    image->bytes.reset(new uint8_t[image->size]);
    if (ReadStoreBytes(file.fd, 0, image->bytes.get(), image->size, error))
        return true;
    *error = "cannot be read: " + *error;
    return false;
}

// The host store's file as LMDB 0.9 lays it out, and the checks that keep a damaged, truncated
// or foreign file away from LMDB, which trusts every byte it maps.
//
// All fields are in the byte order and word size of the machine that wrote the file (pgno and
// txnid are size_t). Page N starts at N * pageSize.
//
//   page header  pgno, pad (u16), flags (u16), lower (u16), upper (u16); an overflow page
//                keeps its page count (u32) in lower and upper
//   pages 0, 1   meta pages, written in turn: after the header magic 0xBEEFC0DE (u32),
//                version 1 (u32), address, map size, the free tree's record (its pad is the
//                page size, its flags the environment's), the main tree's record, the last
//                page in use, the txnid; the one with the higher txnid is current
//   tree record  pad (u32), flags (u16), depth (u16), branch, leaf and overflow page counts,
//                entries, root page (all ones: none)
//   tree page    after the header, up to lower, the u16 offsets of its nodes in key order;
//                the nodes lie from upper to the end of the page
//   node         a u32 (two u16 halves in native order), flags (u16), key size (u16), the key;
//                in a leaf the u32 is the value's size and the value follows the key, or with
//                flag 1 the number of its first overflow page; in a branch the child's page
//                number is the u32 | flags << 32
//   free tree    keys are txnids, values lists of page numbers freed by them: a count, then
//                that many page numbers
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct StorePageHeader {
    size_t pgno;
    uint16_t pad;
    uint16_t flags;
    uint16_t lower;
    uint16_t upper;
};

constexpr size_t kPageHeaderSize = sizeof(StorePageHeader);
constexpr size_t kNodeSize = 8;
constexpr size_t kNoPage = ~size_t{0};  // the root of an empty tree
constexpr size_t kMetaPages = 2;

// Page flags.
constexpr uint16_t kBranchPage = 0x01;
constexpr uint16_t kLeafPage = 0x02;
constexpr uint16_t kOverflowPage = 0x04;
constexpr uint16_t kMetaPage = 0x08;

// Node flags.
constexpr uint16_t kBigValue = 0x01;  // the value is on overflow pages
constexpr uint16_t kSubTree = 0x02;   // a named database
constexpr uint16_t kDuplicates = 0x04;

struct StoreTreeRecord {
    uint32_t pad;
    uint16_t flags;
    uint16_t depth;
    size_t branchPages;
    size_t leafPages;
    size_t overflowPages;
    size_t entries;
    size_t root;
};

struct StoreMeta {
    uint32_t magic;
    uint32_t version;
    size_t address;
    size_t mapSize;
    StoreTreeRecord trees[2];  // kFreeTree, kMainTree
    size_t lastPage;
    size_t txnid;
};

constexpr int kFreeTree = 0;
constexpr int kMainTree = 1;
// A tree's flags of sorted duplicates (sorted, fixed size, integer, reverse).
constexpr uint16_t kDuplicateFlags = 0x04 | 0x10 | 0x20 | 0x40;

// A store file opened for reading its pages, with the current meta checked.
struct StoreFile {
    int fd = -1;
    bool readOnly = false;    // the file could not be opened for writing
    std::string whyReadOnly;  // what opening it for writing said
    size_t pageSize = 0;
    StoreMeta meta = {};  // the current one
};

// Reads size bytes at offset of fd; false with a reason on a short read.
bool ReadStoreBytes(int fd, uint64_t offset, void* buffer, size_t size, std::string* error);
uint64_t StoreFileSize(int fd);

// Opens path, read-write when it may be written, else read-only, and checks it before LMDB
// maps it: a regular file holding both meta pages, with LMDB's magic and version and one sane
// page size, whose current meta's pages and roots lie inside the file. On failure closes the
// file, returns false and says why in *error.
bool OpenStoreFile(const std::string& path, StoreFile* file, std::string* error);
void CloseStoreFile(StoreFile* file);

// Reads both meta pages again and picks the one of transaction txnid (kNewestMeta: the newest).
// False when neither is (the file changed since) or the meta is unsound.
constexpr size_t kNewestMeta = ~size_t{0};
bool ReadStoreMeta(const StoreFile& file, size_t txnid, StoreMeta* meta, std::string* error);

// Whether meta, read before a walk of its pages, is still there as it was (it was not read half
// written) and, unlocked (the walk held no reader's slot in the lock file), no writer can have
// reused its pages yet: none commits after the next one, and the earliest writer that may reuse
// a page the next one frees is the one two after it.
bool StoreMetaHeld(const StoreFile& file, const StoreMeta& meta, bool unlocked);

// A leaf of the main tree, as the walk meets it, in key order.
struct StoreEntry {
    std::string key;
    std::vector<uint8_t> value;
    bool subTree;  // the value is no value but another tree (a named database or duplicates)
};

struct StoreFinding {
    std::string where;  // "page N", or "store" for a count
    std::string what;
};

struct StoreWalk {
    // Damage LMDB could crash on or write over: a page or node outside its bounds, a page in
    // two places, keys out of order.
    std::vector<StoreFinding> damage;
    // Counts that disagree with the pages found (only when there is no damage); harmless to
    // LMDB.
    std::vector<StoreFinding> miscounts;
    size_t entries = 0;  // of the main tree
    size_t pages = 0;    // in use, both trees and the meta pages
};

// The pages of a meta, read from the start of the file in one call (into bytes left
// uninitialised before: a store can be megabytes).
struct StoreImage {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};
bool ReadStoreImage(const StoreFile& file, const StoreMeta& meta, StoreImage* image,
                    std::string* error);

// Walks every page of both trees of meta, in image when given, else read with pread, and checks
// each before it is followed. Stops at the first damage when firstOnly. Calls onEntry for each
// leaf of the main tree that lies on sound pages, until it returns false.
StoreWalk WalkStore(const StoreFile& file, const StoreMeta& meta, const StoreImage* image,
                    bool firstOnly, const std::function<bool(const StoreEntry&)>& onEntry);

// Host-only extensions of the CDS client for the store's own tools (cdsctl). The program itself
// uses only pcd.h and toolkit.h, which the device's platform library provides as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cds/toolkit.h"

// The store file: CDS_STORE when set and not empty, else kDefaultCdsStore.
constexpr const char* kDefaultCdsStore = "/var/lib/cds/store.mdb";
std::string CdsStorePath();

// Opens the store at path as pcd_init opens CDS_STORE; when it cannot, returns null and says why
// in *error: an LMDB library of another series than the one built against (LmdbVersionRefusal),
// a file that is no regular one or empty, or a store its check (ScanCdsStore) refuses. A store
// that may not be written opens read-only: its writes fail with kCdsStoreError.
pcd_handle_t OpenCdsStore(const std::string& path, std::string* error);

// Why the last pcd_init of this process gave no connection.
struct CdsOpenFailure {
    std::string path;
    std::string reason;
    bool missing = false;  // no such file: another CDS_STORE may name the store
    bool damaged = false;  // the file is no sound store of ours: it takes a new one
};
CdsOpenFailure LastCdsOpenFailure();

// Why a library built against LMDB built[] (major, minor, patch) opens no store with running[],
// or nothing: the major and minor versions must agree.
std::string LmdbVersionRefusal(const int built[3], const int running[3]);

// The entry that marks a file as a store cdsctl made, so that no tool ever writes into another
// program's LMDB file. Its key is no leaf path (those start with '/'), so no call above lists,
// reads or writes it. A store without it is taken for one made before stores were marked when
// every entry is a leaf of a valid path holding an element; its first write adds the mark.
constexpr const char* kCdsStoreMarkKey = ".cds-store";
constexpr const char* kCdsStoreMarkValue = "host CDS store, format 1";

// What a scan of a store found wrong: an entry (where its key, quoted with \xHH escapes when it
// is no valid path) or the whole store (where "store").
struct CdsScanFinding {
    std::string where;
    std::string what;
};

struct CdsScan {
    bool opened = false;  // false: error says why the store cannot be read at all
    std::string error;
    std::string refusal;  // why the tools refuse the store (damaged, cut short, foreign), or empty
    std::vector<CdsScanFinding> findings;
    size_t entries = 0;  // in the store, the mark included
    size_t leaves = 0;   // of them, leaves of valid paths holding elements
    size_t pages = 0;    // in use: both databases' and the two meta pages
    bool marked = false;
};

// Checks the store at path through LMDB's own calls, in a child process (LMDB trusts every byte
// it maps): the file's size against the last page in use; a walk of both databases with
// cursors, whose keys must rise and whose pages, with the free ones and the two meta pages, must
// be every page up to the last; the mark, or else leaves only. A child that dies or does not end
// within kCdsCheckSeconds counts as damage. Never writes.
constexpr unsigned kCdsCheckSeconds = 20;
CdsScan ScanCdsStore(const std::string& path);

// Why the last call through handle that returned kCdsStoreError failed.
std::string CdsStoreError(pcd_handle_t handle);

// Whether a path may name a leaf (see toolkit.h).
bool IsValidCdsPath(const std::string& path);

// Creates an empty store at path, and its directory when that is missing (one level). Fails
// when the file exists already. On failure returns false and says why in *error.
bool CreateCdsStore(const std::string& path, std::string* error);

// Every leaf whose path starts with prefix, sorted by path bytes (keys that are no valid paths
// are left out). Result as for CCds calls.
int ListCdsLeaves(pcd_handle_t handle, const std::string& prefix, std::vector<std::string>& paths,
                  std::vector<toolkit::CElement>& values);

// Removes the leaves in one write transaction, all or none: when one is missing (status
// kCdsStatusNotFound) or invalid, nothing is removed and the others get kCdsStatusNotWritten.
// A path named twice is removed once.
int RemoveCdsLeaves(pcd_handle_t handle, const std::vector<std::string>& paths,
                    std::vector<api_status_t>& statuses);

// The bytes a leaf's element is stored as: type code (1 byte), time stamp (int64), then the
// value: int32 for int, IEEE double bits (uint64) for float, the bytes of a text. Big-endian.
std::vector<uint8_t> EncodeCdsElement(const toolkit::CElement& element);
// The same into *bytes, replacing its contents: one buffer serves every leaf of a write.
void EncodeCdsElement(const toolkit::CElement& element, std::vector<uint8_t>* bytes);
// False for bytes that are no element: too short, a type code other than 1, 2 and 3 (no writer
// stores type 0), a wrong value size.
bool DecodeCdsElement(const uint8_t* bytes, size_t size, toolkit::CElement* element);

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
// in *error. Refused: a file that is not a regular one, empty or truncated; damaged pages (every
// page of the store is checked before LMDB reads it); another program's LMDB file. A store that
// may not be written (file permissions, a read-only file system) opens read-only: its reads
// work, its writes fail with kCdsStoreError.
pcd_handle_t OpenCdsStore(const std::string& path, std::string* error);

// The entry that marks a file as a store cdsctl made, so that no tool ever writes into another
// program's LMDB file. Its key is no leaf path (those start with '/'), so no call above lists,
// reads or writes it. A store without it is taken for one made before stores were marked when
// every entry is a leaf of a valid path holding an element; its first write adds the mark.
constexpr const char* kCdsStoreMarkKey = ".cds-store";
constexpr const char* kCdsStoreMarkValue = "host CDS store, format 1";

// What a scan of a store found wrong: a page (where "page N"), an entry (where its key, quoted
// with \xHH escapes when it is no valid path) or the whole store (where "store").
struct CdsScanFinding {
    std::string where;
    std::string what;
};

struct CdsScan {
    bool opened = false;  // false: error says why the store cannot be read at all
    std::string error;
    std::vector<CdsScanFinding> findings;
    size_t entries = 0;  // in the store, the mark included
    size_t leaves = 0;   // of them, leaves of valid paths holding elements
    size_t pages = 0;    // in use
    bool marked = false;
};

// Reads every page and entry of the store at path, checking each before it is followed (LMDB
// has no checksums and trusts every byte), and reports all damage: pages out of bounds, out of
// order or in two places, entries whose keys are no leaf paths or whose stored bytes are no
// element, counts that disagree. Never writes. Not while this process holds a connection to
// the same store: LMDB's locks of a file are the process's, and closing the scan's would drop
// the connection's.
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

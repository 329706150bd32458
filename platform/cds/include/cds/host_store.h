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
// in *error.
pcd_handle_t OpenCdsStore(const std::string& path, std::string* error);

// Why the last call through handle that returned kCdsStoreError failed.
std::string CdsStoreError(pcd_handle_t handle);

// Whether a path may name a leaf (see toolkit.h).
bool IsValidCdsPath(const std::string& path);

// Creates an empty store at path, and its directory when that is missing (one level). Fails
// when the file exists already. On failure returns false and says why in *error.
bool CreateCdsStore(const std::string& path, std::string* error);

// Every leaf whose path starts with prefix, sorted by path bytes. Result as for CCds calls.
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

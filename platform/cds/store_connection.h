// The connection behind a pcd_handle_t, shared by the host store's reading and writing
// (store.cpp) and its opening and checking (store_open.cpp).
#pragma once

#include <lmdb.h>

#include <string>
#include <vector>

#include "store_file.h"

struct pcd_connection {
    // Null when the lock file may not be opened: the leaves are then read once, at opening,
    // into snapshot, and the connection is read-only.
    MDB_env* env;
    MDB_dbi dbi;
    bool readOnly;            // the file, its file system or its lock file may not be written
    std::string whyReadOnly;  // what refused the writing
    bool marked;              // holds the mark; otherwise the first write adds it
    std::vector<StoreEntry> snapshot;  // without env: every entry, in key order
    std::string error;                 // why the last call that failed as a whole failed
};

// Opens the LMDB environment of the store file path (MDB_NOSUBDIR, MDB_NOSYNC, the fixed map)
// with flags besides. On failure says why in *error and sets *lockDenied when the lock file may
// not be opened.
MDB_env* OpenStoreEnvironment(const std::string& path, unsigned flags, std::string* error,
                              bool* lockDenied);

// Writes the mark of the stores cdsctl makes (host_store.h).
int PutStoreMark(MDB_txn* txn, MDB_dbi dbi);

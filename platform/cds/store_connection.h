// The connection behind a pcd_handle_t, shared by the host store's reading and writing
// (store.cpp), its opening (store_open.cpp) and its check (store_check.cpp).
#pragma once

#include <lmdb.h>

#include <string>

#include "cds/host_store.h"

struct pcd_connection {
    MDB_env* env;
    MDB_dbi dbi;
    bool readOnly;            // the file, its file system or its lock file may not be written
    std::string whyReadOnly;  // what refused the writing
    bool marked;              // holds the mark; otherwise the first write adds it
    std::string error;        // why the last call that failed as a whole failed
};

// Opens the LMDB environment of the store file path (MDB_NOSUBDIR, MDB_NOSYNC, the fixed map)
// with flags besides; read-only (flags holding MDB_RDONLY) without locking when the lock file
// cannot be made, which *whyReadOnly then says. Returns LMDB's result; on failure says why in
// *error.
int OpenStoreEnvironment(const std::string& path, unsigned flags, MDB_env** env, std::string* error,
                         std::string* whyReadOnly);

// Writes the mark of the stores cdsctl makes (host_store.h).
int PutStoreMark(MDB_txn* txn, MDB_dbi dbi);

// The check of ScanCdsStore, run in a child process forked before this process opens the store.
CdsScan CheckStoreInChild(const std::string& path);

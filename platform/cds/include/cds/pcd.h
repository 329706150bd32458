// Connection to the CDS, the device's configuration and data store (libcds).
//
// On a host the store is an LMDB file named by the environment variable CDS_STORE
// (default /var/lib/cds/store.mdb) plus its lock file, CDS_STORE followed by "-lock". On the
// device the platform's own library takes this one's place under the same names.
#pragma once

struct pcd_connection;
typedef pcd_connection* pcd_handle_t;

// Opens a connection to the store. Returns null when the store does not exist (it is never
// created here) or cannot be opened.
pcd_handle_t pcd_init();

// Flushes what was written through the connection to disk and closes it. Call once per handle;
// a null handle is ignored.
void pcd_close(pcd_handle_t handle);

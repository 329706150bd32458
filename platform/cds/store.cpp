// The host store: every leaf is one LMDB record, keyed by its path, holding the element's bytes.
//
// The environment is opened without a flush per commit (MDB_NOSYNC, no writable map): a commit
// costs a few microseconds, and a killed process loses nothing committed because the pages are
// in the kernel's cache already. pcd_close flushes once, which makes a run durable across a
// power loss as well.
#include <lmdb.h>
#include <sys/stat.h>
#include <syslog.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "cds/host_store.h"
#include "cds/pcd.h"
#include "cds/toolkit.h"

struct pcd_connection {
    MDB_env* env;
    MDB_dbi dbi;
    std::string error;  // why the last call that failed as a whole failed
};

namespace {

// Room for tens of thousands of leaves; fixed, since the map is never resized while other
// processes may have it open, and small enough to map on a 32-bit device.
constexpr size_t kMapSize = size_t{16} << 20;

MDB_val KeyOf(const std::string& path) {
    return MDB_val{path.size(), const_cast<char*>(path.data())};
}

// Opens the environment of an existing store file (or, with create, a new one).
pcd_connection* OpenStore(const std::string& path, bool create, std::string* error) {
    MDB_env* env = nullptr;
    int rc = mdb_env_create(&env);
    if (rc == 0)
        rc = mdb_env_set_mapsize(env, kMapSize);
    if (rc == 0)
        rc = mdb_env_open(env, path.c_str(), MDB_NOSUBDIR | MDB_NOSYNC, 0644);
    MDB_txn* txn = nullptr;
    MDB_dbi dbi = 0;
    if (rc == 0) {
        // Slots of readers that died would keep old pages from being reused.
        int dead = 0;
        mdb_reader_check(env, &dead);
        // A read transaction: opening must not wait for a writer in another process.
        rc = mdb_txn_begin(env, nullptr, MDB_RDONLY, &txn);
    }
    if (rc == 0) {
        rc = mdb_dbi_open(txn, nullptr, 0, &dbi);
        rc = rc == 0 ? mdb_txn_commit(txn) : (mdb_txn_abort(txn), rc);
    }
    if (rc == 0 && create)
        rc = mdb_env_sync(env, 1);
    if (rc != 0) {
        if (error != nullptr)
            *error = mdb_strerror(rc);
        if (env != nullptr)
            mdb_env_close(env);
        return nullptr;
    }
    return new pcd_connection{env, dbi, std::string()};
}

// Ends a write transaction in which some leaf failed: nothing of it is kept, and the leaves
// that were fine are marked as not written.
void AbandonWrite(MDB_txn* txn, std::vector<api_status_t>& statuses) {
    mdb_txn_abort(txn);
    for (api_status_t& status : statuses) {
        if (status == kCdsStatusOk)
            status = kCdsStatusNotWritten;
    }
}

// A whole write failed in the store: nothing of it was kept.
int StoreFailure(pcd_connection* connection, const char* call, int rc,
                 std::vector<api_status_t>& statuses) {
    connection->error = std::string(call) + ": " + mdb_strerror(rc);
    statuses.assign(statuses.size(), kCdsStatusNotWritten);
    return kCdsStoreError;
}

bool FileExists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::string CdsStorePath() {
    const char* path = getenv("CDS_STORE");
    return path != nullptr && *path != '\0' ? path : kDefaultCdsStore;
}

pcd_handle_t OpenCdsStore(const std::string& path, std::string* error) {
    // LMDB would create a missing file, and set up an empty one as a new store; a store that is
    // not there is an unreachable CDS instead.
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        *error = strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode) || info.st_size == 0) {
        *error = S_ISREG(info.st_mode) ? "empty file, not a store" : "not a regular file";
        return nullptr;
    }
    return OpenStore(path, false, error);
}

std::string CdsStoreError(pcd_handle_t handle) {
    return handle == nullptr ? "not connected" : handle->error;
}

pcd_handle_t pcd_init() {
    std::string error;
    return OpenCdsStore(CdsStorePath(), &error);
}

void pcd_close(pcd_handle_t handle) {
    if (handle == nullptr)
        return;
    // The only flush of the connection: what it wrote is durable from here on.
    int rc = mdb_env_sync(handle->env, 1);
    if (rc != 0)
        syslog(LOG_ERR, "pcd_close: cannot flush the CDS store: %s", mdb_strerror(rc));
    mdb_env_close(handle->env);
    delete handle;
}

bool CreateCdsStore(const std::string& path, std::string* error) {
    if (FileExists(path)) {
        *error = "exists already";
        return false;
    }
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        std::string directory = path.substr(0, slash);
        if (!FileExists(directory) && mkdir(directory.c_str(), 0755) != 0) {
            *error = "cannot create directory " + directory + ": " + strerror(errno);
            return false;
        }
    }
    pcd_connection* connection = OpenStore(path, true, error);
    if (connection == nullptr)
        return false;
    mdb_env_close(connection->env);
    delete connection;
    return true;
}

namespace toolkit {

int CCds::get_leaf(const std::string& path, api_status_t& status, CElement& element,
                   element_property_t& property) {
    std::vector<std::string> paths{path};
    std::vector<api_status_t> statuses;
    std::vector<CElement> values;
    std::vector<element_property_t> properties;
    int rc = get_leaves(paths, statuses, values, properties);
    if (rc == kCdsOk) {
        status = statuses[0];
        element = values[0];
        property = properties[0];
    }
    return rc;
}

int CCds::get_leaves(const std::vector<std::string>& paths, std::vector<api_status_t>& statuses,
                     std::vector<CElement>& values, std::vector<element_property_t>& properties) {
    statuses.clear();
    values.clear();
    properties.clear();
    if (m_handle == nullptr)
        return kCdsNotConnected;
    MDB_txn* txn = nullptr;
    int rc = mdb_txn_begin(m_handle->env, nullptr, MDB_RDONLY, &txn);
    if (rc != 0) {
        m_handle->error = std::string("mdb_txn_begin: ") + mdb_strerror(rc);
        return kCdsStoreError;
    }
    statuses.reserve(paths.size());
    values.resize(paths.size());
    properties.reserve(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        api_status_t status = kCdsStatusOk;
        MDB_val key = KeyOf(paths[i]);
        MDB_val data;
        if (!IsValidCdsPath(paths[i])) {
            status = kCdsStatusBadPath;
        } else if (mdb_get(txn, m_handle->dbi, &key, &data) != 0) {
            status = kCdsStatusNotFound;
        } else if (!DecodeCdsElement(static_cast<const uint8_t*>(data.mv_data), data.mv_size,
                                     &values[i])) {
            status = kCdsStatusBadValue;
        }
        statuses.push_back(status);
        properties.push_back(status == kCdsStatusOk ? 1 : 0);
    }
    mdb_txn_abort(txn);
    return kCdsOk;
}

int CCds::set_leaves(const std::vector<std::string>& paths, const std::vector<CElement>& values,
                     const std::vector<pcd_tribool_t>& flags, std::vector<api_status_t>& statuses,
                     const std::string& /*text*/) {
    statuses.clear();
    if (m_handle == nullptr)
        return kCdsNotConnected;
    if (values.size() != paths.size() || flags.size() != paths.size())
        return kCdsBadRequest;
    statuses.assign(paths.size(), kCdsStatusOk);
    MDB_txn* txn = nullptr;
    int rc = mdb_txn_begin(m_handle->env, nullptr, 0, &txn);
    if (rc != 0)
        return StoreFailure(m_handle, "mdb_txn_begin", rc, statuses);
    std::time_t now = std::time(nullptr);
    std::vector<uint8_t> bytes;
    bool failed = false;
    for (size_t i = 0; i < paths.size(); ++i) {
        MDB_val key = KeyOf(paths[i]);
        MDB_val data;
        if (!IsValidCdsPath(paths[i])) {
            statuses[i] = kCdsStatusBadPath;
        } else if (values[i].type() == CElement::kTypeNone) {
            statuses[i] = kCdsStatusBadValue;
        } else if (flags[i] == 0 && mdb_get(txn, m_handle->dbi, &key, &data) != 0) {
            statuses[i] = kCdsStatusNotFound;
        }
        failed = failed || statuses[i] != kCdsStatusOk;
        if (failed)
            continue;
        CElement stamped = values[i];
        stamped.set_time(now);
        EncodeCdsElement(stamped, &bytes);
        data = MDB_val{bytes.size(), bytes.data()};
        rc = mdb_put(txn, m_handle->dbi, &key, &data, 0);
        if (rc != 0) {
            // A full map or an I/O error: the whole write fails.
            mdb_txn_abort(txn);
            return StoreFailure(m_handle, "mdb_put", rc, statuses);
        }
    }
    if (failed) {
        AbandonWrite(txn, statuses);
        return kCdsOk;
    }
    rc = mdb_txn_commit(txn);
    return rc == 0 ? kCdsOk : StoreFailure(m_handle, "mdb_txn_commit", rc, statuses);
}

}  // namespace toolkit

int ListCdsLeaves(pcd_handle_t handle, const std::string& prefix, std::vector<std::string>& paths,
                  std::vector<toolkit::CElement>& values) {
    paths.clear();
    values.clear();
    if (handle == nullptr)
        return kCdsNotConnected;
    MDB_txn* txn = nullptr;
    MDB_cursor* cursor = nullptr;
    int rc = mdb_txn_begin(handle->env, nullptr, MDB_RDONLY, &txn);
    if (rc == 0) {
        rc = mdb_cursor_open(txn, handle->dbi, &cursor);
        if (rc != 0)
            mdb_txn_abort(txn);
    }
    if (rc != 0) {
        handle->error = std::string("cannot read: ") + mdb_strerror(rc);
        return kCdsStoreError;
    }
    MDB_val key = KeyOf(prefix);
    MDB_val data;
    rc = mdb_cursor_get(cursor, &key, &data, prefix.empty() ? MDB_FIRST : MDB_SET_RANGE);
    while (rc == 0) {
        std::string path(static_cast<const char*>(key.mv_data), key.mv_size);
        if (path.compare(0, prefix.size(), prefix) != 0)
            break;
        toolkit::CElement element;
        // A value that is not an element is listed as one of type none.
        DecodeCdsElement(static_cast<const uint8_t*>(data.mv_data), data.mv_size, &element);
        paths.push_back(path);
        values.push_back(element);
        rc = mdb_cursor_get(cursor, &key, &data, MDB_NEXT);
    }
    mdb_cursor_close(cursor);
    mdb_txn_abort(txn);
    if (rc != 0 && rc != MDB_NOTFOUND) {
        handle->error = std::string("mdb_cursor_get: ") + mdb_strerror(rc);
        return kCdsStoreError;
    }
    return kCdsOk;
}

int RemoveCdsLeaves(pcd_handle_t handle, const std::vector<std::string>& paths,
                    std::vector<api_status_t>& statuses) {
    statuses.clear();
    if (handle == nullptr)
        return kCdsNotConnected;
    statuses.assign(paths.size(), kCdsStatusOk);
    MDB_txn* txn = nullptr;
    int rc = mdb_txn_begin(handle->env, nullptr, 0, &txn);
    if (rc != 0)
        return StoreFailure(handle, "mdb_txn_begin", rc, statuses);
    bool failed = false;
    for (size_t i = 0; i < paths.size(); ++i) {
        MDB_val key = KeyOf(paths[i]);
        const auto earlier = paths.begin() + static_cast<std::ptrdiff_t>(i);
        if (!IsValidCdsPath(paths[i])) {
            statuses[i] = kCdsStatusBadPath;
        } else if (std::find(paths.begin(), earlier, paths[i]) != earlier) {
            continue;  // named twice: gone with the first
        } else if ((rc = mdb_del(txn, handle->dbi, &key, nullptr)) == MDB_NOTFOUND) {
            statuses[i] = kCdsStatusNotFound;
        } else if (rc != 0) {
            mdb_txn_abort(txn);
            return StoreFailure(handle, "mdb_del", rc, statuses);
        }
        failed = failed || statuses[i] != kCdsStatusOk;
    }
    if (failed) {
        AbandonWrite(txn, statuses);
        return kCdsOk;
    }
    rc = mdb_txn_commit(txn);
    return rc == 0 ? kCdsOk : StoreFailure(handle, "mdb_txn_commit", rc, statuses);
}

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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "cds/host_store.h"
#include "cds/pcd.h"
#include "cds/toolkit.h"
#include "store_file.h"

struct pcd_connection {
    MDB_env* env;
    MDB_dbi dbi;
    bool readOnly;            // opened read-only: the file or its file system may not be written
    std::string whyReadOnly;  // what opening it for writing said
    bool marked;              // holds the mark; otherwise the first write adds it
    std::string error;        // why the last call that failed as a whole failed
};

namespace {

// Room for tens of thousands of leaves; fixed, since the map is never resized while other
// processes may have it open, and small enough to map on a 32-bit device.
constexpr size_t kMapSize = size_t{16} << 20;

// A store whose pages change between reading its meta and checking them is read again, as
// often as this.
constexpr int kMetaAttempts = 3;

MDB_val KeyOf(const std::string& path) {
    return MDB_val{path.size(), const_cast<char*>(path.data())};
}

int PutMark(MDB_txn* txn, MDB_dbi dbi) {
    MDB_val key{strlen(kCdsStoreMarkKey), const_cast<char*>(kCdsStoreMarkKey)};
    MDB_val data{strlen(kCdsStoreMarkValue), const_cast<char*>(kCdsStoreMarkValue)};
    return mdb_put(txn, dbi, &key, &data, 0);
}

// A key or a value for a message: printable ASCII as it is, anything else as \xHH, in quotes.
std::string Quoted(const std::string& bytes) {
    std::string text = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char escape[8];
            snprintf(escape, sizeof escape, "\\x%02x", c);
            text += escape;
        }
    }
    return text + "\"";
}

MDB_env* OpenEnvironment(const std::string& path, unsigned flags, std::string* error) {
    MDB_env* env = nullptr;
    int rc = mdb_env_create(&env);
    if (rc == 0)
        rc = mdb_env_set_mapsize(env, kMapSize);
    if (rc == 0)
        rc = mdb_env_open(env, path.c_str(), MDB_NOSUBDIR | MDB_NOSYNC | flags, 0644);
    if (rc == 0)
        return env;
    // The data file was opened already, in the same mode: what fails is the lock file.
    *error = rc == EACCES || rc == EPERM
                 ? "cannot open its lock file " + path + "-lock: " + mdb_strerror(rc)
                 : mdb_strerror(rc);
    if (env != nullptr)
        mdb_env_close(env);
    return nullptr;
}

// What the walk at opening learns from the main tree's entries.
struct EntryCheck {
    bool marked = false;
    std::string otherMark;  // the mark of another format
    std::string foreign;    // the first entry no store of ours holds
};

void CheckEntry(const StoreEntry& entry, EntryCheck* check) {
    if (entry.key == kCdsStoreMarkKey) {
        std::string value(entry.value.begin(), entry.value.end());
        check->marked = value == kCdsStoreMarkValue;
        check->otherMark = check->marked ? std::string() : value;
        return;
    }
    // The mark sorts before every leaf path: in a marked store the leaves come after it.
    if (check->marked || !check->foreign.empty())
        return;
    toolkit::CElement element;
    if (entry.subTree) {
        check->foreign = "holds a named database or duplicates under " + Quoted(entry.key);
    } else if (!IsValidCdsPath(entry.key)) {
        check->foreign = "key " + Quoted(entry.key) + " is no leaf path";
    } else if (!DecodeCdsElement(entry.value.data(), entry.value.size(), &element)) {
        check->foreign = "the value of " + entry.key + " is no element";
    }
}

// Begins a read transaction and reads the meta of its snapshot, whose pages no writer reuses
// while the transaction lasts.
bool BeginRead(MDB_env* env, const StoreFile& file, MDB_txn** txn, StoreMeta* meta,
               std::string* error) {
    *txn = nullptr;
    for (int attempt = 0; attempt < kMetaAttempts; ++attempt) {
        if (*txn != nullptr)
            mdb_txn_abort(*txn);
        // A read transaction: opening must not wait for a writer in another process.
        int rc = mdb_txn_begin(env, nullptr, MDB_RDONLY, txn);
        if (rc != 0) {
            *txn = nullptr;
            *error = mdb_strerror(rc);
            return false;
        }
        if (ReadStoreMeta(file, mdb_txn_id(*txn), meta, error))
            return true;
    }
    mdb_txn_abort(*txn);
    *txn = nullptr;
    return false;
}

// Takes the environment of a checked store file: walks its pages before anything of LMDB
// touches them, and refuses damage and files of other programs. Closes env on failure.
pcd_connection* CheckStore(MDB_env* env, const StoreFile& file, std::string* error) {
    if (!file.readOnly) {
        // Slots of readers that died would keep old pages from being reused.
        int dead = 0;
        mdb_reader_check(env, &dead);
    }
    MDB_txn* txn = nullptr;
    MDB_dbi dbi = 0;
    StoreMeta meta;
    if (BeginRead(env, file, &txn, &meta, error)) {
        EntryCheck check;
        const StoreWalk walk = WalkStore(
            file, meta, true, [&check](const StoreEntry& entry) { CheckEntry(entry, &check); });
        int rc = 0;
        if (!walk.damage.empty()) {
            *error = "damaged: " + walk.damage[0].where + " " + walk.damage[0].what;
        } else if (!check.otherMark.empty()) {
            *error = "marked as a store of another format: " + Quoted(check.otherMark);
        } else if (!check.marked && !check.foreign.empty()) {
            *error = "not a CDS store: " + check.foreign;
        } else if ((rc = mdb_dbi_open(txn, nullptr, 0, &dbi)) != 0) {
            *error = mdb_strerror(rc);
        } else {
            // A committed read transaction keeps the database handle open.
            rc = mdb_txn_commit(txn);
            txn = nullptr;
            if (rc == 0) {
                return new pcd_connection{
                    env, dbi, file.readOnly, file.whyReadOnly, check.marked, std::string()};
            }
            *error = mdb_strerror(rc);
        }
        if (txn != nullptr)
            mdb_txn_abort(txn);
    }
    mdb_env_close(env);
    return nullptr;
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

// Starts the write transaction of a call. A store that has no mark yet (made before stores were
// marked, and found to hold only leaves when it was opened) gets it in its first write.
int BeginWrite(pcd_connection* connection, MDB_txn** txn, std::vector<api_status_t>& statuses) {
    if (connection->readOnly) {
        connection->error = "opened read-only: " + connection->whyReadOnly;
        statuses.assign(statuses.size(), kCdsStatusNotWritten);
        return kCdsStoreError;
    }
    int rc = mdb_txn_begin(connection->env, nullptr, 0, txn);
    if (rc != 0)
        return StoreFailure(connection, "mdb_txn_begin", rc, statuses);
    if (!connection->marked && (rc = PutMark(*txn, connection->dbi)) != 0) {
        mdb_txn_abort(*txn);
        return StoreFailure(connection, "mdb_put", rc, statuses);
    }
    return kCdsOk;
}

int CommitWrite(pcd_connection* connection, MDB_txn* txn, std::vector<api_status_t>& statuses) {
    int rc = mdb_txn_commit(txn);
    if (rc != 0)
        return StoreFailure(connection, "mdb_txn_commit", rc, statuses);
    connection->marked = true;
    return kCdsOk;
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
    // A missing file is an unreachable CDS, never created here; what LMDB would map is checked
    // before it does.
    StoreFile file;
    if (!OpenStoreFile(path, &file, error))
        return nullptr;
    pcd_connection* connection = nullptr;
    const uint16_t flags = file.meta.trees[kMainTree].flags;
    if (flags != 0) {
        char text[64];
        snprintf(text, sizeof text, "not a CDS store: its main database has flags 0x%x", flags);
        *error = text;
    } else if (MDB_env* env = OpenEnvironment(path, file.readOnly ? MDB_RDONLY : 0, error)) {
        connection = CheckStore(env, file, error);
    }
    CloseStoreFile(&file);
    return connection;
}

CdsScan ScanCdsStore(const std::string& path) {
    CdsScan scan;
    StoreFile file;
    if (!OpenStoreFile(path, &file, &scan.error))
        return scan;
    // Read-only, but with a reader's slot in the lock file, so that no writer reuses the pages
    // while they are read.
    MDB_env* env = OpenEnvironment(path, MDB_RDONLY, &scan.error);
    MDB_txn* txn = nullptr;
    StoreMeta meta;
    scan.opened = env != nullptr && BeginRead(env, file, &txn, &meta, &scan.error);
    if (scan.opened) {
        std::vector<CdsScanFinding> entries;
        bool otherMark = false;
        const StoreWalk walk = WalkStore(file, meta, false, [&](const StoreEntry& entry) {
            toolkit::CElement element;
            if (entry.key == kCdsStoreMarkKey) {
                scan.marked =
                    entry.value.size() == strlen(kCdsStoreMarkValue) &&
                    memcmp(entry.value.data(), kCdsStoreMarkValue, entry.value.size()) == 0;
                otherMark = !scan.marked;
                if (otherMark)
                    entries.push_back({"store", "is marked as a store of another format"});
            } else if (!IsValidCdsPath(entry.key)) {
                entries.push_back({Quoted(entry.key), "key is no leaf path"});
            } else if (entry.subTree) {
                entries.push_back({entry.key, "is a named database or duplicates, no leaf"});
            } else if (!DecodeCdsElement(entry.value.data(), entry.value.size(), &element)) {
                entries.push_back({entry.key, "stored bytes are no element"});
            } else {
                ++scan.leaves;
            }
        });
        const uint16_t flags = meta.trees[kMainTree].flags;
        if (flags != 0) {
            char text[64];
            snprintf(text, sizeof text, "its main database has flags 0x%x", flags);
            scan.findings.push_back({"store", text});
        }
        for (const StoreFinding& finding : walk.damage)
            scan.findings.push_back({finding.where, finding.what});
        scan.findings.insert(scan.findings.end(), entries.begin(), entries.end());
        for (const StoreFinding& finding : walk.miscounts)
            scan.findings.push_back({finding.where, finding.what});
        if (!scan.marked && !otherMark && !entries.empty()) {
            scan.findings.push_back(
                {"store", "has no mark and holds more than leaves: the tools refuse it"});
        }
        scan.entries = walk.entries;
        scan.pages = walk.pages;
        mdb_txn_abort(txn);
    }
    if (env != nullptr)
        mdb_env_close(env);
    CloseStoreFile(&file);
    return scan;
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
    int rc = handle->readOnly ? 0 : mdb_env_sync(handle->env, 1);
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
    MDB_env* env = OpenEnvironment(path, 0, error);
    if (env == nullptr)
        return false;
    MDB_txn* txn = nullptr;
    MDB_dbi dbi = 0;
    int rc = mdb_txn_begin(env, nullptr, 0, &txn);
    if (rc == 0) {
        rc = mdb_dbi_open(txn, nullptr, 0, &dbi);
        if (rc == 0)
            rc = PutMark(txn, dbi);
        rc = rc == 0 ? mdb_txn_commit(txn) : (mdb_txn_abort(txn), rc);
    }
    if (rc == 0)
        rc = mdb_env_sync(env, 1);
    mdb_env_close(env);
    if (rc != 0)
        *error = mdb_strerror(rc);
    return rc == 0;
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
    int rc = BeginWrite(m_handle, &txn, statuses);
    if (rc != kCdsOk)
        return rc;
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
    return CommitWrite(m_handle, txn, statuses);
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
        // The mark, and keys no write of ours makes, are no leaves.
        if (!IsValidCdsPath(path)) {
            rc = mdb_cursor_get(cursor, &key, &data, MDB_NEXT);
            continue;
        }
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
    int rc = BeginWrite(handle, &txn, statuses);
    if (rc != kCdsOk)
        return rc;
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
    return CommitWrite(handle, txn, statuses);
}

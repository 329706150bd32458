// Opening the host store: the LMDB library's version, the file, then the check of the store in a
// child process (store_check.cpp) before this process opens it, so that no tool crashes on a
// damaged store or writes into another program's file.
#include <fcntl.h>
#include <lmdb.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cds/host_store.h"
#include "cds/pcd.h"
#include "store_connection.h"

namespace {

// Room for tens of thousands of leaves; fixed, since the map is never resized while other
// processes may have it open, and small enough to map on a 32-bit device.
constexpr size_t kMapSize = size_t{16} << 20;

CdsOpenFailure g_lastOpenFailure;

std::string VersionText(const int version[3]) {
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2]);
}

// Whether the store at path may be checked at all: the library, then the file. If not, says why
// in *failure; else says in *whyReadOnly why the file may not be written, if it may not.
bool CheckFile(const std::string& path, CdsOpenFailure* failure, std::string* whyReadOnly) {
    const int built[3] = {MDB_VERSION_MAJOR, MDB_VERSION_MINOR, MDB_VERSION_PATCH};
    int running[3] = {0, 0, 0};
    mdb_version(&running[0], &running[1], &running[2]);
    failure->reason = LmdbVersionRefusal(built, running);
    struct stat info;
    if (!failure->reason.empty()) {
    } else if (stat(path.c_str(), &info) != 0) {
        failure->missing = errno == ENOENT;
        failure->reason = strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        failure->reason = "not a regular file";
    } else if (info.st_size == 0) {
        // LMDB would set up an empty file as a new store.
        failure->damaged = true;
        failure->reason = "empty file, not a store";
    } else if (const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
               fd >= 0) {
        close(fd);
    } else if (errno == EACCES || errno == EPERM || errno == EROFS) {
        *whyReadOnly = strerror(errno);
    } else {
        failure->reason = strerror(errno);
    }
    return failure->reason.empty();
}

// The environment of a store that passed its check: writable when the file and its lock file
// may be written, else read-only.
MDB_env* OpenCheckedStore(const std::string& path, std::string* whyReadOnly, std::string* error) {
    MDB_env* env = nullptr;
    if (whyReadOnly->empty()) {
        if (OpenStoreEnvironment(path, 0, &env, error, whyReadOnly) == 0)
            return env;
        *whyReadOnly = *error;
    }
    OpenStoreEnvironment(path, MDB_RDONLY, &env, error, whyReadOnly);
    return env;
}

pcd_handle_t OpenStore(const std::string& path, CdsOpenFailure* failure) {
    *failure = CdsOpenFailure();
    failure->path = path;
    std::string whyReadOnly;
    if (!CheckFile(path, failure, &whyReadOnly))
        return nullptr;
    // Forked before this process opens the store, which the child must not share.
    const CdsScan check = CheckStoreInChild(path);
    failure->damaged = !check.refusal.empty();
    failure->reason = failure->damaged ? check.refusal : check.error;
    if (!failure->reason.empty())
        return nullptr;
    MDB_env* env = OpenCheckedStore(path, &whyReadOnly, &failure->reason);
    if (env == nullptr)
        return nullptr;
    MDB_txn* txn = nullptr;
    MDB_dbi dbi = 0;
    int rc = mdb_txn_begin(env, nullptr, MDB_RDONLY, &txn);
    if (rc == 0) {
        // A committed read transaction keeps the database handle open.
        rc = mdb_dbi_open(txn, nullptr, 0, &dbi);
        rc = rc == 0 ? mdb_txn_commit(txn) : (mdb_txn_abort(txn), rc);
    }
    if (rc != 0) {
        failure->reason = mdb_strerror(rc);
        mdb_env_close(env);
        return nullptr;
    }
    if (whyReadOnly.empty()) {
        // Slots of readers that died (a check's child included) would keep old pages from being
        // reused.
        int dead = 0;
        mdb_reader_check(env, &dead);
    }
    return new pcd_connection{env, dbi, !whyReadOnly.empty(), whyReadOnly, check.marked, {}};
}

}  // namespace

std::string LmdbVersionRefusal(const int built[3], const int running[3]) {
    if (built[0] == running[0] && built[1] == running[1])
        return "";
    return "the LMDB library is version " + VersionText(running) + ", built against " +
           VersionText(built) + ": the major and minor versions must agree";
}

int OpenStoreEnvironment(const std::string& path, unsigned flags, MDB_env** env, std::string* error,
                         std::string* whyReadOnly) {
    int rc = 0;
    for (unsigned lockless : {0u, unsigned{MDB_NOLOCK}}) {
        rc = mdb_env_create(env);
        if (rc == 0)
            rc = mdb_env_set_mapsize(*env, kMapSize);
        if (rc == 0)
            rc = mdb_env_open(*env, path.c_str(), MDB_NOSUBDIR | MDB_NOSYNC | flags | lockless,
                              0644);
        if (rc == 0)
            return 0;
        mdb_env_close(*env);
        *env = nullptr;
        // The data file opened already, in the same mode: what is refused is the lock file. On
        // read-only media no writer can exist, so a reader needs no locks (LMDB's documented
        // case for MDB_NOLOCK).
        const bool lockDenied = rc == EACCES || rc == EPERM || rc == EROFS;
        if (lockDenied && (flags & MDB_RDONLY) != 0 && lockless == 0) {
            if (whyReadOnly->empty())
                *whyReadOnly =
                    "its lock file " + path + "-lock may not be made: " + mdb_strerror(rc);
            continue;
        }
        *error = rc == MDB_INVALID || rc == MDB_VERSION_MISMATCH
                     ? std::string("not a store, or one cut short: ") + mdb_strerror(rc)
                 : lockDenied
                     ? "its lock file " + path + "-lock may not be made: " + mdb_strerror(rc)
                     : mdb_strerror(rc);
        break;
    }
    return rc;
}

int PutStoreMark(MDB_txn* txn, MDB_dbi dbi) {
    MDB_val key{strlen(kCdsStoreMarkKey), const_cast<char*>(kCdsStoreMarkKey)};
    MDB_val data{strlen(kCdsStoreMarkValue), const_cast<char*>(kCdsStoreMarkValue)};
    return mdb_put(txn, dbi, &key, &data, 0);
}

CdsScan ScanCdsStore(const std::string& path) {
    CdsScan scan;
    CdsOpenFailure failure;
    std::string whyReadOnly;
    if (CheckFile(path, &failure, &whyReadOnly))
        return CheckStoreInChild(path);
    scan.error = failure.reason;
    return scan;
}

pcd_handle_t OpenCdsStore(const std::string& path, std::string* error) {
    CdsOpenFailure failure;
    pcd_handle_t handle = OpenStore(path, &failure);
    *error = failure.reason;
    return handle;
}

CdsOpenFailure LastCdsOpenFailure() {
    return g_lastOpenFailure;
}

pcd_handle_t pcd_init() {
    pcd_handle_t handle = OpenStore(CdsStorePath(), &g_lastOpenFailure);
    if (handle == nullptr) {
        syslog(LOG_ERR, "pcd_init: cannot open the CDS store %s: %s",
               g_lastOpenFailure.path.c_str(), g_lastOpenFailure.reason.c_str());
    }
    return handle;
}

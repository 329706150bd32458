// Opening the host store, and scanning it: nothing of LMDB touches a page before it is checked
// (store_file.h), and files that are no store of ours are refused, so that no tool crashes on a
// damaged store or writes into another program's file.
#include <lmdb.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cds/host_store.h"
#include "cds/pcd.h"
#include "cds/toolkit.h"
#include "store_connection.h"
#include "store_file.h"

namespace {

// Room for tens of thousands of leaves; fixed, since the map is never resized while other
// processes may have it open, and small enough to map on a 32-bit device.
constexpr size_t kMapSize = size_t{16} << 20;

// Damage is believed only when it is found again from a meta read afresh (a meta read while a
// writer writes it can be half old, half new); a store read without its lock file is read again
// while writers change it under the read, up to the second count.
constexpr int kLockedAttempts = 3;
constexpr int kUnlockedAttempts = 20;

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

bool IsMark(const StoreEntry& entry) {
    return entry.key == kCdsStoreMarkKey;
}

bool MarkIsOurs(const StoreEntry& entry) {
    return std::string(entry.value.begin(), entry.value.end()) == kCdsStoreMarkValue;
}

// One snapshot of the store, its pages walked: within a read transaction of env (its reader's
// slot keeps writers from reusing the pages), or without env one that no writer changed.
struct Snapshot {
    MDB_txn* txn = nullptr;
    StoreMeta meta = {};
    StoreWalk walk;
    std::vector<StoreEntry> entries;
};

// Keeps every entry when keepAll, else those up to the mark (which sorts before every leaf
// path): all of a store that has none.
bool ReadSnapshot(MDB_env* env, const StoreFile& file, bool firstOnly, bool keepAll,
                  Snapshot* snapshot, std::string* error) {
    const int attempts = env != nullptr ? kLockedAttempts : kUnlockedAttempts;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (snapshot->txn != nullptr)
            mdb_txn_abort(snapshot->txn);
        snapshot->txn = nullptr;
        size_t txnid = kNewestMeta;
        if (env != nullptr) {
            // A read transaction: opening must not wait for a writer in another process.
            int rc = mdb_txn_begin(env, nullptr, MDB_RDONLY, &snapshot->txn);
            if (rc != 0) {
                snapshot->txn = nullptr;
                *error = mdb_strerror(rc);
                return false;
            }
            txnid = mdb_txn_id(snapshot->txn);
        }
        if (attempt == 0 && (txnid == kNewestMeta || txnid == file.meta.txnid)) {
            snapshot->meta = file.meta;
        } else if (!ReadStoreMeta(file, txnid, &snapshot->meta, error)) {
            continue;
        }
        // Without a reader's slot the pages are read at once, and taken when no writer can have
        // reused any of them meanwhile.
        StoreImage image;
        if (env == nullptr && !ReadStoreImage(file, snapshot->meta, &image, error))
            return false;
        if (env == nullptr && !StoreMetaHeld(file, snapshot->meta, true)) {
            *error = "changed too often while it was read without its lock file";
            continue;
        }
        snapshot->entries.clear();
        bool marked = false;
        snapshot->walk = WalkStore(file, snapshot->meta, env == nullptr ? &image : nullptr,
                                   firstOnly, [&](const StoreEntry& entry) {
                                       snapshot->entries.push_back(entry);
                                       marked = marked || IsMark(entry);
                                       return keepAll || !marked;
                                   });
        if (env == nullptr || snapshot->walk.damage.empty() ||
            StoreMetaHeld(file, snapshot->meta, false))
            return true;
        *error = "changed while it was read";
    }
    if (snapshot->txn != nullptr)
        mdb_txn_abort(snapshot->txn);
    snapshot->txn = nullptr;
    return false;
}

// Why a store of this snapshot is refused, or nothing.
std::string Refusal(const Snapshot& snapshot) {
    const uint16_t flags = snapshot.meta.trees[kMainTree].flags;
    if (!snapshot.walk.damage.empty()) {
        const StoreFinding& first = snapshot.walk.damage[0];
        return "damaged: " + first.where + " " + first.what;
    }
    if (flags != 0) {
        char text[64];
        snprintf(text, sizeof text, "not a CDS store: its main database has flags 0x%x", flags);
        return text;
    }
    for (const StoreEntry& entry : snapshot.entries) {
        if (IsMark(entry)) {
            return MarkIsOurs(entry)
                       ? ""
                       : "marked as a store of another format: " +
                             Quoted(std::string(entry.value.begin(), entry.value.end()));
        }
    }
    // A store without the mark must hold only leaves with elements.
    for (const StoreEntry& entry : snapshot.entries) {
        toolkit::CElement element;
        if (entry.subTree)
            return "not a CDS store: holds a named database or duplicates under " +
                   Quoted(entry.key);
        if (!IsValidCdsPath(entry.key))
            return "not a CDS store: key " + Quoted(entry.key) + " is no leaf path";
        if (!DecodeCdsElement(entry.value.data(), entry.value.size(), &element))
            return "not a CDS store: the value of " + entry.key + " is no element";
    }
    return "";
}

bool Marked(const Snapshot& snapshot) {
    for (const StoreEntry& entry : snapshot.entries) {
        if (IsMark(entry))
            return true;
    }
    return false;
}

}  // namespace

MDB_env* OpenStoreEnvironment(const std::string& path, unsigned flags, std::string* error,
                              bool* lockDenied) {
    MDB_env* env = nullptr;
    int rc = mdb_env_create(&env);
    if (rc == 0)
        rc = mdb_env_set_mapsize(env, kMapSize);
    if (rc == 0)
        rc = mdb_env_open(env, path.c_str(), MDB_NOSUBDIR | MDB_NOSYNC | flags, 0644);
    if (rc == 0)
        return env;
    // The data file was opened already, in the same mode: what is refused is the lock file.
    *lockDenied = rc == EACCES || rc == EPERM;
    *error = *lockDenied ? "its lock file " + path + "-lock may not be opened: " + mdb_strerror(rc)
                         : mdb_strerror(rc);
    if (env != nullptr)
        mdb_env_close(env);
    return nullptr;
}

int PutStoreMark(MDB_txn* txn, MDB_dbi dbi) {
    MDB_val key{strlen(kCdsStoreMarkKey), const_cast<char*>(kCdsStoreMarkKey)};
    MDB_val data{strlen(kCdsStoreMarkValue), const_cast<char*>(kCdsStoreMarkValue)};
    return mdb_put(txn, dbi, &key, &data, 0);
}

pcd_handle_t OpenCdsStore(const std::string& path, std::string* error) {
    // A missing file is an unreachable CDS, never created here.
    StoreFile file;
    if (!OpenStoreFile(path, &file, error))
        return nullptr;
    bool lockDenied = false;
    MDB_env* env = OpenStoreEnvironment(path, file.readOnly ? MDB_RDONLY : 0, error, &lockDenied);
    const std::string whyLocked = *error;
    if (env != nullptr && !file.readOnly) {
        // Slots of readers that died would keep old pages from being reused.
        int dead = 0;
        mdb_reader_check(env, &dead);
    }
    pcd_connection* connection = nullptr;
    Snapshot snapshot;
    MDB_dbi dbi = 0;
    int rc = 0;
    if ((env != nullptr || lockDenied) &&
        ReadSnapshot(env, file, true, env == nullptr, &snapshot, error)) {
        const std::string refusal = Refusal(snapshot);
        if (!refusal.empty()) {
            *error = refusal;
        } else if (env != nullptr && (rc = mdb_dbi_open(snapshot.txn, nullptr, 0, &dbi)) != 0) {
            *error = mdb_strerror(rc);
        } else {
            // A committed read transaction keeps the database handle open.
            rc = snapshot.txn != nullptr ? mdb_txn_commit(snapshot.txn) : 0;
            snapshot.txn = nullptr;
            if (rc != 0) {
                *error = mdb_strerror(rc);
            } else if (env != nullptr) {
                connection = new pcd_connection{
                    env, dbi, file.readOnly, file.whyReadOnly, Marked(snapshot), {}, {}};
            } else {
                // Writes would need the lock file as much as the file.
                connection = new pcd_connection{nullptr,
                                                0,
                                                true,
                                                file.readOnly ? file.whyReadOnly : whyLocked,
                                                Marked(snapshot),
                                                std::move(snapshot.entries),
                                                {}};
            }
        }
    }
    if (snapshot.txn != nullptr)
        mdb_txn_abort(snapshot.txn);
    if (connection == nullptr && env != nullptr)
        mdb_env_close(env);
    CloseStoreFile(&file);
    return connection;
}

CdsScan ScanCdsStore(const std::string& path) {
    CdsScan scan;
    StoreFile file;
    if (!OpenStoreFile(path, &file, &scan.error))
        return scan;
    bool lockDenied = false;
    MDB_env* env = OpenStoreEnvironment(path, MDB_RDONLY, &scan.error, &lockDenied);
    Snapshot snapshot;
    scan.opened = (env != nullptr || lockDenied) &&
                  ReadSnapshot(env, file, false, true, &snapshot, &scan.error);
    if (scan.opened) {
        scan.error.clear();
        scan.entries = snapshot.walk.entries;
        scan.pages = snapshot.walk.pages;
        const uint16_t flags = snapshot.meta.trees[kMainTree].flags;
        if (flags != 0) {
            char text[64];
            snprintf(text, sizeof text, "its main database has flags 0x%x", flags);
            scan.findings.push_back({"store", text});
        }
        for (const StoreFinding& finding : snapshot.walk.damage)
            scan.findings.push_back({finding.where, finding.what});
        bool foreign = false;
        for (const StoreEntry& entry : snapshot.entries) {
            toolkit::CElement element;
            const bool leafPath = IsValidCdsPath(entry.key);
            const std::string where = leafPath ? entry.key : Quoted(entry.key);
            if (IsMark(entry)) {
                scan.marked = MarkIsOurs(entry);
                if (!scan.marked)
                    scan.findings.push_back({"store", "is marked as a store of another format"});
            } else if (entry.subTree) {
                scan.findings.push_back({where, "is a named database or duplicates"});
            } else if (!leafPath) {
                scan.findings.push_back({where, "key is no leaf path"});
            } else if (!DecodeCdsElement(entry.value.data(), entry.value.size(), &element)) {
                scan.findings.push_back({where, "stored bytes are no element"});
            } else {
                ++scan.leaves;
                continue;
            }
            foreign = foreign || !IsMark(entry);
        }
        for (const StoreFinding& finding : snapshot.walk.miscounts)
            scan.findings.push_back({finding.where, finding.what});
        if (!Marked(snapshot) && foreign) {
            scan.findings.push_back(
                {"store", "has no mark and holds more than leaves: the tools refuse it"});
        }
    }
    if (snapshot.txn != nullptr)
        mdb_txn_abort(snapshot.txn);
    if (env != nullptr)
        mdb_env_close(env);
    CloseStoreFile(&file);
    return scan;
}

// The check of a store through LMDB's own calls, in a child process: LMDB trusts every byte it
// maps, so a walk of a damaged store may die of SIGSEGV or SIGBUS, abort on an assertion or loop.
// The child reports what it found through a pipe; a child that ends without a report, or not in
// time, has met damage.
#include <fcntl.h>
#include <lmdb.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cds/host_store.h"
#include "cds/toolkit.h"
#include "store_connection.h"

namespace {

// A key or a value for a message: printable ASCII as it is, anything else as \xHH, in quotes.
std::string Quoted(const char* bytes, size_t size) {
    std::string text = "\"";
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
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

std::string Text(const MDB_val& value) {
    return std::string(static_cast<const char*>(value.mv_data), value.mv_size);
}

// Damage that the tools refuse a store for; the first is the refusal.
void Damage(CdsScan* check, const std::string& what) {
    if (check->refusal.empty())
        check->refusal = "damaged: " + what;
    check->findings.push_back({"store", what});
}

size_t PagesOf(const MDB_stat& stat) {
    return stat.ms_branch_pages + stat.ms_leaf_pages + stat.ms_overflow_pages;
}

// The free database: keys (transaction ids) rising, each value a count of free pages and that
// many page numbers, as mdb_stat -f adds them up. Returns the free pages, or -1 on damage.
long long WalkFreeDatabase(MDB_txn* txn, const MDB_stat& stat, CdsScan* check) {
    MDB_cursor* cursor = nullptr;
    int rc = mdb_cursor_open(txn, 0, &cursor);
    MDB_val key, data, previous;
    long long pages = 0;
    size_t entries = 0;
    for (rc = rc != 0 ? rc : mdb_cursor_get(cursor, &key, &data, MDB_FIRST); rc == 0;
         rc = mdb_cursor_get(cursor, &key, &data, MDB_NEXT), ++entries) {
        if (entries > 0 && mdb_cmp(txn, 0, &previous, &key) >= 0) {
            Damage(check, "the free database's keys are out of order");
            break;
        }
        previous = key;
        size_t count = 0;
        if (data.mv_size >= sizeof count)
            memcpy(&count, data.mv_data, sizeof count);
        if (data.mv_size < sizeof count || count > data.mv_size / sizeof count - 1) {
            Damage(check, "the free database holds an entry that is no list of pages");
            break;
        }
        pages += static_cast<long long>(count);
    }
    mdb_cursor_close(cursor);
    if (rc != 0 && rc != MDB_NOTFOUND)
        Damage(check, std::string("the free database cannot be read: ") + mdb_strerror(rc));
    else if (check->refusal.empty() && entries != stat.ms_entries)
        Damage(check, "the free database counts " + std::to_string(stat.ms_entries) +
                          " entries, holds " + std::to_string(entries));
    return check->refusal.empty() ? pages : -1;
}

// One entry of the main database: the mark, a leaf, or in a store without the mark a sign of
// another program's file.
void CheckEntry(const MDB_val& key, const MDB_val& data, std::string* foreign, CdsScan* check) {
    const std::string path = Text(key);
    toolkit::CElement element;
    if (path == kCdsStoreMarkKey) {
        check->marked = Text(data) == kCdsStoreMarkValue;
        if (!check->marked) {
            *foreign = "marked as a store of another format: " +
                       Quoted(static_cast<const char*>(data.mv_data), data.mv_size);
            check->findings.push_back({"store", "is marked as a store of another format"});
        }
    } else if (!IsValidCdsPath(path)) {
        if (foreign->empty())
            *foreign =
                "not a CDS store: key " + Quoted(path.data(), path.size()) + " is no leaf path";
        check->findings.push_back({Quoted(path.data(), path.size()), "key is no leaf path"});
    } else if (!DecodeCdsElement(static_cast<const uint8_t*>(data.mv_data), data.mv_size,
                                 &element)) {
        if (foreign->empty())
            *foreign = "not a CDS store: the value of " + path + " is no element";
        check->findings.push_back({path, "stored bytes are no element"});
    } else {
        ++check->leaves;
    }
}

// The main database: keys rising, every entry checked. A store that is not marked must hold only
// leaves, or it is another program's.
void WalkMainDatabase(MDB_txn* txn, MDB_dbi main, const MDB_stat& stat, CdsScan* check) {
    MDB_cursor* cursor = nullptr;
    int rc = mdb_cursor_open(txn, main, &cursor);
    MDB_val key, data, previous;
    std::string foreign;
    for (rc = rc != 0 ? rc : mdb_cursor_get(cursor, &key, &data, MDB_FIRST); rc == 0;
         rc = mdb_cursor_get(cursor, &key, &data, MDB_NEXT)) {
        if (check->entries > 0 && mdb_cmp(txn, main, &previous, &key) >= 0) {
            Damage(check, "the main database's key " +
                              Quoted(static_cast<const char*>(key.mv_data), key.mv_size) +
                              " is out of order");
            break;
        }
        previous = key;
        ++check->entries;
        CheckEntry(key, data, &foreign, check);
    }
    mdb_cursor_close(cursor);
    if (rc != 0 && rc != MDB_NOTFOUND)
        Damage(check, std::string("the main database cannot be read: ") + mdb_strerror(rc));
    else if (check->refusal.empty() && check->entries != stat.ms_entries)
        Damage(check, "the main database counts " + std::to_string(stat.ms_entries) +
                          " entries, holds " + std::to_string(check->entries));
    if (check->refusal.empty() && !check->marked && !foreign.empty()) {
        check->refusal = foreign;
        if (foreign.compare(0, 6, "marked") != 0)
            check->findings.push_back(
                {"store", "has no mark and holds more than leaves: the tools refuse it"});
    }
}

// A read transaction on the meta that mdb_env_info describes (a writer may commit in between),
// with the store's last page in use, checked against the file's size. Readers keep to the last
// commit the lock file records, which lags the newest meta while a writer is stopped (or died)
// inside its commit: then *lastPage is 0, and the pages are not counted.
constexpr int kReadAttempts = 10;
MDB_txn* BeginCheckedRead(MDB_env* env, const std::string& path, size_t* lastPage, CdsScan* check) {
    for (int attempt = 1;; ++attempt) {
        MDB_envinfo info;
        MDB_stat sizes;
        MDB_txn* txn = nullptr;
        struct stat file;
        if (mdb_env_info(env, &info) != 0 || mdb_env_stat(env, &sizes) != 0 ||
            stat(path.c_str(), &file) != 0)
            break;
        const unsigned long long need = (info.me_last_pgno + 1ull) * sizes.ms_psize;
        if (need > static_cast<unsigned long long>(file.st_size)) {
            check->error = check->refusal =
                "truncated: " + std::to_string(file.st_size) + " bytes, shorter than the " +
                std::to_string(info.me_last_pgno + 1) + " pages of " +
                std::to_string(sizes.ms_psize) + " bytes its meta page counts";
            return nullptr;
        }
        int rc = mdb_txn_begin(env, nullptr, MDB_RDONLY, &txn);
        if (rc != 0) {
            check->error = mdb_strerror(rc);
            return nullptr;
        }
        const bool current = mdb_txn_id(txn) == info.me_last_txnid;
        if (current || attempt == kReadAttempts) {
            *lastPage = current ? info.me_last_pgno : 0;
            return txn;
        }
        mdb_txn_abort(txn);
    }
    return nullptr;
}

// The whole check, in the child.
CdsScan WalkStore(const std::string& path) {
    CdsScan check;
    std::string whyReadOnly;
    MDB_env* env = nullptr;
    const int rc = OpenStoreEnvironment(path, MDB_RDONLY, &env, &check.error, &whyReadOnly);
    if (rc == MDB_INVALID || rc == MDB_VERSION_MISMATCH)
        check.refusal = check.error;
    if (env == nullptr)
        return check;
    size_t lastPage = 0;
    MDB_txn* txn = BeginCheckedRead(env, path, &lastPage, &check);
    MDB_dbi main = 0;
    unsigned flags = 0;
    MDB_stat mainStat, freeStat;
    int result = txn == nullptr ? -1 : mdb_dbi_open(txn, nullptr, 0, &main);
    if (result == 0 && (result = mdb_dbi_flags(txn, main, &flags)) == 0 &&
        (result = mdb_stat(txn, main, &mainStat)) == 0)
        result = mdb_stat(txn, 0, &freeStat);
    if (txn != nullptr && result != 0)
        check.error = check.refusal = std::string("damaged: ") + mdb_strerror(result);
    check.opened = result == 0;
    if (check.opened && flags != 0) {
        char text[64];
        snprintf(text, sizeof text, "its main database has flags 0x%x", flags);
        check.refusal = std::string("not a CDS store: ") + text;
        check.findings.push_back({"store", text});
    }
    if (check.opened && check.refusal.empty()) {
        const long long freePages = WalkFreeDatabase(txn, freeStat, &check);
        WalkMainDatabase(txn, main, mainStat, &check);
        check.pages = 2 + PagesOf(mainStat) + PagesOf(freeStat);
        if (lastPage > 0 && freePages >= 0 &&
            check.pages + static_cast<unsigned long long>(freePages) != lastPage + 1ull) {
            Damage(&check, "its pages do not add up: " + std::to_string(check.pages) +
                               " in use and " + std::to_string(freePages) + " free, of " +
                               std::to_string(lastPage + 1ull));
        }
    }
    if (txn != nullptr)
        mdb_txn_abort(txn);
    mdb_env_close(env);
    return check;
}

// The report through the pipe: the counts, the error and the refusal, then one line per finding,
// its place and text apart by a tab. No text holds a newline or a tab (keys are quoted).
std::string Encode(const CdsScan& check) {
    std::string text = std::to_string(check.opened) + " " + std::to_string(check.marked) + " " +
                       std::to_string(check.entries) + " " + std::to_string(check.leaves) + " " +
                       std::to_string(check.pages) + "\n" + check.error + "\n" + check.refusal +
                       "\n";
    for (const CdsScanFinding& finding : check.findings)
        text += finding.where + "\t" + finding.what + "\n";
    return text + "end\n";
}

bool Decode(const std::string& text, CdsScan* check) {
    int opened = 0, marked = 0;
    unsigned long long entries = 0, leaves = 0, pages = 0;
    if (text.size() < 4 || text.compare(text.size() - 4, 4, "end\n") != 0 ||
        sscanf(text.c_str(), "%d %d %llu %llu %llu", &opened, &marked, &entries, &leaves, &pages) !=
            5)
        return false;
    check->opened = opened != 0;
    check->marked = marked != 0;
    check->entries = static_cast<size_t>(entries);
    check->leaves = static_cast<size_t>(leaves);
    check->pages = static_cast<size_t>(pages);
    size_t at = text.find('\n') + 1, end = text.find('\n', at);
    check->error = text.substr(at, end - at);
    at = end + 1;
    end = text.find('\n', at);
    check->refusal = text.substr(at, end - at);
    for (at = end + 1; at + 4 < text.size(); at = end + 1) {
        end = text.find('\n', at);
        const size_t tab = text.find('\t', at);
        if (tab > end)
            return false;
        check->findings.push_back({text.substr(at, tab - at), text.substr(tab + 1, end - tab - 1)});
    }
    return true;
}

[[noreturn]] void RunChild(const std::string& path, int report) {
    // LMDB's assertions print to standard error; the parent tells what happened.
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0)
        dup2(null, 2);
    signal(SIGALRM, SIG_DFL);
    alarm(kCdsCheckSeconds);
    const std::string text = Encode(WalkStore(path));
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(report, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            _exit(2);
        done += static_cast<size_t>(n);
    }
    _exit(0);
}

// Why a child ended without a report.
std::string Death(int status) {
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        return "its check did not end within " + std::to_string(kCdsCheckSeconds) + " seconds";
    if (WIFSIGNALED(status))
        return "its check died of signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    return "its check ended without a report (status " +
           std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
}

}  // namespace

CdsScan CheckStoreInChild(const std::string& path) {
    CdsScan check;
    int report[2];
    if (pipe(report) != 0) {
        check.error = std::string("cannot check it: pipe: ") + strerror(errno);
        return check;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        RunChild(path, report[1]);
    }
    close(report[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; child > 0 && (n = read(report[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            text.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR)
            break;
    }
    close(report[0]);
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (child < 0) {
        check.error = std::string("cannot check it: fork: ") + strerror(errno);
    } else if (!Decode(text, &check)) {
        // Whatever the child found before it died is not to be trusted.
        check = CdsScan();
        check.opened = true;
        Damage(&check, Death(status));
    }
    return check;
}

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
#include <sstream>
#include <vector>

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

// The pages of the store as the walk meets them. Where LMDB's map of the file lies in this
// process tells the page that a key or a value lies on by its address: a key's page is a leaf,
// a value on another page lies on overflow pages of its own. Without the map's place (no
// /proc/self/maps) or the last page (see BeginCheckedRead) the pages are only counted.
struct PageMap {
    const char* base = nullptr;
    size_t pageSize = 0;
    size_t lastPage = 0;
    std::vector<uint8_t> use;  // per page: kUnseen, kLeaf, kOverflow or kFree
    size_t leafPages = 0;
    size_t overflowPages = 0;
};
enum : uint8_t { kUnseen, kLeaf, kOverflow, kFree };

// The address of the map of the store file, from the kernel's list of this process's maps.
const char* MapBase(const std::string& path, size_t size) {
    struct stat file;
    FILE* maps = stat(path.c_str(), &file) == 0 ? fopen("/proc/self/maps", "r") : nullptr;
    char line[512];
    unsigned long long start = 0, end = 0, offset = 0, inode = 0;
    bool found = false;
    while (maps != nullptr && !found && fgets(line, sizeof line, maps) != nullptr) {
        found = sscanf(line, "%llx-%llx %*s %llx %*s %llu", &start, &end, &offset, &inode) == 4 &&
                inode == file.st_ino && offset == 0 && end - start >= size;
    }
    if (maps != nullptr)
        fclose(maps);
    return found ? reinterpret_cast<const char*>(static_cast<uintptr_t>(start)) : nullptr;
}

// Claims the pages from at to at + size for one use; why says what is wrong when they lie outside
// the file or are claimed already.
bool Claim(PageMap* map, const void* at, size_t size, uint8_t use, std::string* why) {
    const char* bytes = static_cast<const char*>(at);
    const size_t end = (map->lastPage + 1) * map->pageSize;
    if (bytes < map->base || size > end || static_cast<size_t>(bytes - map->base) > end - size) {
        *why = "an entry lies outside the file's pages";
        return false;
    }
    const size_t first = static_cast<size_t>(bytes - map->base) / map->pageSize;
    const size_t last =
        size == 0 ? first : (static_cast<size_t>(bytes - map->base) + size - 1) / map->pageSize;
    for (size_t page = first; page <= last; ++page) {
        if (map->use[page] == use && use == kLeaf)
            continue;
        if (map->use[page] != kUnseen) {
            *why = "page " + std::to_string(page) + " is in two places";
            return false;
        }
        map->use[page] = use;
        ++(use == kLeaf ? map->leafPages : map->overflowPages);
    }
    return true;
}

// The pages an entry lies on: its key's leaf, and its value's overflow pages when it lies on
// another page.
bool ClaimEntry(PageMap* map, const MDB_val& key, const MDB_val& data, CdsScan* check) {
    if (map->base == nullptr)
        return true;
    std::string why;
    bool ok = Claim(map, key.mv_data, key.mv_size, kLeaf, &why);
    const char* value = static_cast<const char*>(data.mv_data);
    const size_t keyPage =
        static_cast<size_t>(static_cast<const char*>(key.mv_data) - map->base) / map->pageSize;
    if (ok && data.mv_size > 0 &&
        (value < map->base || static_cast<size_t>(value - map->base) / map->pageSize != keyPage))
        ok = Claim(map, data.mv_data, data.mv_size, kOverflow, &why);
    if (!ok)
        Damage(check, why);
    return ok;
}

// A free page the free database lists: one between the meta pages and the last, listed once and
// in no other use.
void ClaimFreePage(PageMap* map, size_t page, CdsScan* check) {
    if (map->base != nullptr && (page < 2 || page > map->lastPage || map->use[page] != kUnseen))
        Damage(check, "the free database lists page " + std::to_string(page) +
                          ", outside the file, listed twice or in use");
    else if (map->base != nullptr)
        map->use[page] = kFree;
}

// Walks a database with a cursor: keys rising strictly, the pages of each entry claimed, then
// onEntry; as many entries as its record counts. False on damage.
template <typename OnEntry>
bool WalkDatabase(MDB_txn* txn, MDB_dbi dbi, const std::string& name, const MDB_stat& stat,
                  PageMap* map, CdsScan* check, OnEntry onEntry) {
    MDB_cursor* cursor = nullptr;
    int rc = mdb_cursor_open(txn, dbi, &cursor);
    MDB_val key, data, previous;
    size_t entries = 0;
    for (rc = rc != 0 ? rc : mdb_cursor_get(cursor, &key, &data, MDB_FIRST);
         rc == 0 && check->refusal.empty(); rc = mdb_cursor_get(cursor, &key, &data, MDB_NEXT)) {
        if (entries++ > 0 && mdb_cmp(txn, dbi, &previous, &key) >= 0)
            Damage(check, "the " + name + " database's keys are out of order");
        else if (ClaimEntry(map, key, data, check))
            onEntry(key, data);
        previous = key;
    }
    mdb_cursor_close(cursor);
    if (rc != 0 && rc != MDB_NOTFOUND)
        Damage(check, "the " + name + " database cannot be read: " + mdb_strerror(rc));
    else if (check->refusal.empty() && entries != stat.ms_entries)
        Damage(check, "the " + name + " database counts " + std::to_string(stat.ms_entries) +
                          " entries, holds " + std::to_string(entries));
    return check->refusal.empty();
}

// The free database: each value a count of free pages and that many page numbers, as mdb_stat -f
// adds them up. Returns the free pages, or -1 on damage.
long long WalkFreeDatabase(MDB_txn* txn, const MDB_stat& stat, PageMap* map, CdsScan* check) {
    long long pages = 0;
    const bool sound =
        WalkDatabase(txn, 0, "free", stat, map, check, [&](const MDB_val&, const MDB_val& data) {
            size_t count = 0;
            if (data.mv_size >= sizeof count)
                memcpy(&count, data.mv_data, sizeof count);
            if (data.mv_size < sizeof count || count > data.mv_size / sizeof count - 1) {
                Damage(check, "the free database holds an entry that is no list of pages");
                return;
            }
            for (size_t i = 1; i <= count && check->refusal.empty(); ++i) {
                size_t page = 0;
                memcpy(&page, static_cast<const char*>(data.mv_data) + i * sizeof page,
                       sizeof page);
                ClaimFreePage(map, page, check);
            }
            pages += static_cast<long long>(count);
        });
    return sound ? pages : -1;
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

// The main database, every entry checked. A store that is not marked must hold only leaves, or
// it is another program's.
void WalkMainDatabase(MDB_txn* txn, MDB_dbi main, const MDB_stat& stat, PageMap* map,
                      CdsScan* check) {
    std::string foreign;
    const bool sound = WalkDatabase(txn, main, "main", stat, map, check,
                                    [&](const MDB_val& key, const MDB_val& data) {
                                        ++check->entries;
                                        CheckEntry(key, data, &foreign, check);
                                    });
    if (sound && !check->marked && !foreign.empty()) {
        check->refusal = foreign;
        if (foreign.compare(0, 6, "marked") != 0)
            check->findings.push_back(
                {"store", "has no mark and holds more than leaves: the tools refuse it"});
    }
}

// The pages both databases use, the free ones and the two meta pages must be every page up to
// the last; the leaf and overflow pages the entries lie on must be those the databases count.
void CountPages(const PageMap& map, const MDB_stat& main, const MDB_stat& free, long long freePages,
                CdsScan* check) {
    const size_t leaves = main.ms_leaf_pages + free.ms_leaf_pages;
    const size_t overflows = main.ms_overflow_pages + free.ms_overflow_pages;
    if (map.base != nullptr && (map.leafPages != leaves || map.overflowPages != overflows)) {
        Damage(check, "its entries lie on " + std::to_string(map.leafPages) + " leaf and " +
                          std::to_string(map.overflowPages) +
                          " overflow pages, its databases count " + std::to_string(leaves) +
                          " and " + std::to_string(overflows));
    } else if (map.lastPage > 0 &&
               check->pages + static_cast<unsigned long long>(freePages) != map.lastPage + 1ull) {
        Damage(check, "its pages do not add up: " + std::to_string(check->pages) + " in use and " +
                          std::to_string(freePages) + " free, of " +
                          std::to_string(map.lastPage + 1ull));
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
        PageMap map;
        MDB_stat sizes;
        mdb_env_stat(env, &sizes);
        map.pageSize = sizes.ms_psize;
        map.lastPage = lastPage;
        map.base = lastPage > 0 ? MapBase(path, (lastPage + 1) * map.pageSize) : nullptr;
        map.use.assign(map.base != nullptr ? lastPage + 1 : 0, kUnseen);
        const long long freePages = WalkFreeDatabase(txn, freeStat, &map, &check);
        WalkMainDatabase(txn, main, mainStat, &map, &check);
        check.pages = 2 + PagesOf(mainStat) + PagesOf(freeStat);
        if (check.refusal.empty())
            CountPages(map, mainStat, freeStat, freePages, &check);
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
    std::istringstream in(text);
    int opened = 0, marked = 0;
    std::string line;
    if (!(in >> opened >> marked >> check->entries >> check->leaves >> check->pages) ||
        !std::getline(in, line) || !std::getline(in, check->error) ||
        !std::getline(in, check->refusal))
        return false;
    while (std::getline(in, line) && line != "end") {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            return false;
        check->findings.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    check->opened = opened != 0;
    check->marked = marked != 0;
    return line == "end";
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

// What a power cut can leave of the profiles, and the way back. strace records every change real
// runs make to the store (flushed when a program closes it) and the day files (never flushed); a
// state gives each file its changes up to a cut of its own after its last flush, sometimes inside
// a write or with the store's pages out of order. No tool may die on a state; the way back (a new
// store, lpdump --repair, --force after a break) keeps every whole record up to the first damaged
// one and a run continues LP 1. PROFILL_POWERCUT_STATES (30) and PROFILL_POWERCUT_SEED (1) set the
// states; scripts/powercut-soak.sh runs many more.
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <sstream>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// A change to a file as strace saw it: it also sees the writes the C library makes for a stream.
struct FileChange {
    enum Kind { kCreate, kWrite, kTruncate, kRemove, kSync };
    Kind kind;
    std::string path;
    uint64_t offset = 0;  // kWrite: kAppend for the end of the file
    std::string bytes;
};
constexpr uint64_t kAppend = UINT64_MAX;
using FileContent = std::optional<std::string>;

// The bytes of the \xHH escapes (-xx escapes every byte) from at on.
std::string Unescape(const std::string& text, std::size_t at) {
    std::string bytes;
    for (; text.compare(at, 2, "\\x") == 0 && at + 4 <= text.size(); at += 4)
        bytes += static_cast<char>(std::strtol(text.substr(at + 2, 2).c_str(), nullptr, 16));
    return bytes;
}

// Appends the changes to the store and the flash root under base that the strace output trace
// shows, with paths relative to base; returns why a write cannot be placed, or "". With -y a
// descriptor shows its path, "4<\x2f...>"; with -xx no string holds a quote or an angle bracket.
std::string ParseTrace(const std::string& trace, const std::string& base,
                       std::vector<FileChange>& changes) {
    std::map<std::pair<long, long>, std::pair<bool, long long>> files;  // append, position
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t open = line.find('('), close = line.rfind(") = ");
        if (open == std::string::npos || close == std::string::npos || line[close + 4] == '-' ||
            line[close + 4] == '?')
            continue;  // no call, failed, or not finished when the process ended: no change
        const long pid = std::atol(line.c_str());
        const std::size_t start = line.find_first_not_of("0123456789 ");
        const std::string name = line.substr(start, open - start), result = line.substr(close + 4),
                          call = line.substr(open, close - open);
        const long long value = std::atoll(result.c_str());
        const std::string& fdText = name == "openat" ? result : call.substr(1);
        std::string path = Unescape(fdText, fdText.find('<') + 1);
        if (name == "unlinkat") {
            const std::string removed = Unescape(call, call.find('"') + 1);
            path = removed[0] == '/' ? removed : path + "/" + removed;
        }
        const bool kept = path == base + "store.mdb" || path.rfind(base + "jffs/", 0) == 0;
        const auto add = [&](FileChange::Kind kind, uint64_t offset, const std::string& bytes) {
            if (kept)
                changes.push_back({kind, path.substr(base.size()), offset, bytes});
        };
        const auto file = files.find({pid, std::atol(fdText.c_str())});
        if (name == "openat") {
            files[{pid, value}] = {call.find("O_APPEND") != std::string::npos, 0};
            if (call.find("O_CREAT") != std::string::npos)
                add(FileChange::kCreate, 0, "");
            if (call.find("O_TRUNC") != std::string::npos)
                add(FileChange::kTruncate, 0, "");
        } else if (name == "unlinkat") {
            add(FileChange::kRemove, 0, "");
        } else if (file != files.end() && (name == "lseek" || name == "_llseek")) {
            file->second.second =
                name == "lseek" ? value : std::atoll(call.c_str() + call.find('[') + 1);
        } else if (name == "write" || name == "writev" || name == "pwrite64") {
            std::string bytes, part;  // of every string: write's, or the pieces of writev's
            std::istringstream parts(call);
            for (int i = 0; std::getline(parts, part, '"'); ++i)
                bytes += i % 2 == 1 ? Unescape(part, 0) : "";
            uint64_t offset = kAppend;
            if (name == "pwrite64") {
                offset = std::stoull(call.substr(call.rfind(", ") + 2));
            } else if (file != files.end() && !file->second.first) {
                offset = static_cast<uint64_t>(file->second.second);
                file->second.second += value;
            }
            if (kept && (bytes.size() < static_cast<std::size_t>(value) ||
                         (file == files.end() && name != "pwrite64")))
                return line.substr(0, 200) + ": bytes or position unknown";
            add(FileChange::kWrite, offset, bytes.substr(0, static_cast<std::size_t>(value)));
        } else if (name == "fdatasync") {
            add(FileChange::kSync, 0, "");
        }
    }
    return "";
}

void ApplyChange(const FileChange& change, FileContent& content,
                 std::size_t partial = std::string::npos) {
    if (change.kind == FileChange::kRemove) {
        content.reset();
        return;
    }
    std::string& bytes = content ? *content : content.emplace();
    if (change.kind == FileChange::kTruncate) {
        bytes.resize(static_cast<std::size_t>(change.offset));
    } else if (change.kind == FileChange::kWrite) {
        const std::size_t at =
            change.offset == kAppend ? bytes.size() : static_cast<std::size_t>(change.offset);
        const std::size_t size = std::min(partial, change.bytes.size());
        bytes.resize(std::max(bytes.size(), at + size));
        bytes.replace(at, size, change.bytes, 0, size);
    }
}

using FileTree = std::map<std::string, FileContent>;

// The recorded programs: LP 1's runs write 52 records per day file (-i 30), crossing 4 KiB pages,
// the last one over six files.
const std::vector<std::vector<std::string>> kRecorded = {
    {CDSCTL_BIN, "init"},
    {CDSCTL_BIN, "load", CDSCTL_EXAMPLE},
    {PROFILL_BIN, "-i", "30", "-t", "2", "-c"},
    {PROFILL_BIN, "-i", "60", "-t", "1", "-c", "-2"},
    {PROFILL_BIN, "-i", "30", "-t", "6"},
};
const double kRecordedWeights[] = {1, 1, 2, 2, 4};
const std::vector<std::string> kNextRun = {"-i", "30", "-t", "1"};
constexpr std::size_t kRecordsPerRun = 52, kPageSize = 4096;
// The example store gives LP 1 16 channels and LP 2 3.
const std::string kDirs[] = {"jffs/lp1/", "jffs/lp2/"};
const std::size_t kRecordSizes[] = {16 + 6 * 16, 16 + 6 * 3};

FileTree ReadTree(const std::string& dir) {
    FileTree tree;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string path = fs::relative(entry.path(), dir).string();
        if (entry.is_regular_file() && (path == "store.mdb" || path.rfind("jffs/", 0) == 0))
            tree[path] = ReadFile(entry.path().string());
    }
    return tree;
}

void WriteTree(const std::string& dir, const FileTree& tree) {
    for (const std::string& lp : kDirs)
        fs::create_directories(dir + "/" + lp);
    for (const auto& [path, content] : tree) {
        if (content)
            WriteFile(dir + "/" + path, *content);
    }
}

std::vector<std::string> Env(const std::string& dir) {
    return {"PROFILL_JFFS=" + dir + "/jffs", "CDS_STORE=" + dir + "/store.mdb"};
}

// What the recorded programs changed, in order, and where each record of a profile ends up.
struct Recording {
    TempDir dir;
    FileTree after;
    std::vector<FileChange> changes;  // with paths relative to dir.path
    std::vector<std::size_t> ends;    // the number of changes at the end of each program
    std::string config;               // the store's leaves outside /LP/ at the end
    std::string lockFile;             // the store's lock file as the programs left it
    std::vector<std::pair<std::string, std::size_t>> records[2];
};

void Record(Recording& recording) {
    const std::string& dir = recording.dir.path;
    WriteTree(dir, {});
    char real[PATH_MAX];
    ASSERT_NE(realpath(dir.c_str(), real), nullptr);
    const std::string base = std::string(real) + "/";
    for (const std::vector<std::string>& program : kRecorded) {
        std::vector<std::string> args = {"-f",      "-y", "-xx",          "-s",
                                         "1048576", "-o", dir + "/trace", "-e"};
        args.push_back("trace=openat,lseek,_llseek,write,writev,pwrite64,fdatasync,unlinkat");
        args.insert(args.end(), program.begin(), program.end());
        // LeakSanitizer cannot run under ptrace; the tools' runs on the states check for leaks.
        const ProgramResult run =
            RunProgram("strace", args, {Env(dir)[0], Env(dir)[1], "ASAN_OPTIONS=detect_leaks=0"});
        ASSERT_EQ(run.status, 0) << program[1] << " under strace (scripts/install-deps.sh strace)\n"
                                 << run.out << run.err;
        const std::size_t from = recording.changes.size();
        ASSERT_EQ(ParseTrace(ReadFile(dir + "/trace"), base, recording.changes), "");
        recording.ends.push_back(recording.changes.size());
        // A run closes the store, which flushes it, after its last change to it.
        const auto end = recording.changes.rend() - static_cast<std::ptrdiff_t>(from);
        const auto last = std::find_if(recording.changes.rbegin(), end,
                                       [&](const FileChange& c) { return c.path == "store.mdb"; });
        EXPECT_TRUE(last == end || last->kind == FileChange::kSync)
            << program[1] << " left the store without a flush after its last change to it";
    }
    for (const FileChange& change : recording.changes)
        ApplyChange(change, recording.after[change.path]);
    recording.lockFile = ReadFile(dir + "/store.mdb-lock");
    recording.config = RunProgram(CDSCTL_BIN, {"dump", "/Q7M/"}, Env(dir)).out;
    ASSERT_TRUE(ReadTree(dir) == recording.after) << "the recorded changes are not all made";
    for (int lp = 0; lp < 2; ++lp) {
        for (std::size_t n = 1; recording.after.count(kDirs[lp] + std::to_string(n) + ".lp"); ++n) {
            const std::string path = kDirs[lp] + std::to_string(n) + ".lp";
            for (std::size_t at = 32; at + kRecordSizes[lp] <= recording.after[path]->size();
                 at += kRecordSizes[lp])
                recording.records[lp].push_back({path, at});
        }
    }
    ASSERT_EQ(recording.records[0].size(), kRecordsPerRun * 8);
    ASSERT_EQ(recording.records[1].size(), 28u);
}

struct State {
    FileTree files;
    bool mixed = false;     // the store's pages reached the disk out of order
    bool partial = false;   // a day file holds part of a write
    bool broken[2] = {};    // a whole record follows the first one the cut damaged
    bool newStore = false;  // the store no longer opened
};

// The cut falls in one of the programs (kRecordedWeights). Half the files keep every change up to
// it, the others are cut between their last flush and it, inside a write a third of the time. In
// some states each page of the store changed since its flush is one of its versions since.
State CutState(const Recording& recording, std::mt19937_64& random) {
    const auto uniform = [&random](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random);
    };
    const std::size_t program = std::discrete_distribution<std::size_t>(
        std::begin(kRecordedWeights), std::end(kRecordedWeights))(random);
    const std::size_t instant =
        uniform(program == 0 ? 0 : recording.ends[program - 1], recording.ends[program]);
    State state;
    std::map<std::string, std::vector<const FileChange*>> changes;
    for (std::size_t i = 0; i < instant; ++i)
        changes[recording.changes[i].path].push_back(&recording.changes[i]);
    for (const auto& [path, own] : changes) {
        std::size_t flushed = 0;
        for (std::size_t i = 0; i < own.size(); ++i)
            flushed = own[i]->kind == FileChange::kSync ? i + 1 : flushed;
        const std::size_t kept = uniform(0, 1) == 0 ? own.size() : uniform(flushed, own.size());
        std::size_t partial = std::string::npos;
        if (kept < own.size() && own[kept]->kind == FileChange::kWrite &&
            own[kept]->bytes.size() > 1 && uniform(0, 2) == 0) {
            partial = uniform(1, own[kept]->bytes.size() - 1);
        }
        FileContent& content = state.files[path];
        // The versions of each page of the file: at the flush (empty for a page the file did not
        // reach), then after each later change.
        std::map<std::size_t, std::vector<std::string>> pages;
        std::size_t size = 0;  // at the flush
        for (std::size_t i = 0, end = kept + (partial != std::string::npos); i <= end; ++i) {
            size = i == flushed && content ? content->size() : size;
            for (std::size_t page = 0;
                 i >= flushed && content && page * kPageSize < content->size(); ++page) {
                std::vector<std::string>& seen = pages[page];
                if (seen.empty() && page * kPageSize >= size)
                    seen.emplace_back();
                if (seen.empty() || seen.back() != content->substr(page * kPageSize, kPageSize))
                    seen.push_back(content->substr(page * kPageSize, kPageSize));
            }
            if (i < end)
                ApplyChange(*own[i], content, i < kept ? std::string::npos : partial);
        }
        state.partial = state.partial || (partial != std::string::npos && path != "store.mdb");
        if (path == "store.mdb" && content && uniform(0, 3) == 0) {
            std::string mixed = *content;
            for (const auto& [page, seen] : pages) {
                std::string bytes =
                    seen[uniform(0, 1) ? seen.size() - 1 : uniform(0, seen.size() - 1)];
                if (page * kPageSize < mixed.size()) {
                    size = std::max(size, bytes.empty() ? 0 : page * kPageSize + bytes.size());
                    bytes.resize(std::min(kPageSize, mixed.size() - page * kPageSize));
                    mixed.replace(page * kPageSize, bytes.size(), bytes);
                }
            }
            mixed.resize(std::min(size, content->size()));
            state.mixed = *content != mixed;
            content = mixed;
        }
    }
    return state;
}

FileTree DayFiles(const Recording& recording, int lp, std::size_t n) {
    FileTree files;
    for (std::size_t i = 0; i < n; ++i) {
        const auto& [path, offset] = recording.records[lp][i];
        files[path] = recording.after.at(path)->substr(0, offset + kRecordSizes[lp]);
    }
    return files;
}

// How many of the records of LP index lp from record 1 on the cut left whole in their places
// (under a whole header), and whether a whole record follows the first one it damaged.
std::size_t Unbroken(const Recording& recording, int lp, const FileTree& files, bool* broken) {
    const auto whole = [&](std::size_t i) {
        const auto& [path, at] = recording.records[lp][i];
        const std::string& all = *recording.after.at(path);
        const auto file = files.find(path);
        return file != files.end() && file->second &&
               file->second->size() >= at + kRecordSizes[lp] &&
               file->second->compare(0, 32, all, 0, 32) == 0 &&
               file->second->compare(at, kRecordSizes[lp], all, at, kRecordSizes[lp]) == 0;
    };
    std::size_t n = 0;
    while (n < recording.records[lp].size() && whole(n))
        ++n;
    *broken = false;
    for (std::size_t i = n + 1; i < recording.records[lp].size() && !*broken; ++i)
        *broken = whole(i);
    return n;
}

// Whether the day files in dir begin with every whole record that files hold.
bool Keeps(const std::string& dir, const FileTree& files) {
    for (const auto& [path, content] : files) {
        if (ReadFile(dir + "/" + path).compare(0, content->size(), *content) != 0)
            return false;
    }
    return true;
}

// What is wrong with the state, or "": what a tool that died printed, then the first wrong step.
std::string CheckState(const Recording& recording, State& state) {
    std::string problem;
    const TempDir dir, raw;
    const auto run = [&problem](const std::string& at, const char* program,
                                std::vector<std::string> args, int lp = 1) {
        if (lp == 2)
            args.push_back("-2");
        const ProgramResult result = RunProgram(program, args, Env(at));
        if (result.status < 0 || result.status > (program == std::string(PROFILL_BIN) ? 1 : 2))
            problem += program + (" " + args[0]) + " died\n" + result.out + result.err;
        return result;
    };
    // The lock file as the programs left it: the first process after a restart sets it up afresh.
    for (const std::string& at : {dir.path, raw.path}) {
        WriteTree(at, state.files);
        if (state.files.count("store.mdb") != 0)
            WriteFile(at + "/store.mdb-lock", recording.lockFile);
    }
    std::size_t kept[2];
    for (int lp = 0; lp < 2; ++lp)
        kept[lp] = Unbroken(recording, lp, state.files, &state.broken[lp]);

    // Nothing dies on what the cut left, and nothing that only reads or shows changes a file.
    run(dir.path, PROFILL_BIN, {"-s"});
    run(dir.path, CDSCTL_BIN, {"dump"});
    const ProgramResult stored =
        run(dir.path, CDSCTL_BIN,
            {"get", "/Q7M/LoadPrf/1/NumChannels/Value", "/LP/1/totalRecCnt/Value"});
    run(dir.path, LPDUMP_BIN, {"--verify"});
    run(dir.path, LPDUMP_BIN, {"--repair", "--dry-run"});
    FileTree files = ReadTree(raw.path);
    if (ReadTree(dir.path) != files)
        return problem + "a tool that only reads changed files\n";
    // A run on the state as it is refuses and leaves the day files alone, or keeps every record
    // the way back keeps and the store counts, and never appends after a break.
    const ProgramResult rawRun = run(raw.path, PROFILL_BIN, kNextRun);
    const std::size_t counted =
        std::strtoul(stored.out.substr(stored.out.find('\n') + 1).c_str(), nullptr, 10);
    FileTree after = ReadTree(raw.path);
    files.erase("store.mdb");
    after.erase("store.mdb");
    if (rawRun.status == 0
            ? run(raw.path, LPDUMP_BIN, {"--verify"}).status != 0 ||
                  !Keeps(raw.path, DayFiles(recording, 0, std::min(kept[0], counted)))
            : files != after)
        return problem + "the run on the state as it was\n" + rawRun.out;

    // The way back: a new store where it no longer opens, lpdump --repair (--force after a
    // break); every whole record up to the first damaged one stays in place.
    state.newStore = stored.status != 0;
    if (state.newStore) {
        fs::remove(dir.path + "/store.mdb");
        fs::remove(dir.path + "/store.mdb-lock");
        if (run(dir.path, CDSCTL_BIN, {"init"}).status != 0 ||
            run(dir.path, CDSCTL_BIN, {"load", CDSCTL_EXAMPLE}).status != 0)
            return problem + "no new store\n";
    }
    for (int lp = 1; lp <= 2; ++lp) {
        const ProgramResult repaired = run(dir.path, LPDUMP_BIN, {"--repair"}, lp);
        if (repaired.status != (state.broken[lp - 1] ? 1 : 0) ||
            (repaired.status == 1 &&
             run(dir.path, LPDUMP_BIN, {"--repair", "--force"}, lp).status != 0) ||
            run(dir.path, LPDUMP_BIN, {"--verify"}, lp).status != 0)
            return problem + "the repair of LP " + std::to_string(lp) + "\n" + repaired.out;
    }
    files = DayFiles(recording, 0, kept[0]);
    files.merge(DayFiles(recording, 1, kept[1]));
    after = ReadTree(dir.path);
    after.erase("store.mdb");
    if (after != files || run(dir.path, CDSCTL_BIN, {"dump", "/Q7M/"}).out != recording.config)
        return problem + "the configuration or the day files after the repair\n";

    // The next run continues LP 1 after the records kept.
    const ProgramResult next = run(dir.path, PROFILL_BIN, kNextRun);
    if (next.status != 0 || run(dir.path, LPDUMP_BIN, {"--verify"}).status != 0 ||
        !Keeps(dir.path, DayFiles(recording, 0, kept[0])) ||
        run(dir.path, CDSCTL_BIN, {"get", "/LP/1/totalRecCnt/Value"}).out !=
            std::to_string(kept[0] + kRecordsPerRun) + "\n")
        return problem + "the run after the repair\n" + next.out;
    return problem;
}

TEST(PowerCutTest, StatesAfterACutAreBroughtBack) {
    const char* seedText = std::getenv("PROFILL_POWERCUT_SEED");
    const char* statesText = std::getenv("PROFILL_POWERCUT_STATES");
    const unsigned long long seed = seedText ? std::strtoull(seedText, nullptr, 10) : 1;
    const int states = statesText ? std::atoi(statesText) : 30;
    printf("PROFILL_POWERCUT_SEED=%llu PROFILL_POWERCUT_STATES=%d\n", seed, states);
    Recording recording;
    Record(recording);
    ASSERT_FALSE(testing::Test::HasFailure());
    std::mt19937_64 random(seed);
    int kinds[4] = {}, problems = 0;  // partial records, mixed stores, breaks, new stores
    for (int i = 1; i <= states; ++i) {
        State state = CutState(recording, random);
        const std::string problem = CheckState(recording, state);
        if (!problem.empty() && ++problems <= 3)
            ADD_FAILURE() << "state " << i << ":\n" << problem.substr(0, 3000);
        kinds[0] += state.partial;
        kinds[1] += state.mixed;
        kinds[2] += state.broken[0] || state.broken[1];
        kinds[3] += state.newStore;
    }
    // The default states are of every kind.
    EXPECT_TRUE(states < 30 || (kinds[0] > 0 && kinds[1] > 0 && kinds[2] > 0 && kinds[3] > 0));
}

}  // namespace

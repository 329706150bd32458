// What a power cut on a host can leave of the profiles, and the way back from it.
//
// On a host the store (no flush per commit, one flush when a program closes it) and the day files
// (never flushed) reach the disk on their own, each in the order it was written. The test records,
// with strace, every change that real runs make to the store and the day files, from an empty
// flash root on: the store seeded with cdsctl, a first run of each profile and a run that
// continues LP 1 over six day files. A state starts from the empty root, and each file gets its
// own changes up to its own cut, anywhere between its last flush and the instant of the cut,
// often inside a write; in some states the store's pages reach the disk out of order, as a file
// system that keeps no write order can leave them. So a state can hold a partial record, a
// partial page of the store, a day file that has lost its end while the next one kept its
// records, a store that counts fewer or more records than the files hold, a store shorter than
// the pages it counts, or one that was never seeded. For every state no tool may die; the way
// back (a new store from the seed where the store no longer opens or holds no configuration,
// lpdump --repair, with --force where the cut left a break) must leave profiles that verify,
// with every whole record from record 1 up to the first one the cut damaged in place and
// counted; and a run must then continue LP 1.
//
// PROFILL_POWERCUT_STATES sets the number of states (30), PROFILL_POWERCUT_SEED the seed of the
// cuts (fixed); scripts/powercut-soak.sh runs many more.
#include <limits.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <random>
#include <sstream>

#include "sandbox.h"
#include "write_trace.h"

namespace {

namespace fs = std::filesystem;

// The recorded programs. LP 1's runs write 52 records per day file (-i 30), so that records
// cross the 4 KiB pages of a file, and the last one continues the profile over six files.
const std::vector<std::vector<std::string>> kRecorded = {
    {CDSCTL_BIN, "init"},
    {CDSCTL_BIN, "load", CDSCTL_EXAMPLE},
    {PROFILL_BIN, "-i", "30", "-t", "2", "-c"},
    {PROFILL_BIN, "-i", "60", "-t", "1", "-c", "-2"},
    {PROFILL_BIN, "-i", "30", "-t", "6"},
};
// How often a cut falls in each of them: mostly in the runs.
const double kRecordedWeights[] = {1, 1, 2, 2, 4};
const std::vector<std::string> kNextRun = {"-i", "30", "-t", "1"};
constexpr std::size_t kRecordsPerRun = 52;
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kPageSize = 4096;

template <typename... Parts>
std::string Text(const Parts&... parts) {
    std::ostringstream text;
    (text << ... << parts);
    return text.str();
}

// The store and every file under the flash root in dir, by path relative to dir.
FileTree ReadTree(const std::string& dir) {
    FileTree tree;
    if (fs::exists(dir + "/store.mdb")) {
        tree["store.mdb"] = ReadFile(dir + "/store.mdb");
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir + "/jffs")) {
        if (entry.is_regular_file()) {
            tree[fs::relative(entry.path(), dir).string()] = ReadFile(entry.path().string());
        }
    }
    return tree;
}

void WriteTree(const std::string& dir, const FileTree& tree) {
    fs::create_directories(dir + "/jffs/lp1");
    fs::create_directories(dir + "/jffs/lp2");
    for (const auto& [path, content] : tree) {
        if (content) {
            WriteFile(dir + "/" + path, *content);
        }
    }
}

// Where a record is, and its bytes.
struct RecordPlace {
    std::string path;
    std::size_t offset;
    std::string bytes;
};

// The records of a profile after all the recorded programs: records 1, 2, ...
struct Profile {
    std::string dir;  // its day files' directory under the flash root
    std::size_t recordSize;
    std::vector<RecordPlace> records;
};

// What the recorded programs changed, in order, from an empty flash root without a store.
struct Recording {
    TempDir dir;
    FileTree after;
    std::vector<FileChange> changes;  // with paths relative to dir.path
    std::vector<std::size_t> ends;    // the number of changes at the end of each program
    std::string config;               // the store's leaves outside /LP/ at the end
    std::string lockFile;             // the store's lock file as the programs left it
    // The example store gives LP 1 16 channels and LP 2 3.
    Profile profiles[2] = {{"jffs/lp1/", 16 + 6 * 16, {}}, {"jffs/lp2/", 16 + 6 * 3, {}}};
};

std::vector<std::string> Env(const std::string& dir) {
    return {"PROFILL_JFFS=" + dir + "/jffs", "CDS_STORE=" + dir + "/store.mdb"};
}

// The lines of a dump whose paths start with prefix, or do not (!within).
std::string Leaves(const std::string& dump, const std::string& prefix, bool within = true) {
    std::istringstream lines(dump);
    std::string line, leaves;
    while (std::getline(lines, line)) {
        if ((line.compare(0, prefix.size(), prefix) == 0) == within) {
            leaves += line + "\n";
        }
    }
    return leaves;
}

// Records the programs; fails the test when it cannot.
void Record(Recording& recording) {
    const std::string& dir = recording.dir.path;
    WriteTree(dir, {});
    char real[PATH_MAX];
    ASSERT_NE(realpath(dir.c_str(), real), nullptr);
    const std::string base = std::string(real) + "/";
    const auto keep = [&base](const std::string& path) {
        return path.compare(0, base.size(), base) == 0 &&
               (path == base + "store.mdb" || path.compare(base.size(), 5, "jffs/") == 0);
    };
    for (const std::vector<std::string>& program : kRecorded) {
        std::vector<std::string> args = StraceOptions();
        args.insert(args.end(), {"-o", dir + "/trace"});
        args.insert(args.end(), program.begin(), program.end());
        // LeakSanitizer cannot run under ptrace; the tools' runs on the states check for leaks.
        std::vector<std::string> env = Env(dir);
        env.push_back("ASAN_OPTIONS=detect_leaks=0");
        const ProgramResult run = RunProgram("strace", args, env);
        ASSERT_EQ(run.status, 0) << program[1] << " under strace (bash scripts/install-deps.sh "
                                 << "strace)\n"
                                 << run.out << run.err;
        std::string error;
        ASSERT_TRUE(ParseTrace(ReadFile(dir + "/trace"), keep, &recording.changes, &error))
            << error;
        recording.ends.push_back(recording.changes.size());
    }
    for (FileChange& change : recording.changes) {
        change.path.erase(0, base.size());
        ApplyChange(change, recording.after[change.path]);
    }
    recording.lockFile = ReadFile(dir + "/store.mdb-lock");
    recording.config = Leaves(RunProgram(CDSCTL_BIN, {"dump"}, Env(dir)).out, "/LP/", false);
    // The recorded changes are all the programs made.
    const FileTree now = ReadTree(dir);
    for (const auto& [path, content] : now) {
        EXPECT_TRUE(recording.after.count(path) != 0 && recording.after[path] == content)
            << path << " differs from what the recorded changes give";
    }
    ASSERT_EQ(recording.after.size(), now.size());

    for (Profile& profile : recording.profiles) {
        for (std::size_t n = 1; recording.after.count(Text(profile.dir, n, ".lp")) != 0; ++n) {
            const std::string path = Text(profile.dir, n, ".lp");
            const std::string& file = *recording.after[path];
            for (std::size_t at = kHeaderSize; at + profile.recordSize <= file.size();
                 at += profile.recordSize) {
                profile.records.push_back({path, at, file.substr(at, profile.recordSize)});
                ASSERT_EQ(file.substr(at, 4), Be32(static_cast<uint32_t>(profile.records.size())));
            }
        }
    }
    ASSERT_EQ(recording.profiles[0].records.size(), kRecordsPerRun * 8);
    ASSERT_EQ(recording.profiles[1].records.size(), 28u);
}

// A state of the files after a power cut, and where each file was cut.
struct State {
    std::string what;
    FileTree files;
    bool mixed = false;     // the store's pages reached the disk out of order
    bool cutShort = false;  // and the store is shorter than its pages
};

// The pages of a file as they reach the disk in any order: each page as it was at the last
// flush or after any later change to it, the newest one half the time.
class PageVersions {
  public:
    explicit PageVersions(const FileContent& content) : flushedSize_(Size(content)) {
        Note(content, 0, flushedSize_);
    }

    // Notes the pages that change touched; content is the file after it, sizeBefore its size
    // before.
    void Note(const FileContent& content, const FileChange& change, std::size_t sizeBefore) {
        const std::size_t from = change.kind == FileChange::kWrite && change.offset != kAppend
                                     ? static_cast<std::size_t>(change.offset)
                                     : std::min(sizeBefore, Size(content));
        Note(content, from, std::max(sizeBefore, Size(content)));
    }

    // content with each page from one of its versions. The file's size on the disk grows past
    // its size at the flush only as far as the pages that reached the disk.
    std::string Mix(const std::string& content, std::mt19937_64& random, int* older) const {
        std::string mixed = content;
        std::size_t size = std::min(flushedSize_, content.size());
        for (const auto& [page, seen] : versions_) {
            const std::size_t at = page * kPageSize;
            if (at >= mixed.size()) {
                continue;
            }
            std::size_t pick = seen.size() - 1;
            if (std::uniform_int_distribution<int>(0, 1)(random) == 0) {
                pick = std::uniform_int_distribution<std::size_t>(0, pick)(random);
            }
            std::string bytes = seen[pick];
            if (!bytes.empty()) {
                size = std::max(size, std::min(at + bytes.size(), content.size()));
            }
            bytes.resize(std::min(kPageSize, mixed.size() - at));
            *older += bytes != mixed.substr(at, bytes.size());
            mixed.replace(at, bytes.size(), bytes);
        }
        mixed.resize(size);
        return mixed;
    }

  private:
    static std::size_t Size(const FileContent& content) { return content ? content->size() : 0; }

    void Note(const FileContent& content, std::size_t from, std::size_t to) {
        for (std::size_t page = from / kPageSize; page * kPageSize < to; ++page) {
            const std::string bytes = content && page * kPageSize < content->size()
                                          ? content->substr(page * kPageSize, kPageSize)
                                          : std::string();
            std::vector<std::string>& seen = versions_[page];
            if (seen.empty() && page * kPageSize >= flushedSize_) {
                seen.emplace_back();  // the page was not in the file at the flush
            }
            if (seen.empty() || seen.back() != bytes) {
                seen.push_back(bytes);
            }
        }
    }

    std::size_t flushedSize_;
    std::map<std::size_t, std::vector<std::string>> versions_;
};

// The instant of the cut falls in one of the programs (kRecordedWeights). Each file gets its
// changes up to a cut of its own, at or after its last flush before that instant and at or
// before the instant: half the files all of them, the others a cut at random, inside a write a
// third of the time. In a quarter of the states the store's pages since its last flush reach
// the disk out of order.
State CutState(const Recording& recording, std::mt19937_64& random) {
    const auto uniform = [&random](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random);
    };
    const std::size_t program = std::discrete_distribution<std::size_t>(
        std::begin(kRecordedWeights), std::end(kRecordedWeights))(random);
    const std::size_t instant =
        uniform(program == 0 ? 0 : recording.ends[program - 1], recording.ends[program]);
    State state{Text("cut at change ", instant, " of ", recording.changes.size(), ":"), {}};
    std::map<std::string, std::vector<const FileChange*>> changes;
    for (std::size_t i = 0; i < instant; ++i) {
        changes[recording.changes[i].path].push_back(&recording.changes[i]);
    }
    for (const auto& [path, own] : changes) {
        std::size_t flushed = 0;
        for (std::size_t i = 0; i < own.size(); ++i) {
            flushed = own[i]->kind == FileChange::kSync ? i + 1 : flushed;
        }
        const std::size_t kept = uniform(0, 1) == 0 ? own.size() : uniform(flushed, own.size());
        std::size_t partial = std::string::npos;
        if (kept < own.size() && own[kept]->kind == FileChange::kWrite &&
            own[kept]->bytes.size() > 1 && uniform(0, 2) == 0) {
            partial = uniform(1, own[kept]->bytes.size() - 1);
        }
        FileContent& content = state.files[path];
        for (std::size_t i = 0; i < flushed; ++i) {
            ApplyChange(*own[i], content);
        }
        PageVersions pages(content);
        for (std::size_t i = flushed; i < kept + (partial != std::string::npos); ++i) {
            const std::size_t size = content ? content->size() : 0;
            ApplyChange(*own[i], content, i < kept ? std::string::npos : partial);
            pages.Note(content, *own[i], size);
        }
        state.what += Text(" ", path, " ", kept, "/", own.size());
        if (partial != std::string::npos) {
            state.what += Text("+", partial, "B");
        }
        if (path == "store.mdb" && content && uniform(0, 3) == 0) {
            int older = 0;
            const std::size_t size = content->size();
            content = pages.Mix(*content, random, &older);
            state.what += Text(" with ", older, " pages older");
            state.mixed = true;
            state.cutShort = content->size() < size;
            if (state.cutShort) {
                state.what += Text(" and ", size - content->size(), " bytes short");
            }
        }
    }
    return state;
}

// The store as cdsctl load grew it, where only its meta page reached the disk: the file is as
// long as it was before, shorter than the pages its meta page counts. Every run has this state,
// which kills a reader that trusts the meta page.
State GrownStoreState(const Recording& recording) {
    State state{"the store's meta page after cdsctl load, its pages before it", {}, true, true};
    std::size_t size = 0;
    for (std::size_t i = 0; i < recording.ends[1]; ++i) {
        const FileChange& change = recording.changes[i];
        ApplyChange(change, state.files[change.path]);
        if (i + 1 == recording.ends[0]) {
            size = state.files["store.mdb"]->size();
        }
    }
    state.files["store.mdb"]->resize(size);
    return state;
}

// How many of the profile's records from record 1 on the cut left whole in their places, and
// whether a whole record follows the first one it damaged.
std::size_t Unbroken(const Recording& recording, const Profile& profile, const FileTree& files,
                     bool* broken) {
    const auto whole = [&](const RecordPlace& place) {
        const auto file = files.find(place.path);
        return file != files.end() && file->second &&
               file->second->size() >= place.offset + place.bytes.size() &&
               file->second->compare(0, kHeaderSize, *recording.after.at(place.path), 0,
                                     kHeaderSize) == 0 &&
               file->second->compare(place.offset, place.bytes.size(), place.bytes) == 0;
    };
    std::size_t n = 0;
    while (n < profile.records.size() && whole(profile.records[n])) {
        ++n;
    }
    *broken = false;
    for (std::size_t i = n + 1; i < profile.records.size(); ++i) {
        *broken = *broken || whole(profile.records[i]);
    }
    return n;
}

// The day files of the profile that hold records 1 to n and nothing else.
FileTree DayFiles(const Recording& recording, const Profile& profile, std::size_t n) {
    FileTree files;
    for (std::size_t i = 0; i < n; ++i) {
        const RecordPlace& place = profile.records[i];
        files[place.path] = recording.after.at(place.path)->substr(0, place.offset) + place.bytes;
    }
    return files;
}

// The tools on the state in dir. A run that ends on a signal, or with a status the tool never
// gives, is a problem.
struct Tools {
    std::string dir;
    std::string* problem;

    ProgramResult Run(const char* program, const std::vector<std::string>& args) const {
        const ProgramResult result = RunProgram(program, args, Env(dir));
        if (result.status < 0 || result.status > 2 ||
            (program == std::string(PROFILL_BIN) && result.status > 1)) {
            std::string command = fs::path(program).filename().string();
            for (const std::string& arg : args) {
                command += " " + arg;
            }
            *problem +=
                Text(command, " ended with status ", result.status, "\n", result.out, result.err);
        }
        return result;
    }
};

// args for LP lp.
std::vector<std::string> Of(int lp, std::vector<std::string> args) {
    if (lp == 2) {
        args.push_back("-2");
    }
    return args;
}

// Counts of what the states needed.
struct Tally {
    int states = 0, partial = 0, mixed = 0, cutShort = 0, ran = 0, ranOnBreak = 0, newStore = 0,
        forced = 0;
};

// The first thing that is wrong with the state, or "".
std::string CheckState(const Recording& recording, const State& state, Tally& tally) {
    std::string problem;
    const TempDir dir, raw;
    const Tools tools{dir.path, &problem}, rawTools{raw.path, &problem};
    // The store's lock file is as the programs left it: after a restart the first process to
    // open the store sets it up afresh.
    for (const std::string& at : {dir.path, raw.path}) {
        WriteTree(at, state.files);
        if (state.files.count("store.mdb") != 0) {
            WriteFile(at + "/store.mdb-lock", recording.lockFile);
        }
    }
    std::size_t kept[2];
    bool broken[2], partial = false;
    for (int lp = 0; lp < 2; ++lp) {
        const Profile& profile = recording.profiles[lp];
        kept[lp] = Unbroken(recording, profile, state.files, &broken[lp]);
        for (const auto& [path, content] : state.files) {
            partial = partial || (content && path.compare(0, 9, profile.dir) == 0 &&
                                  content->size() > kHeaderSize &&
                                  (content->size() - kHeaderSize) % profile.recordSize != 0);
        }
    }
    tally.partial += partial;
    tally.mixed += state.mixed;
    tally.cutShort += state.cutShort;

    // Nothing dies on what the cut left, and nothing that only reads or shows changes a file.
    tools.Run(PROFILL_BIN, {"-s"});
    tools.Run(CDSCTL_BIN, {"dump"});
    // Whether the store opens and holds the configuration, and what it counts.
    const ProgramResult stored = tools.Run(
        CDSCTL_BIN, {"get", "/Q7M/LoadPrf/1/NumChannels/Value", "/LP/1/totalRecCnt/Value"});
    tools.Run(LPDUMP_BIN, {"--verify"});
    tools.Run(LPDUMP_BIN, {"--repair", "--dry-run"});
    if (ReadTree(dir.path) != ReadTree(raw.path)) {
        problem += "profill -s, cdsctl, lpdump --verify or --repair --dry-run changed files\n";
    }
    // A run on what the cut left either refuses and leaves the day files alone, or keeps every
    // record that the way back keeps and the store counts (it cuts one written but not counted,
    // as after a kill) and leaves a profile that verifies: it never appends after a break.
    FileTree rawFiles = ReadTree(raw.path);
    const ProgramResult rawRun = rawTools.Run(PROFILL_BIN, kNextRun);
    if (rawRun.status == 0) {
        ++tally.ran;
        const ProgramResult ranOn = rawTools.Run(LPDUMP_BIN, {"--verify", "--continued"});
        if (ranOn.status != 0) {
            ++tally.ranOnBreak;
            problem +=
                "profill ran on the state as it was and left a profile that does not "
                "verify\n" +
                rawRun.out + ranOn.out;
        }
        const std::size_t counted =
            std::strtoul(stored.out.substr(stored.out.find('\n') + 1).c_str(), nullptr, 10);
        const FileTree files =
            DayFiles(recording, recording.profiles[0], std::min(kept[0], counted));
        for (const auto& [path, content] : files) {
            if (ReadFile(raw.path + "/" + path).compare(0, content->size(), *content) != 0) {
                problem += "profill ran on the state as it was and changed records in " + path +
                           "\n" + rawRun.out;
            }
        }
    } else if (rawRun.status == 1) {
        FileTree files = ReadTree(raw.path);
        files.erase("store.mdb");
        rawFiles.erase("store.mdb");
        if (files != rawFiles) {
            problem += "profill refused to run and changed day files: " + rawRun.out;
        }
    }
    if (!problem.empty()) {
        return problem;
    }

    // The way back.
    if (stored.status != 0) {
        ++tally.newStore;
        fs::remove(dir.path + "/store.mdb");
        fs::remove(dir.path + "/store.mdb-lock");
        if (tools.Run(CDSCTL_BIN, {"init"}).status != 0 ||
            tools.Run(CDSCTL_BIN, {"load", CDSCTL_EXAMPLE}).status != 0) {
            return problem + "no new store\n";
        }
    }
    for (int lp = 1; lp <= 2; ++lp) {
        const int needed = broken[lp - 1] ? 1 : 0;
        const ProgramResult repaired = tools.Run(LPDUMP_BIN, Of(lp, {"--repair"}));
        if (repaired.status != needed) {
            return problem + Text("lpdump --repair of LP ", lp, " exited with ", repaired.status,
                                  ", not ", needed, "\n", repaired.out, repaired.err);
        }
        if (repaired.status == 1) {
            ++tally.forced;
            const ProgramResult forced = tools.Run(LPDUMP_BIN, Of(lp, {"--repair", "--force"}));
            if (forced.status != 0) {
                return problem + Text("lpdump --repair --force of LP ", lp, " exited with ",
                                      forced.status, "\n", forced.out, forced.err);
            }
        }
        const ProgramResult verified = tools.Run(LPDUMP_BIN, Of(lp, {"--verify", "--continued"}));
        if (verified.status != 0) {
            return problem +
                   Text("after the repair lpdump --verify of LP ", lp, " found\n", verified.out);
        }
    }

    // Every whole record from record 1 up to the first damaged one is still there and counted,
    // and the configuration is as it was.
    FileTree files = DayFiles(recording, recording.profiles[0], kept[0]);
    files.merge(DayFiles(recording, recording.profiles[1], kept[1]));
    FileTree now = ReadTree(dir.path);
    now.erase("store.mdb");
    const std::string dump = tools.Run(CDSCTL_BIN, {"dump"}).out;
    const std::string counted = Text("/LP/1/totalRecCnt/Value = ", kept[0], "\n",
                                     "/LP/2/totalRecCnt/Value = ", kept[1], "\n");
    if (now != files ||
        Leaves(dump, "/LP/1/totalRecCnt/") + Leaves(dump, "/LP/2/totalRecCnt/") != counted) {
        return problem + Text(
                             "after the repair the day files or the counts differ from records "
                             "1 to ",
                             kept[0], " of LP 1 and 1 to ", kept[1],
                             " of LP 2 in place and counted:\n", Leaves(dump, "/LP/"));
    }
    if (Leaves(dump, "/LP/", false) != recording.config) {
        return problem + "after the repair the configuration differs\n";
    }

    // A run continues LP 1.
    const ProgramResult next = tools.Run(PROFILL_BIN, kNextRun);
    const ProgramResult verified = tools.Run(LPDUMP_BIN, {"--verify", "--continued"});
    const std::string total = Text("/LP/1/totalRecCnt/Value = ", kept[0] + kRecordsPerRun, "\n");
    if (next.status != 0 || verified.status != 0 ||
        Leaves(tools.Run(CDSCTL_BIN, {"dump", "/LP/1/"}).out, "/LP/1/totalRecCnt/") != total) {
        return problem + Text("the run after the repair (status ", next.status, ")\n", next.out,
                              "left\n", verified.out);
    }
    for (const auto& [path, content] : DayFiles(recording, recording.profiles[0], kept[0])) {
        if (ReadFile(dir.path + "/" + path).compare(0, content->size(), *content) != 0) {
            return problem + "the run after the repair changed " + path;
        }
    }
    return problem;
}

// The first line of problem with its numbers left out.
std::string Kind(const std::string& problem) {
    std::string kind;
    for (char c : problem.substr(0, problem.find('\n'))) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || kind.empty() || kind.back() != '#') {
            kind += std::isdigit(static_cast<unsigned char>(c)) ? '#' : c;
        }
    }
    return kind;
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
    Tally tally;
    // The first line of each problem, with its numbers left out, and how many states had it.
    std::map<std::string, int> problems;
    for (int i = 0; i <= states; ++i) {
        const State state = i == 0 ? GrownStoreState(recording) : CutState(recording, random);
        const std::string problem = CheckState(recording, state, tally);
        ++tally.states;
        if (!problem.empty() && ++problems[Kind(problem)] <= 3) {
            ADD_FAILURE() << "state " << i << ", " << state.what << "\n" << problem.substr(0, 3000);
        }
    }
    printf(
        "%d states: %d with a partial record in a day file, %d with the store's pages out of order "
        "(%d of them with the store cut short); on the states as they were %d runs started, %d of "
        "them leaving a profile that does not verify; %d needed a new store, %d repairs needed "
        "--force\n",
        tally.states, tally.partial, tally.mixed, tally.cutShort, tally.ran, tally.ranOnBreak,
        tally.newStore, tally.forced);
    for (const auto& [kind, count] : problems) {
        printf("%d states: %s\n", count, kind.c_str());
    }
}

}  // namespace

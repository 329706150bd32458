// lpdump on day files and profiles written by the real profill: known records in both forms of
// the dump, and the verification of generated profiles with each kind of damage found and named.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "sandbox.h"

namespace {

constexpr std::size_t kLp1Record = 16 + 6 * 16;  // LP 1 of the example store has 16 channels

ProgramResult Lpdump(const Sandbox& box, const std::vector<std::string>& args) {
    std::vector<std::string> env = box.Env();
    env.push_back("TZ=Europe/Berlin");
    return RunProgram(LPDUMP_BIN, args, env);
}

// profill with args split at blanks; a first word "@DATE_TIME" runs it with its clock frozen there
// (in UTC) through faketime.
void Profill(const Sandbox& box, const std::string& args) {
    std::istringstream words(args);
    std::vector<std::string> argv{std::istream_iterator<std::string>(words), {}};
    std::vector<std::string> env = box.Env();
    std::string program = PROFILL_BIN;
    if (argv.at(0)[0] == '@') {
        env.insert(env.end(), {"TZ=UTC", "ASAN_OPTIONS=verify_asan_link_order=0"});
        argv.insert(argv.begin(), {"-f", Replace(argv[0].substr(1), "_", " "), PROFILL_BIN});
        argv.erase(argv.begin() + 3);
        program = "/usr/bin/faketime";
    }
    const ProgramResult run = RunProgram(program, argv, env);
    ASSERT_EQ(run.status, 0) << args << "\n" << run.out;
}

std::string Be16(uint16_t value) {
    return {static_cast<char>(value >> 8), static_cast<char>(value)};
}

// An LP 2 day file (3 channels in the example store) holding records 7 and 8.
std::string KnownDayFile() {
    std::string file = DayFileHeader(1);
    for (uint32_t n : {7u, 8u}) {
        const uint32_t start = 1700000000 + (n - 7) * 900;
        file += Be32(n) + Be32(start) + Be32(start + 900) + Be32(1);
        file += Be16(0x0001) + Be16(0x0002) + Be16(0x8000);
        // 1.5, -2 and 1e10 as IEEE-754 single precision
        file += Be32(0x3fc00000) + Be32(0xc0000000) + Be32(0x501502f9);
    }
    return file;
}

TEST(LpdumpTest, DumpsRecordsOrSaysWhyNot) {
    const std::string line7 =
        "      7  2023-11-14 22:13:20 UTC - 2023-11-14 22:28:20 UTC  2023-11-14 23:13:20 CET - "
        "2023-11-14 23:28:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10\n";
    const std::string line8 =
        "      8  2023-11-14 22:28:20 UTC - 2023-11-14 22:43:20 UTC  2023-11-14 23:28:20 CET - "
        "2023-11-14 23:43:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10\n";
    const std::string csvHead =
        "file,profile,record,start,end,start_utc,end_utc,start_local,end_local,kind,flags_1,"
        "value_1,flags_2,value_2,flags_3,value_3\n";
    const std::string csv7 =
        "<f>,2,7,1700000000,1700000900,2023-11-14T22:13:20Z,2023-11-14T22:28:20Z,"
        "2023-11-14T23:13:20+01:00,2023-11-14T23:28:20+01:00,1,0001,1.5,0002,-2,8000,1e+10\n";
    const std::string csv8 =
        "<f>,2,8,1700000900,1700001800,2023-11-14T22:28:20Z,2023-11-14T22:43:20Z,"
        "2023-11-14T23:28:20+01:00,2023-11-14T23:43:20+01:00,1,0001,1.5,0002,-2,8000,1e+10\n";
    const std::string usage =
        "usage: lpdump [--channels N | --store] [--csv] FILE...\n"
        "       lpdump [--channels N | --store] [--csv] [-2]\n"
        "       lpdump --summary [--json] [-2]\n"
        "       lpdump --verify [--strict] [--json] [-2]\n"
        "       lpdump --repair [--dry-run] [--force] [-2]\n"
        "       lpdump -h | --help | --version\n";
    const std::string notDayFile =
        "lpdump: <txt> is not a day file: it starts with 72 6f 6f 74 3a 78 3a 30 3a 30 3a 72 6f "
        "6f, not \"ZOLV Load Prof\"\n";
    struct Case {
        // <f>: the known file; <cut>: it without its last 5 bytes; <txt>: a text file
        std::vector<std::string> args;
        std::string out, err;  // out ending in "...": what out starts with
        int status;
        std::string store = "";  // in place of the sandbox's store, a file of this name beside it
    };
    const Case cases[] = {
        {{"<f>"},
         "<f>: LP 2 day file, version 1, 2 records of 3 channels\n" + line7 + line8,
         "",
         0},
        {{"--channels", "3", "--csv", "<f>"}, csvHead + csv7 + csv8, "", 0},
        {{"--store", "<cut>"},
         "<cut>: LP 2 day file, version 1, 1 record of 3 channels\n" + line7,
         "lpdump: <cut> offset 66: 29 bytes after the last whole record (records of 3 channels "
         "are 34 bytes)\n",
         1},
        {{"--channels", "3", "<bad>"},
         "<bad>: LP ? day file, version 1, 2 records of 3 channels\n" + line7 + line8,
         "lpdump: <bad> offset 15: profile digit is 33, not '1' or '2'\n",
         1},
        {{"<bad>"}, "", "lpdump: <bad>: the header names no profile; give --channels\n", 2},
        {{"--channels", "3", "<txt>"}, "", notDayFile, 2},
        {{"<f>", "<txt>"}, "", notDayFile, 2},
        {{"<f>"},
         "",
         "lpdump: cannot open the CDS store <dir>/none.mdb: No such file or directory; set "
         "CDS_STORE, or give --channels N to dump without it\n",
         2,
         "none.mdb"},
        {{"<f>", "<none>"}, "", "lpdump: cannot read <none>: No such file or directory\n", 2},
        {{"--channels", "17", "<f>"}, "", "lpdump: --channels takes 0 to 16, not \"17\"\n", 2},
        {{"--channels", "3", "--store", "<f>"},
         "",
         "lpdump: give --channels or --store, not both\n",
         2},
        {{"--help"}, usage + "...", "", 0},
        {{"--version"}, "lpdump " PROFILL_VERSION "\n", "", 0},
        {{"--verify", "<f>"}, "", usage, 2},
        {{"--summary", "--strict"}, "", usage, 2},
        {{"-2", "<f>"}, "", usage, 2},
        {{"--verify", "--force"}, "", usage, 2},
        {{"--repair", "--continued"}, "", usage, 2},
    };
    Sandbox box(ReadFile(CDSCTL_EXAMPLE));
    const std::string known = box.dir.path + "/known.lp", cut = box.dir.path + "/cut.lp";
    const std::string bad = box.dir.path + "/bad.lp", none = box.dir.path + "/none.lp";
    const std::string txt = box.dir.path + "/passwd";
    WriteFile(txt, "root:x:0:0:root:/root:/bin/bash\n");
    WriteFile(known, KnownDayFile());
    WriteFile(cut, KnownDayFile().substr(0, KnownDayFile().size() - 5));
    WriteFile(bad, Replace(KnownDayFile(),
                           std::string("Prof\0"
                                       "2",
                                       6),
                           std::string("Prof\0"
                                       "3",
                                       6)));
    auto names = [&](std::string text) {
        for (auto [from, to] : {std::pair{"<f>", known},
                                {"<cut>", cut},
                                {"<bad>", bad},
                                {"<none>", none},
                                {"<txt>", txt},
                                {"<dir>", box.dir.path}}) {
            text = Replace(text, from, to);
        }
        return text;
    };
    for (const Case& c : cases) {
        std::vector<std::string> args;
        for (const std::string& arg : c.args) {
            args.push_back(names(arg));
        }
        std::vector<std::string> env = box.Env();
        if (!c.store.empty()) {
            env.push_back("CDS_STORE=" + box.dir.path + "/" + c.store);
        }
        env.push_back("TZ=Europe/Berlin");
        const ProgramResult result = RunProgram(LPDUMP_BIN, args, env);
        const std::string label = testing::PrintToString(c.args);
        const std::string out = names(c.out);
        if (out.size() >= 3 && out.compare(out.size() - 3, 3, "...") == 0) {
            EXPECT_EQ(result.out.substr(0, out.size() - 3), out.substr(0, out.size() - 3)) << label;
        } else {
            EXPECT_EQ(result.out, out) << label;
        }
        EXPECT_EQ(result.err, names(c.err)) << label;
        EXPECT_EQ(result.status, c.status) << label;
    }

    // The CSV's times as a reader of ISO 8601 takes them, in a zone west of UTC by a time that
    // is no whole number of hours: each names the second that its seconds column holds.
    std::vector<std::string> env = box.Env();
    env.push_back("TZ=America/St_Johns");
    std::istringstream rows(RunProgram(LPDUMP_BIN, {"--csv", known}, env).out);
    std::vector<std::vector<std::string>> table;
    for (std::string row, cell; std::getline(rows, row);) {
        std::istringstream cells(row);
        for (table.emplace_back(); std::getline(cells, cell, ',');) {
            table.back().push_back(cell);
        }
    }
    ASSERT_EQ(table.size(), 3u);
    const auto column = [&table](const std::string& name) {
        const auto at = std::find(table[0].begin(), table[0].end(), name);
        return static_cast<std::size_t>(at - table[0].begin());
    };
    for (std::size_t row = 1; row < table.size(); ++row) {
        for (const std::string name : {"start_utc", "end_utc", "start_local", "end_local"}) {
            const std::string text = table[row].at(column(name));
            struct tm fields = {};
            const char* end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S%z", &fields);
            ASSERT_TRUE(end != nullptr && *end == '\0') << text;
            const long offset = fields.tm_gmtoff;  // before timegm normalises fields
            EXPECT_EQ(timegm(&fields) - offset,
                      std::stoll(table[row].at(column(name.substr(0, name.find('_'))))))
                << text;
            EXPECT_EQ(text.back() == 'Z', name.find("utc") != std::string::npos) << text;
        }
    }
}

// Lines of an lpdump run, standard output then standard error: each expected line is a prefix of
// the line at its place (time texts are left out), with <root> for the flash root, <store> for
// the store and <pid> for this process; the last is the whole line.
void ExpectLines(const Sandbox& box, const std::vector<std::string>& args, int status,
                 const std::vector<std::string>& lines, const std::string& label) {
    const ProgramResult result = Lpdump(box, args);
    EXPECT_EQ(result.status, status) << label << "\n" << result.out << result.err;
    std::istringstream out(result.out + result.err);
    std::vector<std::string> got;
    for (std::string line; std::getline(out, line);) {
        got.push_back(line);
    }
    ASSERT_EQ(got.size(), lines.size()) << label << "\n" << result.out << result.err;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string want = Replace(lines[i], "<root>", box.root);
        want = Replace(Replace(want, "<store>", box.store), "<pid>", std::to_string(getpid()));
        EXPECT_EQ(got[i].substr(0, i + 1 == lines.size() ? std::string::npos : want.size()), want)
            << label;
    }
}

// Whether got holds every key of want with its value: objects are compared key by key, arrays
// element by element, so a row names only what it is about.
testing::AssertionResult JsonHolds(const nlohmann::json& got, const nlohmann::json& want,
                                   const std::string& where = "") {
    if (want.is_object() && got.is_object()) {
        for (const auto& [key, value] : want.items()) {
            if (!got.contains(key)) {
                return testing::AssertionFailure() << where << "/" << key << " is missing";
            }
            if (auto held = JsonHolds(got[key], value, where + "/" + key); !held) {
                return held;
            }
        }
        return testing::AssertionSuccess();
    }
    if (want.is_array() && got.is_array() && want.size() == got.size()) {
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (auto held = JsonHolds(got[i], want[i], where + "/" + std::to_string(i)); !held) {
                return held;
            }
        }
        return testing::AssertionSuccess();
    }
    if (got != want) {
        return testing::AssertionFailure() << where << " is " << got << ", not " << want;
    }
    return testing::AssertionSuccess();
}

// Sets the first file-information counters of LP 1 in the store.
void SetCounters(const Sandbox& box, const std::vector<int>& values) {
    std::vector<std::string> args = {"set"};
    for (std::size_t i = 0; i < values.size(); ++i) {
        args.push_back(std::string("/LP/1/") + kCounters[i] + "/Value");
        args.push_back(std::to_string(values[i]));
    }
    const ProgramResult set = RunProgram(CDSCTL_BIN, args, {"CDS_STORE=" + box.store});
    ASSERT_EQ(set.status, 0) << set.err;
}

const std::string kRepairs = "lpdump --repair brings the store in line with the day files";
const std::string kFixFiles =
    "set right or remove what the lines above name, then lpdump --repair; or profill -c starts "
    "the profile afresh";

std::string Force(int kept) {
    return "lpdump --repair --force keeps the " + std::to_string(kept) +
           " records before the break; or profill -c starts the profile afresh";
}

// The verdict of a check that disagrees, with what to do next.
std::string Disagrees(int discrepancies, int files, int records,
                      const std::string& next = kRepairs) {
    return "lpdump: LP 1 does not agree with its store: " + std::to_string(discrepancies) +
           (discrepancies == 1 ? " discrepancy" : " discrepancies") + " in " +
           std::to_string(files) + (files == 1 ? " day file, " : " day files, ") +
           std::to_string(records) + " records; " + next;
}

std::string Already(int lp, int files, int records, int channels) {
    return "lpdump: LP " + std::to_string(lp) +
           " agrees with its store already: " + std::to_string(files) +
           (files == 1 ? " day file, " : " day files, ") + std::to_string(records) +
           " records of " + std::to_string(channels) + " channels; nothing to repair";
}

std::string Stored(const std::string& were, const std::string& now) {
    return "store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted were " + were + ", now " +
           now;
}

// The day-file directories (names, kinds, bytes; a FIFO is not opened) and the whole store.
std::string Snapshot(const Sandbox& box) {
    std::string snapshot = box.Dump("/");
    for (const char* lp : {"/lp1/", "/lp2/"}) {
        const std::string dir = box.root + lp;
        std::vector<std::string> names;
        if (DIR* listing = opendir(dir.c_str())) {
            while (const dirent* entry = readdir(listing)) {
                if (entry->d_name[0] != '.') {
                    names.push_back(entry->d_name);
                }
            }
            closedir(listing);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            struct stat entry = {};
            EXPECT_EQ(lstat((dir + name).c_str(), &entry), 0) << dir + name;
            snapshot += "\n" + dir + name + " " + std::to_string(entry.st_mode) + "\n";
            if (S_ISREG(entry.st_mode)) {
                snapshot += ReadFile(dir + name);
            } else if (S_ISLNK(entry.st_mode)) {
                char target[256];
                const ssize_t size = readlink((dir + name).c_str(), target, sizeof target);
                snapshot += std::string(target, size > 0 ? static_cast<std::size_t>(size) : 0);
            }
        }
    }
    return snapshot;
}

// Each generated profile is damaged, verified and repaired. A repair that fails, or only says
// what it would do, changes nothing; one that changes something leaves a profile that verifies,
// and that profill continues into a profile that verifies.
TEST(LpdumpTest, VerifiesAndRepairsGeneratedProfilesWithEachDamage) {
    // LP 1 after "-i 15 -t 2 -c": 1.lp holds records 1-99, 2.lp 100-199, 3.lp 200; the store
    // holds 3 0 200 2 0.
    const std::string oneFifteen = "-i 15 -t 2 -c";
    const std::string whole =
        "lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels";
    const std::string store = "store: currentDay fileRecCnt totalRecCnt dayCnt are ";
    const std::string unplaced =
        "lpdump: LP 1 is not repaired: its day files cannot be placed; nothing changed";
    const std::string now = "lpdump: LP 1 agrees with its store now: ";
    auto breaksOff = [](int kept, int lost) {
        return "lpdump: LP 1 is not repaired: its records break off; --force keeps the " +
               std::to_string(kept) + " records before the break and removes the " +
               std::to_string(lost) + (lost == 1 ? " whole record" : " whole records") +
               " from it on; nothing changed";
    };
    int held = -1;  // the profile's lock, held as another writer holds it
    // An lpdump command, its status and its lines (ExpectLines); no command: not run.
    // json: what the same command with --json prints must hold (JsonHolds).
    struct Run {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> lines;
        std::string json = "";
    };
    struct Case {
        const char* name;
        std::vector<std::string> runs;
        std::function<void(const Sandbox&)> damage;
        Run verify;
        Run repair;
        Run summary = {};
    };
    // The records of LP 2 in the order of their day files: a listing's order (1, 10, 11, 12,
    // 2, ...) breaks it.
    std::vector<std::string> dozen;
    for (int day = 1; day <= 12; ++day) {
        dozen.push_back("<root>/lp2/" + std::to_string(day) +
                        ".lp: LP 2 day file, version 1, 1 record of 3 channels");
        dozen.push_back((day < 10 ? "      " : "     ") + std::to_string(day) + "  ");
    }
    dozen.back() =
        "     12  2026-12-05 00:00:00 UTC - 2026-12-06 00:00:00 UTC  2026-12-05 01:00:00 CET - "
        "2026-12-06 01:00:00 CET  kind 2 0001:10000 0002:20000 0004:30000";
    const std::string noteOnly =
        "without --strict the breaks in time are notes: each run that continues a profile leaves "
        "one";
    const Case cases[] = {
        {"whole",
         {oneFifteen},
         nullptr,
         {{"--verify"}, 0, {whole}},
         {{"--repair"}, 0, {Already(1, 3, 200, 16)}},
         {{"--summary"},
          0,
          {"LP 1 in <root>/lp1/, records of 16 channels", "day files:   1.lp to 3.lp, 3",
           "records:     200: 99 in 1.lp, 100 in 2.lp, 1 in 3.lp", "time:        ", "             ",
           "intervals:   15 min (200 records)", "runs:        1", "gaps:        none",
           "overlaps:    none",
           "store:       currentDay 3, fileRecCnt 0, totalRecCnt 200, dayCnt 2, daysDeleted 0",
           "verdict:     agrees with its store"},
          R"({"profile": 1, "channels": 16, "records": 200, "runs": 1, "breaks": [],
              "dayFiles": [{"day": 1, "records": 99}, {"day": 2, "records": 100},
                           {"day": 3, "records": 1}],
              "intervals": [{"seconds": 900, "records": 200}],
              "store": {"currentDay": 3, "fileRecCnt": 0, "totalRecCnt": 200, "dayCnt": 2},
              "verdict": "agrees", "discrepancies": 0, "notes": 0, "next": ""})"}},
        {"a dozen daily day files, dumped in order",
         {"@2026-12-06_12:00:00 -i 1440 -t 12 -c -2"},
         nullptr,
         {{"-2"}, 0, dozen},
         {{"--repair", "-2"}, 0, {Already(2, 12, 12, 3)}}},
        {"weekly",
         {"-i 10080 -t 2 -c"},
         nullptr,
         {{"--verify"},
          0,
          {"lpdump: LP 1 agrees with its store: 2 day files, 2 records of 16 channels"}},
         {{"--repair"}, 0, {Already(1, 2, 2, 16)}}},
        {"hourly",
         {"-i 60 -t 1 -c"},
         nullptr,
         {{"--verify"},
          0,
          {"lpdump: LP 1 agrees with its store: 2 day files, 28 records of 16 channels"}},
         {{"--repair"}, 0, {Already(1, 2, 28, 16)}}},
        {"interval ends past 2106",
         {"@2106-02-07_05:00:00 -i 60 -t 1 -c"},
         nullptr,
         {{"--verify"},
          0,
          {"lpdump: LP 1 agrees with its store: 2 day files, 28 records of 16 channels"}},
         {{"--repair"}, 0, {Already(1, 2, 28, 16)}}},
        {"stopped in day file 1",
         {oneFifteen},
         [](const Sandbox& box) {
             ASSERT_EQ(truncate(box.DayFile(0, 1).c_str(), 32 + 50 * kLp1Record), 0);
             ASSERT_EQ(unlink(box.DayFile(0, 2).c_str()) | unlink(box.DayFile(0, 3).c_str()), 0);
             SetCounters(box, {1, 50, 50, 0});
         },
         {{"--verify"},
          0,
          {"lpdump: LP 1 agrees with its store: 1 day file, 50 records of 16 channels"}},
         {{"--repair"}, 0, {Already(1, 1, 50, 16)}}},
        {"continued",
         {"@2026-12-06_12:00:00 -i 15 -t 2 -c", "@2026-12-07_12:00:00 -i 15 -t 1"},
         nullptr,
         {{"--verify"},
          0,
          {"<root>/lp1/3.lp offset 144: note: record 201 starts at ",
           "lpdump: LP 1 agrees with its store: 4 day files, 300 records of 16 channels; 1 break "
           "in time, noted"}},
         {{"--repair"}, 0, {Already(1, 4, 300, 16)}},
         {{"--summary"},
          0,
          {"LP 1 in <root>/lp1/, records of 16 channels", "day files:   1.lp to 4.lp, 4",
           "records:     300: 99 in 1.lp, 100 in each of 2.lp and 3.lp, 1 in 4.lp",
           "time:        2026-12-04 12:00:00 UTC to 2026-12-07 13:00:00 UTC",
           "             2026-12-04 13:00:00 CET to 2026-12-07 14:00:00 CET",
           "intervals:   15 min (300 records)", "runs:        2, split by 1 break in time:",
           "             record 201 (3.lp offset 144) starts 2 h before the previous record's end "
           "(overlap)",
           "gaps:        none", "overlaps:    1, 2 h in all", "store:       currentDay 4, ",
           "verdict:     agrees with its store; lpdump --verify lists its 1 note"},
          R"({"records": 300, "runs": 2, "notes": 1, "verdict": "agrees",
              "firstStart": {"seconds": 1796385600, "utc": "2026-12-04T12:00:00Z",
                             "local": "2026-12-04T13:00:00+01:00"},
              "lastEnd": {"seconds": 1796648400, "utc": "2026-12-07T13:00:00Z",
                          "local": "2026-12-07T14:00:00+01:00"},
              "breaks": [{"file": "3.lp", "offset": 144, "record": 201, "seconds": -7200}],
              "gaps": {"count": 0, "seconds": 0}, "overlaps": {"count": 1, "seconds": 7200}})"}},
        {"continued, checked strictly",
         {oneFifteen, "-i 15 -t 1"},
         nullptr,
         {{"--verify", "--strict"},
          1,
          {"<root>/lp1/3.lp offset 144: record 201 starts at ", Disagrees(1, 4, 300, noteOnly)},
          R"({"profile": 1, "strict": true, "verdict": "disagrees", "dayFilesRead": 4,
              "records": 300, "discrepancies": 1, "notes": 0, "timeBreaks": 1})"},
         {}},
        // The continuing run ends before the first one did: the time covered still runs to the
        // latest end.
        {"continued at another interval",
         {"@2026-12-06_12:00:00 -i 60 -t 2 -c", "@2026-12-06_12:00:00 -i 15 -t 1"},
         nullptr,
         {{"--verify", "--continued"},
          0,
          {"<root>/lp1/3.lp offset 144: note: record 57 starts at ",
           "lpdump: LP 1 agrees with its store: 4 day files, 156 records of 16 channels; 1 break "
           "in time, noted"}},
         {{"--repair"}, 0, {Already(1, 4, 156, 16)}},
         {{"--summary"},
          0,
          {"LP 1 in <root>/lp1/, records of 16 channels", "day files:   1.lp to 4.lp, 4",
           "records:     156: 27 in 1.lp, 28 in 2.lp, 100 in 3.lp, 1 in 4.lp",
           "time:        2026-12-04 12:00:00 UTC to 2026-12-06 20:00:00 UTC",
           "             2026-12-04 13:00:00 CET to 2026-12-06 21:00:00 CET",
           "intervals:   15 min (100 records), 1 h (56 records)",
           "runs:        2, split by 1 break in time:",
           "             record 57 (3.lp offset 144) starts 1 d 8 h before the previous record's "
           "end (overlap)",
           "gaps:        none", "overlaps:    1, 1 d 8 h in all", "store:       currentDay 4, ",
           "verdict:     agrees with its store; lpdump --verify lists its 1 note"},
          R"({"intervals": [{"seconds": 900, "records": 100}, {"seconds": 3600, "records": 56}],
              "lastEnd": {"seconds": 1796587200}})"}},
        {"truncated record",
         {oneFifteen},
         [](const Sandbox& box) { ASSERT_EQ(truncate(box.DayFile(0, 3).c_str(), 139), 0); },
         {{"--verify"},
          1,
          {"<root>/lp1/3.lp offset 32: 107 bytes after the last whole record (records of 16 "
           "channels are 112 bytes)",
           store + "3 0 200 2, but the records in the day files give 2 99 199 1",
           Disagrees(2, 3, 199)}},
         {{"--repair"},
          0,
          {"<root>/lp1/3.lp: removed, it holds no whole record (a header and 107 bytes of a "
           "record)",
           Stored("3 0 200 2 0", "2 99 199 1 0"),
           now + "2 day files, 199 records of 16 channels"}}},
        {"partial record after the last one counted",
         {oneFifteen},
         [](const Sandbox& box) {
             const std::string file = ReadFile(box.DayFile(0, 3));
             WriteFile(box.DayFile(0, 3), file + file.substr(32, 50));
         },
         {{"--verify"},
          1,
          {"<root>/lp1/3.lp offset 144: 50 bytes after the last whole record (records of 16 "
           "channels are 112 bytes)",
           Disagrees(1, 3, 200)}},
         {{"--repair"},
          0,
          {"<root>/lp1/3.lp offset 144: cut 50 bytes after the last whole record (records of 16 "
           "channels are 112 bytes)",
           now + "3 day files, 200 records of 16 channels"}}},
        {"gap in numbering",
         {oneFifteen},
         [](const Sandbox& box) {
             std::string file = ReadFile(box.DayFile(0, 1));
             WriteFile(box.DayFile(0, 1), file.erase(32 + 49 * kLp1Record, kLp1Record));
         },
         {{"--verify"},
          1,
          {"<root>/lp1/1.lp offset 5520: record number 51, expected 50",
           "<root>/lp1/1.lp offset 5520: note: record 51 starts at ",
           "<root>/lp1/2.lp offset 32: record 100 starts this day file, but should continue day "
           "file 1 (its run starts a day file every 100 records)",
           "<root>/lp1/3.lp offset 32: record 200 starts this day file, but should continue day "
           "file 2",
           store + "3 0 200 2, but the records in the day files give 2 99 199 1",
           Disagrees(4, 3, 199, Force(49))}},
         {{"--repair"},
          1,
          {"<root>/lp1/1.lp offset 5520: record number 51, expected 50", breaksOff(49, 150)}}},
        {"end of a day file lost, the next kept",
         {oneFifteen},
         [](const Sandbox& box) {
             ASSERT_EQ(truncate(box.DayFile(0, 2).c_str(), 32 + 60 * kLp1Record + 50), 0);
         },
         {{"--verify"},
          1,
          {"<root>/lp1/2.lp offset 6752: 50 bytes after the last whole record",
           "<root>/lp1/3.lp offset 32: record number 200, expected 160",
           "<root>/lp1/3.lp offset 32: note: record 200 starts at ",
           "<root>/lp1/3.lp offset 32: record 200 starts this day file, but should continue day "
           "file 2",
           store + "3 0 200 2, but the records in the day files give 2 60 160 1",
           Disagrees(4, 3, 160, Force(159))}},
         {{"--repair", "--force"},
          0,
          {"<root>/lp1/2.lp offset 6752: 50 bytes after the last whole record (records of 16 "
           "channels are 112 bytes), but day file 3 holds records after it",
           "<root>/lp1/3.lp: removed, after the break (1 whole record)",
           "<root>/lp1/2.lp offset 6752: cut 50 bytes from the break on (no whole record)",
           Stored("3 0 200 2 0", "2 59 159 1 0"),
           now + "2 day files, 159 records of 16 channels; the break cost 1 whole record"}}},
        {"record moved to the day file before",
         {oneFifteen},
         [](const Sandbox& box) {
             std::string second = ReadFile(box.DayFile(0, 2));
             WriteFile(box.DayFile(0, 1), ReadFile(box.DayFile(0, 1)) + second.substr(32, 112));
             WriteFile(box.DayFile(0, 2), second.erase(32, 112));
         },
         {{"--verify"},
          1,
          {"<root>/lp1/1.lp offset 11120: record 100 should start day file 2 (its run starts a "
           "day file every 100 records)",
           "<root>/lp1/2.lp offset 32: record 101 starts this day file, but should continue day "
           "file 2",
           Disagrees(2, 3, 200, Force(99))}},
         {{"--repair"},
          1,
          {"<root>/lp1/1.lp offset 11120: record 100 should start day file 2",
           breaksOff(99, 101)}}},
        {"wrong header bytes",
         {oneFifteen},
         [](const Sandbox& box) {
             std::string first = ReadFile(box.DayFile(0, 1)), second = ReadFile(box.DayFile(0, 2));
             WriteFile(box.DayFile(0, 1), first.replace(25, 1, "\x01"));
             WriteFile(box.DayFile(0, 2), second.replace(15, 1, "2"));
         },
         {{"--verify"},
          1,
          {"<root>/lp1/1.lp offset 25: header bytes 20-31 are 00 00 00 00 00 01 00 00 00 00 00 "
           "00, not all zero",
           "<root>/lp1/2.lp offset 15: profile digit is 32, not '1'",
           Disagrees(2, 3, 200, kFixFiles)}},
         {{"--repair", "--force"},
          1,
          {"<root>/lp1/1.lp offset 25: header bytes 20-31 are",
           "<root>/lp1/2.lp offset 15: profile digit is 32, not '1'", unplaced}}},
        {"wrong kind",
         {oneFifteen},
         [](const Sandbox& box) {
             std::string file = ReadFile(box.DayFile(0, 1));
             WriteFile(box.DayFile(0, 1), file.replace(32 + 4 * kLp1Record + 12, 4, Be32(3)));
         },
         {{"--verify"},
          1,
          {"<root>/lp1/1.lp offset 480: record 5 has kind 3, not 1 or 2",
           Disagrees(1, 3, 200, Force(4))}},
         {{"--repair"},
          1,
          {"<root>/lp1/1.lp offset 480: record 5 has kind 3, not 1 or 2", breaksOff(4, 196)}},
         {{"--summary"},
          0,
          {"LP 1 in ", "day files:   ", "records:     200: ", "time:        ", "             ",
           "intervals:   ", "runs:        1", "gaps:        ", "overlaps:    ", "store:       ",
           "verdict:     does not agree with its store: 1 discrepancy (lpdump --verify lists "
           "it); " +
               Force(4)}}},
        {"records of another channel count than the store's",
         {"-i 1440 -t 3 -c"},
         [](const Sandbox& box) {
             ASSERT_EQ(RunProgram(CDSCTL_BIN, {"set", "/Q7M/LoadPrf/1/NumChannels/Value", "3"},
                                  {"CDS_STORE=" + box.store})
                           .status,
                       0);
         },
         {},
         {{"--repair", "--force"},
          1,
          {"<root>/lp1/1.lp offset 66: the day files hold records of 16 channels (112 bytes), "
           "not of the 3 channels (34 bytes) of NumChannels in the store",
           unplaced}}},
        {"file count in the store",
         {oneFifteen},
         [](const Sandbox& box) {
             SetCounters(box, {3, 5, 200, 2});
         },
         {{"--verify"},
          1,
          {store + "3 5 200 2, but the records in the day files give 3 0 200 2",
           Disagrees(1, 3, 200)}},
         {{"--repair"},
          0,
          {Stored("3 5 200 2 0", "3 0 200 2 0"), now + "3 day files, 200 records of 16 channels"}}},
        {"day count one too many",
         {oneFifteen},
         [](const Sandbox& box) {
             SetCounters(box, {3, 0, 200, 3});
         },
         {{"--verify"},
          1,
          {store + "3 0 200 3, but the records in the day files give 3 0 200 2",
           Disagrees(1, 3, 200)}},
         {}},
        {"counters of an older store",
         {oneFifteen},
         [](const Sandbox& box) {
             SetCounters(box, {2, 50, 150, 1});
         },
         {{"--verify"},
          1,
          {store + "2 50 150 1, but the records in the day files give 2 99 199 1",
           "<root>/lp1/3.lp: is not one of day files 1 to 2 that currentDay 2 counts",
           Disagrees(2, 2, 199)}},
         {{"--repair"},
          0,
          {Stored("2 50 150 1 0", "3 0 200 2 0"),
           now + "3 day files, 200 records of 16 channels"}}},
        {"record written, not stored",
         {oneFifteen},
         [](const Sandbox& box) {
             // Record 201 after record 200, as a run killed before storing it leaves it.
             const std::string file = ReadFile(box.DayFile(0, 3));
             uint32_t end = 0;  // of record 200, the first in the file
             for (std::size_t at = 40; at < 44; ++at) {
                 end = end << 8 | static_cast<uint8_t>(file[at]);
             }
             WriteFile(box.DayFile(0, 3),
                       file + Be32(201) + Be32(end) + Be32(end + 900) + file.substr(32 + 12));
         },
         {{"--verify"},
          1,
          {"<root>/lp1/3.lp offset 144: record 201 is not counted in the store (totalRecCnt 200)",
           Disagrees(1, 3, 201)}},
         {{"--repair"},
          0,
          {Stored("3 0 200 2 0", "3 1 201 2 0"), now + "3 day files, 201 records of 16 channels"}}},
        {"new day file written, not stored",
         {oneFifteen},
         [](const Sandbox& box) {
             SetCounters(box, {2, 99, 199, 1});
         },
         {{"--verify"},
          1,
          {"<root>/lp1/3.lp: is not one of day files 1 to 2 that currentDay 2 counts; it was "
           "started by record 200, which the store does not count, and the run of profill that "
           "next starts day file 3 writes it afresh",
           Disagrees(1, 2, 199)}},
         {{"--repair"},
          0,
          {Stored("2 99 199 1 0", "3 0 200 2 0"),
           now + "3 day files, 200 records of 16 channels"}}},
        {"new day files started, not written",
         {oneFifteen},
         [](const Sandbox& box) {
             SetCounters(box, {2, 99, 199, 1});
             ASSERT_EQ(truncate(box.DayFile(0, 3).c_str(), 32), 0);
             WriteFile(box.DayFile(0, 4), "");
             WriteFile(box.DayFile(0, 5), DayFileHeader(0).substr(0, 10));
         },
         {{"--verify"},
          1,
          {"<root>/lp1/3.lp: is not one of day files 1 to 2 that currentDay 2 counts",
           "<root>/lp1/4.lp: is not one of day files 1 to 2 that currentDay 2 counts",
           "<root>/lp1/5.lp: is not one of day files 1 to 2 that currentDay 2 counts",
           Disagrees(3, 2, 199)}},
         {{"--repair"},
          0,
          {"<root>/lp1/5.lp: removed, it holds no whole record (10 bytes, shorter than a header)",
           "<root>/lp1/4.lp: removed, it holds no whole record (empty)",
           "<root>/lp1/3.lp: removed, it holds no whole record (a header only)",
           now + "2 day files, 199 records of 16 channels"}}},
        {"files not named as day files are",
         {oneFifteen},
         [](const Sandbox& box) {
             WriteFile(box.root + "/lp1/0.lp", "");
             WriteFile(box.root + "/lp1/007.lp", ReadFile(box.DayFile(0, 1)));
         },
         {{"--verify"},
          1,
          {"<root>/lp1/0.lp: is not one of day files 1 to 3 that currentDay 3 counts",
           "<root>/lp1/007.lp: is not one of day files 1 to 3", Disagrees(2, 3, 200, kFixFiles)},
          R"({"verdict": "disagrees", "discrepancies": 2,
              "next": "set right or remove what lpdump --verify names, then lpdump --repair; or profill -c starts the profile afresh"})"},
         {{"--repair", "--force"},
          1,
          {"<root>/lp1/0.lp: is no name of a day file (profill names them 1.lp, 2.lp, ...)",
           "<root>/lp1/007.lp: is no name of a day file", unplaced}},
         {{"--summary"},
          0,
          {"LP 1 in ", "day files:   1.lp to 3.lp, 3",
           "other files: 0.lp, 007.lp (not named as profill names day files)",
           "records:     200: ", "time:        ", "             ",
           "intervals:   ", "runs:        1", "gaps:        ", "overlaps:    ", "store:       ",
           "verdict:     does not agree with its store: 2 discrepancies (lpdump --verify lists "
           "them); set right or remove what lpdump --verify names, then lpdump --repair; or "
           "profill -c starts the profile afresh"},
          R"({"otherFiles": ["0.lp", "007.lp"], "verdict": "disagrees",
              "next": "set right or remove what lpdump --verify names, then lpdump --repair; or profill -c starts the profile afresh"})"}},
        {"missing day file",
         {oneFifteen},
         [](const Sandbox& box) { ASSERT_EQ(unlink(box.DayFile(0, 2).c_str()), 0); },
         {{"--verify"},
          1,
          {"<root>/lp1/2.lp: day file is missing, but currentDay is 3",
           store + "3 0 200 2, but the records in the day files give 2 0 100 1",
           Disagrees(2, 2, 100, Force(99))}},
         {{"--repair"},
          1,
          {"<root>/lp1/2.lp: day file is missing, but day file 3 follows", breaksOff(99, 1)}},
         {{"--summary"},
          0,
          {"LP 1 in <root>/lp1/, records of 16 channels", "day files:   1.lp to 3.lp, 2",
           "records:     100: 99 in 1.lp, 1 in 3.lp", "time:        ", "             ",
           "intervals:   15 min (100 records)", "runs:        2, split by 1 break in time:",
           "             record 200 (3.lp offset 32) starts 1 d 1 h after the previous record's "
           "end (gap)",
           "gaps:        1, 1 d 1 h in all", "overlaps:    none", "store:       ",
           "verdict:     does not agree with its store: 2 discrepancies (lpdump --verify lists "
           "them); " +
               Force(99)},
          R"({"records": 100, "runs": 2, "dayFiles": [{"day": 1, "records": 99},
              {"day": 3, "records": 1}], "gaps": {"count": 1, "seconds": 90000},
              "verdict": "disagrees", "discrepancies": 2})"}},
        {"a day file of a header only",
         {oneFifteen},
         [](const Sandbox& box) { ASSERT_EQ(truncate(box.DayFile(0, 2).c_str(), 32), 0); },
         {{"--verify"},
          1,
          {"<root>/lp1/2.lp: holds no record, but is not the current day file",
           store + "3 0 200 2, but the records in the day files give 2 0 100 1",
           Disagrees(2, 3, 100, Force(99))}},
         {{"--repair", "--force", "--dry-run"},
          0,
          {"<root>/lp1/2.lp: holds no whole record, but day file 3 holds records after it",
           "<root>/lp1/3.lp: would be removed, after the break (1 whole record)",
           "<root>/lp1/2.lp: would be removed, from the break on (no whole record)",
           "store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted are 3 0 200 2 0, would "
           "be 1 99 99 0 0",
           "lpdump: LP 1 would agree with its store after these changes: 1 day file, 99 records "
           "of 16 channels; the break would cost 1 whole record"}}},
        {"a dangling link in place of a day file",
         {oneFifteen},
         [](const Sandbox& box) {
             ASSERT_EQ(unlink(box.DayFile(0, 2).c_str()), 0);
             ASSERT_EQ(symlink("none.lp", box.DayFile(0, 2).c_str()), 0);
         },
         {{"--verify"},
          1,
          {"<root>/lp1/2.lp: a symbolic link to no regular file",
           store + "3 0 200 2, but the records in the day files give 2 0 100 1",
           Disagrees(2, 2, 100, kFixFiles)}},
         {{"--repair", "--force"},
          1,
          {"<root>/lp1/2.lp: a symbolic link, not a regular file", unplaced}}},
        {"a FIFO in place of a day file",
         {oneFifteen},
         [](const Sandbox& box) {
             ASSERT_EQ(unlink(box.DayFile(0, 2).c_str()), 0);
             ASSERT_EQ(mkfifo(box.DayFile(0, 2).c_str(), 0644), 0);
         },
         {{"--verify"},
          1,
          {"<root>/lp1/2.lp: not a regular file",
           store + "3 0 200 2, but the records in the day files give 2 0 100 1",
           Disagrees(2, 2, 100, kFixFiles)}},
         {{"--repair", "--force"}, 1, {"<root>/lp1/2.lp: not a regular file", unplaced}}},
        {"day files removed, their counters kept (an interrupted -c)",
         {oneFifteen},
         [](const Sandbox& box) {
             for (int day = 1; day <= 3; ++day) {
                 ASSERT_EQ(unlink(box.DayFile(0, day).c_str()), 0);
             }
         },
         {{"--verify"},
          1,
          {"<root>/lp1/1.lp: day files 1 to 3 are missing, but currentDay is 3",
           store + "3 0 200 2, but the records in the day files give 0 0 0 0",
           "lpdump: LP 1 does not agree with its store: 2 discrepancies in 0 day files, 0 "
           "records; " +
               kRepairs}},
         {{"--repair"},
          0,
          {Stored("3 0 200 2 0", "0 0 0 0 0"), now + "0 day files, 0 records of 16 channels"}}},
        {"counter missing from the store",
         {oneFifteen},
         [](const Sandbox& box) {
             ASSERT_EQ(
                 RunProgram(CDSCTL_BIN, {"rm", "/LP/1/dayCnt/Value"}, {"CDS_STORE=" + box.store})
                     .status,
                 0);
         },
         {{"--verify"},
          2,
          {"lpdump: the CDS store <store> has no /LP/1/dayCnt/Value; lpdump --repair stores it "
           "from the day files"}},
         {{"--repair"},
          0,
          {Stored("3 0 200 - 0", "3 0 200 2 0"), now + "3 day files, 200 records of 16 channels"}}},
        {"a store that cannot be opened",
         {oneFifteen},
         [](const Sandbox& box) { WriteFile(box.store, "no store"); },
         {{"--summary"},
          2,
          {"lpdump: cannot open the CDS store <store>: truncated: meta page 0 is cut short; set "
           "CDS_STORE"}},
         {{"--repair"},
          2,
          {"lpdump: cannot open the CDS store <store>: truncated: meta page 0 is cut short; set "
           "CDS_STORE"}}},
        {"no channel count in the store",
         {oneFifteen},
         [](const Sandbox& box) {
             ASSERT_EQ(RunProgram(CDSCTL_BIN, {"rm", "/Q7M/LoadPrf/1/NumChannels/Value"},
                                  {"CDS_STORE=" + box.store})
                           .status,
                       0);
         },
         {{"--csv"},
          2,
          {"lpdump: the CDS store <store> has no /Q7M/LoadPrf/1/NumChannels/Value; set it with "
           "cdsctl set, or give --channels N to dump without it"}},
         {{"--repair"},
          2,
          {"lpdump: the CDS store <store> has no /Q7M/LoadPrf/1/NumChannels/Value; set it with "
           "cdsctl set"}}},
        {"no day-file directory",
         {},
         [](const Sandbox& box) { ASSERT_EQ(rmdir((box.root + "/lp1").c_str()), 0); },
         {{"--csv"},
          2,
          {"lpdump: cannot list the day files of LP 1 in <root>/lp1/: No such file or directory; "
           "set PROFILL_JFFS"}},
         {{"--repair"},
          2,
          {"lpdump: cannot repair LP 1: <root>/lp1/ is missing or no directory; there is nothing "
           "to repair"}}},
        {"another process writing the profile",
         {oneFifteen},
         [&held](const Sandbox& box) {
             held = open((box.root + "/lp1").c_str(), O_RDONLY | O_DIRECTORY);
             ASSERT_EQ(flock(held, LOCK_EX), 0);
             SetCounters(box, {3, 5, 200, 2});
         },
         {{"--verify"}, 2, {"lpdump: cannot verify LP 1 now: a run is writing it (pid <pid>)"}},
         {{"--repair"}, 1, {"lpdump: another run is writing LP 1 (pid <pid>); nothing repaired"}}},
    };
    for (const Case& c : cases) {
        Sandbox box(ReadFile(CDSCTL_EXAMPLE));
        for (const std::string& run : c.runs) {
            Profill(box, run);
        }
        if (c.damage) {
            c.damage(box);
        }
        for (const Run* run : {&c.verify, &c.summary}) {
            if (!run->args.empty()) {
                ExpectLines(box, run->args, run->status, run->lines, c.name);
            }
            if (!run->json.empty()) {
                std::vector<std::string> args = run->args;
                args.push_back("--json");
                const ProgramResult printed = Lpdump(box, args);
                EXPECT_EQ(printed.status, run->status) << c.name << " --json";
                EXPECT_TRUE(JsonHolds(nlohmann::json::parse(printed.out, nullptr, false),
                                      nlohmann::json::parse(run->json)))
                    << c.name << " --json: " << printed.out;
            }
        }
        if (!c.repair.args.empty()) {
            const std::string before = Snapshot(box);
            ExpectLines(box, c.repair.args, c.repair.status, c.repair.lines, c.name);
            const auto has = [&c](const std::string& arg) {
                return std::find(c.repair.args.begin(), c.repair.args.end(), arg) !=
                       c.repair.args.end();
            };
            if (c.repair.status != 0 || has("--dry-run") ||
                c.repair.lines.back().find(" already: ") != std::string::npos) {
                EXPECT_TRUE(Snapshot(box) == before) << c.name << ": the repair changed something";
            } else {
                const std::vector<std::string> verify =
                    has("-2") ? std::vector<std::string>{"--verify", "--continued", "-2"}
                              : std::vector<std::string>{"--verify", "--continued"};
                EXPECT_EQ(Lpdump(box, verify).status, 0) << c.name << ", repaired";
                Profill(box, has("-2") ? "-t 1 -2" : "-t 1");
                const ProgramResult continued = Lpdump(box, verify);
                EXPECT_EQ(continued.status, 0) << c.name << ", continued\n" << continued.out;
            }
        }
        if (held >= 0) {
            close(held);
            held = -1;
        }
    }
}

// Whatever length the current day file is cut to, the profile no longer verifies, and a repair
// brings its store in line.
TEST(LpdumpTest, CurrentDayFileCutAtEveryLengthFailsAndIsRepaired) {
    Sandbox box(ReadFile(CDSCTL_EXAMPLE));
    Profill(box, "-i 15 -t 2 -c");
    const std::string path = box.DayFile(0, 3), whole = ReadFile(path), store = ReadFile(box.store);
    ASSERT_EQ(whole.size(), 32 + kLp1Record);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        WriteFile(path, whole.substr(0, size));
        WriteFile(box.store, store);
        const ProgramResult result = Lpdump(box, {"--verify"});
        EXPECT_EQ(result.status, 1) << size << "\n" << result.out;
        EXPECT_NE(result.out.find("lpdump: LP 1 does not agree with its store"), std::string::npos)
            << size;
        const ProgramResult repair = Lpdump(box, {"--repair"});
        EXPECT_EQ(repair.status, 0) << size << "\n" << repair.out;
        EXPECT_NE(repair.out.find("lpdump: LP 1 agrees with its store now: 2 day files, 199 "
                                  "records of 16 channels\n"),
                  std::string::npos)
            << size << "\n"
            << repair.out;
    }
}

}  // namespace

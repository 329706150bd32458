// lpdump on day files and profiles written by the real profill: known records in both forms of
// the dump, and the verification of generated profiles with each kind of damage found and named.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
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
        "file,record,start,end,start_utc,end_utc,start_local,end_local,kind,flags_1,value_1,"
        "flags_2,value_2,flags_3,value_3\n";
    const std::string csv7 =
        "<f>,7,1700000000,1700000900,2023-11-14 22:13:20 UTC,2023-11-14 22:28:20 UTC,"
        "2023-11-14 23:13:20 CET,2023-11-14 23:28:20 CET,1,0001,1.5,0002,-2,8000,1e+10\n";
    const std::string csv8 =
        "<f>,8,1700000900,1700001800,2023-11-14 22:28:20 UTC,2023-11-14 22:43:20 UTC,"
        "2023-11-14 23:28:20 CET,2023-11-14 23:43:20 CET,1,0001,1.5,0002,-2,8000,1e+10\n";
    const std::string usage =
        "usage: lpdump [--channels N | --store] [--csv] FILE...\n"
        "       lpdump --verify [--continued] [-2]\n"
        "       lpdump --repair [--dry-run] [--force] [-2]\n";
    struct Case {
        std::vector<std::string> args;  // <f>: the known file; <cut>: it without its last 5 bytes
        std::string out, err;
        int status;
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
        {{"<f>", "<none>"}, "", "lpdump: cannot read <none>: No such file or directory\n", 2},
        {{"--channels", "17", "<f>"}, "", "lpdump: --channels takes 0 to 16, not \"17\"\n", 2},
        {{"--channels", "3", "--store", "<f>"},
         "",
         "lpdump: give --channels or --store, not both\n",
         2},
        {{}, "", usage, 2},
        {{"--verify", "<f>"}, "", usage, 2},
        {{"-2", "<f>"}, "", usage, 2},
        {{"--verify", "--force"}, "", usage, 2},
        {{"--repair", "--continued"}, "", usage, 2},
    };
    Sandbox box(ReadFile(CDSCTL_EXAMPLE));
    const std::string known = box.dir.path + "/known.lp", cut = box.dir.path + "/cut.lp";
    const std::string bad = box.dir.path + "/bad.lp", none = box.dir.path + "/none.lp";
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
        for (auto [from, to] :
             {std::pair{"<f>", known}, {"<cut>", cut}, {"<bad>", bad}, {"<none>", none}}) {
            text = Replace(text, from, to);
        }
        return text;
    };
    for (const Case& c : cases) {
        std::vector<std::string> args;
        for (const std::string& arg : c.args) {
            args.push_back(names(arg));
        }
        const ProgramResult result = Lpdump(box, args);
        const std::string label = testing::PrintToString(c.args);
        EXPECT_EQ(result.out, names(c.out)) << label;
        EXPECT_EQ(result.err, names(c.err)) << label;
        EXPECT_EQ(result.status, c.status) << label;
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

std::string Disagrees(int discrepancies, int files, int records) {
    return "lpdump: LP 1 does not agree with its store: " + std::to_string(discrepancies) +
           (discrepancies == 1 ? " discrepancy" : " discrepancies") + " in " +
           std::to_string(files) + (files == 1 ? " day file, " : " day files, ") +
           std::to_string(records) + " records";
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
    struct Run {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> lines;
    };
    struct Case {
        const char* name;
        std::vector<std::string> runs;
        std::function<void(const Sandbox&)> damage;
        Run verify;
        Run repair;
    };
    const Case cases[] = {
        {"whole",
         {oneFifteen},
         nullptr,
         {{"--verify"}, 0, {whole}},
         {{"--repair"}, 0, {Already(1, 3, 200, 16)}}},
        {"daily LP 2",
         {"-i 1440 -t 3 -c -2"},
         nullptr,
         {{"--verify", "-2"},
          0,
          {"lpdump: LP 2 agrees with its store: 3 day files, 3 records of 3 channels"}},
         {{"--repair", "-2"}, 0, {Already(2, 3, 3, 3)}}},
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
         {oneFifteen, "-i 15 -t 1"},
         nullptr,
         {{"--verify"},
          1,
          {"<root>/lp1/3.lp offset 144: record 201 starts at ", Disagrees(1, 4, 300)}},
         {{"--repair"}, 0, {Already(1, 4, 300, 16)}}},
        {"continued, taken as such",
         {oneFifteen, "-i 15 -t 1"},
         nullptr,
         {{"--verify", "--continued"},
          0,
          {"<root>/lp1/3.lp offset 144: note: record 201 starts at ",
           "lpdump: LP 1 agrees with its store: 4 day files, 300 records of 16 channels"}},
         {}},
        {"continued at another interval",
         {oneFifteen, "-i 60 -t 1"},
         nullptr,
         {{"--verify", "--continued"},
          0,
          {"<root>/lp1/3.lp offset 144: note: record 201 starts at ",
           "lpdump: LP 1 agrees with its store: 4 day files, 228 records of 16 channels"}},
         {{"--repair"}, 0, {Already(1, 4, 228, 16)}}},
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
           "<root>/lp1/1.lp offset 5520: record 51 starts at ",
           "<root>/lp1/2.lp offset 32: record 100 starts this day file, but should continue day "
           "file 1 (its run starts a day file every 100 records)",
           "<root>/lp1/3.lp offset 32: record 200 starts this day file, but should continue day "
           "file 2",
           store + "3 0 200 2, but the records in the day files give 2 99 199 1",
           Disagrees(5, 3, 199)}},
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
           "<root>/lp1/3.lp offset 32: record 200 starts at ",
           "<root>/lp1/3.lp offset 32: record 200 starts this day file, but should continue day "
           "file 2",
           store + "3 0 200 2, but the records in the day files give 2 60 160 1",
           Disagrees(5, 3, 160)}},
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
           Disagrees(2, 3, 200)}},
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
           "<root>/lp1/2.lp offset 15: profile digit is 32, not '1'", Disagrees(2, 3, 200)}},
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
          {"<root>/lp1/1.lp offset 480: record 5 has kind 3, not 1 or 2", Disagrees(1, 3, 200)}},
         {{"--repair"},
          1,
          {"<root>/lp1/1.lp offset 480: record 5 has kind 3, not 1 or 2", breaksOff(4, 196)}}},
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
             const uint32_t end = ReadDayFile(box.DayFile(0, 3), 16).records.at(0).end;
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
           "<root>/lp1/007.lp: is not one of day files 1 to 3", Disagrees(2, 3, 200)}},
         {{"--repair", "--force"},
          1,
          {"<root>/lp1/0.lp: is no name of a day file (profill names them 1.lp, 2.lp, ...)",
           "<root>/lp1/007.lp: is no name of a day file", unplaced}}},
        {"missing day file",
         {oneFifteen},
         [](const Sandbox& box) { ASSERT_EQ(unlink(box.DayFile(0, 2).c_str()), 0); },
         {{"--verify"},
          1,
          {"<root>/lp1/2.lp: day file is missing, but currentDay is 3",
           store + "3 0 200 2, but the records in the day files give 2 0 100 1",
           Disagrees(2, 2, 100)}},
         {{"--repair"},
          1,
          {"<root>/lp1/2.lp: day file is missing, but day file 3 follows", breaksOff(99, 1)}}},
        {"a day file of a header only",
         {oneFifteen},
         [](const Sandbox& box) { ASSERT_EQ(truncate(box.DayFile(0, 2).c_str(), 32), 0); },
         {{"--verify"},
          1,
          {"<root>/lp1/2.lp: holds no record, but is not the current day file",
           store + "3 0 200 2, but the records in the day files give 2 0 100 1",
           Disagrees(2, 3, 100)}},
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
           Disagrees(2, 2, 100)}},
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
           Disagrees(2, 2, 100)}},
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
           "records"}},
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
          {"lpdump: cannot verify LP 1: its store cannot be read",
           "lpdump: cannot read /LP/1/dayCnt/Value from the CDS store"}},
         {{"--repair"},
          0,
          {Stored("3 0 200 - 0", "3 0 200 2 0"), now + "3 day files, 200 records of 16 channels"}}},
        {"a store that cannot be opened",
         {oneFifteen},
         [](const Sandbox& box) { WriteFile(box.store, "no store"); },
         {{"--verify"},
          2,
          {"lpdump: cannot verify LP 1: its store cannot be read",
           "lpdump: cannot open the CDS store <store>: truncated: meta page 0 is cut short"}},
         {{"--repair"},
          2,
          {"lpdump: cannot repair LP 1: its store cannot be read",
           "lpdump: cannot open the CDS store <store>: truncated: meta page 0 is cut short"}}},
        {"no day-file directory",
         {},
         [](const Sandbox& box) { ASSERT_EQ(rmdir((box.root + "/lp1").c_str()), 0); },
         {},
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
        if (!c.verify.args.empty()) {
            ExpectLines(box, c.verify.args, c.verify.status, c.verify.lines, c.name);
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

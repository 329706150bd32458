// cdsctl: creates a host CDS store, reads and writes its leaves and scans it for damage, for
// engineers and test scripts. The store is the file named by CDS_STORE (default
// /var/lib/cds/store.mdb).
//
// Values and load files use the text form described in cds_text.h; dump writes that same form,
// so a dump loads back exactly. Every write is one transaction: all of it or nothing.
//
// check tells an engineer which leaves profill reads for a profile and which of them, or of the
// leaves beside them, it cannot use; load and set warn of leaves profill never reads under the
// profiles' prefixes, since those are nearly always typing slips, but write them as asked.
// man/cdsctl.1 says what each exit status means.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cds/host_store.h"
#include "cds/toolkit.h"
#include "cds_text.h"
#include "lpfile/lp_words.h"
#include "profile_leaves.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;  // also stored bytes that are no element, or findings
constexpr int kExitFailure = 2;
// Returned by a verb whose arguments do not fit its usage line: main prints that line.
constexpr int kExitBadArgs = -1;

typedef std::vector<std::string> Args;

bool CheckPaths(const Args& paths) {
    for (const std::string& path : paths) {
        if (!IsValidCdsPath(path)) {
            fprintf(stderr, "cdsctl: bad path: %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

// Says on stderr why the store could not be created, opened, read or written; returns the exit
// status for that.
int StoreFailure(const char* what, const std::string& why) {
    fprintf(stderr, "cdsctl: cannot %s store %s: %s\n", what, CdsStorePath().c_str(), why.c_str());
    return kExitFailure;
}

// Opens the store for a call on paths; says on stderr why not when a path is bad or the store
// cannot be opened.
pcd_handle_t Open(const Args& paths) {
    if (!CheckPaths(paths)) {
        return nullptr;
    }
    std::string error;
    pcd_handle_t handle = OpenCdsStore(CdsStorePath(), &error);
    if (handle == nullptr) {
        StoreFailure("open", error);
    }
    return handle;
}

// Every leaf under prefix, or false once it has said on stderr why the store cannot be read.
bool List(const std::string& prefix, Args* paths, std::vector<toolkit::CElement>* values) {
    toolkit::CCds cds(Open({}));
    if (cds.handle() == nullptr) {
        return false;
    }
    if (ListCdsLeaves(cds.handle(), prefix, *paths, *values) != kCdsOk) {
        StoreFailure("read", CdsStoreError(cds.handle()));
        return false;
    }
    return true;
}

// Writes values to paths in one transaction, or removes the paths where values is null. Returns
// the exit status, with a line for each path that stopped it.
int Change(const Args& paths, const std::vector<toolkit::CElement>* values,
           const std::string& note) {
    toolkit::CCds cds(Open(paths));
    if (cds.handle() == nullptr) {
        return kExitFailure;
    }
    // Flag 1: a missing leaf is created.
    std::vector<pcd_tribool_t> flags(paths.size(), 1);
    std::vector<api_status_t> statuses;
    const int rc = values != nullptr ? cds.set_leaves(paths, *values, flags, statuses, note)
                                     : RemoveCdsLeaves(cds.handle(), paths, statuses);
    if (rc != kCdsOk) {
        return StoreFailure("write", CdsStoreError(cds.handle()));
    }
    int status = kExitOk;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (statuses[i] == kCdsStatusNotFound) {
            fprintf(stderr, "cdsctl: %s: not found\n", paths[i].c_str());
            status = std::max(status, kExitNotFound);  // a failure of another path outranks it
        } else if (statuses[i] != kCdsStatusOk && statuses[i] != kCdsStatusNotWritten) {
            fprintf(stderr, "cdsctl: %s: not written, status %d\n", paths[i].c_str(),
                    static_cast<int>(statuses[i]));
            status = kExitFailure;
        }
    }
    return status;
}

int Write(const std::vector<CdsTextLeaf>& leaves, const std::string& note) {
    Args paths;
    std::vector<toolkit::CElement> values;
    for (const CdsTextLeaf& leaf : leaves) {
        const std::string unknown = UnknownLeafNote(leaf.path);
        if (!unknown.empty()) {
            fprintf(stderr, "cdsctl: warning: %s: %s\n", leaf.path.c_str(), unknown.c_str());
        }
        paths.push_back(leaf.path);
        values.push_back(leaf.value);
    }
    return Change(paths, &values, note);
}

// The name messages give the file that arg names: "stdin" for "-".
std::string FileName(const std::string& arg) {
    return arg == "-" ? "stdin" : arg;
}

// Reads the PATH = VALUE lines of the file that arg names ("-": stdin) into *leaves, or returns
// false once it has said on stderr why not: the file cannot be read, or each of its bad lines.
bool ReadLeaves(const std::string& arg, std::vector<CdsTextLeaf>* leaves) {
    const bool fromStdin = arg == "-";
    const std::string name = FileName(arg);
    FILE* file = fromStdin ? stdin : fopen(name.c_str(), "rb");
    std::string text;
    char buffer[8192];
    for (size_t n; file != nullptr && (n = fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
    }
    const bool failed = file == nullptr || ferror(file);
    const int readError = errno;
    if (file != nullptr && !fromStdin) {
        fclose(file);
    }
    if (failed) {
        fprintf(stderr, "cdsctl: cannot read %s: %s\n", name.c_str(), strerror(readError));
        return false;
    }
    std::vector<CdsTextError> errors;
    if (!ParseCdsText(text, leaves, &errors)) {
        for (const CdsTextError& error : errors) {
            fprintf(stderr, "cdsctl: %s:%zu: %s\n", name.c_str(), error.line, error.reason.c_str());
        }
        return false;
    }
    return true;
}

// With a file, the file is read whole before the store is made, so a file that cannot be
// loaded leaves no store behind. The leaves go in with one transaction after the store's own:
// a kill in between leaves an empty store (which load fills), never part of the file. A store
// whose leaves could not be written is removed again, with its lock file, so that init can be
// run again.
int Init(const Args& args) {
    std::vector<CdsTextLeaf> leaves;
    if (!args.empty() && !ReadLeaves(args[0], &leaves)) {
        return kExitFailure;
    }
    const std::string path = CdsStorePath();
    std::string error;
    if (!CreateCdsStore(path, &error)) {
        return StoreFailure("create", error);
    }
    const int status = args.empty() ? kExitOk : Write(leaves, "cdsctl init " + FileName(args[0]));
    if (status != kExitOk) {
        unlink(path.c_str());
        unlink((path + "-lock").c_str());
    }
    return status;
}

int Load(const Args& args) {
    std::vector<CdsTextLeaf> leaves;
    if (!ReadLeaves(args[0], &leaves)) {
        return kExitFailure;
    }
    return Write(leaves, "cdsctl load " + FileName(args[0]));
}

int Dump(const Args& args) {
    Args paths;
    std::vector<toolkit::CElement> values;
    if (!List(args.empty() ? "" : args[0], &paths, &values)) {
        return kExitFailure;
    }
    int status = kExitOk;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (values[i].type() == toolkit::CElement::kTypeNone) {
            fprintf(stderr, "cdsctl: %s: stored bytes are no element\n", paths[i].c_str());
            status = kExitNotFound;
        } else {
            printf("%s = %s\n", paths[i].c_str(), FormatCdsValue(values[i]).c_str());
        }
    }
    return status;
}

int Get(const Args& args) {
    toolkit::CCds cds(Open(args));
    if (cds.handle() == nullptr) {
        return kExitFailure;
    }
    std::vector<api_status_t> statuses;
    std::vector<toolkit::CElement> values;
    std::vector<element_property_t> properties;
    if (cds.get_leaves(args, statuses, values, properties) != kCdsOk) {
        return StoreFailure("read", CdsStoreError(cds.handle()));
    }
    int status = kExitOk;
    for (size_t i = 0; i < args.size(); ++i) {
        if (statuses[i] != kCdsStatusOk) {
            fprintf(
                stderr, "cdsctl: %s: %s\n", args[i].c_str(),
                statuses[i] == kCdsStatusNotFound ? "not found" : "stored bytes are no element");
            status = kExitNotFound;
            continue;
        }
        // Text goes out as it is stored, NULs and all, so that scripts get the bytes.
        const bool text = values[i].type() == toolkit::CElement::kTypeText;
        const std::string shown = (text ? values[i].to_text() : FormatCdsValue(values[i])) + "\n";
        fwrite(shown.data(), 1, shown.size(), stdout);
    }
    return status;
}

int Set(const Args& args) {
    if (args.size() % 2 != 0) {
        return kExitBadArgs;
    }
    std::vector<CdsTextLeaf> leaves;
    for (size_t i = 0; i < args.size(); i += 2) {
        CdsTextLeaf leaf{args[i], {}};
        std::string error;
        if (!CheckPaths({leaf.path})) {
            return kExitFailure;
        }
        if (!ParseCdsValue(args[i + 1], &leaf.value, &error)) {
            fprintf(stderr, "cdsctl: %s: %s\n", leaf.path.c_str(), error.c_str());
            return kExitFailure;
        }
        // As in a load file, a path given twice is a slip rather than a wish for the last value.
        const auto same = [&](const CdsTextLeaf& earlier) { return earlier.path == leaf.path; };
        if (std::any_of(leaves.begin(), leaves.end(), same)) {
            fprintf(stderr, "cdsctl: %s: given twice\n", leaf.path.c_str());
            return kExitFailure;
        }
        leaves.push_back(leaf);
    }
    return Write(leaves, "cdsctl set");
}

int Remove(const Args& args) {
    return Change(args, nullptr, "");
}

// A scan prints this many findings at most, then counts the rest: a store damaged throughout
// has one for every leaf.
constexpr size_t kMaxFindingsShown = 100;

int Scan(const Args&) {
    const std::string path = CdsStorePath();
    const CdsScan scan = ScanCdsStore(path);
    if (!scan.opened) {
        return StoreFailure("open", scan.error);
    }
    for (size_t i = 0; i < scan.findings.size() && i < kMaxFindingsShown; ++i) {
        printf("%s: %s\n", scan.findings[i].where.c_str(), scan.findings[i].what.c_str());
    }
    if (scan.findings.size() > kMaxFindingsShown) {
        printf(
            "cdsctl: %s not shown\n",
            Count(static_cast<long long>(scan.findings.size() - kMaxFindingsShown), "more finding")
                .c_str());
    }
    const std::string pages = Count(static_cast<long long>(scan.pages), "page");
    if (scan.findings.empty()) {
        printf("cdsctl: store %s is sound: %s in %s%s\n", path.c_str(),
               Count(static_cast<long long>(scan.leaves), "leaf", "leaves").c_str(), pages.c_str(),
               scan.marked ? "" : "; it has no mark yet, its first write adds it");
        return kExitOk;
    }
    printf("cdsctl: store %s is not sound: %s; %s in %s\n", path.c_str(),
           Count(static_cast<long long>(scan.findings.size()), "finding").c_str(),
           Count(static_cast<long long>(scan.entries), "entry", "entries").c_str(), pages.c_str());
    return kExitNotFound;
}

int Check(const Args& args) {
    if (args.size() == 1 && args[0] != "-2") {
        return kExitBadArgs;
    }
    const int lp = args.empty() ? 1 : 2;
    Args paths;
    std::vector<toolkit::CElement> values;
    if (!List("", &paths, &values)) {
        return kExitFailure;
    }
    const ProfileCheck check = CheckProfileLeaves(lp, paths, values);
    for (const std::string& line : check.listing) {
        printf("%s\n", line.c_str());
    }
    // The findings come after the listing also where both go to one terminal or file.
    fflush(stdout);
    for (const Finding& finding : check.findings) {
        fprintf(stderr, "cdsctl: %s: %s\n", finding.where.c_str(), finding.text.c_str());
    }
    printf("cdsctl: LP %d in store %s: %s profill reads, %s\n", lp, CdsStorePath().c_str(),
           Count(static_cast<long long>(check.leavesRead), "leaf", "leaves").c_str(),
           check.findings.empty()
               ? "no findings"
               : Count(static_cast<long long>(check.findings.size()), "finding").c_str());
    return check.findings.empty() ? kExitOk : kExitNotFound;
}

int Version(const Args&) {
    printf("cdsctl %s\n", PROFILL_VERSION);
    return kExitOk;
}

int Help(const Args& args);

// A verb is named by the first word of its usage line. It runs only with minArgs to maxArgs
// arguments; main prints its usage line otherwise.
struct Verb {
    const char* usage;
    const char* what;
    size_t minArgs;
    size_t maxArgs;
    int (*run)(const Args& args);
};

const Verb kVerbs[] = {
    {"init [FILE]", "create a store, empty or holding the leaves of FILE as load writes them", 0, 1,
     Init},
    {"load FILE", "write the PATH = VALUE lines of FILE ('-': stdin)", 1, 1, Load},
    {"dump [PREFIX]", "print the leaves whose paths start with PREFIX", 0, 1, Dump},
    {"get PATH...", "print the values of leaves", 1, SIZE_MAX, Get},
    {"set PATH VALUE [PATH VALUE]...", "write leaves, creating missing ones", 2, SIZE_MAX, Set},
    {"rm PATH...", "remove leaves", 1, SIZE_MAX, Remove},
    {"scan", "check the store as every tool does before opening it, report damage", 0, 0, Scan},
    {"check [-2]", "list the leaves profill reads for LP 1 (LP 2), report what it cannot use", 0, 1,
     Check},
    {"help", "print this text (also -h, --help)", 0, 0, Help},
    {"--version", "print the version", 0, 0, Version},
};

void PrintUsage(FILE* out) {
    fputs("usage: cdsctl VERB [ARG]...\n", out);
    for (const Verb& verb : kVerbs) {
        fprintf(out, "  %-32s %s\n", verb.usage, verb.what);
    }
    fprintf(out,
            "VALUE: an int (-12), a float (1.5, 2e3, inf) or a text (\"a\\tb\", escapes \\\" \\\\ "
            "\\n \\t \\xHH).\n"
            "Every write is one transaction. The store is $CDS_STORE, default %s.\n"
            "Exit status:\n"
            "  0  done\n"
            "  1  a path not found, a leaf that holds no element, or what scan or check\n"
            "     found\n"
            "  2  a usage error, a bad path, value or file, or a store that cannot be opened or\n"
            "     written\n"
            "See cdsctl(1).\n",
            kDefaultCdsStore);
}

int Help(const Args&) {
    PrintUsage(stdout);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitFailure;
    }
    std::string name = argv[1];
    if (name == "-h" || name == "--help") {
        name = "help";
    }
    for (const Verb& verb : kVerbs) {
        if (name != std::string(verb.usage, strcspn(verb.usage, " "))) {
            continue;
        }
        const Args args(argv + 2, argv + argc);
        const bool fits = args.size() >= verb.minArgs && args.size() <= verb.maxArgs;
        const int status = fits ? verb.run(args) : kExitBadArgs;
        if (status == kExitBadArgs) {
            fprintf(stderr, "usage: cdsctl %s\n", verb.usage);
            return kExitFailure;
        }
        // A dump cut short by a full disk must not look like a whole one.
        if (fflush(stdout) != 0 || ferror(stdout)) {
            fprintf(stderr, "cdsctl: cannot write output: %s\n", strerror(errno));
            return kExitFailure;
        }
        return status;
    }
    fprintf(stderr, "cdsctl: unknown verb: %s\n", name.c_str());
    PrintUsage(stderr);
    return kExitFailure;
}

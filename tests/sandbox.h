// A profile of the real binaries in a directory of its own, and the checks of the tests that stop
// or kill them (run_test, lpload_stop_test).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "test_support.h"

// <dir>/jffs/lp1/ and lp2/, and <dir>/store.mdb loaded with the example.
struct Sandbox {
    TempDir dir;
    std::string root = dir.path + "/jffs";
    std::string store = dir.path + "/store.mdb";

    Sandbox();
    std::vector<std::string> Env() const { return {"PROFILL_JFFS=" + root, "CDS_STORE=" + store}; }
    // The five file-information counters of LP index lp in the store, blank-separated.
    std::string Info(int lp) const;
    std::string DayFile(int lp, int n) const;
    // Starts program with only Env() set and standard output on out (else /dev/null).
    pid_t Start(const char* program, const std::vector<std::string>& args, int out = -1) const;
};

// Holds the sandbox's store's write transaction until Release (or the end of the hold), so that
// the next store of a run or a load waits for it.
struct StoreHold {
    explicit StoreHold(const Sandbox& box);
    ~StoreHold() { Release(); }
    void Release();
    bool held = false;
    void* env = nullptr;
    void* txn = nullptr;
};

bool EndsWith(const std::string& text, const std::string& tail);
int Wait(pid_t pid);
// Reads fd to its end, or up to until; fails when nothing comes for two minutes. With signalAt,
// sends signal to pid once that text has been read.
std::string Drain(int fd, pid_t pid, const char* signalAt = nullptr, int signal = 0,
                  const char* until = nullptr);

// The kill delays of a crash test: the seed from PROFILL_CRASH_SEED (else random) and the number
// of kills from trialsVariable (else byDefault), both printed so that a failure can be repeated.
struct CrashPlan {
    unsigned long long seed;
    int trials;
};
CrashPlan CrashPlanFromEnv(const char* trialsVariable, int byDefault);

// What lpdump --verify found in a profile after a run or load: its stored totalRecCnt, and
// whether a record is written and not counted, or the head of one cut at a page boundary (the
// kernel copies a write a page at a time and stops between pages for a fatal signal).
struct Found {
    long long counted = 0;
    bool uncounted = false, cut = false;
};

// Whether LP index lp verifies after a run or load; was is what the previous check found. added
// is the number of records a whole run or load adds, after which only notes are allowed; -1 for
// one that was killed, which may also leave what a kill leaves.
testing::AssertionResult Check(const Sandbox& box, int lp, Found& was, long long added);

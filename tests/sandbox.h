// A scratch flash root and host store for runs of the real profill, cdsctl and lpdump.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"

// <dir>/jffs/lp1/ and lp2/, and <dir>/store.mdb seeded with cdsctl from PATH = VALUE lines.
struct Sandbox {
    explicit Sandbox(const std::string& seed);
    // PROFILL_JFFS and CDS_STORE naming this sandbox, for RunProgram.
    std::vector<std::string> Env() const;
    // The leaves under prefix in cdsctl's dump format.
    std::string Dump(const std::string& prefix = "/LP/") const;
    // The file-information counters of LP index lp in the store (kCounters), blank-separated.
    std::string Info(int lp) const;
    // Day file n of LP index lp.
    std::string DayFile(int lp, int n) const;
    // Starts profill with args on this sandbox, with only Env() set, standard input and error on
    // /dev/null and standard output on out (/dev/null when negative); returns its process id.
    pid_t Start(const std::vector<std::string>& args, int out = -1) const;

    TempDir dir;
    std::string root;
    std::string store;
};

// The five file-information counters of a profile in the store, in the order of its table.
inline constexpr const char* kCounters[] = {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt",
                                            "daysDeleted"};

// value as the 4 big-endian bytes that day files hold.
std::string Be32(uint32_t value);

// The 32 header bytes of a day file of LP index lp.
std::string DayFileHeader(int lp);

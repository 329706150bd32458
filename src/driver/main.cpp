// profill: generates synthetic load-profile records into the day files of LP 1 or LP 2 and keeps
// the profile's file bookkeeping in the CDS in step with them.
#include <syslog.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cds/pcd.h"
#include "cds/toolkit.h"
#include "driver/debug_log.h"
#include "driver/generation_run.h"
#include "driver/run_options.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/lp_lock.h"
#include "lpfile/lp_start_check.h"
#include "lpfile/storage_table.h"
#include "lpstate/lp_file_info.h"
#include "lpstate/lp_state.h"

namespace {

// Removes the day files of LP index lp and zeroes and stores its file information; the
// configuration just read stays. A store that cannot be written (read-only media) would keep the
// old counts over removed files, so the counts as they are are stored first, and when that fails
// nothing is removed: prints one "profill: " line and returns false. A removal that fails leaves
// files that the zeroed counts would not describe, so it also returns false, with the counts
// kept. The removal holds the profile's lock until it ends, even when profill is killed.
bool ClearLpFiles(toolkit::CCds& cds, int lp) {
    // The trial store is no step of the clear: its debug lines would come before the rm's line.
    const int32_t logLevel = g_logLevel;
    g_logLevel &= ~kDebugFileInfo;
    const int stored = WriteFileInfoToCDS(cds, lp);
    g_logLevel = logLevel;
    if (stored != 0) {
        printf(
            "profill: LP %d's file information cannot be stored in the CDS, so -c removes "
            "nothing\n",
            lp + 1);
        return false;
    }
    std::string command = std::string("rm -Rf ") + LpDirectory(lp) + "*.lp";
    const int status = RunHoldingLpLock(lp, command.c_str());
    printf("profill: %s for %s\n", status == 0 ? "success" : "failure", command.c_str());
    if (status != 0) {
        return false;
    }
    puts("Clearing out file info in CDS before starting");
    memset(&g_lP[lp].fileInfo, 0, sizeof g_lP[lp].fileInfo);
    WriteFileInfoToCDS(cds, lp);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    TakeStandardDescriptors();
    RetryInterruptedStdoutWrites();
    toolkit::CCds cds;
    printf("Load Profile Add input (profill) version %s started.\n", g_appVersion);
    register_handlers();
    if (argc > 1 && ParseCommandLine(argc, argv) != 0) {
        exit(1);
    }

    // The flash root ends up in the shell command that clears a profile, so a root that is not
    // a plain absolute path is refused before anything is touched.
    const char* flashRoot = getenv("PROFILL_JFFS");
    if (!SetFlashRoot(flashRoot)) {
        printf(
            "profill: PROFILL_JFFS must be an absolute path of at most %d letters, digits, "
            "'/', '.', '_' and '-': \"",
            static_cast<int>(kMaxFlashRootLength));
        // Anything unprintable is shown as '?', so the refusal stays one line.
        for (const char* c = flashRoot; *c != '\0'; ++c) {
            putchar(isprint(static_cast<unsigned char>(*c)) ? *c : '?');
        }
        puts("\"");
        exit(1);
    }

    if (cds.handle() == nullptr) {
        cds.set_handle(pcd_init());
        if (cds.handle() == nullptr) {
            openlog(nullptr, LOG_PID | LOG_CONS | LOG_PERROR, 0);
            syslog(LOG_ERR, "main: Error: can't initialize CDS connection");
            return 1;
        }
    }
    const bool generate = !g_showConfigOnly && !g_printStorageCalculations;
    // Whatever may change the profile's files or bookkeeping does so as its only writer, from
    // before it reads them.
    int status = ((generate || g_clearCDSBeforeStart) && !TakeLpLock(g_profileIndex)) ? 1 : 0;
    if (status == 0) {
        InitLp(cds, g_lpBitTable[g_profileIndex]);
        // A profile that cannot be generated, or whose day files the bookkeeping does not
        // describe, is refused before -c removes anything or a record is written.
        LP_UNCOUNTED_CUTS cuts;
        if (generate && (!CheckLpRunSettings(&cuts) ||
                         (!g_clearCDSBeforeStart && !CutUncountedLpBytes(g_profileIndex, cuts)))) {
            status = 1;
        }
    }
    if (status == 0 && g_clearCDSBeforeStart && !ClearLpFiles(cds, g_profileIndex)) {
        status = 1;
    }
    if (status == 0) {
        if (g_printStorageCalculations) {
            PrintDaysCalculationTable();
        }
        if (generate) {
            RunLpGeneration(cds);
        }
    }

    if (cds.handle() != nullptr) {
        pcd_close(cds.handle());
        cds.set_handle(nullptr);
    }
    return status;
}

// profill: generates synthetic load-profile records into the day files of LP 1 or LP 2 and keeps
// the profile's file bookkeeping in the CDS in step with them.
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "driver/debug_log.h"
#include "driver/run_options.h"
#include "lpfile/lp_dirs.h"
#include "lpfile/storage_table.h"

int main(int argc, char** argv) {
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

    // Loading the profile, clearing it, showing it and generating records all need the CDS,
    // which this build does not have yet.
    if (g_clearCDSBeforeStart || g_showConfigOnly || !g_printStorageCalculations) {
        puts("profill: this build has no CDS connection yet; only -p is available");
        return 1;
    }
    PrintDaysCalculationTable();
    return 0;
}

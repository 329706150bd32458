#include "driver/generation_run.h"

#include <sys/time.h>

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "driver/debug_log.h"
#include "driver/run_options.h"
#include "lpfile/lp_file.h"
#include "lpstate/lp_file_info.h"
#include "lpstate/lp_state.h"

namespace {

constexpr uint32_t kSecondsPerDay = 86400;

// Local midnight at the start of the day of seconds; seconds itself if it cannot be computed.
uint32_t LocalMidnight(uint32_t seconds) {
    const time_t clock = static_cast<time_t>(seconds);
    struct tm local = {};
    if (localtime_r(&clock, &local) == nullptr) {
        return seconds;
    }
    local.tm_hour = 0;
    local.tm_min = 0;
    local.tm_sec = 0;
    const time_t midnight = mktime(&local);
    return midnight == static_cast<time_t>(-1) ? seconds : static_cast<uint32_t>(midnight);
}

// "MM-DD-YYYY  hh:mm:ss" in local time.
void FormatLpDateText(uint32_t seconds, char* text, std::size_t size) {
    const time_t clock = static_cast<time_t>(seconds);
    struct tm local = {};
    localtime_r(&clock, &local);
    snprintf(text, size, "%02d-%02d-%02d  %02d:%02d:%02d", local.tm_mon + 1, local.tm_mday,
             local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
}

}  // namespace

bool CheckLpRunSettings(LP_UNCOUNTED_CUTS* cuts) {
    const LP_STATE& lp = g_lP[g_profileIndex];
    const int lpNumber = g_profileIndex + 1;
    // Without channels the configuration reader reads nothing else, the interval included, and
    // no record can be written.
    if (!IsLpChannelCountUsable(lp.numChannels)) {
        fprintf(RefusalStream(),
                "%s: LP %d has %d channels in the CDS, which cannot be generated; configure 1 to "
                "16 channels (NumChannels)\n",
                g_programName, lpNumber, lp.numChannels);
        return false;
    }
    if (!g_useLocalInterval && !IsLpIntervalUsable(lp.intLength)) {
        fprintf(RefusalStream(),
                "%s: LP %d has an interval length of %d minutes in the CDS, which cannot be "
                "generated; give an interval with -i (1-60, 1440, 10080 or 43800)\n",
                g_programName, lpNumber, lp.intLength);
        return false;
    }
    if (g_clearCDSBeforeStart) {
        return true;
    }
    if (lp.fileInfo.currentDay < 0) {
        fprintf(RefusalStream(),
                "%s: LP %d has a current day file of %d in the CDS, which cannot be continued; "
                "%s starts the profile afresh\n",
                g_programName, lpNumber, lp.fileInfo.currentDay, LpClearOption().c_str());
        return false;
    }
    return CheckLpFilesForRun(g_profileIndex, cuts);
}

void RunLpGeneration(toolkit::CCds& cds) {
    LP_STATE& lp = g_lP[g_profileIndex];
    LP_FILE_INFO& info = lp.fileInfo;

    const int32_t intervalMinutes = g_useLocalInterval ? g_profileIntervalLength : lp.intLength;
    g_intervalSecs = intervalMinutes * 60;
    printf("profill: main starting a LP recording with an interval of %d seconds\n",
           g_intervalSecs);

    int32_t recordsPerFile = 1;
    uint32_t recordKind = 2;
    if (g_useLocalInterval && g_profileIntervalLength > 60) {
        printf("There will be %d record per file. every %d days\n", recordsPerFile,
               g_profileIntervalLength / 1440);
    } else {
        recordsPerFile = LpRecordsPerFile(intervalMinutes);
        recordKind = 1;
        printf("There should be a minimum of %d records per file.(1440/%d)\n", recordsPerFile,
               intervalMinutes);
    }
    const int32_t totalRecords = g_totalDays * recordsPerFile;
    printf("Auto generating %d days of records; %d total records\n", g_totalDays, totalRecords);

    // The present moment; daily, weekly and monthly records start at local midnight.
    struct timeval clock = {};
    gettimeofday(&clock, nullptr);
    g_lastIntervalTime.seconds = static_cast<uint32_t>(clock.tv_sec);
    g_lastIntervalTime.micros = static_cast<uint32_t>(clock.tv_usec);
    if (g_profileIntervalLength > 60) {
        g_lastIntervalTime.seconds = LocalMidnight(g_lastIntervalTime.seconds);
        g_lastIntervalTime.micros = 0;
    }
    const uint32_t now = g_lastIntervalTime.seconds;

    uint32_t totalSecs = kSecondsPerDay * static_cast<uint32_t>(g_totalDays);
    if (g_profileIntervalLength > 1440) {
        if (g_profileIntervalLength == 10080) {
            totalSecs *= 7;
        } else if (g_profileIntervalLength == 43800) {
            totalSecs *= 30;
        }
    }
    printf("Total Seconds = %d; %d\n", static_cast<int>(totalSecs), static_cast<int>(now));

    uint32_t startTime = 0;
    uint32_t endTime = 0;
    if (now < totalSecs) {
        // A clock near the epoch: the span starts half a span after now instead.
        endTime = now + totalSecs + (totalSecs >> 1);
        startTime = endTime - totalSecs;
        printf("Current data is < totalSecs. (%d -> %d)\n", static_cast<int>(startTime),
               static_cast<int>(endTime));
    } else {
        startTime = now - totalSecs;
        endTime = now;
        printf("Date range is %d -> %d\n", static_cast<int>(startTime), static_cast<int>(endTime));
    }
    g_lastIntervalTime.seconds = startTime;

    char startText[64];
    char endText[64];
    FormatLpDateText(startTime, startText, sizeof startText);
    FormatLpDateText(endTime, endText, sizeof endText);
    printf("This LP Date range is %s -> %s   (%lu -> %lu)\n", startText, endText,
           static_cast<unsigned long>(startTime), static_cast<unsigned long>(endTime));

    // What came before the records is out before a signal's line can overtake it.
    fflush(stdout);

    LP_RECORD record = {};
    int32_t recordsWritten = 0;
    do {
        const bool newFile = CountLpRecord(&info, recordsPerFile);
        FillLpRecord(&record, lp.numChannels, recordKind, static_cast<uint32_t>(info.totalRecCnt));
        int status = WriteLpRecord(&record, g_profileIndex, newFile);
        if (status != 0) {
            printf("main: WriteLpRecord returned error: %d\n", status);
            break;
        }
        status = WriteFileInfoToCDS(cds, g_profileIndex);
        if (status != 0) {
            printf("main: WriteFileInfoToCDS returned error: %d\n", status);
            break;
        }
        ++recordsWritten;
        g_lastIntervalTime.seconds += static_cast<uint32_t>(g_intervalSecs);
        if (recordsWritten % 100 == 0) {
            printf("profill: recordsWritten = %d\n", recordsWritten);
            fflush(stdout);
        }
        if (__signal_exit != 0) {
            break;
        }
    } while (recordsWritten < totalRecords);

    PrintLpFileInfoTable(g_profileIndex);
    fflush(stdout);
}

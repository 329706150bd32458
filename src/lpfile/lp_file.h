// The filler and writer of a load profile's records; the day file's layout is in lp_codec.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "lpfile/lp_codec.h"
#include "lpstate/lp_state.h"

// The path of day file fileNumber of LP lp.
std::string LpDayFilePath(int lp, int fileNumber);

// Fills the four fixed values (interval from g_lastIntervalTime and g_intervalSecs) and the
// first numChannels channel entries; entries beyond them are left as they were.
void FillLpRecord(LP_RECORD* record, int numChannels, unsigned long recordKind,
                  unsigned long recordNumber);

// Counts one more record of a run that starts a day file every recordsPerFile records in the
// file information: totalRecCnt and fileRecCnt + 1, and when the record starts the next day file
// (returns true) fileRecCnt 0, currentDay and dayCnt + 1. Counters read from the CDS may hold
// anything; they wrap instead of overflowing.
bool CountLpRecord(LP_FILE_INFO* info, int32_t recordsPerFile);

// Creates (or truncates) day file fileNumber of LP lp and writes its header. Returns 0 with the
// open stream in *file, or 2 when the file cannot be created (*file untouched).
// The stream buffers into the writer's one static buffer, so it must be closed before another day
// file is created or opened.
int CreateLpFile(FILE** file, int fileNumber, int lp);

// Writes one record into the current day file of LP lp, creating the file when the profile has
// none yet (currentDay 0 becomes 1) or when newFile is set. Returns 0 when the record is
// completely in the file, 2 (cannot create), 3 (cannot open for appending) or 4 (a piece or
// the close failed).
int WriteLpRecord(LP_RECORD* record, int lp, bool newFile);

// Cuts the regular file at path (never what a link there points to) to its first keep bytes and
// flushes it; *removed receives the bytes cut (-1 when its size is not known). False with errno
// set when that failed.
bool CutLpFile(const char* path, int64_t keep, int64_t* removed);

// The record generation run: contiguous synthetic interval records for the selected profile,
// oldest first, with the file bookkeeping stored in the CDS after every record.
#pragma once

#include "cds/toolkit.h"
#include "lpfile/lp_start_check.h"

// Checks, before anything is written, that the selected profile (g_profileIndex) can be
// generated with the options given: at least one channel, an interval of at least one minute
// whose seconds fit in 32 bits when it comes from the CDS, and, unless -c zeroes the file
// information, day files that agree with it (CheckLpFilesForRun, which fills *cuts).
// Prints one "profill: " line and returns false when it cannot.
bool CheckLpRunSettings(LP_UNCOUNTED_CUTS* cuts);

// Runs the generation for g_profileIndex on the open connection cds: the set-up lines, one record
// per interval until the days are written, a write or store fails, or a stop is requested, and the
// closing file-information table. Standard output is flushed at every progress line and at the end.
void RunLpGeneration(toolkit::CCds& cds);

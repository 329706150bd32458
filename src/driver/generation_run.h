// The record generation run: contiguous synthetic interval records for the selected profile,
// oldest first, with the file bookkeeping stored in the CDS after every record.
#pragma once

#include "cds/toolkit.h"

// Checks, before anything is written, that the selected profile (g_profileIndex) can be
// generated with the options given: an interval of at least one minute whose seconds fit in 32
// bits when it comes from the CDS, and, unless -c zeroes the file information, a current day
// file that is 0 (none started) or exists with at least its header.
// Prints one "profill: " line and returns false when it cannot.
bool CheckLpRunSettings();

// Runs the generation for g_profileIndex on the open connection cds: the set-up lines, one record
// per interval until the days are written, a write or store fails, or a stop is requested, and the
// closing file-information table. Standard output is flushed at every progress line and at the end.
void RunLpGeneration(toolkit::CCds& cds);

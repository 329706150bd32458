// The file information of the load profiles (the first five fields of LP_FILE_INFO): read from
// and written to the CDS under /LP/<n>/, and shown on standard output.
#pragma once

#include "cds/toolkit.h"

// Clears the records of the LPs selected by lpMask and reads their configuration and file
// information. A failure has been reported by the reader; the caller goes on regardless, so the
// result is always 0.
int InitLp(toolkit::CCds& cds, int lpMask);

// Reads the file information of the LPs selected by lpMask, LP 1 first, and shows each table.
// Returns 0, or -1 when something could not be read: a failed batch stops everything at once
// (no table); an unreadable leaf leaves its field as it was and the table is still shown.
int ReadLpFileInfo(toolkit::CCds& cds, int lpMask);

// Stores the file information of g_lP[lp] (lp 0 or 1) in one write. Runs after every record of
// a generation run. Returns 0, or 8 when the write or one of its leaves failed (reported).
int WriteFileInfoToCDS(toolkit::CCds& cds, int lp);

// Shows the file information table of g_lP[lp] (lp 0 or 1).
void PrintLpFileInfoTable(int lp);

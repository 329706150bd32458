// The load-profile configuration: read from the CDS into g_lP and shown on standard output.
#pragma once

#include "cds/toolkit.h"

// Reads the configuration of the LPs selected by lpMask, LP 1 first: the channel count, then
// the profile settings and every channel's settings in one batch. A count above kMaxChannels is
// cut to kMaxChannels with a notice on standard output. Each profile read is shown when -s or
// debug bit 1 is set. Returns 0, or -1 when something could not be read: an unreadable count or
// a failed batch stops everything at once (what was stored stays); an unreadable leaf of a batch
// leaves its field as it was and the rest goes on.
int ReadLpConfig(toolkit::CCds& cds, int lpMask);

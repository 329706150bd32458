// Dumping day files: one line per record for people, or one CSV table for programs, whose times
// are in ISO 8601 so that spreadsheets and data frames read them without help.
#pragma once

#include <string>
#include <vector>

// Dumps files in the order given, with records of channelCount channels, or (-1) of the
// NumChannels that the store gives the profile each file's header names. Returns the exit
// status: 0, 1 when a file is no whole day file (said on standard error with the offset), 2
// when a file is no day file at all or cannot be read, or the store cannot give a channel count.
int DumpDayFiles(const std::vector<std::string>& files, int channelCount, bool csv);

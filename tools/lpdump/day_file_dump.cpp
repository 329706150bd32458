#include "day_file_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cds/pcd.h"
#include "cds/toolkit.h"
#include "lpdump_modes.h"
#include "lpfile/lp_codec.h"
#include "lpfile/lp_placement.h"
#include "profile_store.h"
#include "record_time.h"

namespace {

// A file as one CSV field: quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

// One record as a line for people or a CSV row, whose times spreadsheets and data frames read
// without help. profile is the header's digit, '?' when it names neither profile.
void PrintRecord(const std::string& file, char profile, const DayFileRecord& record, int columns,
                 bool csv) {
    const auto format = csv ? FormatLpIsoTime : FormatLpTime;
    const std::string times[] = {format(record.start, true), format(record.end, true),
                                 format(record.start, false), format(record.end, false)};
    if (csv) {
        printf("%s,%s,%u,%u,%u,%s,%s,%s,%s,%u", file.c_str(),
               profile == '?' ? "" : std::string(1, profile).c_str(), record.number, record.start,
               record.end, times[0].c_str(), times[1].c_str(), times[2].c_str(), times[3].c_str(),
               record.kind);
        for (int i = 0; i < columns; ++i) {
            if (i < record.channels) {
                printf(",%04x,%.9g", record.flags[i], static_cast<double>(record.values[i]));
            } else {
                fputs(",,", stdout);
            }
        }
    } else {
        printf("%7u  %s - %s  %s - %s  kind %u", record.number, times[0].c_str(), times[1].c_str(),
               times[2].c_str(), times[3].c_str(), record.kind);
        for (int i = 0; i < record.channels; ++i) {
            printf(" %04x:%.9g", record.flags[i], static_cast<double>(record.values[i]));
        }
    }
    putchar('\n');
}

// Reads the file at path, with records of `channels` channels, into *file (only its start unless
// full). Returns kExitOk, or the exit status after saying why it cannot.
int ReadForDump(const std::string& path, int channels, bool full, PlacedDayFile* file) {
    *file = PlaceDayFile(path, -1, channels, full, true);
    if (file->Readable()) {
        return kExitOk;
    }
    fprintf(
        stderr, "lpdump: cannot read %s: %s\n", path.c_str(),
        file->notRegular != nullptr ? NotRegularText(*file).c_str() : strerror(file->readErrno));
    return kExitFailure;
}

// The channel count of each file into *channels, from its header and the store unless
// channelCount gives it. Returns kExitOk, or the exit status after saying why it cannot.
int ChannelsOf(const std::vector<std::string>& files, int channelCount,
               std::vector<int>* channels) {
    toolkit::CCds cds(nullptr);
    int storeChannels[kLpCount] = {-1, -1};
    PlacedDayFile file;
    for (const std::string& path : files) {
        if (const int failed = ReadForDump(path, 0, false, &file)) {
            return failed;
        }
        const std::string& bytes = file.bytes;
        const uint8_t* header = reinterpret_cast<const uint8_t*>(bytes.data());
        // Records read from what is no day file would be its bytes under another name.
        if (!StartsAsDayFile(header, bytes.size())) {
            fprintf(stderr, "lpdump: %s is not a day file: %s\n", path.c_str(),
                    NotDayFileText(header, bytes.size()).c_str());
            return kExitFailure;
        }
        const int lp = LpOfHeader(header, bytes.size());
        int count = channelCount;
        if (count < 0 && bytes.size() >= kLpHeaderSize) {
            if (lp < 0) {
                fprintf(stderr, "lpdump: %s: the header names no profile; give --channels\n",
                        path.c_str());
                return kExitFailure;
            }
            if (storeChannels[lp] < 0) {
                if (cds.handle() == nullptr) {
                    cds.set_handle(pcd_init());
                }
                ProfileLeaves leaves;
                if (!ReadProfileLeaves(cds, lp, LeafUse::kDump, &leaves)) {
                    return kExitFailure;
                }
                storeChannels[lp] = LpRecordChannels(leaves.numChannels);
            }
            count = storeChannels[lp];
            // Records of another width would be printed as numbers they do not hold.
            file = PlaceDayFile(path, lp, count, false, true);
            const int other = OtherChannelsOf(file, file.first, -1);
            if (!file.Runs() && other >= 0 &&
                (file.size - kLpHeaderSize) / LpRecordSize(other) >= 2) {
                fprintf(stderr,
                        "lpdump: %s holds records of %d channels, not of the store's %d; give "
                        "--channels %d to dump it as it is\n",
                        path.c_str(), other, count, other);
                return kExitBadFile;
            }
        }
        channels->push_back(count);
    }
    return kExitOk;
}

}  // namespace

int DumpDayFiles(const std::vector<std::string>& files, int channelCount, bool csv) {
    // First the headers, for the channel count of each file (and the widest, for the CSV
    // columns); then each file in turn, so that only one is in memory at a time.
    std::vector<int> channels;
    if (const int failed = ChannelsOf(files, channelCount, &channels)) {
        return failed;
    }
    PlacedDayFile file;
    const int columns = channels.empty() ? 0 : *std::max_element(channels.begin(), channels.end());
    if (csv) {
        fputs("file,profile,record,start,end,start_utc,end_utc,start_local,end_local,kind", stdout);
        for (int i = 1; i <= columns; ++i) {
            printf(",flags_%d,value_%d", i, i);
        }
        putchar('\n');
    }
    int status = kExitOk;
    for (std::size_t f = 0; f < files.size(); ++f) {
        const std::string& path = files[f];
        if (const int failed = ReadForDump(path, channels[f], true, &file)) {
            return failed;
        }
        const uint8_t* data = reinterpret_cast<const uint8_t*>(file.bytes.data());
        for (const Finding& fault : CheckLpHeader(data, file.bytes.size(), -1, path)) {
            fprintf(stderr, "lpdump: %s: %s\n", fault.where.c_str(), fault.text.c_str());
            status = kExitBadFile;
        }
        if (file.size < kLpHeaderSize) {
            continue;
        }
        const int lp = LpOfHeader(data, file.bytes.size());
        const char profile = lp < 0 ? '?' : static_cast<char>('1' + lp);
        if (!csv) {
            printf("%s: LP %c day file, version %u, %s of %s\n", path.c_str(), profile,
                   LpHeaderVersion(data), Count(file.whole, "record").c_str(),
                   Count(channels[f], "channel").c_str());
        }
        const std::string field = CsvField(path);
        for (long i = 0; i < file.whole; ++i) {
            PrintRecord(field, profile, file.Decoded(i), columns, csv);
        }
        if (file.partial != 0) {
            fprintf(stderr, "lpdump: %s: %s\n", At(path, file.size - file.partial).c_str(),
                    PartialRecordText(file.partial, channels[f]).c_str());
            status = kExitBadFile;
        }
    }
    return status;
}

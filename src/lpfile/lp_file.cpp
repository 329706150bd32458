#include "lpfile/lp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/debug_log.h"
#include "driver/run_options.h"
#include "lpfile/lp_dirs.h"

namespace {

// The buffer of the one day-file stream open at a time: big enough for a header and a record,
// so that both reach the file in one write at the close, and given to the stream so that
// opening one allocates no buffer and asks the file system for no block size.
char g_streamBuffer[2 * (kLpHeaderSize + kLpMaxRecordSize)];

void UseStreamBuffer(FILE* file) {
    setvbuf(file, g_streamBuffer, _IOFBF, sizeof g_streamBuffer);
}

void Advance(int32_t& counter) {
    counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
}

}  // namespace

std::string LpDayFilePath(int lp, int fileNumber) {
    return LpDirectory(lp) + std::to_string(fileNumber) + ".lp";
}

bool CountLpRecord(LP_FILE_INFO* info, int32_t recordsPerFile) {
    Advance(info->totalRecCnt);
    Advance(info->fileRecCnt);
    if (info->fileRecCnt < recordsPerFile) {
        return false;
    }
    info->fileRecCnt = 0;
    Advance(info->currentDay);
    Advance(info->dayCnt);
    return true;
}

void FillLpRecord(LP_RECORD* record, int numChannels, unsigned long recordKind,
                  unsigned long recordNumber) {
    record->recordNumber = static_cast<uint32_t>(recordNumber);
    record->intervalStart = g_lastIntervalTime.seconds;
    record->intervalEnd = record->intervalStart + static_cast<uint32_t>(g_intervalSecs);
    record->recordKind = static_cast<uint32_t>(recordKind);
    const int n = LpRecordChannels(numChannels);
    for (int i = 0; i < n; ++i) {
        record->valueFlags[i] = static_cast<uint16_t>(1u << i);
        record->channelValues[i] = static_cast<float>(10000 * (i + 1));
    }
}

int CreateLpFile(FILE** file, int fileNumber, int lp) {
    uint8_t header[kLpHeaderSize];
    EncodeLpHeader(header, lp);
    const char* path = LpFilePath(lp, fileNumber);
    printf("[CreateLpFile]creating file %s\n", path);
    FILE* created = fopen(path, "w");
    if (created == nullptr) {
        printf("[CreateLpFile]Error creating LP file: %s\n\r", path);
        return 2;
    }
    UseStreamBuffer(created);
    // A short header write is not an error here: the close that follows the record reports a
    // stream that could not be written.
    std::size_t items = fwrite(header, sizeof header, 1, created);
    if ((g_logLevel & kDebugLpFile) != 0) {
        DebugPrintf("[CreateLpFile]wrote file header; %d record to file %s\n\r",
                    static_cast<int>(items), path);
    }
    *file = created;
    return 0;
}

int WriteLpRecord(LP_RECORD* record, int lp, bool newFile) {
    LP_STATE& state = g_lP[lp == 0 ? 0 : 1];
    const int n = LpRecordChannels(state.numChannels);
    const int day = state.fileInfo.currentDay;
    if ((g_logLevel & kDebugLpFile) != 0) {
        DebugPrintf("WriteLpRecord: currentDay = %d\n", day);
    }

    const char* path = LpFilePath(lp, day == 0 ? 1 : day);
    FILE* file = nullptr;
    if (day == 0 || newFile) {
        int status = CreateLpFile(&file, day == 0 ? 1 : day, lp);
        if (status != 0) {
            return status;
        }
        if (day == 0) {
            state.fileInfo.currentDay = 1;
        }
    } else {
        if ((g_logLevel & kDebugLpFile) != 0) {
            DebugPrintf("[WriteLpRecord]opening file %s\n", path);
        }
        file = fopen(path, "a+");
        if (file == nullptr) {
            printf("[WriteLpRecord]Error opening LP file: %s\n\r", path);
            return 3;
        }
        UseStreamBuffer(file);
    }

    uint8_t bytes[kLpMaxRecordSize];
    EncodeLpRecord(*record, n, bytes);
    // The three pieces, each written as one item, in file order.
    struct Piece {
        std::size_t size;
        const char* failure;
    };
    const Piece pieces[] = {
        {kLpFixedSize, "[WriteLpRecord]failed to write 4 fixed values"},
        {2 * static_cast<std::size_t>(n), "[WriteLpRecord]failed to write valueFlags "},
        {4 * static_cast<std::size_t>(n), "[WriteLpRecord]failed to write channel Values"},
    };
    int status = 0;
    std::size_t byteCount = 0;  // bytes of the pieces attempted
    for (const Piece& piece : pieces) {
        const uint8_t* start = bytes + byteCount;
        byteCount += piece.size;
        if (fwrite(start, piece.size, 1, file) != 1) {
            puts(piece.failure);
            status = 4;
            break;
        }
    }
    if ((g_logLevel & kDebugLpFile) != 0) {
        DebugPrintf("[WriteLpRecord]writing record bytes %d\n", static_cast<int>(byteCount));
    }
    // The stream is buffered: a full disk or a failing device shows up only here, and a record
    // whose bytes did not reach the file must not be counted.
    if (fclose(file) != 0) {
        printf("[WriteLpRecord]Error closing LP file: %s\n\r", path);
        status = 4;
    }
    return status;
}

bool CutLpFile(const char* path, int64_t keep, int64_t* removed) {
    *removed = -1;
    const int fd = open(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st = {};
    bool cut = fd >= 0 && fstat(fd, &st) == 0;
    if (cut && !S_ISREG(st.st_mode)) {
        errno = EISDIR;  // nothing that is no regular file is cut
        cut = false;
    }
    if (cut) {
        *removed = static_cast<int64_t>(st.st_size) - keep;
        cut = ftruncate(fd, static_cast<off_t>(keep)) == 0 && fsync(fd) == 0;
    }
    const int saved = errno;
    if (fd >= 0) {
        close(fd);
    }
    errno = saved;
    return cut;
}

// The changes real programs make to files, in the order they make them, as strace saw their
// system calls: strace sees every write, also those the C library makes for a stream inside its
// own calls, which a shim on write() would miss.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct FileChange {
    enum Kind {
        kCreate,    // the file exists from here on (empty unless it existed already)
        kWrite,     // bytes at offset
        kTruncate,  // to offset bytes
        kRemove,
        kSync,  // what the file holds now is on the disk
    };
    Kind kind;
    std::string path;
    uint64_t offset = 0;  // kWrite: kAppend for the end of the file
    std::string bytes;
};
inline constexpr uint64_t kAppend = UINT64_MAX;

// The strace options that show every change to a file, with the bytes written and the paths of
// descriptors (-y), all bytes of both in hexadecimal (-xx).
std::vector<std::string> StraceOptions();

// Appends the changes to files for which keep(path) is true that the strace output trace shows,
// with absolute paths; false with the reason in error when a line cannot be read or a write to
// such a file cannot be placed.
bool ParseTrace(const std::string& trace, const std::function<bool(const std::string&)>& keep,
                std::vector<FileChange>* changes, std::string* error);

// A file's bytes, nullopt when there is no such file.
using FileContent = std::optional<std::string>;

// Applies change to content, a write only up to its first partial bytes.
void ApplyChange(const FileChange& change, FileContent& content,
                 std::size_t partial = std::string::npos);

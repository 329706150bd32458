// Helpers shared by the tests: scratch directories, file contents and child processes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A fresh directory under $TMPDIR (or /tmp), removed with its contents on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

struct ProgramResult {
    std::string out;
    std::string err;
    int status = -1;  // exit status, or -1 when the child did not exit normally
};

// Runs program with args; env entries are "NAME=VALUE" to set, or "NAME" to unset.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

// Helpers shared by the tests: scratch directories, file contents and runs of a program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A fresh directory, removed with its contents at the end of the scope.
struct TempDir {
    TempDir();
    ~TempDir();
    std::string path;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);

struct ProgramResult {
    std::string out;
    std::string err;
    int status;  // exit status, -1 when the program did not exit normally
};

// Runs program with args, PROFILL_JFFS unset and env ("NAME=VALUE") set, stdin from /dev/null.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

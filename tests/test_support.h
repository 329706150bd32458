// Helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cds/toolkit.h"

// A fresh directory, removed with its contents at the end of the scope.
struct TempDir {
    TempDir();
    ~TempDir();
    std::string path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// text with every from replaced by to.
std::string Replace(std::string text, const std::string& from, const std::string& to);
// The file-information table of LP n that profill prints; counters blank- or tab-separated.
std::string InfoTable(int n, const std::string& counters);

// What a call returned and printed on standard output and standard error (where syslog echoes).
struct CallOutput {
    int result;
    std::string out;
    std::string err;
};
template <typename Call>
CallOutput CaptureCall(Call call) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int result = call();
    std::string out = testing::internal::GetCapturedStdout();
    return {result, out, testing::internal::GetCapturedStderr()};
}

// Leaf values, for the tests that link an implementation of CElement.
inline toolkit::CElement Int(int32_t value) {
    toolkit::CElement element;
    element.set_int(value);
    return element;
}
inline toolkit::CElement Float(double value) {
    toolkit::CElement element;
    element.set_float(value);
    return element;
}
inline toolkit::CElement Text(const std::string& value) {
    toolkit::CElement element;
    element.set_text(value);
    return element;
}

struct ProgramResult {
    std::string out;
    std::string err;
    int status;  // exit status, -1 when the program did not exit normally
};

// Runs program with args, PROFILL_JFFS unset and env ("NAME=VALUE") set, stdin from /dev/null.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

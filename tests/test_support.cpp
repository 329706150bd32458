#include "test_support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "profill-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed for " + pattern);
    path = pattern;
}

TempDir::~TempDir() {
    std::filesystem::remove_all(path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string InfoTable(int n, const std::string& counters) {
    return "Load Profile " + std::to_string(n) +
           " File Information Configuration\nCurrent\tFile\tTotal\tTotl\tDays   \n"
           "Day    \tRecs\tRecs \tDays\tDeleted\n-------\t----\t-----\t----\t-------\n" +
           Replace(counters, " ", "\t") + "\n\n\n";
}

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
    TempDir dir;
    std::string command = "env -u PROFILL_JFFS";
    for (const std::string& entry : env)
        command += " " + Quote(entry);
    command += " " + Quote(program);
    for (const std::string& arg : args)
        command += " " + Quote(arg);
    command += " </dev/null >" + Quote(dir.path + "/out") + " 2>" + Quote(dir.path + "/err");
    const int status = system(command.c_str());
    return {ReadFile(dir.path + "/out"), ReadFile(dir.path + "/err"),
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

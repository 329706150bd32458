#include "test_support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "profill-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed for " + pattern);
    }
    path = pattern;
}

TempDir::~TempDir() {
    std::filesystem::remove_all(path);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
    TempDir dir;
    std::string command = "env -u PROFILL_JFFS";
    for (const std::string& entry : env) {
        command += " " + Quote(entry);
    }
    command += " " + Quote(program);
    for (const std::string& arg : args) {
        command += " " + Quote(arg);
    }
    command += " </dev/null >" + Quote(dir.path + "/out") + " 2>" + Quote(dir.path + "/err");
    const int status = system(command.c_str());
    auto text = [&](const char* name) {
        std::vector<uint8_t> bytes = ReadFileBytes(dir.path + "/" + name);
        return std::string(bytes.begin(), bytes.end());
    };
    return {text("out"), text("err"), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

#include "sandbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

Sandbox::Sandbox(const std::string& seed)
    : root(dir.path + "/jffs"), store(dir.path + "/store.mdb") {
    const std::string mkdir = "mkdir -p " + root + "/lp1 " + root + "/lp2";
    EXPECT_EQ(system(mkdir.c_str()), 0);
    WriteFile(dir.path + "/seed.cds", seed);
    EXPECT_EQ(RunProgram(CDSCTL_BIN, {"init"}, {"CDS_STORE=" + store}).status, 0);
    const ProgramResult load =
        RunProgram(CDSCTL_BIN, {"load", dir.path + "/seed.cds"}, {"CDS_STORE=" + store});
    EXPECT_EQ(load.status, 0) << load.err;
}

std::vector<std::string> Sandbox::Env() const {
    return {"PROFILL_JFFS=" + root, "CDS_STORE=" + store};
}

std::string Sandbox::Dump(const std::string& prefix) const {
    return RunProgram(CDSCTL_BIN, {"dump", prefix}, {"CDS_STORE=" + store}).out;
}

std::string Sandbox::Info(int lp) const {
    const std::string prefix = "/LP/" + std::to_string(lp + 1) + "/";
    const ProgramResult dump = RunProgram(CDSCTL_BIN, {"dump", prefix}, {"CDS_STORE=" + store});
    EXPECT_EQ(dump.status, 0) << dump.err;
    const std::string lines = "\n" + dump.out;
    std::string info;
    for (const char* name : kCounters) {
        const std::string leaf = "\n" + prefix + name + "/Value = ";
        const std::size_t at = lines.find(leaf), from = at + leaf.size();
        info += " " +
                (at == std::string::npos ? "-" : lines.substr(from, lines.find('\n', from) - from));
    }
    return info.substr(1);
}

int32_t Sandbox::Leaf(const std::string& path) const {
    const ProgramResult get = RunProgram(CDSCTL_BIN, {"get", path}, {"CDS_STORE=" + store});
    EXPECT_EQ(get.status, 0) << path << ": " << get.err;
    char* end = nullptr;
    const long value = strtol(get.out.c_str(), &end, 10);
    EXPECT_EQ(std::string(end), "\n") << path << " holds " << get.out;
    return static_cast<int32_t>(value);
}

std::string Sandbox::DayFile(int lp, int n) const {
    return root + "/lp" + std::to_string(lp + 1) + "/" + std::to_string(n) + ".lp";
}

pid_t Sandbox::Start(const std::vector<std::string>& args, int out) const {
    const std::vector<std::string> env = Env();
    std::vector<const char*> argv = {PROFILL_BIN}, envp;
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    for (const std::string& entry : env) {
        envp.push_back(entry.c_str());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(out < 0 ? null : out, 1);
        dup2(null, 2);
        execve(PROFILL_BIN, const_cast<char**>(argv.data()), const_cast<char**>(envp.data()));
        _exit(127);
    }
    return pid;
}

namespace {

uint32_t Be32(const std::string& bytes, std::size_t at) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8) |
           static_cast<uint8_t>(bytes[at + 3]);
}

}  // namespace

DayFile ReadDayFile(const std::string& path, int channels) {
    DayFile file;
    file.exists = access(path.c_str(), F_OK) == 0;
    const std::string bytes = ReadFile(path);
    file.header = bytes.substr(0, 32);
    const std::size_t size = 16 + 6 * static_cast<std::size_t>(channels);
    std::size_t at = 32;
    for (; bytes.size() >= 32 && bytes.size() - at >= size; at += size) {
        file.records.push_back(
            {Be32(bytes, at), Be32(bytes, at + 4), Be32(bytes, at + 8), Be32(bytes, at + 12)});
        file.bytes.push_back(bytes.substr(at, size));
    }
    file.trailing = bytes.size() > at ? bytes.size() - at : 0;
    return file;
}

std::string Be32(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string DayFileHeader(int lp) {
    return std::string("ZOLV Load Prof\0", 15) + (lp == 0 ? "1" : "2") +
           std::string("\0\0\0\1", 4) + std::string(12, '\0');
}

#include "sandbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
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
    std::vector<std::string> paths = {"get"};
    for (const char* name : kCounters) {
        paths.push_back("/LP/" + std::to_string(lp + 1) + "/" + name + "/Value");
    }
    const ProgramResult get = RunProgram(CDSCTL_BIN, paths, {"CDS_STORE=" + store});
    EXPECT_EQ(get.status, 0) << get.err;
    return Replace(get.out.substr(0, get.out.size() - 1), "\n", " ");
}

std::string Sandbox::DayFile(int lp, int n) const {
    return root + "/lp" + std::to_string(lp + 1) + "/" + std::to_string(n) + ".lp";
}

pid_t Sandbox::Start(const std::vector<std::string>& args, int out) const {
    std::vector<std::string> env = Env(), copies = args;
    std::vector<char*> argv = {const_cast<char*>(PROFILL_BIN)}, envp;
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    for (std::string& entry : env) {
        envp.push_back(entry.data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, out < 0 ? 0 : out, 1);
    posix_spawn_file_actions_adddup2(&actions, 0, 2);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, PROFILL_BIN, &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::string Be32(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string DayFileHeader(int lp) {
    return std::string("ZOLV Load Prof\0", 15) + (lp == 0 ? "1" : "2") +
           std::string("\0\0\0\1", 4) + std::string(12, '\0');
}

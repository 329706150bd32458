#include "sandbox.h"

#include <fcntl.h>
#include <lmdb.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

Sandbox::Sandbox() {
    const std::string mkdir = "mkdir -p " + root + "/lp1 " + root + "/lp2";
    EXPECT_EQ(system(mkdir.c_str()), 0);
    EXPECT_EQ(RunProgram(CDSCTL_BIN, {"init"}, {"CDS_STORE=" + store}).status, 0);
    const ProgramResult load =
        RunProgram(CDSCTL_BIN, {"load", CDSCTL_EXAMPLE}, {"CDS_STORE=" + store});
    EXPECT_EQ(load.status, 0) << load.err;
}

std::string Sandbox::Info(int lp) const {
    std::vector<std::string> paths = {"get"};
    for (const char* name : {"currentDay", "fileRecCnt", "totalRecCnt", "dayCnt", "daysDeleted"})
        paths.push_back("/LP/" + std::to_string(lp + 1) + "/" + name + "/Value");
    const ProgramResult get = RunProgram(CDSCTL_BIN, paths, {"CDS_STORE=" + store});
    EXPECT_EQ(get.status, 0) << get.err;
    return Replace(get.out.substr(0, get.out.size() - 1), "\n", " ");
}

std::string Sandbox::DayFile(int lp, int n) const {
    return root + "/lp" + std::to_string(lp + 1) + "/" + std::to_string(n) + ".lp";
}

pid_t Sandbox::Start(const char* program, const std::vector<std::string>& args, int out) const {
    std::vector<std::string> env = Env(), copies = args;
    std::vector<char*> argv = {const_cast<char*>(program)}, envp;
    for (std::string& arg : copies)
        argv.push_back(arg.data());
    for (std::string& entry : env)
        envp.push_back(entry.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, out < 0 ? 0 : out, 1);
    posix_spawn_file_actions_adddup2(&actions, 0, 2);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, program, &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

StoreHold::StoreHold(const Sandbox& box) {
    MDB_env* store = nullptr;
    MDB_txn* transaction = nullptr;
    held = mdb_env_create(&store) == 0 && mdb_env_set_mapsize(store, std::size_t{16} << 20) == 0 &&
           mdb_env_open(store, box.store.c_str(), MDB_NOSUBDIR, 0644) == 0 &&
           mdb_txn_begin(store, nullptr, 0, &transaction) == 0;
    env = store;
    txn = transaction;
}

void StoreHold::Release() {
    if (txn != nullptr)
        mdb_txn_abort(static_cast<MDB_txn*>(txn));
    if (env != nullptr)
        mdb_env_close(static_cast<MDB_env*>(env));
    env = txn = nullptr;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

int Wait(pid_t pid) {
    int status = -1;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    return status;
}

std::string Drain(int fd, pid_t pid, const char* signalAt, int signal, const char* until) {
    std::string out;
    for (pollfd ready = {fd, POLLIN, 0}; !until || out.find(until) == std::string::npos;) {
        if (poll(&ready, 1, 120000) <= 0) {
            kill(pid, SIGKILL);
            ADD_FAILURE() << "the program went silent";
        }
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(got));
        if (signalAt != nullptr && out.find(signalAt) != std::string::npos) {
            kill(pid, signal);
            signalAt = nullptr;
        }
    }
    return out;
}

CrashPlan CrashPlanFromEnv(const char* trialsVariable, int byDefault) {
    const char* seedText = std::getenv("PROFILL_CRASH_SEED");
    const char* trialsText = std::getenv(trialsVariable);
    const CrashPlan plan = {
        seedText ? std::strtoull(seedText, nullptr, 10) : std::random_device{}(),
        trialsText ? std::atoi(trialsText) : byDefault};
    printf("PROFILL_CRASH_SEED=%llu %s=%d\n", plan.seed, trialsVariable, plan.trials);
    return plan;
}

testing::AssertionResult Check(const Sandbox& box, int lp, Found& was, long long added) {
    const bool complete = added >= 0;
    Found now;
    std::istringstream(box.Info(lp)) >> now.counted >> now.counted >> now.counted;
    std::vector<std::string> args = {"--verify", "-2"};
    args.resize(1 + static_cast<std::size_t>(lp));
    const ProgramResult verified = RunProgram(LPDUMP_BIN, args, box.Env());
    std::istringstream lines(verified.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find(" offset "), partial = line.find(" bytes after ");
        const bool left = line.find(" is not counted in the store ") != std::string::npos ||
                          line.find(" writes it afresh") != std::string::npos;
        const bool cut = partial != std::string::npos && at != std::string::npos &&
                         (std::stoll(line.substr(at + 8)) +
                          std::stoll(line.substr(line.rfind(' ', partial - 1)))) %
                                 sysconf(_SC_PAGESIZE) ==
                             0;
        now.uncounted = now.uncounted || left;
        now.cut = now.cut || cut;
        if (line.find(": note: ") == std::string::npos && line.rfind("lpdump: ", 0) != 0 &&
            (complete || !(left || cut))) {
            return testing::AssertionFailure() << "LP " << lp + 1 << ": " << verified.out;
        }
    }
    if (verified.status != (now.uncounted || now.cut ? 1 : 0) || now.counted < was.counted ||
        (complete && now.counted != was.counted + added)) {
        return testing::AssertionFailure() << "LP " << lp + 1 << ": totalRecCnt " << now.counted
                                           << ", before this " << was.counted << "\n"
                                           << verified.out << verified.err;
    }
    was = now;
    return testing::AssertionSuccess();
}

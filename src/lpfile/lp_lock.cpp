#include "lpfile/lp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/run_options.h"
#include "lpfile/lp_dirs.h"

namespace {

int g_lockFds[2] = {-1, -1};
constexpr int kLockTries = 10;
constexpr useconds_t kLockPauseMicros = 10000;

int OpenLpDirectory(int lp) {
    return open(LpDirectory(lp), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The pid of a process holding an flock on the file open at fd, from the kernel's list of locks
// (lines like "3: FLOCK  ADVISORY  WRITE 1234 08:01:131090 0 EOF"); 0 when none is listed, -1
// when the list cannot be read or names a process that has ended (a clear killed while its
// removal, which holds the lock on, runs). *writer says whether the lock listed is exclusive.
int FlockHolderPid(int fd, bool* writer) {
    struct stat st = {};
    FILE* locks = fstat(fd, &st) == 0 ? fopen("/proc/locks", "re") : nullptr;
    if (locks == nullptr) {
        return -1;
    }
    char line[256];
    char wanted[64];
    snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
             static_cast<unsigned long long>(st.st_ino));
    int pid = 0;
    while (pid == 0 && fgets(line, sizeof line, locks) != nullptr) {
        char kind[16];
        char mode[16];
        char file[64];
        int holder = 0;
        // A waiting request is listed as "N: -> FLOCK ...", which this pattern skips.
        if (sscanf(line, "%*d: %15s %*s %15s %d %63s", kind, mode, &holder, file) == 4 &&
            strcmp(kind, "FLOCK") == 0 && strcmp(file, wanted) == 0 && holder > 0) {
            pid = (kill(holder, 0) == 0 || errno != ESRCH) ? holder : -1;
            *writer = strcmp(mode, "WRITE") == 0;
        }
    }
    fclose(locks);
    return pid;
}

}  // namespace

LpLockResult LockLpProfile(int lp, int* holder) {
    const int index = lp == 0 ? 0 : 1;
    *holder = 0;
    if (g_lockFds[index] >= 0) {
        return kLpLockTaken;
    }
    const int fd = OpenLpDirectory(lp);
    if (fd < 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? kLpLockNoDirectory : kLpLockFailed;
    }
    // LpLockHolder holds a shared lock for an instant: a writer seen in the kernel's list
    // refuses at once, any other holder is given a few tries over a tenth of a second.
    int error = 0;
    int pid = 0;
    for (int tries = 0; tries < kLockTries; ++tries) {
        error = flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
        if (error != EWOULDBLOCK) {
            break;
        }
        bool writer = false;
        pid = FlockHolderPid(fd, &writer);
        if (writer) {
            break;
        }
        usleep(kLockPauseMicros);
    }
    if (error != 0) {
        close(fd);
        *holder = (error == EWOULDBLOCK && pid > 0) ? pid : 0;
        errno = error;
        return error == EWOULDBLOCK ? kLpLockBusy : kLpLockFailed;
    }
    g_lockFds[index] = fd;
    return kLpLockTaken;
}

int RunHoldingLpLock(int lp, const char* command) {
    // The process has one thread, so no other program starts while the descriptor is open
    // across exec.
    const int fd = g_lockFds[lp == 0 ? 0 : 1];
    if (fd >= 0) {
        fcntl(fd, F_SETFD, 0);
    }
    const int status = system(command);
    if (fd >= 0) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return status;
}

int LpLockHolder(int lp) {
    const int fd = OpenLpDirectory(lp);
    if (fd < 0) {
        return 0;
    }
    // The lock itself answers; the kernel's list of locks only names the holder, and does not
    // list a holder in another pid namespace.
    int pid = 0;
    if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
        flock(fd, LOCK_UN);
    } else if (errno == EWOULDBLOCK) {
        bool writer = false;
        pid = FlockHolderPid(fd, &writer);
        pid = pid > 0 ? pid : -1;
    }
    close(fd);
    return pid;
}

std::string LpDirectoryMissing(int lp) {
    // The root holds only characters the shell takes literally, so the command needs no quotes.
    const std::string directory = LpDirectory(lp);
    const std::string remedy =
        IsDefaultFlashRoot() ? "is the flash mounted?" : "mkdir -p " + directory + " makes it";
    return std::string(g_programName) + ": LP " + std::to_string(lp + 1) + "'s directory " +
           directory + " is missing (" + remedy + "); nothing was changed";
}

bool TakeLpLock(int lp) {
    int holder = 0;
    const LpLockResult result = LockLpProfile(lp, &holder);
    if (result == kLpLockTaken) {
        return true;
    }
    if (result == kLpLockBusy) {
        const std::string pid = holder > 0 ? " (pid " + std::to_string(holder) + ")" : "";
        fprintf(RefusalStream(), "%s: another run%s is writing LP %d; nothing was changed\n",
                g_programName, pid.c_str(), lp + 1);
    } else if (result == kLpLockNoDirectory) {
        fprintf(RefusalStream(), "%s\n", LpDirectoryMissing(lp).c_str());
    } else {
        fprintf(RefusalStream(), "%s: cannot lock LP %d's directory %s: %s\n", g_programName,
                lp + 1, LpDirectory(lp), strerror(errno));
    }
    return false;
}

// One writer per load profile: a generation run, a clear and a repair hold an exclusive flock on
// the profile's directory for as long as they may change its day files or its bookkeeping. The
// kernel drops the lock with the last process holding it (the writer, and the removal of a clear
// while it runs), so a killed writer never leaves it behind, and the lock adds no file to the
// directory.
#pragma once

#include <string>

enum LpLockResult {
    kLpLockTaken = 0,
    kLpLockBusy = 1,         // another process holds it
    kLpLockNoDirectory = 2,  // the profile's directory is missing or no directory
    kLpLockFailed = 3,       // the directory could not be opened or locked; errno says why
};

// Takes the lock of LP index lp, waiting at most a tenth of a second. On kLpLockBusy, *holder is
// the pid of the process holding it, or 0 when that cannot be known. The lock is held until the
// end of the process; it is passed on only to the command of RunHoldingLpLock.
LpLockResult LockLpProfile(int lp, int* holder);

// Takes the lock of LP index lp as a writer does. When another process holds it, the profile's
// directory is missing or it cannot be locked, says so in one line on RefusalStream() and
// returns false.
bool TakeLpLock(int lp);

// The line, without its newline, that TakeLpLock refuses with when LP index lp's directory is
// missing: on the device's flash root it asks whether the flash is mounted, on any other root (a
// host's) it says how to make the directory.
std::string LpDirectoryMissing(int lp);

// Runs command through the shell, as system() does, with LP index lp's lock passed on to the
// shell and what it runs: a removal of day files stays under the lock until it ends, also when
// this process is killed first. Returns system()'s status.
int RunHoldingLpLock(int lp, const char* command);

// The pid of a process that holds the lock of LP index lp: 0 when nobody holds it (or the
// directory is missing), -1 when it is held by a process whose pid cannot be known. Asks with a
// shared request let go at once; a writer that starts in that instant tries again.
int LpLockHolder(int lp);

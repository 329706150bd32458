#include "driver/debug_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <initializer_list>

volatile sig_atomic_t __signal_exit = 0;

namespace {

// Writes all of data to standard output, again after every interruption by a signal.
ssize_t WriteAllToStdout(void*, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = write(STDOUT_FILENO, data + done, size - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written == 0 || errno != EINTR) {
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        }
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

void RetryInterruptedStdoutWrites() {
#if defined(__GLIBC__) && (!defined(__UCLIBC__) || defined(__UCLIBC_HAS_GLIBC_CUSTOM_STREAMS__))
    cookie_io_functions_t functions = {};
    functions.write = WriteAllToStdout;
    FILE* stream = fopencookie(nullptr, "w", functions);
    if (stream == nullptr) {
        return;
    }
    setvbuf(stream, nullptr, isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, BUFSIZ);
    fflush(stdout);
    stdout = stream;
#endif
}

void TakeStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDWR) != fd) {
            return;
        }
    }
}

void DebugPrintf(const char* format, ...) {
    char buffer[kDebugBufferSize];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    fputs(buffer, stdout);
}

int register_handlers() {
    struct sigaction action = {};
    action.sa_handler = sig_handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    int result = 0;
    for (int signum : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        result = sigaction(signum, &action, nullptr);
    }
    return result;
}

void sig_handler(int signum) {
    const int savedErrno = errno;

    static const char kPrefix[] = "sig_handler: RECEIVIED ";
    char line[sizeof kPrefix + 16];
    std::size_t length = 0;
    for (const char* c = kPrefix; *c != '\0'; ++c) {
        line[length++] = *c;
    }
    // Digits of the number, written backwards into a scratch buffer first. The magnitude is
    // taken in unsigned arithmetic so that INT_MIN does not overflow.
    unsigned int magnitude =
        signum < 0 ? 0u - static_cast<unsigned int>(signum) : static_cast<unsigned int>(signum);
    char digits[12];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (signum < 0) {
        line[length++] = '-';
    }
    while (count > 0) {
        line[length++] = digits[--count];
    }
    line[length++] = '\n';
    ssize_t ignored = write(STDOUT_FILENO, line, length);
    (void)ignored;

    if (signum >= 0 && signum <= 15 && ((0x800e >> signum) & 1) != 0) {
        __signal_exit = 1;
    }
    errno = savedErrno;
}

// Debug output gated by g_logLevel, and the handler that turns termination signals into a stop
// request for the record loop.
#pragma once

#include <csignal>
#include <cstddef>

// Bits of g_logLevel. Each caller tests its bit before calling DebugPrintf.
constexpr int kDebugConfig = 1;    // configuration and load-profile state
constexpr int kDebugLpFile = 2;    // day-file writing
constexpr int kDebugFileInfo = 4;  // storing the file information in the CDS

// Size of DebugPrintf's formatting buffer; a longer text is cut to kDebugBufferSize - 1 chars.
constexpr std::size_t kDebugBufferSize = 1536;

// Set to 1 by sig_handler, never reset; the record loop polls it once per record.
extern volatile sig_atomic_t __signal_exit;

// Formats like printf and writes the text to standard output as it is: no prefix, no added
// line end. A '%' produced by an argument is printed literally.
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Opens /dev/null on any of standard input, output and error that is closed, so that no file the
// program opens later (a day file, the store's lock file) takes its number and receives output.
void TakeStandardDescriptors();

// Makes stdout a stream whose writes go on when a signal interrupts them. The handlers below are
// installed without automatic restart, and a plain stream drops the text it was writing when
// write(2) fails with EINTR: a signal while the program waits on a full pipe or a terminal would
// cut a hole in the output. Line-buffered on a terminal, fully buffered otherwise. On a C
// library whose stdout cannot be replaced, stdout stays as it is.
void RetryInterruptedStdoutWrites();

// Installs sig_handler for SIGHUP, SIGINT, SIGQUIT and SIGTERM with an empty mask and no flags,
// so an interrupted system call is not restarted. Returns the result of the last sigaction.
int register_handlers();

// Reports the signal with one write(2) to standard output and, for SIGHUP, SIGINT, SIGQUIT or
// SIGTERM, raises __signal_exit. Safe inside a signal handler: no stdio, no allocation.
void sig_handler(int signum);

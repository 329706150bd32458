#include "lpstate/cds_client.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>

void LogCdsError(const char* format, ...) {
    // Large enough for the longest message: a fixed text and one path of at most 511 bytes.
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    openlog(nullptr, LOG_PID | LOG_CONS | LOG_PERROR, 0);
    syslog(LOG_ERR, "%s", text);
}

// The CDS client as the load-profile code uses it, and the one way its failures are reported.
#pragma once

#include "cds/toolkit.h"

// What the client library promises, whichever one is linked: a call returns 0 unless it failed
// as a whole, and a leaf counts as read or written only when its status is 1.
constexpr int kCdsCallOk = 0;
constexpr api_status_t kCdsLeafOk = 1;

// Formats like printf and sends the text to the system log at LOG_ERR, echoed on standard error
// so that a run at a terminal sees it too. The log is opened again before every message, so a
// library that reopened it under other options in between cannot swallow ours.
void LogCdsError(const char* format, ...) __attribute__((format(printf, 1, 2)));

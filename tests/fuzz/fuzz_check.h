// The harnesses' checks: a failed one names itself on standard error and aborts, which libFuzzer
// reports as a crash and saves the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void FuzzCheck(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "fuzz check failed: %s\n", what);
        abort();
    }
}

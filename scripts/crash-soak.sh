#!/bin/bash
# Kills profill at random instants many times over and checks after every kill that the day files
# and the stored bookkeeping still agree (CrashTest in tests/run_test.cpp).
#
#     scripts/crash-soak.sh [TRIALS]
#
# TRIALS defaults to 2000. The test prints its seed; PROFILL_CRASH_SEED=<seed> repeats its kill
# delays.
set -eu
cd "$(dirname "$0")/.."
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build
fi
cmake --build build --target run_test profill cdsctl lpdump
PROFILL_CRASH_TRIALS="${1:-2000}" exec build/tests/run_test --gtest_filter=CrashTest.*

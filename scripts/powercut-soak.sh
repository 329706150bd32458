#!/bin/bash
# Builds many states that a power cut can leave of a profile and checks on each that no tool dies,
# that the way back (a new store where the old one no longer opens, lpdump --repair) keeps every
# whole record up to the first one the cut damaged, and that a run then continues the profile
# (tests/power_cut_test.cpp).
#
#     scripts/powercut-soak.sh [STATES]
#
# STATES defaults to 2000; the cuts come from a new seed each time, which the test prints
# (PROFILL_POWERCUT_SEED=<seed> repeats them on the same recorded run).
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh strace
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build
fi
cmake --build build --target power_cut_test profill cdsctl lpdump
PROFILL_POWERCUT_STATES="${1:-2000}" PROFILL_POWERCUT_SEED="${PROFILL_POWERCUT_SEED:-$RANDOM$RANDOM}" \
    exec build/tests/power_cut_test

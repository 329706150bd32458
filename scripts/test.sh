#!/bin/bash
# Installs what is needed, builds profill with its tests and runs every test.
set -eu
cd "$(dirname "$0")/.."
# faketime sets the clock of whole runs in the tests of dates and times; strace records the
# writes of a run for the states a power cut can leave; groff renders the manual pages.
bash scripts/install-deps.sh faketime strace groff-base
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
ctest --no-tests=error --test-dir build --output-on-failure -j"$(nproc)"

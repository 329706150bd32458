#!/bin/bash
# Builds profill in Release and measures what a generated record costs next to the file I/O and
# the store it cannot avoid: bash bench/run.sh [DAYS] (default 100 days of 1-minute records).
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target record_cost >/dev/null
build/bench/record_cost "${1:-100}"

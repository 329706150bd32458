#!/bin/bash
# Builds profill in Release and measures what a generated record costs next to the file I/O and
# the store it cannot avoid, and what lpload costs a record of the same table: bash bench/run.sh
# [DAYS] (default 100 days of 1-minute records).
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# A build of its own, so that no cached sanitizer or debug setting of build/ is measured.
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPROFILL_SANITIZE=OFF -DBUILD_TESTING=OFF \
    >/dev/null
cmake --build build-bench -j"$(nproc)" --target record_cost >/dev/null
build-bench/bench/record_cost "${1:-100}"

#!/bin/bash
# Installs what is needed, builds profill and runs it against a sandbox flash root.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target profill

sandbox="$PWD/sandbox"
mkdir -p "$sandbox/jffs/lp1" "$sandbox/jffs/lp2"
export PROFILL_JFFS="$sandbox/jffs"
build/profill -p | tee "$sandbox/storage-table.txt"

echo
echo "profill:       $PWD/build/profill"
echo "flash root:    $PROFILL_JFFS (day files go to lp1/ and lp2/)"
echo "storage table: $sandbox/storage-table.txt"

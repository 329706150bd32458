#!/bin/bash
# Installs what is needed, builds profill and cdsctl, seeds a host CDS store from the example
# device configuration and runs profill against it and a sandbox flash root.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target profill cdsctl

sandbox="$PWD/sandbox"
mkdir -p "$sandbox/jffs/lp1" "$sandbox/jffs/lp2"
export PROFILL_JFFS="$sandbox/jffs"
export CDS_STORE="$sandbox/store.mdb"
rm -f "$CDS_STORE" "$CDS_STORE-lock"
build/tools/cdsctl init
build/tools/cdsctl load examples/device.cds

# Show LP 1 as the store holds it and clear its day files and bookkeeping, then the same for
# LP 2, then the storage table.
build/profill -c -s | tee "$sandbox/lp1.txt"
build/profill -c -2 -s | tee "$sandbox/lp2.txt"
build/profill -p >"$sandbox/storage-table.txt"

echo
echo "profill:       $PWD/build/profill"
echo "cdsctl:        $PWD/build/tools/cdsctl"
echo "flash root:    $PROFILL_JFFS (day files go to lp1/ and lp2/)"
echo "CDS store:     $CDS_STORE (inspect: CDS_STORE=$CDS_STORE build/tools/cdsctl dump)"
echo "reports:       $sandbox/lp1.txt, $sandbox/lp2.txt, $sandbox/storage-table.txt"

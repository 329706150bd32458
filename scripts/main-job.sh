#!/bin/bash
# Installs what is needed, builds profill and cdsctl, seeds a host CDS store from the example
# device configuration in ./sandbox and generates real load-profile data into a sandbox flash
# root: 2 days of 15-minute records for LP 1 and 10 days of 5-minute records for LP 2; then checks
# both profiles against their bookkeeping with lpdump.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target profill cdsctl lpdump

sandbox="$PWD/sandbox"
mkdir -p "$sandbox/jffs/lp1" "$sandbox/jffs/lp2"
export PROFILL_JFFS="$sandbox/jffs"
export CDS_STORE="$sandbox/store.mdb"
rm -f "$CDS_STORE" "$CDS_STORE-lock"
build/tools/cdsctl init
build/tools/cdsctl load examples/device.cds

# Each run clears its profile first (-c), generates, and ends with the profile's bookkeeping.
build/profill -i 15 -t 2 -c | tee "$sandbox/lp1-run.txt"
build/profill -i 5 -t 10 -c -2 >"$sandbox/lp2-run.txt"
tail -n 8 "$sandbox/lp2-run.txt"

echo "Day files of LP 1 ($PROFILL_JFFS/lp1):"
ls -lv "$PROFILL_JFFS/lp1"
echo "Day files of LP 2 ($PROFILL_JFFS/lp2):"
ls -lv "$PROFILL_JFFS/lp2"
echo "File bookkeeping in the CDS store:"
build/tools/cdsctl dump /LP/
echo "The first records of LP 2 and the check of both profiles against their bookkeeping:"
build/tools/lpdump "$PROFILL_JFFS/lp2/1.lp" | head -n 4
build/tools/lpdump --verify
build/tools/lpdump --verify -2

echo
echo "profill:       $PWD/build/profill"
echo "cdsctl:        $PWD/build/tools/cdsctl"
echo "lpdump:        $PWD/build/tools/lpdump"
echo "flash root:    $PROFILL_JFFS (day files in lp1/ and lp2/)"
echo "CDS store:     $CDS_STORE (inspect: CDS_STORE=$CDS_STORE build/tools/cdsctl dump /LP/)"
echo "run reports:   $sandbox/lp1-run.txt, $sandbox/lp2-run.txt"

#!/bin/bash
# Installs what is needed, builds profill, cdsctl, lpdump and lpload and installs them with their
# manual pages into ./sandbox, seeds a host CDS store there from the example device
# configuration, and generates real load-profile data into a sandbox flash root: 2 days of
# 15-minute records for LP 1 and 10 days of 5-minute records for LP 2; then checks both profiles
# against their bookkeeping with lpdump and says how to go on by hand.
set -eu
cd "$(dirname "$0")/.."
# man-db reads the manual pages the job installs.
bash scripts/install-deps.sh man-db
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target profill cdsctl lpdump lpload

sandbox="$PWD/sandbox"
cmake --install build --prefix "$sandbox" >/dev/null
export PATH="$sandbox/bin:$PATH"
mkdir -p "$sandbox/jffs/lp1" "$sandbox/jffs/lp2"
export PROFILL_JFFS="$sandbox/jffs"
export CDS_STORE="$sandbox/store.mdb"
rm -f "$CDS_STORE" "$CDS_STORE-lock"
cdsctl init examples/device.cds

# Each run clears its profile first (-c), generates, and ends with the profile's bookkeeping.
profill -i 15 -t 2 -c | tee "$sandbox/lp1-run.txt"
profill -i 5 -t 10 -c -2 >"$sandbox/lp2-run.txt"
tail -n 8 "$sandbox/lp2-run.txt"

echo "Day files of LP 1 ($PROFILL_JFFS/lp1):"
ls -lv "$PROFILL_JFFS/lp1"
echo "Day files of LP 2 ($PROFILL_JFFS/lp2):"
ls -lv "$PROFILL_JFFS/lp2"
echo "File bookkeeping in the CDS store:"
cdsctl dump /LP/
echo "LP 2 at a glance, its first records, and the check of both profiles against their bookkeeping:"
lpdump --summary -2
lpdump "$PROFILL_JFFS/lp2/1.lp" | head -n 4
lpdump --verify
lpdump --verify -2

echo
echo "programs:      $sandbox/bin (profill, cdsctl, lpdump, lpload)"
echo "flash root:    $PROFILL_JFFS (day files in lp1/ and lp2/)"
echo "CDS store:     $CDS_STORE"
echo "run reports:   $sandbox/lp1-run.txt, $sandbox/lp2-run.txt"
echo "To go on by hand (README.md, A first run by hand) and read the manual pages:"
echo "    export PATH=$sandbox/bin:\$PATH MANPATH=$sandbox/share/man:"
echo "    man profill     # also: man cdsctl, man lpdump, man lpload"

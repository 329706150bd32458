#!/bin/bash
# Runs profill, cdsctl and lpdump under valgrind's memcheck in a scratch sandbox: a cleared and a
# continued generation run of LP 1, the display modes, daily records for LP 2, a store seeded,
# dumped, read and written, and both profiles verified, summed up and dumped. Fails when
# valgrind reports any error or a definite, indirect or possible leak, or when a run fails.
#
#     bash scripts/valgrind.sh
#
# Builds profill, cdsctl and lpdump with optimisation and debug information in build-valgrind.
# Each step prints one line; the programs' standard output goes to files in the sandbox, so what
# shows is valgrind's report and the programs' standard error.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh valgrind
cmake -S . -B build-valgrind -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build-valgrind -j"$(nproc)" --target profill cdsctl lpdump

bin="$PWD/build-valgrind"
sandbox="$(mktemp -d)"
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/jffs/lp1" "$sandbox/jffs/lp2"
export PROFILL_JFFS="$sandbox/jffs"
export CDS_STORE="$sandbox/store.mdb"

# valgrind exits with this status when it found an error; the program's own status otherwise.
readonly kValgrindError=99
failures=0
step=0

# check PROGRAM ARG...: runs build-valgrind's PROGRAM under memcheck. profill -c runs rm through
# system(); that child is not traced.
check() {
    local program="$1"
    shift
    local path="$bin/$program"
    [ "$program" = profill ] || path="$bin/tools/$program"
    step=$((step + 1))
    local out="$sandbox/step$step.out"
    echo "valgrind: $program $*"
    local status=0
    valgrind --error-exitcode="$kValgrindError" --leak-check=full \
        --errors-for-leak-kinds=definite,indirect,possible --track-fds=no --trace-children=no -q \
        "$path" "$@" >"$out" || status=$?
    if [ "$status" -eq "$kValgrindError" ]; then
        echo "valgrind: errors in $program $*"
        failures=$((failures + 1))
    elif [ "$status" -ne 0 ]; then
        echo "valgrind: $program $* exited with status $status; the end of its output:"
        tail -n 5 "$out"
        failures=$((failures + 1))
    fi
}

check cdsctl init
check cdsctl load examples/device.cds
check cdsctl dump
check cdsctl set /Q7M/LoadPrf/1/IntLength/Value 15
check cdsctl get /Q7M/LoadPrf/1/IntLength/Value /LP/1/totalRecCnt/Value
check profill -i 15 -t 2 -c
check profill -i 15 -t 1
check profill -s
check profill -p
check profill -i 1440 -t 3 -c -2
# The continued run of LP 1 starts its span afresh: the check takes that break as a note.
check lpdump --verify
check lpdump --verify --json -2
check lpdump --summary
check lpdump --summary --json -2
check lpdump "$PROFILL_JFFS/lp1/1.lp"
check lpdump --csv -2
check cdsctl scan
# A counter set behind the files, which the repair puts right before a run continues.
check cdsctl set /LP/1/totalRecCnt/Value 150
check lpdump --repair --dry-run
check lpdump --repair
check profill -i 15 -t 1

if [ "$failures" -ne 0 ]; then
    echo "valgrind: $failures of $step runs failed"
    exit 1
fi
echo "valgrind: all $step runs clean"

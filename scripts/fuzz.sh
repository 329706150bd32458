#!/bin/bash
# Builds the libFuzzer harnesses in tests/fuzz with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time from its inputs in the repository
# (tests/fuzz/seeds/NAME, written by hand, and tests/fuzz/corpus/NAME, kept by --merge). Fails
# when any run crashes, fails one of its checks, leaks, hangs or makes a sanitizer report.
#
#     scripts/fuzz.sh [--merge] [SECONDS]
#
# SECONDS is the time of each harness, 60 by default. The runs work on copies of the inputs in
# build-fuzz/run/NAME, so the repository is left as it is; with --merge, tests/fuzz/corpus/NAME
# is replaced after a good run by the fewest inputs of the old corpus and the run that reach every
# edge of the code that the seeds do not reach. A failing run leaves its input in
# build-fuzz/artifacts/NAME/; build-fuzz/tests/fuzz/NAME_fuzz FILE runs it again.
set -eu
cd "$(dirname "$0")/.."
merge=0
if [ "${1:-}" = --merge ]; then
    merge=1
    shift
fi
seconds="${1:-60}"
names="cli cds_text cds_element cds_store day_file load_table"

# llvm brings llvm-symbolizer, for stack traces with file names and lines.
bash scripts/install-deps.sh clang libclang-rt-14-dev llvm
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPROFILL_FUZZ=ON -DBUILD_TESTING=OFF
targets=""
for name in $names; do
    targets="$targets ${name}_fuzz"
done
cmake --build build-fuzz -j"$(nproc)" --target $targets

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=""
for name in $names; do
    fuzzer="build-fuzz/tests/fuzz/${name}_fuzz"
    run="build-fuzz/run/$name"
    artifacts="build-fuzz/artifacts/$name"
    log="build-fuzz/run/$name.log"
    rm -rf "$run" "$artifacts"
    mkdir -p "$run" "$artifacts"
    cp -R "tests/fuzz/seeds/$name/." "$run"
    if [ -d "tests/fuzz/corpus/$name" ]; then
        cp -R "tests/fuzz/corpus/$name/." "$run"
    fi
    echo "== $name: $seconds s from $(ls "$run" | wc -l) inputs"
    # A store check may take its child up to 20 s before it counts it as hung.
    timeout=10
    [ "$name" != cds_store ] || timeout=45
    # Standard output is closed: the command-line parser prints its usage text on every run.
    if ! "$fuzzer" -max_total_time="$seconds" -timeout="$timeout" -close_fd_mask=1 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$run" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz.sh: $name failed (log $log); run again with: $fuzzer $artifacts/*"
        failed="$failed $name"
        continue
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|peak_rss_mb)' "$log"
    if [ "$merge" = 1 ]; then
        # Coverage counters are left out, or every other loop count of a parse would keep an input.
        merged="build-fuzz/merge/$name"
        rm -rf "$merged"
        mkdir -p "$merged"
        cp -R "tests/fuzz/seeds/$name/." "$merged"
        "$fuzzer" -merge=1 -use_counters=0 "$merged" "$run" >"build-fuzz/merge/$name.log" 2>&1
        rm -rf "tests/fuzz/corpus/$name"
        mkdir -p "tests/fuzz/corpus/$name"
        for input in "$merged"/*; do
            if [ ! -e "tests/fuzz/seeds/$name/${input##*/}" ]; then
                mv "$input" "tests/fuzz/corpus/$name/"
            fi
        done
        echo "tests/fuzz/corpus/$name: $(ls "tests/fuzz/corpus/$name" | wc -l) inputs"
    fi
done
if [ -n "$failed" ]; then
    echo "fuzz.sh: failed:$failed"
    exit 1
fi
echo "fuzz.sh: every harness ran $seconds s without a finding"

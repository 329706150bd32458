#!/bin/bash
# Cross-builds profill, cdsctl and the tests for s390x Linux, a big-endian machine, and runs every
# test under qemu-s390x: day files must hold the same bytes there. Installs what it needs first:
# Debian's s390x cross compiler, qemu-user, and the s390x builds of LMDB, GoogleTest and the C++
# library through multiarch.
set -eu
cd "$(dirname "$0")/.."
dpkg --add-architecture s390x
bash scripts/install-deps.sh faketime strace groff-base crossbuild-essential-s390x qemu-user \
    liblmdb-dev:s390x libgtest-dev:s390x libstdc++6:s390x pkgconf:s390x
cmake -S . -B build-s390x -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/s390x-linux-gnu.cmake"
cmake --build build-s390x -j"$(nproc)"
ctest --no-tests=error --test-dir build-s390x --output-on-failure -j"$(nproc)" --timeout 600

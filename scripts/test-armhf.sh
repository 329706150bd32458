#!/bin/bash
# Cross-builds profill, cdsctl and the tests for 32-bit ARM Linux, the device's machine (32-bit
# long and time_t), and runs every test under qemu-arm. Installs what it needs first: Debian's
# armhf cross compiler, qemu-user, and the armhf builds of LMDB, GoogleTest and the C++ library
# through multiarch.
set -eu
cd "$(dirname "$0")/.."
dpkg --add-architecture armhf
bash scripts/install-deps.sh faketime strace groff-base crossbuild-essential-armhf qemu-user \
    liblmdb-dev:armhf libgtest-dev:armhf libstdc++6:armhf pkgconf:armhf
cmake -S . -B build-armhf -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/arm-linux-gnueabihf.cmake"
cmake --build build-armhf -j"$(nproc)"
ctest --no-tests=error --test-dir build-armhf --output-on-failure -j"$(nproc)" --timeout 600

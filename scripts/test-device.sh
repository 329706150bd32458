#!/bin/bash
# Builds the device's configuration for 32-bit ARM, profill, lpdump and lpload against the
# platform's libcds and libcds++ (-DPROFILL_PLATFORM_CDS=ON) found under a sysroot, as an image
# builder builds it, and runs the flash lab's ARM acceptance with the programs it gives. The host
# store stands in for the platform: built for armhf as shared libraries and installed with the
# headers cds/pcd.h and cds/toolkit.h into build-device/sysroot. cdsctl, a host tool that the
# device configuration does not build, comes from the stand-in's build.
set -eu
cd "$(dirname "$0")/.."
dpkg --add-architecture armhf
# qemu-system-arm's virt machine loads its network card's ROM from ipxe-qemu, which the flash lab
# gets only along with qemu-system-x86 (its amd64 runs).
bash scripts/install-deps.sh crossbuild-essential-armhf liblmdb-dev:armhf libstdc++6:armhf \
    pkgconf:armhf ipxe-qemu
toolchain="$PWD/cmake/arm-linux-gnueabihf.cmake"
sysroot="$PWD/build-device/sysroot"
cmake -S . -B build-device/standin -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DBUILD_TESTING=OFF -DPROFILL_CDS_STANDIN=ON
cmake --build build-device/standin -j2 --target cds_standin cdsxx_standin cdsctl
rm -rf "$sysroot"
cmake --install build-device/standin --component cds-standin --prefix "$sysroot/usr"
# What an image builder passes, its own toolchain file and staging root aside.
cmake -S . -B build-device/armhf -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DBUILD_TESTING=OFF -DPROFILL_PLATFORM_CDS=ON -DCMAKE_FIND_ROOT_PATH="$sysroot" \
    -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build-device/armhf -j2
staging="$PWD/build-device/image"
rm -rf "$staging"
DESTDIR="$staging" cmake --install build-device/armhf >/dev/null
test -x "$staging/usr/bin/profill" && test -x "$staging/usr/bin/lpdump" &&
    test -x "$staging/usr/bin/lpload" && test ! -e "$staging/usr/bin/cdsctl"
FLASH_LAB_BUILD=build-device/armhf FLASH_LAB_CDSCTL=build-device/standin/tools/cdsctl \
    FLASH_LAB_LIBS="$(dirname "$(find "$sysroot" -name libcds.so | head -n 1)")" \
    bash scripts/flash-lab.sh --arch armhf accept

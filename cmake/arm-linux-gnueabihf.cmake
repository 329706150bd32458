# Cross-compiling for the device, 32-bit ARM Linux, with Debian's crossbuild-essential-armhf:
#
#     cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/arm-linux-gnueabihf.cmake
#
# Libraries come from Debian's multiarch packages (liblmdb-dev:armhf and libgtest-dev:armhf,
# found through pkgconf:armhf); ctest runs the tests under qemu-arm (Debian's qemu-user).
# scripts/test-armhf.sh installs all of it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
# Without this GCC notes, at every std::map iterator passed by value, that GCC 7.1 changed how
# it is passed; all the code is built by one compiler.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)

# The cross toolchain's own files are under /usr/arm-linux-gnueabihf; multiarch packages install
# under / into lib/arm-linux-gnueabihf directories, which CMake searches for this target
# (CMAKE_LIBRARY_ARCHITECTURE) instead of the host's. A root given with -DCMAKE_FIND_ROOT_PATH
# (the device platform's sysroot, with its libcds) is searched first.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf /)
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(PKG_CONFIG_EXECUTABLE /usr/bin/arm-linux-gnueabihf-pkg-config CACHE FILEPATH "pkg-config of the target")

# The programs run with the loader and C library of libc6:armhf (multiarch, which the libraries
# above depend on) and libstdc++6:armhf. -L /usr/arm-linux-gnueabihf would pair the cross
# toolchain's loader with that C library of another build, and fork() then crashes the child.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /)

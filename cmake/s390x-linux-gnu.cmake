# Cross-compiling for big-endian 64-bit s390x Linux with Debian's crossbuild-essential-s390x, to
# run the tests on a big-endian machine (day files are big-endian on any host):
#
#     cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/s390x-linux-gnu.cmake
#
# Libraries come from Debian's multiarch packages (liblmdb-dev:s390x and libgtest-dev:s390x,
# found through pkgconf:s390x); ctest runs the tests under qemu-s390x (Debian's qemu-user).
# scripts/test-s390x.sh installs all of it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)

# The cross toolchain's own files are under /usr/s390x-linux-gnu; multiarch packages install
# under / into lib/s390x-linux-gnu directories, which CMake searches for this target
# (CMAKE_LIBRARY_ARCHITECTURE) instead of the host's.
set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(PKG_CONFIG_EXECUTABLE /usr/bin/s390x-linux-gnu-pkg-config CACHE FILEPATH "pkg-config of the target")

# The programs run with the loader and C library of libc6:s390x (multiarch, which the libraries
# above depend on) and libstdc++6:s390x. -L /usr/s390x-linux-gnu would pair the cross
# toolchain's loader with that C library of another build, and programs then crash.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-s390x -L /)

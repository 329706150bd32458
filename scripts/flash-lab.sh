#!/bin/bash
# Runs profill, cdsctl, lpdump and lpload on JFFS2 over simulated flash in an emulated machine:
# NOR (mtdram) and NAND (nandsim) on x86-64, NAND alone on 32-bit ARM (armhf, the device's CPU),
# whose kernel simulates no NOR. Builds an initramfs from Debian's packages (kernel modules,
# busybox, mtd-utils) and the project's build, boots it under qemu (TCG) and brings the output
# and exit status of the commands run inside back.
#
#     scripts/flash-lab.sh [--arch amd64|armhf] MODE [ARGS]
#
#     run CMD...      runs each CMD as a line of a shell script inside, stopping at the first
#                     that fails (the functions of scripts/flash-lab-guest.sh are at hand)
#     run-file FILE   runs the lines of FILE likewise
#     accept          the acceptance on each flash kind
#     cuts [N]        N power cuts on each flash kind (default 12)
#     cost            what a generation costs in flash, as a table
#     ci              the acceptance and 12 power cuts on each flash kind, in one boot
#     shell           an interactive shell inside (Ctrl-A X leaves qemu)
#
# Exits with the status of the commands inside (125 when the machine did not report one, for
# example when FLASH_LAB_TIMEOUT seconds passed: 900 for ci, accept and cost, else 14400).
# Work files go to build/flash-lab/ARCH; packages are fetched with apt-get download and
# unpacked there, never installed on this host. FLASH_LAB_BUILD names a build to take profill,
# lpdump and lpload from as they are (the device configuration's), FLASH_LAB_CDSCTL a cdsctl, and
# FLASH_LAB_LIBS more directories of the shared libraries they need.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=amd64
lab_timeout=${FLASH_LAB_TIMEOUT:-}

# Everything that differs between the machines.
SetArch() {
    case "$arch" in
    amd64)
        kernel_meta=linux-image-amd64
        qemu="qemu-system-x86_64"
        qemu_package="qemu-system-x86"
        qemu_machine=(-M pc -cpu max -m 1024)
        console=ttyS0
        build_dir=build
        cmake_options=()
        host_packages=()
        lib_dirs=(/lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu /lib64)
        flash_kinds="nor nand"
        ;;
    armhf)
        kernel_meta=linux-image-armmp
        qemu="qemu-system-arm"
        qemu_package="qemu-system-arm"
        qemu_machine=(-M "virt,highmem=off" -cpu cortex-a15 -m 512)
        console=ttyAMA0
        # The build of scripts/test-armhf.sh when there is one, else the three programs alone.
        build_dir=build-armhf
        [ -f "$build_dir/CMakeCache.txt" ] || build_dir=build/flash-lab/armhf/build
        cmake_options=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/arm-linux-gnueabihf.cmake" -DBUILD_TESTING=OFF)
        host_packages=(crossbuild-essential-armhf liblmdb-dev:armhf libstdc++6:armhf pkgconf:armhf)
        lib_dirs=(/usr/lib/arm-linux-gnueabihf /lib/arm-linux-gnueabihf)
        # Neither mtdram nor a driver for qemu's NOR (pflash) is in this kernel.
        flash_kinds="nand"
        ;;
    *)
        echo "flash-lab: unknown architecture $arch (amd64 or armhf)" >&2
        exit 2
        ;;
    esac
    work="$PWD/build/flash-lab/$arch"
}

Usage() {
    sed -n '2,/^set -euo/p' "$0" | sed -e '/^set -euo/d' -e 's/^# \{0,1\}//'
    exit 2
}

InstallHostTools() {
    if [ "$arch" != amd64 ] && ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
        dpkg --add-architecture "$arch"
        apt-get update -qq
    fi
    bash scripts/install-deps.sh "$qemu_package" cpio binutils "${host_packages[@]}"
}

BuildProject() {
    if [ -n "${FLASH_LAB_BUILD:-}" ]; then
        build_dir=$FLASH_LAB_BUILD
        return
    fi
    [ -f "$build_dir/CMakeCache.txt" ] ||
        cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "${cmake_options[@]}"
    cmake --build "$build_dir" -j2 --target profill cdsctl lpdump lpload
}

# The kernel image package that the meta package names, so modules and image always match.
KernelPackage() {
    apt-cache depends "$kernel_meta:$arch" | sed -n 's/^ *Depends: \(linux-image-[0-9].*\)/\1/p' |
        sed 's/:.*//' | head -n 1
}

FetchPackages() {
    local kernel
    kernel="$(KernelPackage)"
    [ -n "$kernel" ] || { apt-get update -qq && kernel="$(KernelPackage)"; }
    mkdir -p "$work/debs" "$work/tree"
    if [ ! -f "$work/tree/.done-$kernel" ]; then
        rm -rf "$work/debs"/* "$work/tree"
        mkdir -p "$work/tree"
        (cd "$work/debs" && apt-get download "$kernel:$arch" "busybox-static:$arch" "mtd-utils:$arch")
        for deb in "$work/debs"/*.deb; do dpkg-deb -x "$deb" "$work/tree"; done
        touch "$work/tree/.done-$kernel"
    fi
    kernel_version="$(basename "$(ls -d "$work/tree/lib/modules/"*)")"
}

ModulePath() {
    find "$work/tree/lib/modules/$kernel_version" -name "$1.ko" | head -n 1
}

# Prints the modules that NAME needs, each after those it needs, NAME last; those built into the
# kernel (the armmp kernel has mtd and nand in it) need no loading.
ModuleOrder() {
    local dep deps
    grep -q "/$1\.ko\$" "$work/tree/lib/modules/$kernel_version/modules.builtin" && return
    deps="$(grep -a -o 'depends=[a-z0-9_,-]*' "$(ModulePath "$1")" | head -n 1 | cut -d= -f2)"
    for dep in ${deps//,/ }; do ModuleOrder "$dep"; done
    echo "$1"
}

FindLibrary() {
    local dir
    for dir in "$work/tree/lib" "$work/tree/usr/lib" "${lib_dirs[@]}" ${FLASH_LAB_LIBS:-}; do
        [ -e "$dir/$1" ] && { echo "$dir/$1"; return; }
    done
    echo "flash-lab: shared library $1 not found" >&2
    return 1
}

# Copies a program and, recursively, the shared libraries and loader it needs into the root.
CopyWithLibraries() {
    local file=$1 dest=$2 lib path interp
    install -D -m 755 "$file" "$root$dest"
    interp="$(readelf -l "$file" | sed -n 's/.*interpreter: \(.*\)]/\1/p')"
    if [ -n "$interp" ] && [ ! -e "$root$interp" ]; then
        install -D -m 755 "$(readlink -f "$interp")" "$root$interp"
    fi
    for lib in $(readelf -d "$file" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'); do
        [ -e "$root/lib/$lib" ] && continue
        path="$(FindLibrary "$lib")"
        install -D -m 755 "$(readlink -f "$path")" "$root/lib/$lib"
        CopyWithLibraries "$path" "/lib/$lib"
    done
}

# The simulators of the machine's flash kinds (mtdram for NOR, nandsim for NAND) and JFFS2.
CopyModules() {
    local top name tops
    mkdir -p "$root/lib/modules"
    tops="${flash_kinds/nor/mtdram}"
    for top in ${tops/nand/nandsim} jffs2; do
        if [ -z "$(ModulePath "$top")" ]; then
            echo "flash-lab: kernel $kernel_version has no module $top" >&2
            exit 1
        fi
        for name in $(ModuleOrder "$top"); do
            cp "$(ModulePath "$name")" "$root/lib/modules/"
            echo "$name"
        done >"$root/lab/$top.modules"
    done
}

WriteInit() {
    cat >"$root/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s
mkdir -p /proc /sys /dev /tmp
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
dmesg -n 1
export PATH=/bin:/sbin:/usr/bin:/usr/sbin HOME=/tmp
cd /lab
echo "FLASH-LAB-BEGIN $(cut -d' ' -f1 /proc/uptime)"
if [ -f /lab/interactive ]; then
    setsid cttyhack sh
    status=$?
else
    sh -e /lab/commands
    status=$?
fi
echo "FLASH-LAB-STATUS $status"
poweroff -f
EOF
    chmod 755 "$root/init"
}

BuildBaseImage() {
    local tool
    root="$work/root"
    rm -rf "$root"
    mkdir -p "$root/bin" "$root/lab" "$root/jffs"
    cp "$work/tree/bin/busybox" "$root/bin/busybox"
    for tool in flash_erase nanddump nandwrite mtd_debug mtdinfo flashcp jffs2dump; do
        CopyWithLibraries "$work/tree/usr/sbin/$tool" "/usr/sbin/$tool"
    done
    CopyWithLibraries "$build_dir/profill" /usr/bin/profill
    CopyWithLibraries "${FLASH_LAB_CDSCTL:-$build_dir/tools/cdsctl}" /usr/bin/cdsctl
    CopyWithLibraries "$build_dir/tools/lpdump" /usr/bin/lpdump
    CopyWithLibraries "$build_dir/tools/lpload" /usr/bin/lpload
    CopyModules
    cp scripts/flash-lab-guest.sh "$root/lab/guest.sh"
    cp examples/device.cds "$root/lab/device.cds"
    WriteInit
    (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/base.cpio.gz"
}

# The commands go into a second archive after the base one; the kernel unpacks both.
BuildRunImage() {
    local extra="$work/extra"
    rm -rf "$extra"
    mkdir -p "$extra/lab"
    {
        echo ". /lab/guest.sh"
        cat "$1"
    } >"$extra/lab/commands"
    [ "$2" = interactive ] && touch "$extra/lab/interactive"
    (cd "$extra" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/extra.cpio.gz"
    cat "$work/base.cpio.gz" "$work/extra.cpio.gz" >"$work/run.cpio.gz"
}

KernelImage() {
    ls "$work/tree/boot/vmlinuz-"*
}

Qemu() {
    timeout "$lab_timeout" "$qemu" "${qemu_machine[@]}" -accel tcg -nographic -no-reboot \
        -kernel "$(KernelImage)" -initrd "$work/run.cpio.gz" \
        -append "console=$console quiet loglevel=1 panic=-1 rdinit=/init"
}

# Passes the lines between the markers through and prints the boot time from the host's clock.
FollowConsole() {
    local start=$EPOCHREALTIME line status=125 shown=0 begin
    while IFS= read -r line; do
        line=${line%$'\r'}
        case "$line" in
        FLASH-LAB-BEGIN*)
            begin=$(((${EPOCHREALTIME/./} - ${start/./}) / 100000))
            printf 'flash-lab: booted in %d.%d s (kernel uptime %s s)\n' $((begin / 10)) \
                $((begin % 10)) "${line#FLASH-LAB-BEGIN }" >&2
            shown=1
            ;;
        FLASH-LAB-STATUS*)
            status=${line#FLASH-LAB-STATUS }
            shown=0
            ;;
        *) [ "$shown" = 1 ] && printf '%s\n' "$line" ;;
        esac
    done
    return "$status"
}

RunInMachine() {
    BuildRunImage "$1" "${2:-batch}"
    if [ "${2:-batch}" = interactive ]; then
        Qemu
        return
    fi
    Qemu </dev/null | FollowConsole
}

Prepare() {
    InstallHostTools
    BuildProject
    FetchPackages
    BuildBaseImage
}

main() {
    if [ "${1:-}" = --arch ]; then
        arch=${2:?}
        shift 2
    fi
    local mode=${1:-} kind
    [ -n "$mode" ] || Usage
    SetArch
    shift
    commands="$(mktemp)"
    trap 'rm -f "$commands"' EXIT
    case "$mode" in
    run) printf '%s\n' "$@" >"$commands" ;;
    run-file) cat "${1:?a file of commands}" >"$commands" ;;
    # One function a line: sh -e does not stop inside the left side of an && list.
    accept) for kind in $flash_kinds; do echo "AcceptOnFlash $kind"; done >"$commands" ;;
    cuts)
        [[ "${1:-12}" =~ ^[0-9]+$ ]] || Usage
        for kind in $flash_kinds; do echo "CutsOnFlash $kind ${1:-12}"; done >"$commands"
        echo ReportCuts >>"$commands"
        ;;
    cost) echo "CostTable $flash_kinds" >"$commands" ;;
    ci)
        for kind in $flash_kinds; do echo "AcceptOnFlash $kind"; done >"$commands"
        for kind in $flash_kinds; do echo "CutsOnFlash $kind 12"; done >>"$commands"
        echo ReportCuts >>"$commands"
        ;;
    shell) : >"$commands" ;;
    *) Usage ;;
    esac
    [ -n "$lab_timeout" ] || case "$mode" in ci | accept | cost) lab_timeout=900 ;; *) lab_timeout=14400 ;; esac
    Prepare
    if [ "$mode" = shell ]; then
        RunInMachine "$commands" interactive
    else
        RunInMachine "$commands"
    fi
}

main "$@"

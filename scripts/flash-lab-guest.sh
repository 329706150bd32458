# shellcheck shell=dash
# Functions for the commands that scripts/flash-lab.sh runs inside its machine (busybox sh).
# The flash root is /jffs, JFFS2 on a simulated MTD device; the host store lives on tmpfs, as
# LMDB needs a shared writable map, which JFFS2 does not give.
export PROFILL_JFFS=/jffs CDS_STORE=/tmp/cds/store.mdb

# 2 KiB pages with 64 bytes of OOB in erase blocks of 128 KiB; the size is cut from 128 MiB to
# 16 MiB (2^7 blocks) so that copying the device for a power cut takes a second, not ten.
nand_ids="first_id_byte=0x20 second_id_byte=0xa1 third_id_byte=0x00 fourth_id_byte=0x15"
nand_ids="$nand_ids overridesize=7"
nor_size="total_size=16384 erase_size=128"

Fail() {
    echo "flash-lab: FAILED: $*" >&2
    dmesg | grep -i -e jffs2 -e mtd -e nand | tail -n 20 >&2
    exit 1
}

Must() {
    echo "+ $*" >&2
    "$@" || Fail "$* (status $?)"
}

LoadModules() {
    local name params=$2
    while read -r name; do
        [ -d "/sys/module/$name" ] && continue
        if [ "$name" = "$1" ]; then
            # shellcheck disable=SC2086
            insmod "/lib/modules/$name.ko" $params
        else
            insmod "/lib/modules/$name.ko"
        fi
    done <"/lab/$1.modules"
}

# The number of the MTD device that simulates flash of a kind, loading its driver first.
MtdNumber() {
    local name
    case "$1" in
    nor)
        LoadModules mtdram "$nor_size"
        name="mtdram test device"
        ;;
    nand)
        LoadModules nandsim "$nand_ids"
        name="NAND simulator partition 0"
        ;;
    *) Fail "no flash kind $1" ;;
    esac
    LoadModules jffs2
    grep "\"$name\"" /proc/mtd | sed 's/^mtd\([0-9]*\):.*/\1/'
}

FlashErase() {
    flash_erase -q -j "/dev/mtd$(MtdNumber "$1")" 0 0
}

FlashMount() {
    mount -t jffs2 "mtd$(MtdNumber "$1")" /jffs
}

FlashUnmount() {
    umount /jffs
}

# An erased flash with an empty file system, its profile directories and a seeded store.
FreshFlash() {
    if grep -q ' /jffs ' /proc/mounts; then
        FlashUnmount
    fi
    FlashErase "$1"
    FlashMount "$1"
    mkdir -p /jffs/lp1 /jffs/lp2
    SeedStore
}

SeedStore() {
    rm -rf /tmp/cds
    cdsctl init >/dev/null
    cdsctl load /lab/device.cds
}

# About what a run takes to start and to write a record under TCG, in microseconds.
case "$(uname -m)" in
arm*) start_us=300000 record_us=900 ;;
*) start_us=50000 record_us=500 ;;
esac

# Where a copy of the flash and of the store go, as a power cut leaves them.
cut_flash=/tmp/cut.flash
cut_store=/tmp/cut.mdb

# A random number from 0 to $1 - 1.
Random() {
    echo $(($(od -An -N4 -tu4 /dev/urandom) % $1))
}

ProfileOption() {
    [ "$1" = 2 ] && echo -2
    return 0
}

Verify() {
    local profile=$1
    shift
    local opt
    opt=$(ProfileOption "$profile")
    Must lpdump --verify "$@" ${opt:+"$opt"}
}

# Counts the whole records in the day files of a profile, as the file sizes give them.
WholeRecords() {
    local channels size total=0 file
    channels="$(cdsctl get "/Q7M/LoadPrf/$1/NumChannels/Value")"
    for file in /jffs/lp"$1"/*.lp; do
        [ -f "$file" ] || continue
        size="$(wc -c <"$file")"
        [ "$size" -gt 32 ] && total=$((total + (size - 32) / (16 + 6 * channels)))
    done
    echo "$total"
}

StoredRecords() {
    cdsctl get "/LP/$1/totalRecCnt/Value"
}

# Runs PROGRAM with its output kept in /tmp/NAME.out; fails with that output unless it succeeds.
Succeeds() {
    local program=$1 out=/tmp/$2.out status=0
    shift 2
    echo "+ $program $*"
    "$program" "$@" >"$out" 2>&1 || status=$?
    if [ "$status" != 0 ]; then
        cat "$out"
        Fail "$program $* (status $status)"
    fi
}

# A generation run of profill, its output kept in /tmp/run.out; shows the file table's row.
Generate() {
    Succeeds profill run "$@"
    tail -n 3 /tmp/run.out | head -n 1
}

# Sends SIGTERM 0.3 s into the run once profill has installed its handlers (0x4000, SIGTERM, in
# the caught signals of its status), which the emulation on a loaded host can take long to reach.
StopWithSigterm() {
    echo "+ profill $* (SIGTERM after 0.3 s)"
    profill "$@" >/tmp/run.out 2>&1 &
    local pid=$! caught=0 tries=0
    while [ $((caught & 0x4000)) = 0 ] && [ "$tries" -lt 3000 ]; do
        caught=$(sed -n 's/^SigCgt:.*\(....\)$/0x\1/p' "/proc/$pid/status" 2>/dev/null)
        caught=${caught:-0} tries=$((tries + 1))
        usleep 10000
    done
    usleep 300000
    kill -TERM "$pid"
    wait "$pid" || Fail "profill $* stopped by SIGTERM (status $?)"
    grep -q 'sig_handler: RECEIVIED 15' /tmp/run.out || Fail "profill $*: no line of the signal"
}

# A load of a table, its output kept in /tmp/load.out; shows its last line.
Load() {
    Succeeds lpload load "$@"
    tail -n 1 /tmp/load.out
}

# The five counters of a profile's file information, on one line.
Counters() {
    local leaf line=""
    for leaf in currentDay fileRecCnt totalRecCnt dayCnt daysDeleted; do
        line="$line $(cdsctl get "/LP/$1/$leaf/Value")"
    done
    echo "$line"
}

# Writes a profile to a table and keeps its day files and counters, clears it and loads the
# table back: the same day files must come back byte for byte, and the same counters.
LoadRoundTrip() {
    local profile=$1 opt table=/tmp/lp$1.csv kept=/tmp/kept$1 counters file files=0
    opt=$(ProfileOption "$profile")
    Must lpdump --csv ${opt:+"$opt"} >"$table"
    rm -rf "$kept"
    mkdir -p "$kept"
    cp /jffs/lp"$profile"/*.lp "$kept"/
    counters=$(Counters "$profile")
    Must profill -c ${opt:+"$opt"} -s >/dev/null
    Load ${opt:+"$opt"} "$table"
    for file in "$kept"/*.lp; do
        cmp "$file" "/jffs/lp$profile/${file##*/}" || Fail "the load gave another ${file##*/} in LP $profile"
        files=$((files + 1))
    done
    [ "$(ls /jffs/lp"$profile")" = "$(ls "$kept")" ] || Fail "the load gave other day files in LP $profile"
    [ "$(Counters "$profile")" = "$counters" ] ||
        Fail "the load counts$(Counters "$profile") in LP $profile, the dump$counters"
    echo "the load gave back the $files day files of LP $profile and its counters"
    Verify "$profile"
}

# Loads a table of 3 days of 1-minute records (a day file each) into the cleared profile and sends
# SIGTERM once the load has begun the second day file: it stops between records and says so
# (status 3), and the profile verifies, counting the records the load says it wrote.
StopLoadWithSigterm() {
    local profile=$1 opt table=/tmp/stop$1.csv pid status=0 tries=0 loaded
    opt=$(ProfileOption "$profile")
    Generate -i 1 -t 3 -c ${opt:+"$opt"}
    Must lpdump --csv ${opt:+"$opt"} >"$table"
    Must profill -c ${opt:+"$opt"} -s >/dev/null
    echo "+ lpload ${opt:+$opt }$table (SIGTERM at its second day file)"
    lpload ${opt:+"$opt"} "$table" >/tmp/load.out 2>&1 &
    pid=$!
    while [ ! -f "/jffs/lp$profile/2.lp" ] && [ "$tries" -lt 3000 ]; do
        tries=$((tries + 1))
        usleep 10000
    done
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || status=$?
    [ "$status" = 3 ] || { cat /tmp/load.out; Fail "lpload stopped by SIGTERM (status $status, not 3)"; }
    grep -q 'sig_handler: RECEIVIED 15' /tmp/load.out || Fail "lpload: no line of the signal"
    loaded=$(sed -n 's/^lpload: stopped by a signal: loaded \([0-9]*\) of .*/\1/p' /tmp/load.out)
    tail -n 1 /tmp/load.out
    [ -n "$loaded" ] || Fail "lpload: no line saying what it loaded before the signal"
    [ "$(StoredRecords "$profile")" = "$loaded" ] ||
        Fail "LP $profile counts $(StoredRecords "$profile") records, the load says $loaded"
    Verify "$profile"
}

Remount() {
    echo "+ remount $1"
    FlashUnmount
    FlashMount "$1"
}

AcceptProfile() {
    local profile=$1 interval=$2 opt
    opt=$(ProfileOption "$profile")
    Generate -i "$interval" -t 3 -c ${opt:+"$opt"}
    Verify "$profile"
    Generate -i "$interval" -t 2 ${opt:+"$opt"}
    Verify "$profile"
    StopWithSigterm -i 1 -t 30 ${opt:+"$opt"}
    Verify "$profile"
    LoadRoundTrip "$profile"
    Must profill ${opt:+"$opt"} -s >/dev/null
    Must profill -i "$interval" ${opt:+"$opt"} -p >/dev/null
    Must profill -c ${opt:+"$opt"} -s >/dev/null
    Verify "$profile"
    [ "$(StoredRecords "$profile")" = 0 ] || Fail "-c -s left records counted in LP $profile"
    [ -z "$(ls /jffs/lp"$profile")" ] || Fail "-c -s left day files in LP $profile"
    StopLoadWithSigterm "$profile"
    Generate -i "$interval" -t 1 ${opt:+"$opt"}
    Verify "$profile"
}

AcceptOnFlash() {
    echo "== acceptance on $1"
    FreshFlash "$1"
    AcceptProfile 1 15
    AcceptProfile 2 5
    Remount "$1"
    Verify 1
    Verify 2
    Generate -i 15 -t 1
    Verify 1
    FlashUnmount
    echo "== acceptance on $1 passed"
}

CopyFlash() {
    local mtd
    mtd="/dev/mtd$(MtdNumber "$1")"
    case "$1" in
    nor) dd if="$mtd" of="$2" bs=128k 2>/dev/null ;;
    nand) nanddump -q --oob -f "$2" "$mtd" ;;
    esac
}

WriteFlash() {
    local mtd
    mtd="/dev/mtd$(MtdNumber "$1")"
    flash_erase -q "$mtd" 0 0
    case "$1" in
    nor) dd if="$2" of="$mtd" bs=128k 2>/dev/null ;;
    nand) nandwrite -q --oob "$mtd" "$2" 2>/tmp/nandwrite.err || { cat /tmp/nandwrite.err; return 1; } ;;
    esac
}

# Copies the flash as it stands at one instant. JFFS2's garbage collector moves nodes and
# erases blocks while a copy runs, and a copy taken meanwhile holds a state that never was on
# the flash (a node gone from the block not yet copied, its new place already copied): so the
# collector is stopped first, and since the write buffer's timer also collects and writes,
# the copy is taken again until two agree.
CopySteadyFlash() {
    local gc tries=0
    gc=$(pidof "jffs2_gcd_mtd$(MtdNumber "$1")")
    kill -STOP "$gc"
    until grep -q '^State:.*T' "/proc/$gc/status"; do usleep 10000; done
    CopyFlash "$1" "$2"
    CopyFlash "$1" "$2.again"
    until cmp -s "$2" "$2.again"; do
        tries=$((tries + 1))
        [ "$tries" -lt 10 ] || Fail "the flash kept changing while it was copied"
        echo "the flash changed while it was copied; copying again"
        mv "$2.again" "$2"
        CopyFlash "$1" "$2.again"
    done
    rm -f "$2.again"
    kill -CONT "$gc"
}

# Repairs a profile, with --force only when the repair asks for it; prints "forced" then.
Repair() {
    local opt status=0
    opt=$(ProfileOption "$1")
    lpdump --repair ${opt:+"$opt"} >/tmp/repair.out 2>&1 || status=$?
    cat /tmp/repair.out
    if [ "$status" = 1 ] && grep -q -- '--force keeps' /tmp/repair.out; then
        Must lpdump --repair --force ${opt:+"$opt"}
        echo forced >/tmp/repair.forced
    elif [ "$status" != 0 ]; then
        Fail "lpdump --repair ${opt:+"$opt"} (status $status)"
    fi
}

UsedKiB() {
    df -k /jffs | awk 'NR == 2 { print $3 }'
}

# Brings a profile back after a cut as a device user would: repair, then verify; every whole
# record on the flash must still be counted. Notes what the cut lost, unless the cut fell in a
# -c after the day files were removed and before its zeros were stored (the third argument
# says so): then the store still counts the records that -c removed on purpose.
RecoverProfile() {
    local kind=$1 profile=$2 counted kept after
    counted=$(StoredRecords "$profile")
    kept=$(WholeRecords "$profile")
    if [ "$3" = clearing ] && [ "$kept" -lt "$counted" ]; then
        echo "LP $profile: the cut fell in -c before it stored its zeros: the store counts $counted records"
        echo "cleared" >>/tmp/cut.counts
        counted=$kept
    fi
    echo "LP $profile: the store counted $counted records, the flash kept $kept whole"
    rm -f /tmp/repair.forced
    Repair "$profile"
    Verify "$profile"
    after=$(StoredRecords "$profile")
    if [ -f /tmp/repair.forced ]; then
        echo "forced" >>/tmp/cut.counts
    elif [ "$after" != "$kept" ]; then
        Fail "the repair counts $after records of LP $profile, the flash kept $kept"
    fi
    echo "$counted $kept" >>/tmp/cut.counts
}

# Whether a -c of the cut profile had not yet stored its zeros: its counters stand as before.
Clearing() {
    [ -n "$3" ] && [ "$(StoredRecords "$1")" = "$2" ] && [ "$2" != 0 ] && echo clearing
    return 0
}

# One power cut at a random instant of a run: the writer stopped, the flash and the store
# copied, the copy written to the erased device and mounted afresh, both profiles repaired and
# verified (the cut loses what either profile left in the write buffer), then a run continues.
CutOnce() {
    local kind=$1 profile opt interval days clear="" pid alive=0 before clearing
    profile=$(($(Random 2) + 1))
    opt=$(ProfileOption "$profile")
    set -- 1 5 15
    shift "$(Random 3)"
    interval=$1
    days=$(($(Random 2) + 1))
    [ "$(Random 4)" = 0 ] || [ "$(UsedKiB)" -gt 6000 ] && clear=-c
    echo "cut on $kind during profill -i $interval -t $days $clear $opt"
    before=$(StoredRecords "$profile")
    profill -i "$interval" -t "$days" ${clear:+"$clear"} ${opt:+"$opt"} >/tmp/run.out 2>&1 &
    pid=$!
    # The stop falls anywhere from the start to a little past the end.
    usleep "$(Random $((days * (1440 / interval + 4) * record_us + start_us)))"
    kill -STOP "$pid" 2>/dev/null || true
    if grep -q '^State:.*[TS]' "/proc/$pid/status" 2>/dev/null; then
        echo "the writer was stopped before its end"
        alive=1
    fi
    CopySteadyFlash "$kind" "$cut_flash"
    cp "$CDS_STORE" "$cut_store"
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    FlashUnmount
    WriteFlash "$kind" "$cut_flash"
    FlashMount "$kind"
    cp "$cut_store" "$CDS_STORE"
    rm -f "$CDS_STORE-lock" /tmp/cut.counts
    clearing=$(Clearing "$profile" "$before" "$clear")
    if [ "$profile" = 1 ]; then
        RecoverProfile "$kind" 1 "$clearing"
        RecoverProfile "$kind" 2 ""
    else
        RecoverProfile "$kind" 1 ""
        RecoverProfile "$kind" 2 "$clearing"
    fi
    awk -v kind="$kind" -v alive="$alive" '$1 == "forced" { forced++; next } $1 == "cleared" { cleared++; next }
        { lost += $1 > $2 ? $1 - $2 : 0; kept += $2 > $1 ? $2 - $1 : 0 }
        END { print kind, alive, lost + 0, kept + 0, forced + 0, cleared + 0 }' /tmp/cut.counts >>/tmp/cuts.log
    Generate -i "$interval" -t 1 ${opt:+"$opt"}
    Verify "$profile"
}

CutsOnFlash() {
    local i=1
    echo "== $2 power cuts on $1"
    FreshFlash "$1"
    Generate -i 15 -t 1 -c
    Generate -i 5 -t 1 -c -2
    while [ "$i" -le "$2" ]; do
        echo "-- cut $i"
        CutOnce "$1"
        i=$((i + 1))
    done
    FlashUnmount
}

# Per flash kind: the cuts, the records the store counted that the flash lost, the whole records
# the flash kept that the store did not count (one: the record written before its count was
# stored; more: a -c whose removals the cut lost, so the old day files came back).
ReportCuts() {
    echo "== power cuts: records the store counted that the flash lost, and whole records it kept uncounted"
    awk '{ n[$1]++; alive[$1] += $2; lost[$1] += $3; forced[$1] += $5
           if ($3 > 0) losing[$1]++; if ($3 > most[$1]) most[$1] = $3
           if ($4 == 1) one[$1]++; if ($4 > 1) undone[$1]++; cleared[$1] += $6 }
        END { for (kind in n) printf "%s: %d cuts (%d before the end of the run), %d records lost in %d cuts (at most %d in one), the uncounted record kept in %d cuts, the records before a -c back in %d cuts, %d cuts inside -c before its zeros were stored, %d forced repairs\n",
            kind, n[kind], alive[kind], lost[kind], losing[kind], most[kind], one[kind], undone[kind], cleared[kind], forced[kind] }' /tmp/cuts.log | sort -r
}

# Bytes of the device that are no longer erased: what the file system wrote since the erase.
WrittenBytes() {
    tr -d '\377' <"/dev/mtd$(MtdNumber "$1")" | wc -c
}

DayFileBytes() {
    cat /jffs/lp1/*.lp | wc -c
}

# The flash that the -p table gives a record: its disk usage (KiB) over its maximum records.
TableBytesPerRecord() {
    profill -i "$1" -p | awk -v interval="$1" '$1 == 16 && $2 == interval { printf "%.0f", $11 * 1024 / $4; exit }'
}

CostRow() {
    local kind=$1 interval=$2 days=$3 used written records files
    FreshFlash "$kind" >/dev/null
    sync
    used=$(UsedKiB)
    written=$(WrittenBytes "$kind")
    profill -i "$interval" -t "$days" -c >/dev/null || Fail "profill -i $interval -t $days -c"
    sync
    used=$(($(UsedKiB) - used))
    written=$(($(WrittenBytes "$kind") - written))
    records=$(StoredRecords 1)
    files=$(DayFileBytes)
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$kind" "$interval" "$days" "$records" \
        "$files" "$(TableBytesPerRecord "$interval")" "$used" $((used * 1024 / records)) \
        "$written" $((written / records))
}

# The table for the flash kinds named, or NOR and NAND.
CostTable() {
    local kind row
    echo "LP 1, 16 channels: records of 112 bytes, day files of 32 + 112 x records bytes"
    echo
    echo "| flash | -i | -t | records | day-file bytes | -p bytes/record | used KiB (df) | used bytes/record | written bytes | written bytes/record |"
    echo "|---|---|---|---|---|---|---|---|---|---|"
    [ $# -gt 0 ] || set -- nor nand
    for kind in "$@"; do
        for row in "1 1" "1 3" "15 7" "15 30" "60 30" "60 90"; do
            # shellcheck disable=SC2086
            CostRow "$kind" $row
        done
    done
    FlashUnmount
}

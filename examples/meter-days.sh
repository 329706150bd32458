#!/bin/sh
# Writes DAYS days of a meter's 15-minute readings to standard output, as the CSV table that
# lpload reads (and lpdump --csv writes): records numbered from 1, four channels per record.
#
#     sh examples/meter-days.sh DAYS [SEED [START]]
#
# SEED (default 1) picks the random variation; START is the start of the first interval in
# seconds since the epoch (default 1774742400, 2026-03-29 00:00 UTC, the last Sunday of March);
# the times of day below count from START, so give a midnight.
# examples/meter-day.csv is what `sh examples/meter-days.sh 1 1` writes.
#
# Channels, per interval: 1 active energy imported (Wh), 2 active energy exported (Wh, solar
# panels at midday), 3 reactive energy imported, 4 reactive energy exported (varh). The load
# peaks in the morning and the evening; each day gets its own sunshine. Whole numbers only.
# On the last Sunday of March the meter's clock is put forward an hour: the hour from 01:00 of
# that day has no records, so one record starts 3600 s after the previous one ends (the
# numbering goes on without a gap). Day 1 has a power outage from 14:00 to 15:00: its four
# records carry flag 0001 (bit 0, power outage) on every channel, the two in the middle record
# nothing and the first and last a third of the usual amounts. All other flags are 0000.
#
# The script's own random generator (Park-Miller, whole numbers a double holds exactly) stands
# in for awk's rand(), which differs between awks: the same arguments give the same bytes under
# any POSIX awk and sh (mawk, gawk, busybox, dash).
set -eu
usage() { echo "usage: sh meter-days.sh DAYS [SEED [START]] (whole numbers)" >&2; exit 2; }
[ $# -ge 1 ] && [ $# -le 3 ] || usage
for n in "$@"; do case $n in '' | *[!0-9]*) usage ;; esac; done
[ "$1" -ge 1 ] || usage

exec awk -v days="$1" -v seed="${2-1}" -v start="${3-1774742400}" '
function rnd(n) {                    # the next random number, 0 to n - 1
    x = (x * 16807) % 2147483647
    return x % n
}
function curve(t, h, q) {            # hourly table t at quarter q of hour h, linear in between
    return int((t[h + 1] * (4 - q) + t[(h + 1) % 24 + 1] * q) / 4)
}
function civil(days,   z, era, doe, yoe, doy, mp) {    # day number since 1970 -> Y, M, D
    z = days + 719468; era = int(z / 146097); doe = z - era * 146097
    yoe = int((doe - int(doe / 1460) + int(doe / 36524) - int(doe / 146096)) / 365)
    doy = doe - (365 * yoe + int(yoe / 4) - int(yoe / 100)); mp = int((5 * doy + 2) / 153)
    D = doy - int((153 * mp + 2) / 5) + 1; M = mp < 10 ? mp + 3 : mp - 9
    Y = yoe + era * 400 + (M <= 2)
}
function iso(s,   days, r) {         # seconds since the epoch -> 2026-03-29T00:15:00Z
    days = int(s / 86400); r = s - days * 86400; civil(days)
    return sprintf("%04d-%02d-%02dT%02d:%02d:%02dZ", Y, M, D, int(r / 3600), int(r % 3600 / 60),
                   r % 60)
}
BEGIN {
    # Wh per 15 minutes at each full hour: the household load, and clear-sky solar output.
    split("70 60 55 55 55 65 120 260 300 200 160 150 180 160 140 150 190 300 420 460 400 300 " \
          "180 100", L, " ")
    split("0 0 0 0 0 0 0 20 90 200 330 430 470 450 370 260 140 50 5 0 0 0 0 0", P, " ")
    x = seed % 2147483646 + 1; rnd(1); rnd(1)               # two steps away from a small seed
    printf "record,start,end,start_utc,end_utc,kind"
    print ",flags_1,value_1,flags_2,value_2,flags_3,value_3,flags_4,value_4"
    for (d = 0; d < days; d++) {
        day0 = start + d * 86400
        civil(int(day0 / 86400))
        spring = M == 3 && D >= 25 && (int(day0 / 86400) + 4) % 7 == 0
        sun = 40 + rnd(61)                                   # percent of a clear day
        for (i = 0; i < 96; i++) {
            if (spring && i >= 4 && i < 8) continue           # the hour the clock skips
            h = int(i / 4); q = i % 4
            load = int(curve(L, h, q) * (90 + rnd(21)) / 100)
            pv = int(curve(P, h, q) * sun * (85 + rnd(16)) / 10000)
            v[1] = load > pv ? load - pv : 0
            v[2] = pv > load ? pv - load : 0
            v[3] = int(load * (25 + rnd(11)) / 100)
            v[4] = int(v[2] * (5 + rnd(6)) / 100) + 2 + rnd(4)
            f = "0000"
            if (d == 0 && i >= 56 && i < 60) {               # the outage, 14:00 to 15:00
                f = "0001"
                for (c = 1; c <= 4; c++) v[c] = (i == 56 || i == 59) ? int(v[c] / 3) : 0
            }
            t = day0 + i * 900
            printf "%d,%.0f,%.0f,%s,%s,1", ++rec, t, t + 900, iso(t), iso(t + 900)
            for (c = 1; c <= 4; c++) printf ",%s,%d", f, v[c]
            printf "\n"
        }
    }
}'

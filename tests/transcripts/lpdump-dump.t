lpdump's dump of day files named on its command line, and its usage. day N writes a day file of
LP N holding records 7 and 8 of 3 channels (flags 0001, 0002, 8000; values 1.5, -2 and 1e10 as
IEEE-754 single precision); its bytes, big-endian:

  $ set -o pipefail
  > day() {
  >   printf 'ZOLV Load Prof\x00%s\x00\x00\x00\x01' "$1"; printf '\x00%.0s' 1 2 3 4 5 6 7 8 9 10 11 12
  >   for head in '\x00\x00\x00\x07\x65\x53\xf1\x00\x65\x53\xf4\x84' \
  >               '\x00\x00\x00\x08\x65\x53\xf4\x84\x65\x53\xf8\x08'; do
  >     printf "$head"'\x00\x00\x00\x01\x00\x01\x00\x02\x80\x00\x3f\xc0\x00\x00\xc0\x00\x00\x00\x50\x15\x02\xf9'
  >   done; }
  > day 2 >k.lp; day 1 >one.lp; day 3 >bad.lp; head -c 95 k.lp >cut.lp
  > echo 'root:x:0:0:root:/root:/bin/bash' >passwd
  > od -An -tx1 -v k.lp
   5a 4f 4c 56 20 4c 6f 61 64 20 50 72 6f 66 00 32
   00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 00
   00 00 00 07 65 53 f1 00 65 53 f4 84 00 00 00 01
   00 01 00 02 80 00 3f c0 00 00 c0 00 00 00 50 15
   02 f9 00 00 00 08 65 53 f4 84 65 53 f8 08 00 00
   00 01 00 01 00 02 80 00 3f c0 00 00 c0 00 00 00
   50 15 02 f9

Records in UTC and local time, of the store's NumChannels (LP 2: 3, LP 1: 16) or --channels.

  $ export TZ=Europe/Berlin
  $ lpdump k.lp
  k.lp: LP 2 day file, version 1, 2 records of 3 channels
        7  2023-11-14 22:13:20 UTC - 2023-11-14 22:28:20 UTC  2023-11-14 23:13:20 CET - 2023-11-14 23:28:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10
        8  2023-11-14 22:28:20 UTC - 2023-11-14 22:43:20 UTC  2023-11-14 23:28:20 CET - 2023-11-14 23:43:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10
  $ lpdump --channels 3 one.lp k.lp
  one.lp: LP 1 day file, version 1, 2 records of 3 channels
        7  2023-11-14 22:13:20 UTC - 2023-11-14 22:28:20 UTC  2023-11-14 23:13:20 CET - 2023-11-14 23:28:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10
        8  2023-11-14 22:28:20 UTC - 2023-11-14 22:43:20 UTC  2023-11-14 23:28:20 CET - 2023-11-14 23:43:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10
  k.lp: LP 2 day file, version 1, 2 records of 3 channels
        7  2023-11-14 22:13:20 UTC - 2023-11-14 22:28:20 UTC  2023-11-14 23:13:20 CET - 2023-11-14 23:28:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10
        8  2023-11-14 22:28:20 UTC - 2023-11-14 22:43:20 UTC  2023-11-14 23:28:20 CET - 2023-11-14 23:43:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10
  $ lpdump --channels 3 --csv one.lp k.lp
  file,profile,record,start,end,start_utc,end_utc,start_local,end_local,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3
  one.lp,1,7,1700000000,1700000900,2023-11-14T22:13:20Z,2023-11-14T22:28:20Z,2023-11-14T23:13:20+01:00,2023-11-14T23:28:20+01:00,1,0001,1.5,0002,-2,8000,1e+10
  one.lp,1,8,1700000900,1700001800,2023-11-14T22:28:20Z,2023-11-14T22:43:20Z,2023-11-14T23:28:20+01:00,2023-11-14T23:43:20+01:00,1,0001,1.5,0002,-2,8000,1e+10
  k.lp,2,7,1700000000,1700000900,2023-11-14T22:13:20Z,2023-11-14T22:28:20Z,2023-11-14T23:13:20+01:00,2023-11-14T23:28:20+01:00,1,0001,1.5,0002,-2,8000,1e+10
  k.lp,2,8,1700000900,1700001800,2023-11-14T22:28:20Z,2023-11-14T22:43:20Z,2023-11-14T23:28:20+01:00,2023-11-14T23:43:20+01:00,1,0001,1.5,0002,-2,8000,1e+10
  $ lpdump --csv one.lp k.lp
  ! lpdump: one.lp holds records of 3 channels, not of the store's 16; give --channels 3 to dump it as it is
  [1]

A zone west of UTC by no whole number of hours.

  $ TZ=America/St_Johns lpdump --csv k.lp
  file,profile,record,start,end,start_utc,end_utc,start_local,end_local,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3
  k.lp,2,7,1700000000,1700000900,2023-11-14T22:13:20Z,2023-11-14T22:28:20Z,2023-11-14T18:43:20-03:30,2023-11-14T18:58:20-03:30,1,0001,1.5,0002,-2,8000,1e+10
  k.lp,2,8,1700000900,1700001800,2023-11-14T22:28:20Z,2023-11-14T22:43:20Z,2023-11-14T18:58:20-03:30,2023-11-14T19:13:20-03:30,1,0001,1.5,0002,-2,8000,1e+10

A file cut in a record, a header naming no profile, no day files, output that cannot be written.

  $ lpdump --store cut.lp
  cut.lp: LP 2 day file, version 1, 1 record of 3 channels
        7  2023-11-14 22:13:20 UTC - 2023-11-14 22:28:20 UTC  2023-11-14 23:13:20 CET - 2023-11-14 23:28:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10
  ! lpdump: cut.lp offset 66: 29 bytes after the last whole record (records of 3 channels are 34 bytes)
  [1]
  $ lpdump --channels 3 bad.lp
  bad.lp: LP ? day file, version 1, 2 records of 3 channels
        7  2023-11-14 22:13:20 UTC - 2023-11-14 22:28:20 UTC  2023-11-14 23:13:20 CET - 2023-11-14 23:28:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10
        8  2023-11-14 22:28:20 UTC - 2023-11-14 22:43:20 UTC  2023-11-14 23:28:20 CET - 2023-11-14 23:43:20 CET  kind 1 0001:1.5 0002:-2 8000:1e+10
  ! lpdump: bad.lp offset 15: profile digit is 33, not '1' or '2'
  [1]
  $ lpdump bad.lp
  ! lpdump: bad.lp: the header names no profile; give --channels
  [2]
  $ lpdump k.lp passwd; lpdump --channels 3 passwd
  ! lpdump: passwd is not a day file: it starts with 72 6f 6f 74 3a 78 3a 30 3a 30 3a 72 6f 6f, not "ZOLV Load Prof"
  ! lpdump: passwd is not a day file: it starts with 72 6f 6f 74 3a 78 3a 30 3a 30 3a 72 6f 6f, not "ZOLV Load Prof"
  [2]
  $ lpdump k.lp none.lp
  ! lpdump: cannot read none.lp: No such file or directory
  [2]
  $ lpdump k.lp >/dev/full
  ! lpdump: cannot write the output: No space left on device
  [2]
  $ CDS_STORE=$T/none.mdb lpdump k.lp
  ! lpdump: cannot open the CDS store $T/none.mdb: No such file or directory; set CDS_STORE, or give --channels N to dump without it
  [2]

A profile of no channels: its records are the fixed part only.

  $ cdsctl set /Q7M/LoadPrf/2/NumChannels/Value 0 && head -c 48 k.lp >zero.lp && lpdump zero.lp zero.lp
  zero.lp: LP 2 day file, version 1, 1 record of 0 channels
        7  2023-11-14 22:13:20 UTC - 2023-11-14 22:28:20 UTC  2023-11-14 23:13:20 CET - 2023-11-14 23:28:20 CET  kind 1
  zero.lp: LP 2 day file, version 1, 1 record of 0 channels
        7  2023-11-14 22:13:20 UTC - 2023-11-14 22:28:20 UTC  2023-11-14 23:13:20 CET - 2023-11-14 23:28:20 CET  kind 1
  $ cdsctl set /Q7M/LoadPrf/2/NumChannels/Value 3

The usage; every usage error says in one line what is wrong, then the usage on standard error.

  $ lpdump --help
  usage: lpdump [--channels N | --store] [-2 | FILE...]
         lpdump --csv [--channels N | --store] [-2 | FILE...]
         lpdump --summary [--json] [-2]
         lpdump --verify [--strict] [--json] [-2]
         lpdump --repair [--dry-run] [--force] [-2]
         lpdump -h | --help | --version
  Dumps load-profile day files (without FILE: every day file of LP 1, or of LP 2 with -2,
  under PROFILL_JFFS, in order), sums up a profile, checks it against its bookkeeping in
  the CDS store (CDS_STORE) and brings that bookkeeping in line with the day files.
    --channels N  the records hold N channels (0-16); the store is not read
    --store       the channel count is the profile's NumChannels in the store (default)
    --csv         one CSV table, times in ISO 8601, instead of a line per record
    --summary     day files, records, time covered, runs and breaks, and the verdict
    --verify      check the day files against the bookkeeping
    --strict      with --verify: a break in time between runs is a discrepancy, not a note
    --json        with --summary or --verify: one JSON object instead of text
    --repair      bring the bookkeeping in line with the day files
    --dry-run     with --repair: say what it would change, and change nothing
    --force       with --repair: also cut the records from a break in their sequence on
    -2            LP 2 instead of LP 1
    -h, --help    print this text
    --version     print the version
  Exit status:
    0  all is well (--summary: the profile was read; --repair: it agrees now)
    1  a damaged day file or a discrepancy; --repair: nothing changed, it cannot
    2  a usage error or what cannot be read; --verify: a run is writing the profile
  See lpdump(1).
  $ lpdump --version | sed "s/ $PROFILL_VERSION\$/ (version)/"
  lpdump (version)
  $ lpdump --help | sed '/^Dumps/,$d' >usage
  $ for args in "--channels 17 k.lp" "--channels 3 --store k.lp" "--channels" "--csv=1" "-2x" \
  >     "--continued" "--st" "--verify k.lp" "-2 k.lp" "--csv -2 k.lp" "--summary --strict" \
  >     "--verify --force" "--repair --json" "--json" "--store --verify" "--csv --summary" \
  >     "--verify --repair"; do
  >   lpdump $args >out 2>err; echo "$args: [$?] $(head -1 err)"
  >   tail -n +2 err | cmp -s - usage && ! [ -s out ] || echo "  not the usage alone after it"
  > done
  --channels 17 k.lp: [2] lpdump: --channels takes 0 to 16, not "17"
  --channels 3 --store k.lp: [2] lpdump: give --channels or --store, not both
  --channels: [2] lpdump: --channels needs a value
  --csv=1: [2] lpdump: --csv takes no value
  -2x: [2] lpdump: unknown option -x
  --continued: [2] lpdump: unknown option --continued
  --st: [2] lpdump: --st is short for more than one option
  --verify k.lp: [2] lpdump: --verify reads the profile's day files itself and takes no FILE ("k.lp")
  -2 k.lp: [2] lpdump: -2 picks LP 2's day files, so it takes no FILE ("k.lp")
  --csv -2 k.lp: [2] lpdump: -2 picks LP 2's day files, so it takes no FILE ("k.lp")
  --summary --strict: [2] lpdump: --strict goes with --verify, not with --summary
  --verify --force: [2] lpdump: --force goes with --repair, not with --verify
  --repair --json: [2] lpdump: --json goes with --summary or --verify, not with --repair
  --json: [2] lpdump: --json goes with --summary or --verify, not with a dump
  --store --verify: [2] lpdump: --store goes with a dump or --csv, not with --verify
  --csv --summary: [2] lpdump: --csv and --summary are two modes; give one
  --verify --repair: [2] lpdump: --verify and --repair are two modes; give one

Without files: the profile's day files in the order of their numbers, and only those.

  $ faketime -f '@2026-12-06 12:00:00' profill -i 1440 -t 11 -c -2 >/dev/null
  > : >jffs/lp2/0.lp; cp jffs/lp2/1.lp jffs/lp2/007.lp
  > lpdump -2 --csv | cut -d, -f1-5
  file,profile,record,start,end
  $T/jffs/lp2/1.lp,2,1,1795561200,1795647600
  $T/jffs/lp2/2.lp,2,2,1795647600,1795734000
  $T/jffs/lp2/3.lp,2,3,1795734000,1795820400
  $T/jffs/lp2/4.lp,2,4,1795820400,1795906800
  $T/jffs/lp2/5.lp,2,5,1795906800,1795993200
  $T/jffs/lp2/6.lp,2,6,1795993200,1796079600
  $T/jffs/lp2/7.lp,2,7,1796079600,1796166000
  $T/jffs/lp2/8.lp,2,8,1796166000,1796252400
  $T/jffs/lp2/9.lp,2,9,1796252400,1796338800
  $T/jffs/lp2/10.lp,2,10,1796338800,1796425200
  $T/jffs/lp2/11.lp,2,11,1796425200,1796511600
  $ lpdump -2 | tail -n 2
  $T/jffs/lp2/11.lp: LP 2 day file, version 1, 1 record of 3 channels
       11  2026-12-04 23:00:00 UTC - 2026-12-05 23:00:00 UTC  2026-12-05 00:00:00 CET - 2026-12-06 00:00:00 CET  kind 2 0001:10000 0002:20000 0004:30000

lpdump --verify, --summary and --repair on generated profiles, whole and damaged. lp1: 1.lp holds
records 1-99, 2.lp 100-199, 3.lp 200, the store 3 0 200 2 0. same prints "changed" when lpdump
changed anything; repaired checks that the repaired profile verifies strictly and runs on.

  $ set -o pipefail; export TZ=Europe/Berlin
  > gen() { faketime -f "@${at:-2026-12-06 12:00:00}" profill "$@" >/dev/null; }
  > lp1() { gen -i 15 -t 2 -c; }
  > counters() { cdsctl set /LP/1/currentDay/Value $1 /LP/1/fileRecCnt/Value $2 \
  >   /LP/1/totalRecCnt/Value $3 /LP/1/dayCnt/Value $4; }
  > state() { (cd jffs && ls -lR --time-style=+ . && find . -type f -exec cat {} +; cdsctl dump /) | md5sum; }
  > same() { local before; before=$(state); lpdump "$@"; local status=$?
  >   [ "$before" = "$(state)" ] || echo changed; return $status; }
  > repaired() { lpdump "$@" && lpdump --verify --strict && gen -t 1 && lpdump --verify | tail -n 1; }

Whole profiles.

  $ lp1; lpdump --verify; lpdump --verify --json; same --repair
  lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels
  {"profile":1,"strict":false,"verdict":"agrees","dayFilesRead":3,"records":200,"channels":16,"discrepancies":0,"notes":0,"timeBreaks":0,"findings":[],"next":""}
  lpdump: LP 1 agrees with its store already: 3 day files, 200 records of 16 channels; nothing to repair
  $ lpdump --summary; lpdump --summary --json
  LP 1 in $T/jffs/lp1/, records of 16 channels
  day files:   1.lp to 3.lp, 3
  records:     200: 99 in 1.lp, 100 in 2.lp, 1 in 3.lp
  time:        2026-12-04 11:00:00 UTC to 2026-12-06 13:00:00 UTC
               2026-12-04 12:00:00 CET to 2026-12-06 14:00:00 CET
  intervals:   15 min (200 records)
  runs:        1
  gaps:        none
  overlaps:    none
  store:       currentDay 3, fileRecCnt 0, totalRecCnt 200, dayCnt 2, daysDeleted 0
  verdict:     agrees with its store
  {"profile":1,"directory":"$T/jffs/lp1/","channels":16,"recordChannels":16,"dayFiles":[{"day":1,"records":99},{"day":2,"records":100},{"day":3,"records":1}],"otherFiles":[],"records":200,"firstStart":{"seconds":1796382000,"utc":"2026-12-04T11:00:00Z","local":"2026-12-04T12:00:00+01:00"},"lastEnd":{"seconds":1796562000,"utc":"2026-12-06T13:00:00Z","local":"2026-12-06T14:00:00+01:00"},"intervals":[{"seconds":900,"records":200}],"runs":1,"breaks":[],"gaps":{"count":0,"seconds":0},"overlaps":{"count":0,"seconds":0},"store":{"currentDay":3,"fileRecCnt":0,"totalRecCnt":200,"dayCnt":2,"daysDeleted":0},"verdict":"agrees","discrepancies":0,"notes":0,"next":""}
  $ at='2106-02-07 05:00:00' gen -i 60 -t 1 -c; lpdump --verify --strict
  lpdump: LP 1 agrees with its store: 2 day files, 28 records of 16 channels
  $ gen -i 1440 -t 11 -c -2; same --repair -2
  lpdump: LP 2 agrees with its store already: 11 day files, 11 records of 3 channels; nothing to repair
  $ lp1; truncate -s $((32 + 50 * 112)) jffs/lp1/1.lp; rm jffs/lp1/[23].lp; counters 1 50 50 0
  > lpdump --verify --strict
  lpdump: LP 1 agrees with its store: 1 day file, 50 records of 16 channels

Continued by a later run: the break in time is a note, or with --strict a discrepancy.

  $ gen -i 15 -t 2 -c; at='2026-12-07 12:00:00' gen -i 15 -t 1; lpdump --verify; same --repair
  $T/jffs/lp1/3.lp offset 144: note: record 201 starts at 1796554800 (2026-12-06 11:00:00 UTC), but the record before it ended at 1796562000 (2026-12-06 13:00:00 UTC)
  lpdump: LP 1 agrees with its store: 4 day files, 300 records of 16 channels; 1 break in time, noted
  lpdump: LP 1 agrees with its store already: 4 day files, 300 records of 16 channels; nothing to repair
  $ lpdump --verify --strict; lpdump --verify --strict --json
  $T/jffs/lp1/3.lp offset 144: record 201 starts at 1796554800 (2026-12-06 11:00:00 UTC), but the record before it ended at 1796562000 (2026-12-06 13:00:00 UTC)
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 4 day files, 300 records; without --strict the breaks in time are notes: each run that continues a profile leaves one
  {"profile":1,"strict":true,"verdict":"disagrees","dayFilesRead":4,"records":300,"channels":16,"discrepancies":1,"notes":0,"timeBreaks":1,"findings":[{"where":"$T/jffs/lp1/3.lp offset 144","text":"record 201 starts at 1796554800 (2026-12-06 11:00:00 UTC), but the record before it ended at 1796562000 (2026-12-06 13:00:00 UTC)","discrepancy":true,"timeBreak":true}],"next":"without --strict the breaks in time are notes: each run that continues a profile leaves one"}
  [1]
  $ lpdump --summary; lpdump --summary --json
  LP 1 in $T/jffs/lp1/, records of 16 channels
  day files:   1.lp to 4.lp, 4
  records:     300: 99 in 1.lp, 100 in each of 2.lp and 3.lp, 1 in 4.lp
  time:        2026-12-04 11:00:00 UTC to 2026-12-07 12:00:00 UTC
               2026-12-04 12:00:00 CET to 2026-12-07 13:00:00 CET
  intervals:   15 min (300 records)
  runs:        2, split by 1 break in time:
               record 201 (3.lp offset 144) starts 2 h before the previous record's end (overlap)
  gaps:        none
  overlaps:    1, 2 h in all
  store:       currentDay 4, fileRecCnt 0, totalRecCnt 300, dayCnt 3, daysDeleted 0
  verdict:     agrees with its store; lpdump --verify lists its 1 note
  {"profile":1,"directory":"$T/jffs/lp1/","channels":16,"recordChannels":16,"dayFiles":[{"day":1,"records":99},{"day":2,"records":100},{"day":3,"records":100},{"day":4,"records":1}],"otherFiles":[],"records":300,"firstStart":{"seconds":1796382000,"utc":"2026-12-04T11:00:00Z","local":"2026-12-04T12:00:00+01:00"},"lastEnd":{"seconds":1796644800,"utc":"2026-12-07T12:00:00Z","local":"2026-12-07T13:00:00+01:00"},"intervals":[{"seconds":900,"records":300}],"runs":2,"breaks":[{"file":"3.lp","offset":144,"record":201,"seconds":-7200}],"gaps":{"count":0,"seconds":0},"overlaps":{"count":1,"seconds":7200},"store":{"currentDay":4,"fileRecCnt":0,"totalRecCnt":300,"dayCnt":3,"daysDeleted":0},"verdict":"agrees","discrepancies":0,"notes":1,"next":""}

A continuing run at another interval ends before the first did: the time covered runs to the latest end.

  $ gen -i 60 -t 2 -c; gen -i 15 -t 1; lpdump --verify; lpdump --summary; lpdump --summary --json
  $T/jffs/lp1/3.lp offset 144: note: record 57 starts at 1796468400 (2026-12-05 11:00:00 UTC), but the record before it ended at 1796583600 (2026-12-06 19:00:00 UTC)
  lpdump: LP 1 agrees with its store: 4 day files, 156 records of 16 channels; 1 break in time, noted
  LP 1 in $T/jffs/lp1/, records of 16 channels
  day files:   1.lp to 4.lp, 4
  records:     156: 27 in 1.lp, 28 in 2.lp, 100 in 3.lp, 1 in 4.lp
  time:        2026-12-04 11:00:00 UTC to 2026-12-06 19:00:00 UTC
               2026-12-04 12:00:00 CET to 2026-12-06 20:00:00 CET
  intervals:   15 min (100 records), 1 h (56 records)
  runs:        2, split by 1 break in time:
               record 57 (3.lp offset 144) starts 1 d 8 h before the previous record's end (overlap)
  gaps:        none
  overlaps:    1, 1 d 8 h in all
  store:       currentDay 4, fileRecCnt 0, totalRecCnt 156, dayCnt 3, daysDeleted 0
  verdict:     agrees with its store; lpdump --verify lists its 1 note
  {"profile":1,"directory":"$T/jffs/lp1/","channels":16,"recordChannels":16,"dayFiles":[{"day":1,"records":27},{"day":2,"records":28},{"day":3,"records":100},{"day":4,"records":1}],"otherFiles":[],"records":156,"firstStart":{"seconds":1796382000,"utc":"2026-12-04T11:00:00Z","local":"2026-12-04T12:00:00+01:00"},"lastEnd":{"seconds":1796583600,"utc":"2026-12-06T19:00:00Z","local":"2026-12-06T20:00:00+01:00"},"intervals":[{"seconds":900,"records":100},{"seconds":3600,"records":56}],"runs":2,"breaks":[{"file":"3.lp","offset":144,"record":57,"seconds":-115200}],"gaps":{"count":0,"seconds":0},"overlaps":{"count":1,"seconds":115200},"store":{"currentDay":4,"fileRecCnt":0,"totalRecCnt":156,"dayCnt":3,"daysDeleted":0},"verdict":"agrees","discrepancies":0,"notes":1,"next":""}

A continued profile with its last record cut: every output names the repair as the next step.

  $ gen -i 15 -t 2 -c; at='2026-12-07 12:00:00' gen -i 15 -t 1; truncate -s -50 jffs/lp1/4.lp
  > lpdump --verify | tail -n 1; lpdump --summary | tail -n 1
  > lpdump --verify --json | grep -o '"next":"[^"]*"'; lpdump --summary --json | grep -o '"next":"[^"]*"'
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 4 day files, 299 records; lpdump --repair brings the store in line with the day files
  verdict:     does not agree with its store: 2 discrepancies (lpdump --verify lists them); lpdump --repair brings the store in line with the day files
  "next":"lpdump --repair brings the store in line with the day files"
  "next":"lpdump --repair brings the store in line with the day files"

Records cut, added, lost or moved.

  $ lp1; truncate -s 139 jffs/lp1/3.lp; lpdump --verify
  $T/jffs/lp1/3.lp offset 32: 107 bytes after the last whole record (records of 16 channels are 112 bytes)
  store: currentDay fileRecCnt totalRecCnt dayCnt are 3 0 200 2, but the records in the day files give 2 99 199 1
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 3 day files, 199 records; lpdump --repair brings the store in line with the day files
  [1]
  $ repaired --repair
  $T/jffs/lp1/3.lp: removed, it holds no whole record (a header and 107 bytes of a record)
  store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted were 3 0 200 2 0, now 2 99 199 1 0
  lpdump: LP 1 agrees with its store now: 2 day files, 199 records of 16 channels
  lpdump: LP 1 agrees with its store: 2 day files, 199 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 299 records of 16 channels; 1 break in time, noted
  $ lp1; head -c 82 jffs/lp1/3.lp | tail -c 50 >>jffs/lp1/3.lp; lpdump --verify
  $T/jffs/lp1/3.lp offset 144: 50 bytes after the last whole record (records of 16 channels are 112 bytes)
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 3 day files, 200 records; lpdump --repair brings the store in line with the day files
  [1]
  $ repaired --repair
  $T/jffs/lp1/3.lp offset 144: cut 50 bytes after the last whole record (records of 16 channels are 112 bytes)
  lpdump: LP 1 agrees with its store now: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 4 day files, 300 records of 16 channels; 1 break in time, noted
Bytes after the last whole record of a file that the next file continues: the repair cuts them.
  $ lp1; yes garbage | head -c 50 >>jffs/lp1/2.lp; lpdump --verify; lpdump --summary | tail -n 1
  > repaired --repair
  $T/jffs/lp1/2.lp offset 11232: 50 bytes after the last whole record (records of 16 channels are 112 bytes)
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 3 day files, 200 records; lpdump --repair brings the store in line with the day files
  verdict:     does not agree with its store: 1 discrepancy (lpdump --verify lists it); lpdump --repair brings the store in line with the day files
  $T/jffs/lp1/2.lp offset 11232: cut 50 bytes after the last whole record (records of 16 channels are 112 bytes)
  lpdump: LP 1 agrees with its store now: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 4 day files, 300 records of 16 channels; 1 break in time, noted
  $ TZ=UTC lpdump --summary | sed -n 4,5p
  time:        2026-12-04 11:00:00 UTC to 2026-12-06 13:00:00 UTC
  intervals:   15 min (300 records)
  $ lp1; { head -c $((32 + 49 * 112)) jffs/lp1/1.lp; tail -c +$((33 + 50 * 112)) jffs/lp1/1.lp; } >x
  > mv x jffs/lp1/1.lp; lpdump --verify; same --repair
  $T/jffs/lp1/1.lp offset 5520: record number 51, expected 50
  $T/jffs/lp1/1.lp offset 5520: note: record 51 starts at 1796427000 (2026-12-04 23:30:00 UTC), but the record before it ended at 1796426100 (2026-12-04 23:15:00 UTC)
  $T/jffs/lp1/2.lp offset 32: record 100 starts this day file, but should continue day file 1 (its run starts a day file every 100 records)
  $T/jffs/lp1/3.lp offset 32: record 200 starts this day file, but should continue day file 2 (its run starts a day file every 100 records)
  store: currentDay fileRecCnt totalRecCnt dayCnt are 3 0 200 2, but the records in the day files give 2 99 199 1
  lpdump: LP 1 does not agree with its store: 4 discrepancies in 3 day files, 199 records; lpdump --repair --force keeps the 49 records before the break and removes the 150 whole records from it on; or profill -c starts the profile afresh
  $T/jffs/lp1/1.lp offset 5520: record number 51, expected 50
  lpdump: LP 1 is not repaired, nothing changed: its records break off; lpdump --repair --force keeps the 49 records before the break and removes the 150 whole records from it on; or profill -c starts the profile afresh
  [1]
  $ lp1; truncate -s $((32 + 60 * 112 + 50)) jffs/lp1/2.lp; lpdump --verify
  $T/jffs/lp1/2.lp offset 6752: 50 bytes after the last whole record (records of 16 channels are 112 bytes)
  $T/jffs/lp1/3.lp offset 32: record number 200, expected 160
  $T/jffs/lp1/3.lp offset 32: note: record 200 starts at 1796561100 (2026-12-06 12:45:00 UTC), but the record before it ended at 1796525100 (2026-12-06 02:45:00 UTC)
  $T/jffs/lp1/3.lp offset 32: record 200 starts this day file, but should continue day file 2 (its run starts a day file every 100 records)
  store: currentDay fileRecCnt totalRecCnt dayCnt are 3 0 200 2, but the records in the day files give 2 60 160 1
  lpdump: LP 1 does not agree with its store: 4 discrepancies in 3 day files, 160 records; lpdump --repair --force keeps the 159 records before the break and removes the 1 whole record from it on; or profill -c starts the profile afresh
  [1]
  $ repaired --repair --force
  $T/jffs/lp1/2.lp offset 6752: 50 bytes after the last whole record (records of 16 channels are 112 bytes), but day file 3 holds records after it
  $T/jffs/lp1/3.lp: removed, after the break (1 whole record)
  $T/jffs/lp1/2.lp offset 6752: cut 50 bytes from the break on (no whole record)
  store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted were 3 0 200 2 0, now 2 59 159 1 0
  lpdump: LP 1 agrees with its store now: 2 day files, 159 records of 16 channels; the break cost 1 whole record
  lpdump: LP 1 agrees with its store: 2 day files, 159 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 259 records of 16 channels; 1 break in time, noted
  $ lp1; head -c 144 jffs/lp1/2.lp | tail -c 112 >>jffs/lp1/1.lp
  > { head -c 32 jffs/lp1/2.lp; tail -c +145 jffs/lp1/2.lp; } >x; mv x jffs/lp1/2.lp
  > lpdump --verify; same --repair
  $T/jffs/lp1/1.lp offset 11120: record 100 should start day file 2 (its run starts a day file every 100 records)
  $T/jffs/lp1/2.lp offset 32: record 101 starts this day file, but should continue day file 2 (its run starts a day file every 100 records)
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 3 day files, 200 records; lpdump --repair --force keeps the 99 records before the break and removes the 101 whole records from it on; or profill -c starts the profile afresh
  $T/jffs/lp1/1.lp offset 11120: record 100 should start day file 2 (its run starts a day file every 100 records)
  lpdump: LP 1 is not repaired, nothing changed: its records break off; lpdump --repair --force keeps the 99 records before the break and removes the 101 whole records from it on; or profill -c starts the profile afresh
  [1]
  $ lp1; printf '\x01' | dd of=jffs/lp1/1.lp bs=1 seek=25 conv=notrunc 2>/dev/null
  > printf 2 | dd of=jffs/lp1/2.lp bs=1 seek=15 conv=notrunc 2>/dev/null
  > lpdump --verify; same --repair --force
  $T/jffs/lp1/1.lp offset 25: header bytes 20-31 are 00 00 00 00 00 01 00 00 00 00 00 00, not all zero
  $T/jffs/lp1/2.lp offset 15: profile digit is 32, not '1'
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 3 day files, 200 records; set right or remove what the lines above name, then lpdump --repair; or profill -c starts the profile afresh
  $T/jffs/lp1/1.lp offset 25: header bytes 20-31 are 00 00 00 00 00 01 00 00 00 00 00 00, not all zero
  $T/jffs/lp1/2.lp offset 15: profile digit is 32, not '1'
  lpdump: LP 1 is not repaired, nothing changed: its day files cannot be placed; set right or remove what the lines above name, then lpdump --repair; or profill -c starts the profile afresh
  [1]
  $ lp1; printf '\x00\x00\x00\x03' | dd of=jffs/lp1/1.lp bs=1 seek=$((32 + 4 * 112 + 12)) conv=notrunc 2>/dev/null
  > lpdump --verify; same --repair; lpdump --summary | tail -n 1
  $T/jffs/lp1/1.lp offset 480: record 5 has kind 3, not 1 or 2
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 3 day files, 200 records; lpdump --repair --force keeps the 4 records before the break and removes the 196 whole records from it on; or profill -c starts the profile afresh
  $T/jffs/lp1/1.lp offset 480: record 5 has kind 3, not 1 or 2
  lpdump: LP 1 is not repaired, nothing changed: its records break off; lpdump --repair --force keeps the 4 records before the break and removes the 196 whole records from it on; or profill -c starts the profile afresh
  verdict:     does not agree with its store: 1 discrepancy (lpdump --verify lists it); lpdump --repair --force keeps the 4 records before the break and removes the 196 whole records from it on; or profill -c starts the profile afresh
  $ lp1; printf '\x00\x00\x00\x03' | dd of=jffs/lp1/1.lp bs=1 seek=44 conv=notrunc 2>/dev/null
  > lpdump --verify | tail -n 1; same --repair | tail -n 1
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 3 day files, 200 records; profill -c starts the profile afresh: no record comes before the break
  lpdump: LP 1 is not repaired, nothing changed: its records break off; profill -c starts the profile afresh: no record comes before the break
  [1]

Counters that the files do not give.

  $ lp1; counters 3 5 200 2; lpdump --verify
  store: currentDay fileRecCnt totalRecCnt dayCnt are 3 5 200 2, but the records in the day files give 3 0 200 2
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 3 day files, 200 records; lpdump --repair brings the store in line with the day files
  [1]
  $ repaired --repair
  store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted were 3 5 200 2 0, now 3 0 200 2 0
  lpdump: LP 1 agrees with its store now: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 4 day files, 300 records of 16 channels; 1 break in time, noted
  $ lp1; counters 3 0 200 3; lpdump --verify
  store: currentDay fileRecCnt totalRecCnt dayCnt are 3 0 200 3, but the records in the day files give 3 0 200 2
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 3 day files, 200 records; lpdump --repair brings the store in line with the day files
  [1]
  $ lp1; counters 2 50 150 1; lpdump --verify
  store: currentDay fileRecCnt totalRecCnt dayCnt are 2 50 150 1, but the records in the day files give 2 99 199 1
  $T/jffs/lp1/3.lp: is not one of day files 1 to 2 that currentDay 2 counts
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 2 day files, 199 records; lpdump --repair brings the store in line with the day files
  [1]
  $ repaired --repair
  store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted were 2 50 150 1 0, now 3 0 200 2 0
  lpdump: LP 1 agrees with its store now: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 4 day files, 300 records of 16 channels; 1 break in time, noted
  $ lp1; cdsctl rm /LP/1/dayCnt/Value; lpdump --summary | tail -n 2; lpdump --verify
  store:       currentDay 3, fileRecCnt 0, totalRecCnt 200, dayCnt -, daysDeleted 0
  verdict:     not checked: the store holds no /LP/1/dayCnt/Value; lpdump --repair stores it from the day files
  ! lpdump: the CDS store $T/store.mdb has no /LP/1/dayCnt/Value; lpdump --repair stores it from the day files
  [2]
  $ repaired --repair
  store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted were 3 0 200 - 0, now 3 0 200 2 0
  lpdump: LP 1 agrees with its store now: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 4 day files, 300 records of 16 channels; 1 break in time, noted

What a run killed before it stored its counters leaves: a record, a day file started or created.

  $ lp1; end=$(tail -c 104 jffs/lp1/3.lp | head -c 4 | od -An -tu4 --endian=big)
  > be32() { printf "$(printf '\\x%02x' $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)))"; }
  > { cat jffs/lp1/3.lp; be32 201; be32 $end; be32 $((end + 900)); tail -c 100 jffs/lp1/3.lp; } >x
  > mv x jffs/lp1/3.lp; lpdump --verify
  $T/jffs/lp1/3.lp offset 144: record 201 is not counted in the store (totalRecCnt 200); the next run of profill on this profile removes it
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 3 day files, 201 records; lpdump --repair brings the store in line with the day files
  [1]
  $ repaired --repair
  store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted were 3 0 200 2 0, now 3 1 201 2 0
  lpdump: LP 1 agrees with its store now: 3 day files, 201 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 201 records of 16 channels
  lpdump: LP 1 agrees with its store: 4 day files, 301 records of 16 channels; 1 break in time, noted
  $ lp1; counters 2 98 199 1; lpdump --verify | grep 3.lp
  $T/jffs/lp1/3.lp: is not one of day files 1 to 2 that currentDay 2 counts
  [1]
  $ lp1; counters 2 99 199 1; lpdump --verify
  $T/jffs/lp1/3.lp: is not one of day files 1 to 2 that currentDay 2 counts; it was started by record 200, which the store does not count, and the run of profill that next starts day file 3 writes it afresh
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 2 day files, 199 records; lpdump --repair brings the store in line with the day files
  [1]
  $ repaired --repair
  store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted were 2 99 199 1 0, now 3 0 200 2 0
  lpdump: LP 1 agrees with its store now: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels
  lpdump: LP 1 agrees with its store: 4 day files, 300 records of 16 channels; 1 break in time, noted
  $ lp1; counters 2 99 199 1; truncate -s 32 jffs/lp1/3.lp; : >jffs/lp1/4.lp; head -c 10 jffs/lp1/1.lp >jffs/lp1/5.lp
  > lpdump --verify
  $T/jffs/lp1/3.lp: is not one of day files 1 to 2 that currentDay 2 counts
  $T/jffs/lp1/4.lp: is not one of day files 1 to 2 that currentDay 2 counts
  $T/jffs/lp1/5.lp: is not one of day files 1 to 2 that currentDay 2 counts
  lpdump: LP 1 does not agree with its store: 3 discrepancies in 2 day files, 199 records; lpdump --repair brings the store in line with the day files
  [1]
  $ repaired --repair
  $T/jffs/lp1/5.lp: removed, it holds no whole record (10 bytes, shorter than a header)
  $T/jffs/lp1/4.lp: removed, it holds no whole record (empty)
  $T/jffs/lp1/3.lp: removed, it holds no whole record (a header only)
  lpdump: LP 1 agrees with its store now: 2 day files, 199 records of 16 channels
  lpdump: LP 1 agrees with its store: 2 day files, 199 records of 16 channels
  lpdump: LP 1 agrees with its store: 3 day files, 299 records of 16 channels; 1 break in time, noted

Files that are no day files, or missing.

  $ lp1; : >jffs/lp1/0.lp; cp jffs/lp1/1.lp jffs/lp1/007.lp; lpdump --verify; lpdump --verify --json
  $T/jffs/lp1/0.lp: is not one of day files 1 to 3 that currentDay 3 counts
  $T/jffs/lp1/007.lp: is not one of day files 1 to 3 that currentDay 3 counts
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 3 day files, 200 records; set right or remove what the lines above name, then lpdump --repair; or profill -c starts the profile afresh
  {"profile":1,"strict":false,"verdict":"disagrees","dayFilesRead":3,"records":200,"channels":16,"discrepancies":2,"notes":0,"timeBreaks":0,"findings":[{"where":"$T/jffs/lp1/0.lp","text":"is not one of day files 1 to 3 that currentDay 3 counts","discrepancy":true,"timeBreak":false},{"where":"$T/jffs/lp1/007.lp","text":"is not one of day files 1 to 3 that currentDay 3 counts","discrepancy":true,"timeBreak":false}],"next":"set right or remove what lpdump --verify names, then lpdump --repair; or profill -c starts the profile afresh"}
  [1]
  $ same --repair --force; lpdump --summary; lpdump --summary --json
  $T/jffs/lp1/0.lp: is no name of a day file (profill names them 1.lp, 2.lp, ...)
  $T/jffs/lp1/007.lp: is no name of a day file (profill names them 1.lp, 2.lp, ...)
  lpdump: LP 1 is not repaired, nothing changed: its day files cannot be placed; set right or remove what the lines above name, then lpdump --repair; or profill -c starts the profile afresh
  LP 1 in $T/jffs/lp1/, records of 16 channels
  day files:   1.lp to 3.lp, 3
  other files: 0.lp, 007.lp (not named as profill names day files)
  records:     200: 99 in 1.lp, 100 in 2.lp, 1 in 3.lp
  time:        2026-12-04 11:00:00 UTC to 2026-12-06 13:00:00 UTC
               2026-12-04 12:00:00 CET to 2026-12-06 14:00:00 CET
  intervals:   15 min (200 records)
  runs:        1
  gaps:        none
  overlaps:    none
  store:       currentDay 3, fileRecCnt 0, totalRecCnt 200, dayCnt 2, daysDeleted 0
  verdict:     does not agree with its store: 2 discrepancies (lpdump --verify lists them); set right or remove what lpdump --verify names, then lpdump --repair; or profill -c starts the profile afresh
  {"profile":1,"directory":"$T/jffs/lp1/","channels":16,"recordChannels":16,"dayFiles":[{"day":1,"records":99},{"day":2,"records":100},{"day":3,"records":1}],"otherFiles":["0.lp","007.lp"],"records":200,"firstStart":{"seconds":1796382000,"utc":"2026-12-04T11:00:00Z","local":"2026-12-04T12:00:00+01:00"},"lastEnd":{"seconds":1796562000,"utc":"2026-12-06T13:00:00Z","local":"2026-12-06T14:00:00+01:00"},"intervals":[{"seconds":900,"records":200}],"runs":1,"breaks":[],"gaps":{"count":0,"seconds":0},"overlaps":{"count":0,"seconds":0},"store":{"currentDay":3,"fileRecCnt":0,"totalRecCnt":200,"dayCnt":2,"daysDeleted":0},"verdict":"disagrees","discrepancies":2,"notes":0,"next":"set right or remove what lpdump --verify names, then lpdump --repair; or profill -c starts the profile afresh"}
  $ lp1; rm jffs/lp1/2.lp; lpdump --verify; same --repair; lpdump --summary; lpdump --summary --json
  $T/jffs/lp1/2.lp: day file is missing, but currentDay is 3
  store: currentDay fileRecCnt totalRecCnt dayCnt are 3 0 200 2, but the records in the day files give 2 0 100 1
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 2 day files, 100 records; lpdump --repair --force keeps the 99 records before the break and removes the 1 whole record from it on; or profill -c starts the profile afresh
  $T/jffs/lp1/2.lp: day file is missing, but day file 3 follows
  lpdump: LP 1 is not repaired, nothing changed: its records break off; lpdump --repair --force keeps the 99 records before the break and removes the 1 whole record from it on; or profill -c starts the profile afresh
  LP 1 in $T/jffs/lp1/, records of 16 channels
  day files:   1.lp to 3.lp, 2; missing: 2.lp
  records:     100: 99 in 1.lp, 1 in 3.lp
  time:        2026-12-04 11:00:00 UTC to 2026-12-06 13:00:00 UTC
               2026-12-04 12:00:00 CET to 2026-12-06 14:00:00 CET
  intervals:   15 min (100 records)
  runs:        2, split by 1 break in time:
               record 200 (3.lp offset 32) starts 1 d 1 h after the previous record's end (gap)
  gaps:        1, 1 d 1 h in all
  overlaps:    none
  store:       currentDay 3, fileRecCnt 0, totalRecCnt 200, dayCnt 2, daysDeleted 0
  verdict:     does not agree with its store: 2 discrepancies (lpdump --verify lists them); lpdump --repair --force keeps the 99 records before the break and removes the 1 whole record from it on; or profill -c starts the profile afresh
  {"profile":1,"directory":"$T/jffs/lp1/","channels":16,"recordChannels":16,"dayFiles":[{"day":1,"records":99},{"day":3,"records":1}],"otherFiles":[],"records":100,"firstStart":{"seconds":1796382000,"utc":"2026-12-04T11:00:00Z","local":"2026-12-04T12:00:00+01:00"},"lastEnd":{"seconds":1796562000,"utc":"2026-12-06T13:00:00Z","local":"2026-12-06T14:00:00+01:00"},"intervals":[{"seconds":900,"records":100}],"runs":2,"breaks":[{"file":"3.lp","offset":32,"record":200,"seconds":90000}],"gaps":{"count":1,"seconds":90000},"overlaps":{"count":0,"seconds":0},"store":{"currentDay":3,"fileRecCnt":0,"totalRecCnt":200,"dayCnt":2,"daysDeleted":0},"verdict":"disagrees","discrepancies":2,"notes":0,"next":"lpdump --repair --force keeps the 99 records before the break and removes the 1 whole record from it on; or profill -c starts the profile afresh"}
  $ lp1; truncate -s 32 jffs/lp1/2.lp; lpdump --verify; same --repair --force --dry-run
  $T/jffs/lp1/2.lp: holds no record, but is not the current day file
  store: currentDay fileRecCnt totalRecCnt dayCnt are 3 0 200 2, but the records in the day files give 2 0 100 1
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 3 day files, 100 records; lpdump --repair --force keeps the 99 records before the break and removes the 1 whole record from it on; or profill -c starts the profile afresh
  $T/jffs/lp1/2.lp: holds no whole record, but day file 3 holds records after it
  $T/jffs/lp1/3.lp: would be removed, after the break (1 whole record)
  $T/jffs/lp1/2.lp: would be removed, from the break on (no whole record)
  store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted are 3 0 200 2 0, would be 1 99 99 0 0
  lpdump: LP 1 would agree with its store after these changes: 1 day file, 99 records of 16 channels; the break would cost 1 whole record
  $ lp1; rm jffs/lp1/2.lp; ln -s none.lp jffs/lp1/2.lp; lpdump --verify; same --repair --force
  $T/jffs/lp1/2.lp: is a symbolic link, not a regular file
  store: currentDay fileRecCnt totalRecCnt dayCnt are 3 0 200 2, but the records in the day files give 2 0 100 1
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 2 day files, 100 records; set right or remove what the lines above name, then lpdump --repair; or profill -c starts the profile afresh
  $T/jffs/lp1/2.lp: is a symbolic link, not a regular file
  lpdump: LP 1 is not repaired, nothing changed: its day files cannot be placed; set right or remove what the lines above name, then lpdump --repair; or profill -c starts the profile afresh
  [1]
A profill -c stopped in its removal (1.lp goes first): every output names running it again.
  $ lp1; rm jffs/lp1/1.lp; lpdump --verify | tail -n 1; lpdump --summary | tail -n 1; same --repair | tail -n 1
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 2 day files, 101 records; a profill -c stopped in its removal leaves this; profill -c again finishes the clear
  verdict:     does not agree with its store: 2 discrepancies (lpdump --verify lists them); a profill -c stopped in its removal leaves this; profill -c again finishes the clear
  lpdump: LP 1 is not repaired, nothing changed: its records break off; a profill -c stopped in its removal leaves this; profill -c again finishes the clear
  [1]
  $ lp1; rm jffs/lp1/*.lp; lpdump --verify; lpdump --summary; lpdump --summary --json
  $T/jffs/lp1/1.lp: day files 1 to 3 are missing, but currentDay is 3
  store: currentDay fileRecCnt totalRecCnt dayCnt are 3 0 200 2, but the records in the day files give 0 0 0 0
  lpdump: LP 1 does not agree with its store: 2 discrepancies in 0 day files, 0 records; lpdump --repair brings the store in line with the day files
  LP 1 in $T/jffs/lp1/, records of 16 channels
  day files:   none
  records:     0
  runs:        0
  gaps:        none
  overlaps:    none
  store:       currentDay 3, fileRecCnt 0, totalRecCnt 200, dayCnt 2, daysDeleted 0
  verdict:     does not agree with its store: 2 discrepancies (lpdump --verify lists them); lpdump --repair brings the store in line with the day files
  {"profile":1,"directory":"$T/jffs/lp1/","channels":16,"recordChannels":16,"dayFiles":[],"otherFiles":[],"records":0,"firstStart":null,"lastEnd":null,"intervals":[],"runs":0,"breaks":[],"gaps":{"count":0,"seconds":0},"overlaps":{"count":0,"seconds":0},"store":{"currentDay":3,"fileRecCnt":0,"totalRecCnt":200,"dayCnt":2,"daysDeleted":0},"verdict":"disagrees","discrepancies":2,"notes":0,"next":"lpdump --repair brings the store in line with the day files"}
  $ repaired --repair
  store: currentDay fileRecCnt totalRecCnt dayCnt daysDeleted were 3 0 200 2 0, now 0 0 0 0 0
  lpdump: LP 1 agrees with its store now: 0 day files, 0 records of 16 channels
  lpdump: LP 1 agrees with its store: 0 day files, 0 records of 16 channels
  lpdump: LP 1 agrees with its store: 2 day files, 100 records of 16 channels

A profile that cannot be read, or that a run holds.

  $ lp1; cp store.mdb good.mdb; echo 'no store' >store.mdb; lpdump --summary; lpdump --repair
  ! lpdump: cannot open the CDS store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file; move it aside and make a new one (cdsctl init FILE), then lpdump --repair
  ! lpdump: cannot open the CDS store $T/store.mdb: not a store, or one cut short: MDB_INVALID: File is not an LMDB file; move it aside and make a new one (cdsctl init FILE), then lpdump --repair
  [2]
  $ cp good.mdb store.mdb; cdsctl rm /Q7M/LoadPrf/1/NumChannels/Value; lpdump --csv; lpdump --repair
  ! lpdump: the CDS store $T/store.mdb has no /Q7M/LoadPrf/1/NumChannels/Value; set it with cdsctl set, or give --channels N to dump without it
  ! lpdump: the CDS store $T/store.mdb has no /Q7M/LoadPrf/1/NumChannels/Value; set it with cdsctl set
  [2]
  $ cp good.mdb store.mdb; mv jffs/lp1 lp1; lpdump --csv; lpdump --repair; mv lp1 jffs/lp1
  lpdump: cannot repair LP 1: $T/jffs/lp1/ is missing or no directory; there is nothing to repair
  ! lpdump: cannot list the day files of LP 1 in $T/jffs/lp1/: No such file or directory; set PROFILL_JFFS
  $ counters 3 5 200 2; flock -o jffs/lp1 bash -c 'set -o pipefail; holder="s/pid $PPID)/pid HOLDER)/"
  >   lpdump --verify | sed "$holder"; echo "[$?]"; lpdump --repair | sed "$holder"; echo "[$?]"'
  lpdump: cannot verify LP 1 now: a run is writing it (pid HOLDER)
  [2]
  lpdump: another run is writing LP 1 (pid HOLDER); nothing repaired
  [1]

Records of another channel count than the store's: every tool names the count in a line or two.

  $ lp1; cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 4; lpdump --verify; lpdump --summary
  > lpdump --summary --json | grep -o '"records":[0-9]*,"firstStart":[a-z]*'
  > same --repair --dry-run; faketime -f '@2026-12-06 12:00:00' profill -t 1 | grep '^profill: LP'; lpdump | head -n 1
  $T/jffs/lp1/: the day files hold records of 16 channels (112 bytes), not of the 4 channels (40 bytes) of NumChannels in the store
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 3 day files, 0 records; set the channel count back with cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 16; or profill -c starts the profile afresh
  LP 1 in $T/jffs/lp1/, records of 4 channels
  day files:   1.lp to 3.lp, 3
  records:     not read: the day files hold records of 16 channels, not of the store's 4
  runs:        0
  gaps:        none
  overlaps:    none
  store:       currentDay 3, fileRecCnt 0, totalRecCnt 200, dayCnt 2, daysDeleted 0
  verdict:     does not agree with its store: 1 discrepancy (lpdump --verify lists it); set the channel count back with cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 16; or profill -c starts the profile afresh
  "records":0,"firstStart":null
  $T/jffs/lp1/: the day files hold records of 16 channels (112 bytes), not of the 4 channels (40 bytes) of NumChannels in the store
  lpdump: LP 1 is not repaired, nothing changed: its day files cannot be placed; set the channel count back with cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 16; or profill -c starts the profile afresh
  profill: LP 1's day file $T/jffs/lp1/1.lp holds records of 16 channels, but the CDS's channel count is 4; set the channel count back, or -c starts the profile afresh
  ! lpdump: $T/jffs/lp1/1.lp holds records of 16 channels, not of the store's 4; give --channels 16 to dump it as it is
  [1]
  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 16

Past 100 findings of a kind, verify and repair count them: a header byte set in every file.

  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 16; gen -i 1440 -t 101 -c; for f in jffs/lp1/*.lp; do printf '\x01' | dd of=$f bs=1 seek=25 conv=notrunc 2>/dev/null; done
  > lpdump --verify | tail -n 2; same --repair --force >r; grep -c 'not all zero$' r; tail -n 2 r
  lpdump: 1 more discrepancy and 0 more notes not shown
  lpdump: LP 1 does not agree with its store: 101 discrepancies in 101 day files, 101 records; set right or remove what the lines above name, then lpdump --repair; or profill -c starts the profile afresh
  100
  lpdump: 1 more fault not shown
  lpdump: LP 1 is not repaired, nothing changed: its day files cannot be placed; set right or remove what the lines above name, then lpdump --repair; or profill -c starts the profile afresh

The current day file cut at each length short of its record (144 bytes): verify, repair and a
strict verify, one line per run of lengths with the same outcome.

  $ lp1; cp jffs/lp1/3.lp whole.lp; cp store.mdb whole.mdb
  > for size in $(seq 0 143); do cp whole.mdb store.mdb; head -c $size whole.lp >jffs/lp1/3.lp
  >   verify=$(lpdump --verify | tail -n 1); v=$?; repair=$(lpdump --repair | tail -n 1); r=$?
  >   lpdump --verify --strict >/dev/null; echo "[$v] ${verify#lpdump: LP 1 } [$r] ${repair#lpdump: LP 1 } [$?]"
  > done | uniq -c
       32 [1] does not agree with its store: 2 discrepancies in 3 day files, 199 records; lpdump --repair brings the store in line with the day files [0] agrees with its store now: 2 day files, 199 records of 16 channels [0]
        1 [1] does not agree with its store: 1 discrepancy in 3 day files, 199 records; lpdump --repair brings the store in line with the day files [0] agrees with its store now: 2 day files, 199 records of 16 channels [0]
      111 [1] does not agree with its store: 2 discrepancies in 3 day files, 199 records; lpdump --repair brings the store in line with the day files [0] agrees with its store now: 2 day files, 199 records of 16 channels [0]

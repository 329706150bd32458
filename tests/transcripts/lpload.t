A table that lpdump --csv writes, loaded into the cleared profile, gives the same day files and
counters: LP 1 (16 channels) from a run of 15 minutes and one of days (kind 2), LP 2 (3 channels).
  $ at='@2026-03-01 12:00:00'
  $ { faketime -f "$at" profill -i 15 -t 1 -c; faketime -f "$at" profill -i 1440 -t 2; faketime -f "$at" profill -i 5 -t 1 -c -2; } >/dev/null
  $ for lp in 1 2; do opt=; [ $lp = 2 ] && opt=-2
  >   lpdump --csv $opt >lp$lp.csv; cp -r jffs/lp$lp kept$lp; cdsctl dump /LP/$lp/ >counted$lp
  >   profill -c $opt -s >/dev/null; lpload $opt lp$lp.csv; echo "[$?]"
  >   diff -r kept$lp jffs/lp$lp && cdsctl dump /LP/$lp/ | diff counted$lp - && lpdump --verify $opt
  > done | grep -v CreateLpFile
  lpload: loaded 102 records into LP 1, day files 1 to 4, from 2026-02-27 00:00:00 UTC to 2026-03-01 13:00:00 UTC
  [0]
  $T/jffs/lp1/3.lp offset 32: note: record 101 starts at 1772150400 (2026-02-27 00:00:00 UTC), but the record before it ended at 1772370000 (2026-03-01 13:00:00 UTC)
  lpdump: LP 1 agrees with its store: 4 day files, 102 records of 16 channels; 1 break in time, noted
  lpload: loaded 292 records into LP 2, day files 1 to 2, from 2026-02-28 12:00:00 UTC to 2026-03-01 12:20:00 UTC
  [0]
  lpdump: LP 2 agrees with its store: 2 day files, 292 records of 3 channels

Only the columns lpload reads, times in ISO 8601 instead of seconds, flags with 0x, values in any
decimal form, and as spreadsheets write them: a byte-order mark, quotes, blanks, CRLF line ends
and a last row of empty cells. The same day files again.
  $ rm -r jffs/lp2/*; cdsctl set /LP/2/currentDay/Value 0 /LP/2/fileRecCnt/Value 0 /LP/2/totalRecCnt/Value 0 /LP/2/dayCnt/Value 0
  $ awk -F, 'NR == 1 { print "\357\273\277\"record\", start_utc ,end_utc,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3"; next }
  >   { printf "%s,%s,%s,%s,0x%s,%se0,%s,\"%s.0\",%s, %s\r\n", $3, $6, $7, $10, $11, $12, $13, $14, $15, $16 }
  >   END { print ",,,,,,,,,\r" }' lp2.csv >spreadsheet.csv
  $ lpload -2 --dry-run spreadsheet.csv; ls jffs/lp2
  lpload: would load 292 records into LP 2, day files 1 to 2, from 2026-02-28 12:00:00 UTC to 2026-03-01 12:20:00 UTC
  $ lpload -2 - <spreadsheet.csv | tail -1; diff -r kept2 jffs/lp2 && echo same
  lpload: loaded 292 records into LP 2, day files 1 to 2, from 2026-02-28 12:00:00 UTC to 2026-03-01 12:20:00 UTC
  same

--renumber appends a table after the profile's records; without it the numbers must go on.
  $ lpload -2 lp2.csv
  ! lpload: lp2.csv:2: record number 1, expected 293 (LP 2 counts 292 records; --renumber numbers the rows on from there)
  [1]
  $ lpload -2 --renumber lp2.csv | tail -1; lpdump --verify -2
  lpload: loaded 292 records into LP 2, day files 2 to 3, from 2026-02-28 12:00:00 UTC to 2026-03-01 12:20:00 UTC
  $T/jffs/lp2/2.lp offset 66: note: record 293 starts at 1772280000 (2026-02-28 12:00:00 UTC), but the record before it ended at 1772367600 (2026-03-01 12:20:00 UTC)
  lpdump: LP 2 agrees with its store: 3 day files, 584 records of 3 channels; 1 break in time, noted

Every fault is named by its line, and nothing is written (LP 2 keeps its 584 records).
  $ n=585; while IFS='|' read -r table; do
  >   printf "$table" | sed "s/NEXT/$n/" >bad.csv; echo "$(lpload -2 bad.csv 2>&1) [$?]"; done <<'TABLES'
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3,note\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,kind,flags_3,value_3\n
  > start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,value_3\n
  > record,start_local,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\n
  > profile,record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\n2,NEXT,0,60,1,0,1,0,2,0,3\n1,586,60,120,1,0,1,0,2,0,3\n
  > profile,record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nLP2,NEXT,0,60,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,60,1,0,1,0,2,0\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,4294967296,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,-60,0,1,0,1,0,2,0,3\n
  > record,start_utc,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,2026-02-29T00:00:00Z,0,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,60,1,10000,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,60,1,0,1,0,2,0,nan\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,60,1,0,1,0,1e39,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3,value_4\nNEXT,0,60,1,0,1,0,2,0,3,4\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\n1,0,60,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,60,3,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,90,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,0,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,120,60,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,900,2,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\nNEXT,0,2147483700,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\n"NEXT,0,60,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\n"NEXT"x,0,60,1,0,1,0,2,0,3\n
  > record,start,end,kind,flags_1,value_1,flags_2,value_2,flags_3,value_3\n\n
  > 
  > TABLES
  lpload: bad.csv:1: column "note" is none that lpload reads (record, start, end, kind, flags_K, value_K) or that lpdump --csv writes [1]
  lpload: bad.csv:1: column "kind" comes twice [1]
  lpload: bad.csv:1: no column record (--renumber numbers the rows without one) [1]
  lpload: bad.csv:1: no column flags_3, but LP 2 has 3 channels [1]
  lpload: bad.csv:1: no column start (or start_utc) [1]
  lpload: bad.csv:3: profile is 1, but this loads LP 2 (without -2, LP 1 is loaded) [1]
  lpload: bad.csv:2: profile is "LP2", not 1 or 2 [1]
  lpload: bad.csv:2: the row has 9 fields, the header 10 [1]
  lpload: bad.csv:2: end is "4294967296", not a whole number from 0 to 4294967295 [1]
  lpload: bad.csv:2: start is "-60", not a whole number from 0 to 4294967295 [1]
  lpload: bad.csv:2: start_utc is "2026-02-29T00:00:00Z", not a UTC time such as 2026-12-06T07:15:00Z [1]
  lpload: bad.csv:2: flags_1 is "10000", not a hexadecimal word from 0 to ffff [1]
  lpload: bad.csv:2: value_3 is "nan", not a decimal number that fits a single-precision float [1]
  lpload: bad.csv:2: value_2 is "1e39", not a decimal number that fits a single-precision float [1]
  lpload: bad.csv:2: value_4 is "4", but LP 2 has 3 channels [1]
  lpload: bad.csv:2: record number 1, expected 585 (LP 2 counts 584 records; --renumber numbers the rows on from there) [1]
  lpload: bad.csv:2: record 585 has kind 3, not 1 or 2 [1]
  lpload: bad.csv:2: record 585 lasts 90 seconds, not a whole number of minutes [1]
  lpload: bad.csv:2: record 585 lasts 0 seconds, not a whole number of minutes [1]
  lpload: bad.csv:2: record 585 ends at 60, before it starts at 120 [1]
  lpload: bad.csv:2: record 585 has kind 2, which only records of 1440, 10080 or 43800 minutes have, but lasts 15 minutes [1]
  lpload: bad.csv:2: record 585 lasts 35791395 minutes, more than a run's interval can be (35791394) [1]
  lpload: bad.csv:2: field 1 opens a quote that is not closed [1]
  lpload: bad.csv:2: text follows the closing quote of field 1 [1]
  lpload: bad.csv:2: no record follows the header row [1]
  lpload: bad.csv:1: no header row [1]
  $ ls jffs/lp2; cdsctl get /LP/2/totalRecCnt/Value
  1.lp
  2.lp
  3.lp
  584

Usage errors, a file that cannot be read and a flash root profill would not take.
  $ lpload -x; echo "[$?]"; lpload a.csv b.csv 2>&1 | head -1; lpload missing.csv; PROFILL_JFFS=jffs lpload lp1.csv
  [2]
  lpload: one table at a time: b.csv is one too many
  ! lpload: unknown option -x
  ! usage: lpload [-2] [--dry-run] [--renumber] [FILE|-]
  !        lpload -h | --help | --version
  ! Appends the records of a CSV table, as lpdump --csv writes it, to LP 1 (LP 2 with -2).
  !   -2            load LP 2
  !   --dry-run     check the table and say what it would load; change nothing
  !   --renumber    number the rows on from the profile's last record
  !   -h, --help    print this text
  !   --version     print the version
  ! FILE ('-' or none: standard input) has a header row; the columns record, start, end, kind,
  ! flags_K and value_K are read by name. Every row is checked before a record is written.
  ! Exit status:
  !   0  loaded (--dry-run: it could be)
  !   1  refused, nothing written
  !   2  a usage error
  !   3  stopped part way; the records before the stop are loaded and counted
  ! See lpload(1).
  ! lpload: cannot open missing.csv: No such file or directory
  ! lpload: PROFILL_JFFS is not a flash root profill would take
  [1]

A profile that profill would refuse is refused the same way (a later day file holds records).
  $ cp jffs/lp1/1.lp jffs/lp1/9.lp; profill -i 15 -t 1 | grep '^profill: '; lpload --renumber lp1.csv; rm jffs/lp1/9.lp
  profill: LP 1's day file $T/jffs/lp1/9.lp holds 99 records numbered 1 to 99, but the CDS counts day files up to 4; lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  ! lpload: LP 1's day file $T/jffs/lp1/9.lp holds 99 records numbered 1 to 99, but the CDS counts day files up to 4; lpdump --repair brings the CDS in line with the files; profill -c starts the profile afresh

What a killed load or run left uncounted (the head of a record) is cut first, as a run cuts it.
  $ head -c 40 jffs/lp1/4.lp | tail -c 8 >>jffs/lp1/4.lp; lpload --renumber lp1.csv | grep -v CreateLpFile
  lpload: removed 8 bytes at the end of $T/jffs/lp1/4.lp that its file information does not count
  lpload: loaded 102 records into LP 1, day files 4 to 7, from 2026-02-27 00:00:00 UTC to 2026-03-01 13:00:00 UTC
  $ lpdump --verify | tail -1
  lpdump: LP 1 agrees with its store: 7 day files, 204 records of 16 channels; 3 breaks in time, noted

A second writer is refused while another holds the profile; a dry run does not need the lock.
  $ flock jffs/lp1 bash -c 'lpload --renumber lp1.csv 2>&1 | sed "s/(pid $PPID)/(pid HOLDER)/"; lpload --dry-run --renumber lp1.csv'
  lpload: another run (pid HOLDER) is writing LP 1; nothing was changed
  lpload: would load 102 records into LP 1, day files 7 to 10, from 2026-02-27 00:00:00 UTC to 2026-03-01 13:00:00 UTC

Without the profile's directory nothing is loaded; lpload names the command that makes it.
  $ PROFILL_JFFS=$T/elsewhere lpload --renumber lp1.csv
  ! lpload: LP 1's directory $T/elsewhere/lp1/ is missing (mkdir -p $T/elsewhere/lp1/ makes it); nothing was changed
  [1]

The example meter day is what its generator writes, and loads into LP 2 made a 4-channel profile
of 15 minutes as the README shows; its missing hour is a note.
  $ sh $EXAMPLES/meter-days.sh 1 1 | cmp - $EXAMPLES/meter-day.csv && echo same
  same
  $ cdsctl dump /Q7M/LoadPrf/1/Chan/ | grep '/Chan/[1-4]/' | sed 's,/LoadPrf/1/,/LoadPrf/2/,' | cdsctl load -
  $ cdsctl set /Q7M/LoadPrf/2/NumChannels/Value 4 /Q7M/LoadPrf/2/IntLength/Value 15; profill -c -2 -s >/dev/null
  $ lpload -2 $EXAMPLES/meter-day.csv | tail -1; lpdump --verify -2 | tail -1
  lpload: loaded 92 records into LP 2, day file 1, from 2026-03-29 00:00:00 UTC to 2026-03-30 00:00:00 UTC
  lpdump: LP 2 agrees with its store: 1 day file, 92 records of 4 channels; 1 break in time, noted

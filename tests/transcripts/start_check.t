profill's check of LP 1's day files against the CDS's counters before a run. LP 1 has 3 channels
(34-byte records, a 32-byte header), 28 records per day file; orig/ holds a two-day run: 1.lp
records 1-27, 2.lp 28-55, 3.lp 56. counts sets currentDay fileRecCnt totalRecCnt dayCnt, day N B
lays out the first B bytes of orig/N.lp; start shows the verdict, then lpdump's check after a
run or the files left after a refusal.
  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 3 /Q7M/LoadPrf/1/IntLength/Value 60 >/dev/null
  > profill -t 2 >/dev/null && mkdir orig && mv jffs/lp1/*.lp orig/ && wc -c orig/*
  > counts() { rm -rf jffs/lp1/*; cdsctl set /LP/1/currentDay/Value $1 /LP/1/fileRecCnt/Value $2 \
  >   /LP/1/totalRecCnt/Value $3 /LP/1/dayCnt/Value $4 >/dev/null; }
  > day() { head -c $2 orig/$1.lp >jffs/lp1/$1.lp; }
  > start() {
  >   profill "$@" -t 1 >out; s=$?; grep -E '^profill: (LP|removed|cannot)' out
  >   if [ $s = 0 ]; then lpdump --verify | tail -1; else
  >     find jffs/lp1 -type f -printf '%f %s\n' | sort; fi; return $s; }
   950 orig/1.lp
   984 orig/2.lp
    66 orig/3.lp
  2000 total
The counters agree; then what a run killed between a record's write and its store leaves, cut.
  $ counts 2 27 55 1; day 1 950; day 2 984; start
  lpdump: LP 1 agrees with its store: 3 day files, 83 records of 3 channels; 1 break in time, noted
  $ counts 2 26 54 1; day 1 950; day 2 984; start
  profill: removed 34 bytes at the end of $T/jffs/lp1/2.lp that its file information does not count
  lpdump: LP 1 agrees with its store: 3 day files, 82 records of 3 channels; 1 break in time, noted
  $ counts 2 27 55 1; day 1 950; day 2 984; head -c 21 orig/3.lp >>jffs/lp1/2.lp; start
  profill: removed 21 bytes at the end of $T/jffs/lp1/2.lp that its file information does not count
  lpdump: LP 1 agrees with its store: 3 day files, 83 records of 3 channels; 1 break in time, noted
  $ counts 2 27 55 1; day 1 950; day 2 984; day 3 66; start
  profill: removed $T/jffs/lp1/3.lp, which holds only a record that its file information does not count
  lpdump: LP 1 agrees with its store: 3 day files, 83 records of 3 channels; 1 break in time, noted
  $ counts 0 0 0 0; day 1 66; start
  profill: removed $T/jffs/lp1/1.lp, which holds only a record that its file information does not count
  lpdump: LP 1 agrees with its store: 2 day files, 28 records of 3 channels
A later day file with no whole record is one the run creates afresh (lpdump names the stray 9.lp).
  $ counts 2 27 55 1; day 1 950; day 2 984; day 3 32; printf LP >jffs/lp1/9.lp; start
  lpdump: LP 1 does not agree with its store: 1 discrepancy in 3 day files, 83 records; lpdump --repair brings the store in line with the day files
Counters ahead of the current day file, behind it, or off in one count; then current day files
that hold a part record, none, are missing or are not the profile's.
  $ for c in '2 27 57 1' '2 25 53 1' '2 26 55 1' '2 27 55 7'; do counts $c; day 1 950; day 2 984; start; done
  profill: LP 1's current day file $T/jffs/lp1/2.lp holds 28 records numbered 28 to 55, but the CDS counts records up to number 57 (fileRecCnt 27, dayCnt 1); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  2.lp 984
  profill: LP 1's current day file $T/jffs/lp1/2.lp holds 28 records numbered 28 to 55, but the CDS counts records up to number 53 (fileRecCnt 25, dayCnt 1); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  2.lp 984
  profill: LP 1's current day file $T/jffs/lp1/2.lp holds 28 records numbered 28 to 55, but the CDS counts records up to number 55 (fileRecCnt 26, dayCnt 1); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  2.lp 984
  profill: LP 1's current day file $T/jffs/lp1/2.lp holds 28 records numbered 28 to 55, but the CDS counts records up to number 55 (fileRecCnt 27, dayCnt 7); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  2.lp 984
  [1]
  $ counts 0 0 500 0; start
  profill: LP 1 has no current day file in the CDS, but the CDS counts records up to number 500 (fileRecCnt 0, dayCnt 0); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  [1]
  $ counts 2 26 54 1; day 1 950; day 2 984; head -c 5 orig/3.lp >>jffs/lp1/2.lp; start
  profill: LP 1's current day file $T/jffs/lp1/2.lp holds 28 records numbered 28 to 55 and 5 bytes of another, but the CDS counts records up to number 54 (fileRecCnt 26, dayCnt 1); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  2.lp 989
  [1]
  $ counts 2 0 28 1; day 1 950; day 2 32; start
  profill: LP 1's current day file $T/jffs/lp1/2.lp holds no whole record, but the CDS counts records up to number 28 (fileRecCnt 0, dayCnt 1); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  2.lp 32
  [1]
  $ counts 2 27 55 1; day 1 950; start
  profill: LP 1's current day file $T/jffs/lp1/2.lp is missing, but the CDS counts records up to number 55 (fileRecCnt 27, dayCnt 1); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  [1]
  $ counts 4 0 57 3; day 1 950; day 2 984; start
  profill: LP 1's current day file $T/jffs/lp1/4.lp is missing, but the CDS counts records up to number 57 (fileRecCnt 0, dayCnt 3); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  2.lp 984
  [1]
  $ counts 2 27 55 1; day 1 950; day 2 984; printf 2 | dd of=jffs/lp1/2.lp bs=1 seek=15 conv=notrunc 2>/dev/null; start
  profill: LP 1's current day file $T/jffs/lp1/2.lp does not start with LP 1's day-file header, but the CDS counts records up to number 55 (fileRecCnt 27, dayCnt 1); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  2.lp 984
  [1]
  $ counts 2 27 55 1; day 1 950; ln -s ../../orig/2.lp jffs/lp1/2.lp; start
  profill: LP 1's current day file $T/jffs/lp1/2.lp is a symbolic link, but the CDS counts records up to number 55 (fileRecCnt 27, dayCnt 1); remove it and run lpdump --repair, or -c starts the profile afresh
  1.lp 950
  [1]
Records of another width: one of 4 channels (40 bytes) reads as one of 3 and 6 bytes of another.
  $ counts 2 0 28 1; day 1 950; day 2 66; head -c 6 /dev/zero >>jffs/lp1/2.lp; start
  profill: LP 1's current day file $T/jffs/lp1/2.lp holds records of 4 channels, but the CDS's channel count is 3; set the channel count back, or -c starts the profile afresh
  1.lp 950
  2.lp 72
  [1]
  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 16 >/dev/null
  $ counts 1 27 27 0; day 1 950; start
  profill: LP 1's current day file $T/jffs/lp1/1.lp holds records of 3 channels, but the CDS's channel count is 16; set the channel count back, or -c starts the profile afresh
  1.lp 950
  [1]
  $ counts 3 0 56 2; day 1 950; day 2 984; day 3 66; start
  profill: LP 1's day file $T/jffs/lp1/1.lp holds records of 3 channels, but the CDS's channel count is 16; set the channel count back, or -c starts the profile afresh
  1.lp 950
  2.lp 984
  3.lp 66
  [1]
  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 3 >/dev/null
Later day files holding records the counters do not count, or that are no regular files.
  $ counts 2 27 55 1; day 1 950; day 2 984; head -c 66 orig/3.lp >jffs/lp1/4.lp; start
  profill: LP 1's day file $T/jffs/lp1/4.lp holds 1 record, numbered 56, but the CDS counts day files up to 2; lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 950
  2.lp 984
  4.lp 66
  [1]
  $ counts 0 0 0 0; day 1 100; start
  profill: LP 1's day file $T/jffs/lp1/1.lp holds 2 records numbered 1 to 2, but the CDS counts day files up to 0; lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  1.lp 100
  [1]
  $ counts 2 27 55 1; day 1 950; day 2 984; mkfifo jffs/lp1/3.lp; start
  profill: LP 1's day file $T/jffs/lp1/3.lp is a FIFO, not a regular file; remove it, or -c starts the profile afresh
  1.lp 950
  2.lp 984
  [1]
  $ counts 2 27 55 1; day 1 950; day 2 984; mkdir jffs/lp1/3.lp; start
  profill: LP 1's day file $T/jffs/lp1/3.lp is a directory, not a regular file; remove it, or -c starts the profile afresh
  1.lp 950
  2.lp 984
  [1]
Records that break off: the end of an earlier day file lost, or all of it (as a -c stopped in its
removal leaves).
  $ counts 2 27 55 1; day 1 139; day 2 984; start
  profill: LP 1's day file $T/jffs/lp1/1.lp holds 3 records numbered 1 to 3 and 5 bytes of another, so the profile's records break off there; lpdump --repair --force keeps the records before the break; -c starts the profile afresh
  1.lp 139
  2.lp 984
  [1]
  $ counts 2 27 55 1; day 1 168; day 2 984; start
  profill: LP 1's day file $T/jffs/lp1/2.lp holds 28 records numbered 28 to 55, but record 5 comes next, so the profile's records break off there; lpdump --repair --force keeps the records before the break; -c starts the profile afresh
  1.lp 168
  2.lp 984
  [1]
  $ counts 3 0 56 2; day 2 984; day 3 66; start
  profill: LP 1's day file $T/jffs/lp1/1.lp is missing, so the profile's records break off there; a -c stopped in its removal leaves this; -c again finishes the clear
  2.lp 984
  3.lp 66
  [1]
Daily records start their files, day file 1 too, so dayCnt counts it.
  $ counts 0 0 0 0; profill -i 1440 -t 1 >/dev/null; cdsctl dump /LP/1/dayCnt; start -i 1440
  /LP/1/dayCnt/Value = 1
  lpdump: LP 1 agrees with its store: 2 day files, 2 records of 3 channels; 1 break in time, noted
  $ cdsctl dump /LP/1/dayCnt; start -i 1440
  /LP/1/dayCnt/Value = 2
  lpdump: LP 1 agrees with its store: 3 day files, 3 records of 3 channels; 2 breaks in time, noted

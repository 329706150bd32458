A cleared run of two days of quarter hours: stale files go, file 1 holds one record fewer than
the others, and record 1 ends where the run's range says (2012-03-04 05:06:07 at UTC-5).
  $ cdsctl set /LP/1/currentDay/Value 3 /LP/1/fileRecCnt/Value 1 /LP/1/totalRecCnt/Value 200 /LP/1/dayCnt/Value 2
  $ echo stale >jffs/lp1/1.lp; echo stale >jffs/lp1/4.lp
  $ TZ=XST+5 faketime -f '@2012-03-04 05:06:07' profill -i 15 -t 2 -c
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 15
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	1	200	2	0
  
  
  profill: success for rm -Rf $T/jffs/lp1/*.lp
  Clearing out file info in CDS before starting
  profill: main starting a LP recording with an interval of 900 seconds
  There should be a minimum of 100 records per file.(1440/15)
  Auto generating 2 days of records; 200 total records
  Total Seconds = 172800; 1330855567
  Date range is 1330682767 -> 1330855567
  This LP Date range is 03-02-2012  05:06:07 -> 03-04-2012  05:06:07   (1330682767 -> 1330855567)
  [CreateLpFile]creating file $T/jffs/lp1/1.lp
  [CreateLpFile]creating file $T/jffs/lp1/2.lp
  profill: recordsWritten = 100
  [CreateLpFile]creating file $T/jffs/lp1/3.lp
  profill: recordsWritten = 200
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	0	200	2	0
  
  
  $ ls jffs/lp1; cdsctl dump /LP/1/
  1.lp
  2.lp
  3.lp
  /LP/1/currentDay/Value = 3
  /LP/1/dayCnt/Value = 2
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 0
  /LP/1/totalRecCnt/Value = 200
  $ od -An -tx1 -v jffs/lp1/1.lp | head -6
   5a 4f 4c 56 20 4c 6f 61 64 20 50 72 6f 66 00 31
   00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 00
   00 00 00 01 4f 50 9b 8f 4f 50 9f 13 00 00 00 01
   00 01 00 02 00 04 00 08 00 10 00 20 00 40 00 80
   01 00 02 00 04 00 08 00 10 00 20 00 40 00 80 00
   46 1c 40 00 46 9c 40 00 46 ea 60 00 47 1c 40 00
  $ lpdump jffs/lp1/2.lp | head -3; lpdump --verify --strict
  jffs/lp1/2.lp: LP 1 day file, version 1, 100 records of 16 channels
      100  2012-03-03 10:51:07 UTC - 2012-03-03 11:06:07 UTC  2012-03-03 10:51:07 UTC - 2012-03-03 11:06:07 UTC  kind 1 0001:10000 0002:20000 0004:30000 0008:40000 0010:50000 0020:60000 0040:70000 0080:80000 0100:90000 0200:100000 0400:110000 0800:120000 1000:130000 2000:140000 4000:150000 8000:160000
      101  2012-03-03 11:06:07 UTC - 2012-03-03 11:21:07 UTC  2012-03-03 11:06:07 UTC - 2012-03-03 11:21:07 UTC  kind 1 0001:10000 0002:20000 0004:30000 0008:40000 0010:50000 0020:60000 0040:70000 0080:80000 0100:90000 0200:100000 0400:110000 0800:120000 1000:130000 2000:140000 4000:150000 8000:160000
  lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels
Near the epoch the span is placed half a span after now.
  $ TZ=UTC faketime -f '@1970-01-02 00:00:00' profill -i 15 -t 2 -c | sed -n '/Total Seconds/,/Date range/p'
  Total Seconds = 172800; 86400
  Current data is < totalSecs. (172800 -> 345600)
  This LP Date range is 01-03-1970  00:00:00 -> 01-05-1970  00:00:00   (172800 -> 345600)
  $ lpdump jffs/lp1/1.lp | head -2
  jffs/lp1/1.lp: LP 1 day file, version 1, 99 records of 16 channels
        1  1970-01-03 00:00:00 UTC - 1970-01-03 00:15:00 UTC  1970-01-03 00:00:00 UTC - 1970-01-03 00:15:00 UTC  kind 1 0001:10000 0002:20000 0004:30000 0008:40000 0010:50000 0020:60000 0040:70000 0080:80000 0100:90000 0200:100000 0400:110000 0800:120000 1000:130000 2000:140000 4000:150000 8000:160000

The interval (the CDS's first) sets the kind of record, records per file and span: a daily,
weekly or monthly -i ends at local midnight, the CDS's does not; the longest 32-bit one runs.
  $ for args in '15 -i 1440 -t 3' '15 -i 10080 -t 2' '15 -i 43800 -t 1' '60 -t 2' '1440 -t 2' '35791394 -t 1'; do
  >   cdsctl set /Q7M/LoadPrf/1/IntLength/Value ${args%% *}
  >   TZ=XST+5 faketime -f '@2012-03-04 05:06:07' profill ${args#* } -c | sed -n '/recording with/,/Date range/p'
  >   cdsctl get /LP/1/totalRecCnt/Value; lpdump | grep -o "kind ." | uniq -c; lpdump --summary | sed -n 3,4p; lpdump --verify --strict | tail -1
  > done
  profill: main starting a LP recording with an interval of 86400 seconds
  There will be 1 record per file. every 1 days
  Auto generating 3 days of records; 3 total records
  Total Seconds = 259200; 1330837200
  Date range is 1330578000 -> 1330837200
  3
        3 kind 2
  records:     3: 1 in each of 1.lp to 3.lp
  time:        2012-03-01 05:00:00 UTC to 2012-03-04 05:00:00 UTC
  lpdump: LP 1 agrees with its store: 3 day files, 3 records of 16 channels
  profill: main starting a LP recording with an interval of 604800 seconds
  There will be 1 record per file. every 7 days
  Auto generating 2 days of records; 2 total records
  Total Seconds = 1209600; 1330837200
  Date range is 1329627600 -> 1330837200
  2
        2 kind 2
  records:     2: 1 in each of 1.lp and 2.lp
  time:        2012-02-19 05:00:00 UTC to 2012-03-04 05:00:00 UTC
  lpdump: LP 1 agrees with its store: 2 day files, 2 records of 16 channels
  profill: main starting a LP recording with an interval of 2628000 seconds
  There will be 1 record per file. every 30 days
  Auto generating 1 days of records; 1 total records
  Total Seconds = 2592000; 1330837200
  Date range is 1328245200 -> 1330837200
  1
        1 kind 2
  records:     1: 1 in 1.lp
  time:        2012-02-03 05:00:00 UTC to 2012-03-04 15:00:00 UTC
  lpdump: LP 1 agrees with its store: 1 day file, 1 record of 16 channels
  profill: main starting a LP recording with an interval of 3600 seconds
  There should be a minimum of 28 records per file.(1440/60)
  Auto generating 2 days of records; 56 total records
  Total Seconds = 172800; 1330855567
  Date range is 1330682767 -> 1330855567
  56
       56 kind 1
  records:     56: 27 in 1.lp, 28 in 2.lp, 1 in 3.lp
  time:        2012-03-02 10:06:07 UTC to 2012-03-04 18:06:07 UTC
  lpdump: LP 1 agrees with its store: 3 day files, 56 records of 16 channels
  profill: main starting a LP recording with an interval of 86400 seconds
  There should be a minimum of 5 records per file.(1440/1440)
  Auto generating 2 days of records; 10 total records
  Total Seconds = 172800; 1330855567
  Date range is 1330682767 -> 1330855567
  10
       10 kind 1
  records:     10: 4 in 1.lp, 5 in 2.lp, 1 in 3.lp
  time:        2012-03-02 10:06:07 UTC to 2012-03-12 10:06:07 UTC
  lpdump: LP 1 agrees with its store: 3 day files, 10 records of 16 channels
  profill: main starting a LP recording with an interval of 2147483640 seconds
  There should be a minimum of 4 records per file.(1440/35791394)
  Auto generating 1 days of records; 4 total records
  Total Seconds = 86400; 1330855567
  Date range is 1330769167 -> 1330855567
  4
        4 kind 1
  records:     4: 3 in 1.lp, 1 in 2.lp
  time:        2012-03-03 10:05:51 UTC to 2012-03-03 10:05:51 UTC
  lpdump: LP 1 agrees with its store: 2 day files, 4 records of 16 channels

Without -c a run continues the numbering; the head of an uncounted record is cut, and that is said.
  $ TZ=XST+5 faketime -f '@2012-03-04 05:06:07' profill -i 15 -t 1 -c >/dev/null
  $ head -c 10 jffs/lp1/2.lp >>jffs/lp1/2.lp; cp jffs/lp1/1.lp before
  $ TZ=XST+5 faketime -f '@2012-03-05 05:06:07' profill -i 15 -t 1 | grep -v creating
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 15
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  2	0	100	1	0
  
  
  profill: removed 10 bytes at the end of $T/jffs/lp1/2.lp that its file information does not count
  profill: main starting a LP recording with an interval of 900 seconds
  There should be a minimum of 100 records per file.(1440/15)
  Auto generating 1 days of records; 100 total records
  Total Seconds = 86400; 1330941967
  Date range is 1330855567 -> 1330941967
  This LP Date range is 03-04-2012  05:06:07 -> 03-05-2012  05:06:07   (1330855567 -> 1330941967)
  profill: recordsWritten = 100
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	0	200	2	0
  
  
  $ cmp before jffs/lp1/1.lp && ls jffs/lp1 && lpdump --verify
  1.lp
  2.lp
  3.lp
  $T/jffs/lp1/2.lp offset 144: note: record 101 starts at 1330855567 (2012-03-04 10:06:07 UTC), but the record before it ended at 1330859167 (2012-03-04 11:06:07 UTC)
  lpdump: LP 1 agrees with its store: 3 day files, 200 records of 16 channels; 1 break in time, noted
A full current file (record 200 was lost with file 3): the run's first record starts file 3.
  $ TZ=XST+5 faketime -f '@2012-03-05 05:06:07' profill -i 15 -t 2 -c >/dev/null; rm jffs/lp1/3.lp
  $ cdsctl set /LP/1/currentDay/Value 2 /LP/1/fileRecCnt/Value 99 /LP/1/totalRecCnt/Value 199 /LP/1/dayCnt/Value 1
  $ TZ=XST+5 faketime -f '@2012-03-06 05:06:07' profill -i 15 -t 1 | tail -7; lpdump --summary | head -4
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	99	299	2	0
  
  
  LP 1 in $T/jffs/lp1/, records of 16 channels
  day files:   1.lp to 3.lp, 3
  records:     299: 99 in 1.lp, 100 in each of 2.lp and 3.lp
  time:        2012-03-03 10:06:07 UTC to 2012-03-06 11:06:07 UTC

A closed standard output stays closed: nothing the run prints lands in a file it opens.
  $ profill -i 15 -t 1 -c >&-; echo $?; grep -c "Load Profile" store.mdb-lock jffs/lp1/*; lpdump --verify --strict
  0
  store.mdb-lock:0
  jffs/lp1/1.lp:0
  jffs/lp1/2.lp:0
  lpdump: LP 1 agrees with its store: 2 day files, 100 records of 16 channels

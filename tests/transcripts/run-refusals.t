A profile that cannot be generated is refused before anything is touched (3.lp: a header short).
  $ cdsctl set /LP/1/currentDay/Value 3 /LP/1/fileRecCnt/Value 1 /LP/1/totalRecCnt/Value 200 /LP/1/dayCnt/Value 2
  $ printf %031d 3 >jffs/lp1/3.lp
  $ for value in 0 -5 35791395; do
  >   cdsctl set /Q7M/LoadPrf/1/IntLength/Value $value; { profill -t 1 -c; echo "[$?]"; } | tail -2
  > done; cdsctl set /Q7M/LoadPrf/1/IntLength/Value 0; { profill -t 1; echo "[$?]"; } | tail -2
  profill: LP 1 has an interval length of 0 minutes in the CDS, which cannot be generated; give an interval with -i (1-60, 1440, 10080 or 43800)
  [1]
  profill: LP 1 has an interval length of -5 minutes in the CDS, which cannot be generated; give an interval with -i (1-60, 1440, 10080 or 43800)
  [1]
  profill: LP 1 has an interval length of 35791395 minutes in the CDS, which cannot be generated; give an interval with -i (1-60, 1440, 10080 or 43800)
  [1]
  profill: LP 1 has an interval length of 0 minutes in the CDS, which cannot be generated; give an interval with -i (1-60, 1440, 10080 or 43800)
  [1]
  $ cdsctl set /Q7M/LoadPrf/1/IntLength/Value 15 /Q7M/LoadPrf/1/NumChannels/Value 0; { profill -c; echo "[$?]"; } | tail -2
  profill: LP 1 has 0 channels in the CDS, which cannot be generated; configure 1 to 16 channels (NumChannels)
  [1]
  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 16 /LP/1/currentDay/Value -1; { profill -t 1; echo "[$?]"; } | tail -2
  profill: LP 1 has a current day file of -1 in the CDS, which cannot be continued; -c starts the profile afresh
  [1]
  $ cdsctl set /LP/1/currentDay/Value 3; profill -i 5
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 5
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	1	200	2	0
  
  
  profill: LP 1's current day file $T/jffs/lp1/3.lp does not start with LP 1's day-file header, but the CDS counts records up to number 200 (fileRecCnt 1, dayCnt 2); lpdump --repair brings the CDS in line with the files; -c starts the profile afresh
  [1]
  $ ls jffs/lp1; wc -c <jffs/lp1/3.lp; cdsctl dump /LP/1/
  3.lp
  31
  /LP/1/currentDay/Value = 3
  /LP/1/dayCnt/Value = 2
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 1
  /LP/1/totalRecCnt/Value = 200
Without its directory (flash not mounted, or a file in its place) a profile is not touched, also
not by -c.
  $ rm -r jffs/lp1; profill -c | tail -1; touch jffs/lp1; profill -t 1 | tail -1; rm jffs/lp1
  > cdsctl get /LP/1/totalRecCnt/Value
  profill: LP 1's directory $T/jffs/lp1/ is missing (mkdir -p $T/jffs/lp1/ makes it); nothing was changed
  profill: LP 1's directory $T/jffs/lp1/ is missing (mkdir -p $T/jffs/lp1/ makes it); nothing was changed
  200

While another process holds LP 1, a run and -c are refused naming it, -s shows, and LP 2 runs.
  $ mkdir jffs/lp1; flock jffs/lp1 bash -c 'for args in "-i 15 -t 1" "-c -s" "-s" "-i 15 -t 1 -2"; do
  >   profill $args >out; echo "$args: $? $(grep "^profill: " out | sed "s/(pid $PPID)/(pid HOLDER)/")"; done'
  -i 15 -t 1: 1 profill: another run (pid HOLDER) is writing LP 1; nothing was changed
  -c -s: 1 profill: another run (pid HOLDER) is writing LP 1; nothing was changed
  -s: 0 
  -i 15 -t 1 -2: 0 profill: main starting a LP recording with an interval of 900 seconds
  profill: recordsWritten = 100
  $ lpdump --verify -2
  lpdump: LP 2 agrees with its store: 2 day files, 100 records of 3 channels

-c's removal holds the profile until it ends, also with profill killed: a run and a repair are
refused meanwhile, the counts stay; -c again finishes.
  $ profill -i 60 -t 2 -c >/dev/null; ls jffs/lp1
  1.lp
  2.lp
  3.lp
  $ mkdir slow; printf '#!/bin/sh\ntouch "$T/started"; until [ -e "$T/go" ]; do sleep 0.01; done\n%s\n' \
  >   'PATH=/usr/bin:/bin exec rm "$@"' >slow/rm; chmod +x slow/rm
  $ PATH=$T/slow:$PATH profill -c -s >/dev/null & clearing=$!
  $ until [ -e started ] || ! kill -0 $clearing; do sleep 0.01; done
  > kill -KILL $clearing; { wait $clearing; } 2>/dev/null; echo "[$?]"
  [137]
  $ { profill -i 60 -t 1; lpdump --repair; } | grep -E '^(profill|lpdump): '
  profill: another run is writing LP 1; nothing was changed
  lpdump: another run is writing LP 1; nothing repaired
  $ touch go; flock -w 120 jffs/lp1 true; ls jffs/lp1; cdsctl dump /LP/1/
  /LP/1/currentDay/Value = 3
  /LP/1/dayCnt/Value = 2
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 0
  /LP/1/totalRecCnt/Value = 56
  $ profill -c -s | grep '^profill: '; cdsctl dump /LP/1/
  profill: success for rm -Rf $T/jffs/lp1/*.lp
  /LP/1/currentDay/Value = 0
  /LP/1/dayCnt/Value = 0
  /LP/1/daysDeleted/Value = 0
  /LP/1/fileRecCnt/Value = 0
  /LP/1/totalRecCnt/Value = 0

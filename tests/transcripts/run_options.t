What each option sets shows in the run it starts.
  $ faketime -f '@2026-12-06 08:00:00' profill -i 1440 -t 3 -c -2 -d 0x1
  Load Profile Add input (profill) version 0.0.01 started.
  interval length is 1440
  debug level is: string=0x1 = hex=1; decimal=1
  [InitLp] Enter
  [ClearLpStructs] NOT Clearing Load Profile 1
  [ClearLpStructs] Clearing Load Profile 2
  [ReadLpConfig] Skipping LP 1
  [ReadLpConfig] Processing LP 2
  [ReadLpConfig] numChans=3, prefix=/Q7M/LoadPrf/2 
  [ReadLpConfig] prefix=/Q7M/LoadPrf/2/Chan/ 
  [ReadLpConfig] read 26 leaves
  Load Profile 2 Configuration
  Chnls	IntLength	Sync	FrzMark	StoreEvents	InCounts
  -----	---------	----	-------	-----------	--------
  3	5		1	1	1		0
  Channel Configuaration for 3 Channels
  Chan	Type	Quan	Phase	Dir	Records	kmVal		TLC
  ----	----	----	-----	---	-------	-----		---
  1	1	1	0	0	1	1.800000	0
  2	1	1	0	1	1	1.800000	0
  3	3	4	0	0	1	14.400000	1
  
  
  [ReadLpFileInfo] Skipping LP 1
  [ReadLpFileInfo] Processing LP 2
  [ReadLpFileInfo] prefix=/LP/2 
  [ReadLpFileInfo] read 5 leaves
  Load Profile 2 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  0	0	0	0	0
  
  
  profill: success for rm -Rf $T/jffs/lp2/*.lp
  Clearing out file info in CDS before starting
  profill: main starting a LP recording with an interval of 86400 seconds
  There will be 1 record per file. every 1 days
  Auto generating 3 days of records; 3 total records
  Total Seconds = 259200; 1796515200
  Date range is 1796256000 -> 1796515200
  This LP Date range is 12-03-2026  00:00:00 -> 12-06-2026  00:00:00   (1796256000 -> 1796515200)
  [CreateLpFile]creating file $T/jffs/lp2/1.lp
  [CreateLpFile]creating file $T/jffs/lp2/2.lp
  [CreateLpFile]creating file $T/jffs/lp2/3.lp
  Load Profile 2 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  3	0	3	3	0
  
  
  $ lpdump --verify --strict -2
  lpdump: LP 2 agrees with its store: 3 day files, 3 records of 3 channels
  $ profill -s -p -d 4 | grep -E '^(Load|NOTE|debug|16.1.25)'
  Load Profile Add input (profill) version 0.0.01 started.
  debug level is: string=4 = hex=4; decimal=4
  Load Profile 1 Configuration
  Load Profile 1 File Information Configuration
  16	1	25	36100	1444	112	161760	4044000	3949.22	40	4000
  NOTE: When maxDays is > 1095; MaxDays is set to 1095

profill -s: settings cut to 16 bits, leaves of any type converted, at most 16 channels.
  $ P=/Q7M/LoadPrf/2; cdsctl set $P/ExtIntSync/Value 70000 $P/FrzMark/Value 40000 \
  >   $P/IntLength/Value 20 $P/DataSetting1/Value 23 $P/DataSetting2/Value 24 \
  >   $P/Chan/1/Quantity/Value 101 $P/Chan/1/Phase/Value 102 $P/Chan/1/Direction/Value 103 \
  >   $P/Chan/1/Records/Value 104 $P/Chan/1/UnComp/Value 106 \
  >   $P/Chan/1/KmValue/Value 1.2345678 $P/Chan/2/Phase/Value -1 $P/Chan/2/KmValue/Value 2 \
  >   $P/Chan/3/Type/Value '"12"' $P/Chan/3/KmValue/Value '"-3.25"' $P/Chan/3/UnComp/Value 99999
  > profill -2 -s
  Load Profile Add input (profill) version 0.0.01 started.
  Load Profile 2 Configuration
  Chnls	IntLength	Sync	FrzMark	StoreEvents	InCounts
  -----	---------	----	-------	-----------	--------
  3	20		4464	-25536	23		24
  Channel Configuaration for 3 Channels
  Chan	Type	Quan	Phase	Dir	Records	kmVal		TLC
  ----	----	----	-----	---	-------	-----		---
  1	1	101	102	103	104	1.234568	106
  2	1	1	-1	1	1	2.000000	0
  3	12	4	0	0	1	-3.250000	-31073
  
  
  Load Profile 2 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  0	0	0	0	0
  
  
  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 17; profill -s
  Load Profile Add input (profill) version 0.0.01 started.
  [ReadLpConfig] LP 1 has 17 channels configured; only the first 16 are used
  Load Profile 1 Configuration
  Chnls	IntLength	Sync	FrzMark	StoreEvents	InCounts
  -----	---------	----	-------	-----------	--------
  16	15		0	0	3		0
  Channel Configuaration for 16 Channels
  Chan	Type	Quan	Phase	Dir	Records	kmVal		TLC
  ----	----	----	-----	---	-------	-----		---
  1	1	1	0	0	1	1.800000	0
  2	1	1	0	1	1	1.800000	0
  3	1	2	0	0	1	1.800000	0
  4	1	2	0	1	1	1.800000	0
  5	1	3	0	0	1	1.800000	0
  6	1	3	0	1	1	1.800000	0
  7	1	1	1	0	1	0.600000	0
  8	1	1	2	0	1	0.600000	0
  9	1	1	3	0	1	0.600000	0
  10	3	4	1	0	1	14.400000	1
  11	3	4	2	0	1	14.400000	1
  12	3	4	3	0	1	14.400000	1
  13	3	5	1	0	1	0.600000	1
  14	3	5	2	0	1	0.600000	1
  15	3	5	3	0	0	0.600000	1
  16	2	1	0	0	0	7.200000	0
  
  
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  0	0	0	0	0
  
  
  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value -3; profill -s
  Load Profile Add input (profill) version 0.0.01 started.
  Load Profile 1 Configuration
  Chnls	IntLength	Sync	FrzMark	StoreEvents	InCounts
  -----	---------	----	-------	-----------	--------
  -3	0		0	0	0		0
  Channel Configuaration for -3 Channels
  Chan	Type	Quan	Phase	Dir	Records	kmVal		TLC
  ----	----	----	-----	---	-------	-----		---
  
  
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  0	0	0	0	0
  
  
-d 1 shows the reading's steps; a leaf that cannot be read is reported and left out.
  $ cdsctl set /Q7M/LoadPrf/1/NumChannels/Value 1 >/dev/null; profill -s -d 1
  Load Profile Add input (profill) version 0.0.01 started.
  debug level is: string=1 = hex=1; decimal=1
  [InitLp] Enter
  [ClearLpStructs] Clearing Load Profile 1
  [ClearLpStructs] NOT Clearing Load Profile 2
  [ReadLpConfig] Processing LP 1
  [ReadLpConfig] numChans=1, prefix=/Q7M/LoadPrf/1 
  [ReadLpConfig] prefix=/Q7M/LoadPrf/1/Chan/ 
  [ReadLpConfig] read 12 leaves
  Load Profile 1 Configuration
  Chnls	IntLength	Sync	FrzMark	StoreEvents	InCounts
  -----	---------	----	-------	-----------	--------
  1	15		0	0	3		0
  Channel Configuaration for 1 Channels
  Chan	Type	Quan	Phase	Dir	Records	kmVal		TLC
  ----	----	----	-----	---	-------	-----		---
  1	1	1	0	0	1	1.800000	0
  
  
  [ReadLpConfig] Skipping LP 2
  [ReadLpFileInfo] Processing LP 1
  [ReadLpFileInfo] prefix=/LP/1 
  [ReadLpFileInfo] read 5 leaves
  Load Profile 1 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  0	0	0	0	0
  
  
  [ReadLpFileInfo] Skipping LP 2
  $ cdsctl rm /Q7M/LoadPrf/2/Chan/2/Phase/Value /LP/2/totalRecCnt/Value; profill -2 -s
  Load Profile Add input (profill) version 0.0.01 started.
  [ReadLpConfig] pcd_get_leaves failed - item 14, path /Q7M/LoadPrf/2/Chan/2/Phase/Value
  Load Profile 2 Configuration
  Chnls	IntLength	Sync	FrzMark	StoreEvents	InCounts
  -----	---------	----	-------	-----------	--------
  3	20		4464	-25536	23		24
  Channel Configuaration for 3 Channels
  Chan	Type	Quan	Phase	Dir	Records	kmVal		TLC
  ----	----	----	-----	---	-------	-----		---
  1	1	101	102	103	104	1.234568	106
  2	1	1	0	1	1	2.000000	0
  3	12	4	0	0	1	-3.250000	-31073
  
  
  [ReadLpFileInfo] pcd_get_leaves failed - item 2, path /LP/2/totalRecCnt/Value
  Load Profile 2 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  0	0	0	0	0
  
  
  ! profill[PID]: [ReadLpConfig] pcd_get_leaves failed - item 14, path /Q7M/LoadPrf/2/Chan/2/Phase/Value
  ! profill[PID]: [ReadLpFileInfo] pcd_get_leaves failed - item 2, path /LP/2/totalRecCnt/Value
  $ cdsctl rm /Q7M/LoadPrf/2/NumChannels/Value; profill -2 -s
  Load Profile Add input (profill) version 0.0.01 started.
  [ReadLpConfig] failed to get_leaf of /Q7M/LoadPrf/2/NumChannels/Value
  [ReadLpFileInfo] pcd_get_leaves failed - item 2, path /LP/2/totalRecCnt/Value
  Load Profile 2 File Information Configuration
  Current	File	Total	Totl	Days   
  Day    	Recs	Recs 	Days	Deleted
  -------	----	-----	----	-------
  0	0	0	0	0
  
  
  ! profill[PID]: [ReadLpFileInfo] pcd_get_leaves failed - item 2, path /LP/2/totalRecCnt/Value

/LP/1/currentDay/Value = 3
/LP/1/fileRecCnt/Value = 1
/LP/1/totalRecCnt/Value = 200
/LP/1/dayCnt/Value = 2
/LP/1/daysDeleted/Value = 0
/Q7M/LoadPrf/1/Chan/1/KmValue/Value = 1.8

# An example device configuration for a host CDS store: both load profiles and their file
# bookkeeping, as a freshly commissioned meter has them.
#
#     cdsctl init examples/device.cds
#
# LP 1 records 16 channels every 15 minutes, LP 2 three channels every 5 minutes. The channel
# codes as this example uses them:
#   Type       1 energy, 2 demand, 3 instantaneous
#   Quantity   1 active, 2 reactive, 3 apparent, 4 voltage, 5 current
#   Phase      0 polyphase, 1 to 3 a single phase
#   Direction  0 delivered, 1 received
#   Records    1 recorded, 0 configured but not recorded
#   KmValue    the channel's multiplier (a float)
#   UnComp     1 uncompensated, 0 compensated

# LP 1
/Q7M/LoadPrf/1/NumChannels/Value = 16
/Q7M/LoadPrf/1/IntLength/Value = 15  # minutes
/Q7M/LoadPrf/1/ExtIntSync/Value = 0
/Q7M/LoadPrf/1/FrzMark/Value = 0
/Q7M/LoadPrf/1/DataSetting1/Value = 3
/Q7M/LoadPrf/1/DataSetting2/Value = 0

# LP 1 channel 1: energy, delivered
/Q7M/LoadPrf/1/Chan/1/Type/Value = 1
/Q7M/LoadPrf/1/Chan/1/Quantity/Value = 1
/Q7M/LoadPrf/1/Chan/1/Phase/Value = 0
/Q7M/LoadPrf/1/Chan/1/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/1/Records/Value = 1
/Q7M/LoadPrf/1/Chan/1/KmValue/Value = 1.8
/Q7M/LoadPrf/1/Chan/1/UnComp/Value = 0

# LP 1 channel 2: energy, received
/Q7M/LoadPrf/1/Chan/2/Type/Value = 1
/Q7M/LoadPrf/1/Chan/2/Quantity/Value = 1
/Q7M/LoadPrf/1/Chan/2/Phase/Value = 0
/Q7M/LoadPrf/1/Chan/2/Direction/Value = 1
/Q7M/LoadPrf/1/Chan/2/Records/Value = 1
/Q7M/LoadPrf/1/Chan/2/KmValue/Value = 1.8
/Q7M/LoadPrf/1/Chan/2/UnComp/Value = 0

# LP 1 channel 3: reactive energy, delivered
/Q7M/LoadPrf/1/Chan/3/Type/Value = 1
/Q7M/LoadPrf/1/Chan/3/Quantity/Value = 2
/Q7M/LoadPrf/1/Chan/3/Phase/Value = 0
/Q7M/LoadPrf/1/Chan/3/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/3/Records/Value = 1
/Q7M/LoadPrf/1/Chan/3/KmValue/Value = 1.8
/Q7M/LoadPrf/1/Chan/3/UnComp/Value = 0

# LP 1 channel 4: reactive energy, received
/Q7M/LoadPrf/1/Chan/4/Type/Value = 1
/Q7M/LoadPrf/1/Chan/4/Quantity/Value = 2
/Q7M/LoadPrf/1/Chan/4/Phase/Value = 0
/Q7M/LoadPrf/1/Chan/4/Direction/Value = 1
/Q7M/LoadPrf/1/Chan/4/Records/Value = 1
/Q7M/LoadPrf/1/Chan/4/KmValue/Value = 1.8
/Q7M/LoadPrf/1/Chan/4/UnComp/Value = 0

# LP 1 channel 5: apparent energy, delivered
/Q7M/LoadPrf/1/Chan/5/Type/Value = 1
/Q7M/LoadPrf/1/Chan/5/Quantity/Value = 3
/Q7M/LoadPrf/1/Chan/5/Phase/Value = 0
/Q7M/LoadPrf/1/Chan/5/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/5/Records/Value = 1
/Q7M/LoadPrf/1/Chan/5/KmValue/Value = 1.8
/Q7M/LoadPrf/1/Chan/5/UnComp/Value = 0

# LP 1 channel 6: apparent energy, received
/Q7M/LoadPrf/1/Chan/6/Type/Value = 1
/Q7M/LoadPrf/1/Chan/6/Quantity/Value = 3
/Q7M/LoadPrf/1/Chan/6/Phase/Value = 0
/Q7M/LoadPrf/1/Chan/6/Direction/Value = 1
/Q7M/LoadPrf/1/Chan/6/Records/Value = 1
/Q7M/LoadPrf/1/Chan/6/KmValue/Value = 1.8
/Q7M/LoadPrf/1/Chan/6/UnComp/Value = 0

# LP 1 channel 7: energy, phase 1
/Q7M/LoadPrf/1/Chan/7/Type/Value = 1
/Q7M/LoadPrf/1/Chan/7/Quantity/Value = 1
/Q7M/LoadPrf/1/Chan/7/Phase/Value = 1
/Q7M/LoadPrf/1/Chan/7/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/7/Records/Value = 1
/Q7M/LoadPrf/1/Chan/7/KmValue/Value = 0.6
/Q7M/LoadPrf/1/Chan/7/UnComp/Value = 0

# LP 1 channel 8: energy, phase 2
/Q7M/LoadPrf/1/Chan/8/Type/Value = 1
/Q7M/LoadPrf/1/Chan/8/Quantity/Value = 1
/Q7M/LoadPrf/1/Chan/8/Phase/Value = 2
/Q7M/LoadPrf/1/Chan/8/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/8/Records/Value = 1
/Q7M/LoadPrf/1/Chan/8/KmValue/Value = 0.6
/Q7M/LoadPrf/1/Chan/8/UnComp/Value = 0

# LP 1 channel 9: energy, phase 3
/Q7M/LoadPrf/1/Chan/9/Type/Value = 1
/Q7M/LoadPrf/1/Chan/9/Quantity/Value = 1
/Q7M/LoadPrf/1/Chan/9/Phase/Value = 3
/Q7M/LoadPrf/1/Chan/9/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/9/Records/Value = 1
/Q7M/LoadPrf/1/Chan/9/KmValue/Value = 0.6
/Q7M/LoadPrf/1/Chan/9/UnComp/Value = 0

# LP 1 channel 10: voltage, phase 1
/Q7M/LoadPrf/1/Chan/10/Type/Value = 3
/Q7M/LoadPrf/1/Chan/10/Quantity/Value = 4
/Q7M/LoadPrf/1/Chan/10/Phase/Value = 1
/Q7M/LoadPrf/1/Chan/10/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/10/Records/Value = 1
/Q7M/LoadPrf/1/Chan/10/KmValue/Value = 14.4
/Q7M/LoadPrf/1/Chan/10/UnComp/Value = 1

# LP 1 channel 11: voltage, phase 2
/Q7M/LoadPrf/1/Chan/11/Type/Value = 3
/Q7M/LoadPrf/1/Chan/11/Quantity/Value = 4
/Q7M/LoadPrf/1/Chan/11/Phase/Value = 2
/Q7M/LoadPrf/1/Chan/11/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/11/Records/Value = 1
/Q7M/LoadPrf/1/Chan/11/KmValue/Value = 14.4
/Q7M/LoadPrf/1/Chan/11/UnComp/Value = 1

# LP 1 channel 12: voltage, phase 3
/Q7M/LoadPrf/1/Chan/12/Type/Value = 3
/Q7M/LoadPrf/1/Chan/12/Quantity/Value = 4
/Q7M/LoadPrf/1/Chan/12/Phase/Value = 3
/Q7M/LoadPrf/1/Chan/12/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/12/Records/Value = 1
/Q7M/LoadPrf/1/Chan/12/KmValue/Value = 14.4
/Q7M/LoadPrf/1/Chan/12/UnComp/Value = 1

# LP 1 channel 13: current, phase 1
/Q7M/LoadPrf/1/Chan/13/Type/Value = 3
/Q7M/LoadPrf/1/Chan/13/Quantity/Value = 5
/Q7M/LoadPrf/1/Chan/13/Phase/Value = 1
/Q7M/LoadPrf/1/Chan/13/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/13/Records/Value = 1
/Q7M/LoadPrf/1/Chan/13/KmValue/Value = 0.6
/Q7M/LoadPrf/1/Chan/13/UnComp/Value = 1

# LP 1 channel 14: current, phase 2
/Q7M/LoadPrf/1/Chan/14/Type/Value = 3
/Q7M/LoadPrf/1/Chan/14/Quantity/Value = 5
/Q7M/LoadPrf/1/Chan/14/Phase/Value = 2
/Q7M/LoadPrf/1/Chan/14/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/14/Records/Value = 1
/Q7M/LoadPrf/1/Chan/14/KmValue/Value = 0.6
/Q7M/LoadPrf/1/Chan/14/UnComp/Value = 1

# LP 1 channel 15: current, phase 3 (not recorded)
/Q7M/LoadPrf/1/Chan/15/Type/Value = 3
/Q7M/LoadPrf/1/Chan/15/Quantity/Value = 5
/Q7M/LoadPrf/1/Chan/15/Phase/Value = 3
/Q7M/LoadPrf/1/Chan/15/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/15/Records/Value = 0
/Q7M/LoadPrf/1/Chan/15/KmValue/Value = 0.6
/Q7M/LoadPrf/1/Chan/15/UnComp/Value = 1

# LP 1 channel 16: demand, delivered (not recorded)
/Q7M/LoadPrf/1/Chan/16/Type/Value = 2
/Q7M/LoadPrf/1/Chan/16/Quantity/Value = 1
/Q7M/LoadPrf/1/Chan/16/Phase/Value = 0
/Q7M/LoadPrf/1/Chan/16/Direction/Value = 0
/Q7M/LoadPrf/1/Chan/16/Records/Value = 0
/Q7M/LoadPrf/1/Chan/16/KmValue/Value = 7.2
/Q7M/LoadPrf/1/Chan/16/UnComp/Value = 0

# LP 2
/Q7M/LoadPrf/2/NumChannels/Value = 3
/Q7M/LoadPrf/2/IntLength/Value = 5  # minutes
/Q7M/LoadPrf/2/ExtIntSync/Value = 1
/Q7M/LoadPrf/2/FrzMark/Value = 1
/Q7M/LoadPrf/2/DataSetting1/Value = 1
/Q7M/LoadPrf/2/DataSetting2/Value = 0

# LP 2 channel 1: energy, delivered
/Q7M/LoadPrf/2/Chan/1/Type/Value = 1
/Q7M/LoadPrf/2/Chan/1/Quantity/Value = 1
/Q7M/LoadPrf/2/Chan/1/Phase/Value = 0
/Q7M/LoadPrf/2/Chan/1/Direction/Value = 0
/Q7M/LoadPrf/2/Chan/1/Records/Value = 1
/Q7M/LoadPrf/2/Chan/1/KmValue/Value = 1.8
/Q7M/LoadPrf/2/Chan/1/UnComp/Value = 0

# LP 2 channel 2: energy, received
/Q7M/LoadPrf/2/Chan/2/Type/Value = 1
/Q7M/LoadPrf/2/Chan/2/Quantity/Value = 1
/Q7M/LoadPrf/2/Chan/2/Phase/Value = 0
/Q7M/LoadPrf/2/Chan/2/Direction/Value = 1
/Q7M/LoadPrf/2/Chan/2/Records/Value = 1
/Q7M/LoadPrf/2/Chan/2/KmValue/Value = 1.8
/Q7M/LoadPrf/2/Chan/2/UnComp/Value = 0

# LP 2 channel 3: voltage, polyphase average
/Q7M/LoadPrf/2/Chan/3/Type/Value = 3
/Q7M/LoadPrf/2/Chan/3/Quantity/Value = 4
/Q7M/LoadPrf/2/Chan/3/Phase/Value = 0
/Q7M/LoadPrf/2/Chan/3/Direction/Value = 0
/Q7M/LoadPrf/2/Chan/3/Records/Value = 1
/Q7M/LoadPrf/2/Chan/3/KmValue/Value = 14.4
/Q7M/LoadPrf/2/Chan/3/UnComp/Value = 1

# File bookkeeping: no day file written yet.
/LP/1/currentDay/Value = 0
/LP/1/fileRecCnt/Value = 0
/LP/1/totalRecCnt/Value = 0
/LP/1/dayCnt/Value = 0
/LP/1/daysDeleted/Value = 0
/LP/2/currentDay/Value = 0
/LP/2/fileRecCnt/Value = 0
/LP/2/totalRecCnt/Value = 0
/LP/2/dayCnt/Value = 0
/LP/2/daysDeleted/Value = 0

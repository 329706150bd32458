// The CDS leaves of a load profile: its configuration under /Q7M/LoadPrf/<n> and its file
// information under /LP/<n>. Shared by the readers and writers of the program and by cdsctl,
// which tells an engineer which leaves a profile needs, so both always name the same leaves.
#pragma once

#include <string>

// Configuration leaves after the profile prefix, in the order of the reader's batch (a leaf's
// position is its item number there).
inline constexpr const char* kLpSettingLeaves[] = {"/IntLength/Value", "/ExtIntSync/Value",
                                                   "/FrzMark/Value", "/DataSetting1/Value",
                                                   "/DataSetting2/Value"};
// Leaves of channel k after the profile prefix and "/Chan/<k>".
inline constexpr const char* kLpChannelLeaves[] = {
    "/Type/Value",    "/Quantity/Value", "/Phase/Value", "/Direction/Value",
    "/Records/Value", "/KmValue/Value",  "/UnComp/Value"};
// File information leaves after the profile prefix, in the order of LP_FILE_INFO.
inline constexpr const char* kLpFileInfoLeaves[] = {"/currentDay/Value", "/fileRecCnt/Value",
                                                    "/totalRecCnt/Value", "/dayCnt/Value",
                                                    "/daysDeleted/Value"};
inline constexpr const char kLpChannelCountLeaf[] = "/NumChannels/Value";

// "/Q7M/LoadPrf/<n>" and "/LP/<n>" for LP number n (1 or 2).
inline std::string LpConfigPrefix(int n) {
    return "/Q7M/LoadPrf/" + std::to_string(n);
}
inline std::string LpFileInfoPrefix(int n) {
    return "/LP/" + std::to_string(n);
}

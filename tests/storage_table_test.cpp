#include "lpfile/storage_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(StorageTableTest, HeadingsRowsAndNote) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(PrintDaysCalculationTable(), 0);
    const std::string output = testing::internal::GetCapturedStdout();
    const std::string headings =
        "     \t     \tMaximum\t\tMax    \tRecords\t\tBytes per\tBytes per\tTotal\tKilo \t4K Blks "
        "\tActual\n"
        "Chans\tIntvl\tDays   \t\tRecords\tPer Day\t\tRecord   \tFile     \tBytes\tBytes\tper "
        "file\tDisk usage\n"
        "-----\t-----\t-------\t\t-------\t-------\t\t---------\t---------\t-----\t-----\t------"
        "--\t----------\n";
    EXPECT_EQ(output.substr(0, headings.size()), headings);
    std::istringstream text(output);
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 3u + 240u + 2u);
    EXPECT_EQ(lines[3], "16\t1\t25\t36100\t1444\t112\t161760\t4044000\t3949.22\t40\t4000");
    EXPECT_EQ(lines[242], "1\t43800\t1095\t1095\t1\t22\t54\t59130\t57.74\t1\t4380");
    EXPECT_EQ(lines[243] + "|" + lines[244],
              "|NOTE: When maxDays is > 1095; MaxDays is set to 1095");

    const char* const kTellingRows[] = {
        "16\t15\t365\t36500\t100\t112\t11232\t4099680\t4003.59\t3\t4380",
        "16\t30\t700\t36400\t52\t112\t5856\t4099200\t4003.12\t2\t5600",
        "16\t60\t1095\t30660\t28\t112\t3168\t3468960\t3387.66\t1\t4380",
        "16\t1440\t1095\t1095\t1\t112\t144\t157680\t153.98\t1\t4380",
        "16\t10080\t1095\t1095\t1\t112\t144\t157680\t153.98\t1\t4380",
        "1\t1\t128\t184832\t1444\t22\t31800\t4070400\t3975.00\t8\t4096",
        "1\t6\t759\t185196\t244\t22\t5400\t4098600\t4002.54\t2\t6072",
    };
    for (const char* row : kTellingRows) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), row), lines.end()) << row;
    }
    const auto capped =
        std::count_if(lines.begin() + 3, lines.end() - 2, [](const std::string& row) {
            int channels = 0, interval = 0, days = 0;
            return sscanf(row.c_str(), "%d\t%d\t%d", &channels, &interval, &days) == 3 &&
                   days == 1095;
        });
    EXPECT_EQ(capped, 84);
}

}  // namespace

#include "lpfile/storage_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> TableLines() {
    testing::internal::CaptureStdout();
    EXPECT_EQ(PrintDaysCalculationTable(), 0);
    std::istringstream text(testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> Columns(const std::string& row) {
    std::vector<std::string> columns;
    std::istringstream text(row);
    for (std::string column; std::getline(text, column, '\t');) {
        columns.push_back(column);
    }
    return columns;
}

TEST(StorageTableTest, HeadingsRowsAndNote) {
    std::vector<std::string> lines = TableLines();
    ASSERT_EQ(lines.size(), 3u + 240u + 2u);
    EXPECT_EQ(lines[0],
              "     \t     \tMaximum\t\tMax    \tRecords\t\tBytes per\tBytes per\tTotal\tKilo "
              "\t4K Blks \tActual");
    EXPECT_EQ(
        lines[1],
        "Chans\tIntvl\tDays   \t\tRecords\tPer Day\t\tRecord   \tFile     \tBytes\tBytes\tper "
        "file\tDisk usage");
    EXPECT_EQ(
        lines[2],
        "-----\t-----\t-------\t\t-------\t-------\t\t---------\t---------\t-----\t-----\t----"
        "----\t----------");
    EXPECT_EQ(lines[243], "");
    EXPECT_EQ(lines[244], "NOTE: When maxDays is > 1095; MaxDays is set to 1095");
}

TEST(StorageTableTest, TellingRows) {
    const char* const kRows[] = {
        "16\t1\t25\t36100\t1444\t112\t161760\t4044000\t3949.22\t40\t4000",
        "16\t15\t365\t36500\t100\t112\t11232\t4099680\t4003.59\t3\t4380",
        "16\t30\t700\t36400\t52\t112\t5856\t4099200\t4003.12\t2\t5600",
        "16\t60\t1095\t30660\t28\t112\t3168\t3468960\t3387.66\t1\t4380",
        "16\t1440\t1095\t1095\t1\t112\t144\t157680\t153.98\t1\t4380",
        "1\t1\t128\t184832\t1444\t22\t31800\t4070400\t3975.00\t8\t4096",
        "1\t6\t759\t185196\t244\t22\t5400\t4098600\t4002.54\t2\t6072",
        "1\t43800\t1095\t1095\t1\t22\t54\t59130\t57.74\t1\t4380",
    };
    std::vector<std::string> lines = TableLines();
    ASSERT_GE(lines.size(), 243u);
    EXPECT_EQ(lines[3], kRows[0]) << "the first data row";
    EXPECT_EQ(lines[242], kRows[7]) << "the last data row";
    for (const char* row : kRows) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), row), lines.end()) << row;
    }
}

TEST(StorageTableTest, RowOrderCapsAndLongIntervals) {
    const char* const kIntervals[] = {"1",  "2",  "3",  "4",  "5",    "6",     "10",   "12",
                                      "15", "20", "30", "60", "1440", "10080", "43800"};
    std::vector<std::string> lines = TableLines();
    ASSERT_EQ(lines.size(), 245u);
    int capped = 0;
    for (int row = 0; row < 240; ++row) {
        std::vector<std::string> columns = Columns(lines[3 + static_cast<std::size_t>(row)]);
        ASSERT_EQ(columns.size(), 11u) << lines[3 + static_cast<std::size_t>(row)];
        EXPECT_EQ(columns[0], std::to_string(16 - row / 15));
        EXPECT_EQ(columns[1], kIntervals[row % 15]);
        capped += columns[2] == "1095";
        // Kilobytes always show two decimals.
        EXPECT_EQ(columns[8][columns[8].size() - 3], '.');
        if (row % 15 >= 12) {
            // The three long intervals give the same row but for the interval itself.
            std::vector<std::string> daily =
                Columns(lines[3 + static_cast<std::size_t>(row - row % 15 + 12)]);
            columns[1] = daily[1];
            EXPECT_EQ(columns, daily);
        }
    }
    EXPECT_EQ(capped, 84);
}

}  // namespace

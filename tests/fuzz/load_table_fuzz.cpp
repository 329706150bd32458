// Tables of arbitrary bytes for lpload (the first byte gives the channel count, the profile and
// --renumber, the next four the profile's totalRecCnt): a table read whole holds only records that
// continue the profile as a run could write them, in whole records of its channel count.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fuzz_check.h"
#include "load_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 6) {
        return 0;
    }
    LoadTarget target;
    target.channels = 1 + data[0] % kMaxChannels;
    target.lp = (data[0] & 0x40) != 0 ? 1 : 0;
    target.renumber = (data[0] & 0x80) != 0;
    target.totalRecCnt = static_cast<int32_t>(GetBe32(data + 1) & 0x7fffffff);
    FILE* in = fmemopen(const_cast<uint8_t*>(data + 5), size - 5, "r");
    FuzzCheck(in != nullptr, "the table opened");
    LoadTable table;
    if (ReadLoadTable(in, "fuzz", target, &table)) {
        FuzzCheck(table.count >= 1, "a table read whole holds a record");
        FuzzCheck(table.bytes.size() == std::size_t(table.count) * LpRecordSize(target.channels),
                  "a table holds whole records of its channel count");
        uint32_t next = static_cast<uint32_t>(target.totalRecCnt) + 1u;
        for (long i = 0; i < table.count; ++i, ++next) {
            const DayFileRecord record = table.Record(i);
            FuzzCheck(RecordFault(record, next).empty(), "each record continues the profile");
            const uint32_t seconds = LpRecordSeconds(record);
            FuzzCheck(
                record.kind == 1 || seconds == 86400 || seconds == 604800 || seconds == 2628000,
                "kind 2 only for a day, a week or a month");
        }
    }
    fclose(in);
    return 0;
}

// Time table files "TT_<source>_<name>.tvw" are typed by operators and written by the
// editor. The first two input bytes give the time of day of the load, the rest is the
// file. A load gives at most 96 times of day, each within the day, and a position on the
// first time still ahead; the editor's list saved and loaded again gives the same table.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/statistics/time_table.h"
#include "platform/locale.h"
#include "platform/memory_file_system.h"
#include "platform/scripted_operator.h"
#include "platform/text_file.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace tarvedde;

constexpr char kDir[] = "/plant/";

void CheckPosition(const TimeTable& table, double timeOfDay) {
    FUZZ_CHECK(table.entryCount >= 0 && table.entryCount <= kTimeTableSize);
    FUZZ_CHECK(table.position >= 1 && table.position <= std::max(table.entryCount, 1));
    for (int k = 1; k <= table.entryCount; ++k) {
        const double time = table.times[static_cast<std::size_t>(k)];
        FUZZ_CHECK(time >= 0.0 && time < 1.0);
        // Times before the position are done; the one at it is still ahead.
        FUZZ_CHECK(table.finished || k >= table.position || time <= timeOfDay);
        FUZZ_CHECK(!table.finished || time <= timeOfDay);
    }
    FUZZ_CHECK(table.finished || table.times[static_cast<std::size_t>(table.position)] > timeOfDay);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    MemoryFileSystem files;
    ScriptedOperator op;
    const TimeTableFiles where{files, op, GermanLocale(), kDir};
    ItemConfig config;
    config.itemName = "Zulauf";
    config.serverItem = "SPS/DB1";
    const std::string path = kDir + TimeTableFileName(config);
    const double timeOfDay = (data[0] * 256 + data[1]) / 65536.0;
    (void)files.WriteAll(path, std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2),
                         false);

    TimeTable table;
    std::vector<std::string> editorList;
    FUZZ_CHECK(LoadTimeTable(table, config, timeOfDay, where, &editorList) == config.itemName);
    CheckPosition(table, timeOfDay);
    FUZZ_CHECK(editorList.size() == static_cast<std::size_t>(table.entryCount));

    FUZZ_CHECK(WriteLines(files, path, editorList, false).ok());
    TimeTable again;
    std::vector<std::string> againList;
    LoadTimeTable(again, config, timeOfDay, where, &againList);
    FUZZ_CHECK(againList == editorList);
    FUZZ_CHECK(again.entryCount == table.entryCount && again.position == table.position &&
               again.finished == table.finished && again.times == table.times);
    return 0;
}

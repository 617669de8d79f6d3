// A plant over 22:00 and midnight: a time frame item's day sums survive a kill, the day
// change writes the ended day's protocol without the framed item and both items start
// the new day from nothing.
#include <gmock/gmock.h>

#include <memory>
#include <string>

#include "app/scenario_runner.h"
#include "platform/memory_file_system.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kIni[] =
    "[DDE]\r\nItemcount=2\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\n"
    "[Items]\r\nItem1=Q\r\nItem2=P\r\n[Itemnames]\r\nItem1=Zulauf\r\nItem2=Druck\r\n"
    "[Zeitrahmen]\r\nItem1=1|06:00:00|22:00:00\r\n";

TEST(DayStatisticsScenario, FrameSumsSurviveARestartAndTheDayChangeReportsAndResets) {
    MemoryFileSystem files;
    ASSERT_TRUE(files.WriteAll("/plant/TARVEDDE.INI", kIni, false).ok());
    auto runner = std::make_unique<ScenarioRunner>(ScenarioOptions{"/plant/", &files});
    testing::Steps(*runner,
                   "clock 2024-03-05 21:59:35\nstart\nset Q \"12,5\"\nset P \"4\"\n"
                   "advance 40s");
    const NightSumRecord night = runner->Engine()->Store().NightSums()[1];
    // 22:00 set the evening's figures aside for the night.
    EXPECT_TRUE(night.NTadd);
    EXPECT_GT(night.ntCount, 0.0);
    EXPECT_EQ(night.ntSum, 12.5 * (night.ntCount - 1));  // a start's first cycle reads 0

    testing::Steps(*runner, "kill\nanswer no\nstart\nset Q \"12,5\"\nset P \"4\"\nadvance 15s");
    ASSERT_NE(runner->Engine(), nullptr);
    const NightSumRecord restored = runner->Engine()->Store().NightSums()[1];
    EXPECT_TRUE(restored.NTadd);
    EXPECT_EQ(restored.ntSum, night.ntSum);
    EXPECT_EQ(restored.ntCount, night.ntCount);
    const double countBefore = runner->Engine()->Processor().Values().statistics[2].count;

    testing::Steps(*runner, "advance 2h");  // 00:00:xx on the 6th
    const TarveddeMain& main = *runner->Engine();
    EXPECT_GT(countBefore, 0.0);
    for (int item : {1, 2}) {
        const ItemStatistics& day = main.Processor().Values().statistics[item];
        EXPECT_LT(day.count, 10.0) << "item " << item << " carried the ended day over";
        EXPECT_EQ(day.sum, (item == 1 ? 12.5 : 4.0) * day.count);
    }
    // The framed item reported at 22:00; the ended day's protocol has only the other.
    const auto read = files.ReadAll("/plant/20240305.RTF");
    ASSERT_TRUE(read.ok());
    const std::string& protocol = read.value();
    EXPECT_THAT(protocol, HasSubstr("Statistik f"));
    EXPECT_THAT(protocol, HasSubstr("Druck"));
    EXPECT_THAT(protocol, Not(HasSubstr("Zulauf")));
    EXPECT_THAT(runner->Engine()->Log().StatisticsSnapshot().Lines(), Contains(HasSubstr("Druck")));
}

}  // namespace
}  // namespace tarvedde

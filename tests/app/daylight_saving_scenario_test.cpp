// Days of 23 and 25 hours in Europe/Berlin: a constant flow, a pump that runs all day and
// a meter that counts with real time. The ended day's statistics show what the real
// elapsed time gives (the spring day 23 h, the autumn day 25 h), nothing negative, and
// each day's files carry its own date.
#include <gmock/gmock.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/scenario_runner.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

// 10 l/s integrated to m³, a digital pump's operating hours, a meter's consumption.
constexpr char kDaylightIni[] =
    "[DDE]\r\nItemcount=3\r\nIntervall=60\r\nEinheit=0\r\nAutoStart=1\r\nTarveget=0\r\n"
    "AktuTag={DAY}\r\n[Items]\r\nItem1=Q\r\nItem2=P\r\nItem3=C\r\n"
    "[Itemnames]\r\nItem1=Zulauf\r\nItem2=Pumpe\r\nItem3=Zaehler\r\n"
    "[Integral]\r\nItem1=1\r\n[IntegralBezug]\r\nItem1=1000\r\n"
    "[SummenEinheiten]\r\nItem1=m3\r\nItem3=m3\r\n[Grafiktyp]\r\nItem2=2\r\n"
    "[Differenz]\r\nItem3=1\r\n";

struct DayCase {
    const char* day;       // the day before, as AktuTag
    const char* start;     // local start, five seconds before its midnight
    const char* snapshot;  // the statistics snapshot of the day change after the long/short day
    const char* dayFile;   // the day file of the long/short day
    int seconds;           // the real length of that day
};

class DaylightSavingScenario : public ::testing::TestWithParam<DayCase> {};

// One cycle a minute for the whole day and the next midnight. The meter, read first
// before the day begins, counts a hundredth of the seconds elapsed, so its day's
// consumption is the day's real length.
std::string Script(const DayCase& c) {
    std::ostringstream script;
    // Berlin as a POSIX rule: Windows has no zone files.
    script << "timezone CET-1CEST,M3.5.0,M10.5.0/3\nclock " << c.start
           << "\nstart\nset Q \"10\"\nset P \"1\"\n";
    const int cycles = (c.seconds + 90) / 60;
    for (int n = 0; n <= cycles; ++n) {
        script << "set C \"" << 1000 + 6 * n / 10 << "," << 6 * n % 10 << "\"\nadvance 60s\n";
    }
    return script.str();
}

TEST_P(DaylightSavingScenario, TheDaysFiguresFollowTheRealElapsedTime) {
    const DayCase& c = GetParam();
    std::string ini = kDaylightIni;
    testing::MemoryPlant plant(ini.replace(ini.find("{DAY}"), 5, c.day));
    ScenarioRunner runner(plant.Options());
    testing::Steps(runner, Script(c));

    const std::vector<std::string> lines = plant.Lines(c.snapshot);
    const std::string volume = std::to_string(c.seconds / 100) + ",00";
    EXPECT_THAT(lines, Contains("Summe=" + volume + " m3")) << c.snapshot;
    EXPECT_THAT(lines, Contains("Betriebszeit=" + std::to_string(c.seconds / 3600) + ",00 h"));
    EXPECT_THAT(lines, Contains("Zählerdifferenz/Verbrauch=" + volume + " m3"));
    EXPECT_THAT(plant.Text(c.snapshot), ::testing::Not(HasSubstr("=-")));
    EXPECT_EQ(plant.Lines(c.dayFile).size(), static_cast<std::size_t>(c.seconds / 60)) << c.dayFile;
}

INSTANTIATE_TEST_SUITE_P(
    EuropeBerlin, DaylightSavingScenario,
    ::testing::Values(DayCase{"30.03.2024", "2024-03-30 23:58:45", "$$log_20240401_000045_000.log",
                              "20240331.DAT", 23 * 3600},
                      DayCase{"04.03.2024", "2024-03-04 23:58:45", "$$log_20240306_000045_000.log",
                              "20240305.DAT", 24 * 3600},
                      DayCase{"26.10.2024", "2024-10-26 23:58:45", "$$log_20241028_000045_000.log",
                              "20241027.DAT", 25 * 3600}));

}  // namespace
}  // namespace tarvedde

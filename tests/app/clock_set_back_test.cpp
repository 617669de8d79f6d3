// A wall clock set back across midnight: the day only moves forward. The step back is
// logged once, the day change runs once, and the cycles before midnight on the set-back
// clock write their rows into the running day's files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/scenario_runner.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::TempDir;

TEST(ClockSetBack, TheDayChangesOnceAndRowsStayInTheRunningDay) {
    TempDir dir;
    dir.WriteText("TARVEDDE.INI",
                  "[DDE]\nItemcount=1\nIntervall=10\nEinheit=0\nAutoStart=1\n"
                  "[Items]\nItem1=Q\n[Itemnames]\nItem1=Zulauf\n");
    auto script = ParseScenarioScript(
        "clock 2024-03-05 23:59:35\nstart\nset Q \"12,5\"\nadvance 50s\n"
        "clock-step -1m\nadvance 90s\n");
    ASSERT_TRUE(script.ok());
    std::ostringstream errors;
    ScenarioRunner runner(ScenarioOptions{dir.Path()});
    ASSERT_EQ(runner.Run(script.value(), errors), 0) << errors.str();

    const auto log = dir.Lines("_DDE_OPC_LOGALL.TXT");
    const auto mentions = [&log](const char* text) {
        return std::count_if(log.begin(), log.end(), [text](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    };
    EXPECT_EQ(mentions("Tageswechsel erkannt"), 1);
    EXPECT_EQ(mentions("Uhr zurückgestellt"), 1);
    EXPECT_THAT(log, Contains("05.Mrz.24, 23:59:35 > Uhr zurückgestellt: 05.03.2024 23:59:35 "
                              "liegt vor dem Tag 06.03.2024."));
    EXPECT_THAT(dir.Bytes("TARVEDDE.INI"), HasSubstr("AktuTag=06.03.2024\r\n"));

    EXPECT_THAT(dir.Lines("20240305.DAT"),
                ElementsAre("2024.3.5;23:59:35;0,000", "2024.3.5;23:59:45;12,500",
                            "2024.3.5;23:59:55;12,500"));
    // The set-back cycles keep the clock's time; 00:00:05 to 00:00:25 come twice, once
    // before and once after the step back.
    EXPECT_THAT(dir.Lines("20240306.DAT"),
                ElementsAre("2024.3.6;00:00:05;12,500", "2024.3.6;00:00:15;12,500",
                            "2024.3.6;00:00:25;12,500", "2024.3.5;23:59:35;12,500",
                            "2024.3.5;23:59:45;12,500", "2024.3.5;23:59:55;12,500",
                            "2024.3.6;00:00:05;12,500", "2024.3.6;00:00:15;12,500",
                            "2024.3.6;00:00:25;12,500", "2024.3.6;00:00:35;12,500",
                            "2024.3.6;00:00:45;12,500", "2024.3.6;00:00:55;12,500"));
}

}  // namespace
}  // namespace tarvedde

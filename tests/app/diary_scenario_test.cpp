// A plant that hands values to the diary program: every cycle's .TVI holds the active
// positions' values as the grid and the integrator show them, a position bound with date
// change carries its sum over the time frame's end, and a position outside its time
// window drops out of the file but keeps its value.
#include <gmock/gmock.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/scenario_runner.h"
#include "outputs/diary_files.h"
#include "platform/number_format.h"
#include "tests/app/scenario_test_files.h"
#include "tests/outputs/diary_binding_builder.h"

namespace tarvedde {
namespace {

using testing::BoundPosition;

constexpr char kDiaryIni[] =
    "[DDE]\r\nItemcount=2\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\nAktuTag=05.03.2024\r\n"
    "[Items]\r\nItem1=Q\r\nItem2=P\r\n[Itemnames]\r\nItem1=Zulauf\r\nItem2=Druck\r\n"
    "[Integral]\r\nItem1=1\r\n[Zeitrahmen]\r\nItem1=1|06:00:00|22:00:00\r\n"
    "[Item_2]\r\nM15_berechnen=0\r\n";  // its grid shows the day's maximum

TEST(DiaryScenario, TheDayFileFollowsTheGridAndTheFramesEnd) {
    testing::MemoryPlant plant(kDiaryIni);
    plant.Write("ONLINE.TVW",
                "4\r\n7\r\nZulaufsumme\r\n8\r\nFrei\r\n9\r\nZulauf Tag\r\n3\r\nDruck max\r\n");
    DiaryBinding sum = BoundPosition("Zulaufsumme", 7, 1, 3);
    sum.timeFrameMode = 1;  // with date change: the frame's end takes the diary's sum
    DiaryBinding day = BoundPosition("Zulauf Tag", 9, 1, 0);
    day.timeRestricted = true;
    day.timeFrameMode = 0;
    plant.Write("BINDUNG.TVW", EncodeBindingFile({sum, BoundPosition("Frei", 8, 0, -1), day,
                                                  BoundPosition("Druck max", 3, 2, 2)}));
    auto runner = std::make_unique<ScenarioRunner>(plant.Options());
    // Two samples a minute apart give the integral its first minute.
    testing::Steps(*runner,
                   "clock 2024-03-05 21:58:00\nstart\nset Q \"12,5\"\nset P \"4\"\nadvance 60s\n"
                   "set Q \"12,5\"\nadvance-to 2024-03-05 21:59:55");
    const TarveddeMain& main = *runner->Engine();
    const LiveGrid& grid = runner->Engine()->Grid();
    // The sum up to the last cycle (21:59:50), not up to the last sample: a flow that
    // holds sends none.
    constexpr double kSumBefore = 12.5 * 110;
    EXPECT_EQ(plant.Lines("20240305.TVI"),
              (std::vector<std::string>{"7", FormatGeneral(kSumBefore), "9", grid.Cell(1, 1), "3",
                                        grid.Cell(2, 3)}));
    EXPECT_EQ(grid.Cell(2, 3), "4,000");

    // 22:00 ends the frame: the sum restarts from the diary's last value, not from 0 nor
    // from the sample that came after that value; the day position is outside its window
    // from now on and keeps its last value.
    const std::string meanBefore = grid.Cell(1, 1);
    testing::Steps(*runner, "set Q \"20\"\nadvance 30s");
    const double sumAfter = main.Integrator().States()[1].runningSum;
    EXPECT_EQ(sumAfter, kSumBefore);
    EXPECT_NE(grid.Cell(1, 1), meanBefore);
    EXPECT_EQ(runner->Engine()->Diary().Value(9), meanBefore);
    EXPECT_EQ(plant.Lines("20240305.TVI"),
              (std::vector<std::string>{"7", FormatGeneral(kSumBefore + 20.0 * 20), "3",
                                        grid.Cell(2, 3)}));  // 22:00:05 to 22:00:25 at 20
}

constexpr char kQuarterHourIni[] =
    "[DDE]\r\nItemcount=1\r\nIntervall=15\r\nEinheit=1\r\nAutoStart=1\r\n"
    "AktuTag=05.03.2024\r\n[Items]\r\nItem1=Q\r\n[Itemnames]\r\nItem1=Zulauf\r\n"
    "[Integral]\r\nItem1=1\r\n[IntegralBezug]\r\nItem1=1000\r\n";

// The ended day's file holds the day's sum up to its end, not to its last cycle: with
// 15-minute cycles the last one comes at 23:45, and a server away from 22:00 to 01:00 sends
// nothing after 22:00. Killed at 20:00 and started the next morning, the day keeps the sum
// its state holds; stopped at 20:31 and closed the next morning, the sum up to the day's
// end. The position is never active on Wednesdays: the transfer is the ended
// Tuesday's, whenever the day change runs. With the day change at 06:00 the day ends then,
// and its file, not the new day's, gets the sum up to then. A start's first cycle has no
// mean of the ended day in its grid: the file keeps the one it had.
TEST(DiaryScenario, TheEndedDaysFileHoldsTheWholeDay) {
    struct Life {
        bool postponed;
        const char* steps;
        bool startedNextMorning;
        double expected;
    };
    const Life lives[] = {
        {false, "advance-to 2024-03-06 00:20:00", false, 8640.0},
        {false,
         "advance-to 2024-03-05 22:00:00\nserver down\nadvance-to 2024-03-06 01:00:00\n"
         "server up\nset Q \"100\"\nadvance 20m",
         false, 8640.0},
        {false, "advance-to 2024-03-05 20:00:00", true, 7200.0},
        {false,
         "advance-to 2024-03-05 20:31:00\nanswer no\nclick btStoppen\n"
         "advance-to 2024-03-06 07:00:00\nmenu Beenden1\nanswer no\nadvance 20s",
         true, 8640.0},
        {true, "advance-to 2024-03-06 06:20:00", false, 10800.0}};
    for (const Life& life : lives) {
        DiaryBinding sum = BoundPosition("Zulaufsumme", 7, 1, 3);
        sum.timeRestricted = true;
        sum.neverMask = life.postponed ? 0 : 1 << 3;
        std::string ini = kQuarterHourIni;
        if (life.postponed) {
            ini.insert(ini.find("AktuTag"), "CustomIni=1\r\nCustomTime=06:00:00\r\n");
        }
        testing::MemoryPlant plant(ini);
        plant.Write("ONLINE.TVW", "2\r\n7\r\nZulaufsumme\r\n8\r\nZulaufmittel\r\n");
        plant.Write("BINDUNG.TVW",
                    EncodeBindingFile({sum, BoundPosition("Zulaufmittel", 8, 1, 0)}));
        {
            ScenarioRunner runner(plant.Options());
            testing::Steps(
                runner,
                std::string("clock 2024-03-05 00:00:00\nstart\nset Q \"100\"\n") + life.steps);
        }
        if (life.startedNextMorning) {
            ScenarioRunner runner(plant.Options());
            testing::Steps(runner, "clock 2024-03-06 08:00:00\nstart\nset Q \"100\"\nadvance 20m");
        }
        std::vector<std::string> lines = plant.Lines("20240305.TVI");
        ASSERT_EQ(lines.size(), 4u) << life.steps;
        EXPECT_EQ(lines[3], "100,000") << life.steps;  // the grid's mean, also after a start
        std::replace(lines[1].begin(), lines[1].end(), ',', '.');
        EXPECT_NEAR(std::stod(lines[1]), life.expected, 1e-6) << life.steps;
    }
}

}  // namespace
}  // namespace tarvedde

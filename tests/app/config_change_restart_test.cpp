// A start after a change of the calibration factor begins a new version of the day's
// files with a state created afresh: there is no restored minimum to keep, so the day's
// first value counts like any other.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/scenario_runner.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::TempDir;

constexpr char kIni[] =
    "[DDE]\nItemcount=1\nIntervall=10\nEinheit=0\nAutoStart=1\n"
    "[Items]\nItem1=Q\n[Itemnames]\nItem1=Zulauf\n";

TEST(ConfigChangeRestart, TheNewVersionKeepsTheDaysFirstValueAsMinimum) {
    TempDir dir;
    dir.WriteText("TARVEDDE.INI", kIni);
    dir.WriteText("EICH.INI", "[Zulauf]\nM=1\nT=0\nD=1\n");
    ScenarioRunner runner(ScenarioOptions{dir.Path()});
    const auto run = [&runner](const std::string& script) {
        auto commands = ParseScenarioScript(script);
        ASSERT_TRUE(commands.ok());
        for (const ScenarioCommand& command : commands.value()) {
            ASSERT_TRUE(runner.Execute(command).ok()) << command.line;
        }
    };
    // The server's value stands at 0 when the program is killed, so the next start's
    // first cycle reads 0 whether or not the server sends it as the link starts.
    run("start\nset Q \"7\"\nadvance 20s\nset Q \"0\"\nadvance 5s\nkill\n");
    dir.WriteText("EICH.INI", "[Zulauf]\nM=2\nT=0\nD=1\n");
    run("answer no\nstart\nadvance 5s\nset Q \"7\"\nadvance 10s\n");

    const auto log = dir.Lines("_DDE_OPC_LOGALL.TXT");
    ASSERT_THAT(log, Contains("05.Mrz.24, 07:00:25 > Neustart : Neue Headerdatei erzeugt."));
    EXPECT_THAT(log, Not(Contains(HasSubstr("Korrektur"))));
    const ItemStatistics& zulauf = runner.Engine()->State().statistics[1];
    EXPECT_EQ(zulauf.count, 2.0);
    EXPECT_EQ(zulauf.minimum, 0.0);
    EXPECT_EQ(zulauf.maximum, 14.0);
    const LiveGrid& grid = runner.Engine()->State().grid;
    EXPECT_EQ(grid.Cell(1, 2), "0,000");
}

}  // namespace
}  // namespace tarvedde

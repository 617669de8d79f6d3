// Kills and starts in the scenario runner.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/scenario_runner.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using testing::TempDir;

// A kill ends the program's DDE conversations as the system ends a dead process's: the
// server's outage and values while it is down reach nobody, and the next start links anew.
TEST(RestartScenario, NothingOfTheServerReachesAKilledProgram) {
    TempDir dir;
    TempDir locks;
    dir.WriteText("TARVEDDE.INI",
                  "[DDE]\nAutoStart=1\nIntervall=10\nEinheit=0\nItemcount=1\n[Items]\nItem1=Q\n"
                  "[Itemnames]\nItem1=Zulauf\n");
    ScenarioRunner runner(ScenarioOptions{dir.Path(), locks.Path()});
    const auto execute = [&](ScenarioAction action) {
        const Status status = runner.Execute(ScenarioCommand{0, "", std::move(action)});
        EXPECT_TRUE(status.ok()) << status.error().message;
    };
    execute(StartCommand{});
    execute(SetCommand{"Q", "1,5", false, std::nullopt});
    execute(AdvanceCommand{15'000});
    execute(KillCommand{});
    const std::string log = dir.Bytes("_DDE_OPC_LOGALL.TXT");
    execute(ServerCommand{false});
    execute(AdvanceCommand{5'000});
    execute(ServerCommand{true});
    EXPECT_EQ(dir.Bytes("_DDE_OPC_LOGALL.TXT"), log);
    execute(StartCommand{});
    execute(SetCommand{"Q", "2,5", false, std::nullopt});
    ASSERT_NE(runner.Engine(), nullptr);
    EXPECT_EQ(runner.Engine()->State().runtime[1].newestText, "2,5");
}

}  // namespace
}  // namespace tarvedde

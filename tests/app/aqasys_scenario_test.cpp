// An AQASYS installation in a scenario: the logger's day values come with `set`, another
// program's request file and the operator's date field ask for days, and the diary data
// files are what the transfer leaves.
#include <gmock/gmock.h>

#include <memory>
#include <string>

#include "app/scenario_runner.h"
#include "outputs/diary_files.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

TEST(AqasysScenario, RequestFileAndDateFieldFetchTheirDays) {
    testing::MemoryPlant plant(
        "[DDE]\r\nAutoStart=0\r\nFirstRun=1\r\nServer=Kestrom\r\nTopic=AQASYS\r\n");
    plant.Write("AQASYSITEMS.TXT", "A12;\r\n");
    plant.Write("AQASYSNAMES.TXT", "Regen\r\n");
    plant.Write("ONLINE.TVW", "1\r\n4\r\nRegen\r\n");
    std::vector<DiaryBinding> records(kDiaryValueCount);
    records[3].diaryIndex = 4;
    records[3].itemNumber = 1;
    plant.Write("AQABIND.TVW", EncodeBindingFile(records));
    auto runner = std::make_unique<ScenarioRunner>(plant.Options());
    testing::Steps(*runner,
                   "source aqasys\nclock 2024-03-05 08:00:00\nrequest-file \"04.03.2024\"\n"
                   "start\nset A12;03.24;04 \"4,5\"\nset A12;03.24;05 \"5.5\"\n"
                   "set A12;03.24;01 \"1\"\nadvance 3s");
    EXPECT_EQ(plant.Bytes("20240304.TVI"), "4\r\n4,5\r\n");
    EXPECT_EQ(plant.Bytes("20240305.TVI"), "4\r\n5,5\r\n");
    EXPECT_FALSE(plant.files.Exists("/plant/$AQASYS_HOLEN"));
    EXPECT_TRUE(runner->Engine()->Stopped());

    testing::Steps(*runner, "date-field 2024-03-01\nclick btStartDDE\nadvance 1s");
    EXPECT_EQ(plant.Bytes("20240301.TVI"), "4\r\n1\r\n");
    EXPECT_TRUE(plant.files.Exists("/plant/20240302.TVI"));
    EXPECT_FALSE(runner->Engine()->Stopped());
}

}  // namespace
}  // namespace tarvedde

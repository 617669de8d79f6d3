// The disk of a plant's workstation fails at any moment. One file operation at a time
// fails during the two cycles around midnight (a plain cycle and the day change with its
// statistics, new day files and protocol): the program goes on acquiring, and once the
// fault is gone the next cycle writes every file that a cycle writes.
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

std::string DemoPlantFile(const std::string& name) {
    std::ifstream in(std::string(TARVEDDE_TEST_DATA) + "/../../tools/demo-plant/" + name,
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The demo plant from 23:59:35 on the 5th, one cycle every 10 s.
struct DemoPlant {
    explicit DemoPlant(int failAt = 0) {
        env.clock.SetLocalTime(EncodeDateTime(2024, 3, 5, 23, 59, 35, 0));
        for (const char* name : {"TARVEDDE.INI", "EICH.INI", "ONLINE.TVW", "VENTURI_QH.TXT"}) {
            env.WriteText(name, DemoPlantFile(name));
        }
        StartOptions options;
        options.programDir = "/plant";
        main = std::make_unique<TarveddeMain>(env.host, options);
        EXPECT_TRUE(main->FormCreate());
        main->FormShow();
        env.loop.AdvanceBy(10000);  // 23:59:45
        start = env.files.OperationCount();
        if (failAt > 0) {
            env.files.FailNthOperation(failAt);
        }
        env.loop.AdvanceBy(20000);  // 23:59:55 and the day change at 00:00:05
    }
    // Every file of the plant with its stamp.
    std::map<std::string, FileStamp> Stamps() const {
        std::map<std::string, FileStamp> stamps;
        for (const std::string& name : env.files.List(env.dir)) {
            if (const auto stamp = env.files.Stamp(env.dir + name)) {
                stamps[name] = stamp.value();
            }
        }
        return stamps;
    }
    // The files the next cycle writes.
    std::vector<std::string> WrittenByNextCycle() {
        const auto before = Stamps();
        env.loop.AdvanceBy(10000);
        std::vector<std::string> written;
        for (const auto& [name, stamp] : Stamps()) {
            const auto old = before.find(name);
            if (old == before.end() || !(old->second == stamp)) {
                written.push_back(name);
            }
        }
        return written;
    }

    EngineTestHost env;
    std::unique_ptr<TarveddeMain> main;
    int start = 0;
};

TEST(FaultWalkTest, AnyFailedFileOperationAroundTheDayChangeIsSurvived) {
    DemoPlant clean;
    const int operations = clean.env.files.OperationCount() - clean.start;
    ASSERT_GT(operations, 50);
    const std::vector<std::string> everyCycle = clean.WrittenByNextCycle();
    ASSERT_THAT(everyCycle, ::testing::Contains("20240306.DAT"));
    for (int k = 1; k <= operations; ++k) {
        DemoPlant plant(k);
        plant.env.loop.AdvanceBy(10000);  // 00:00:15, the fault is gone
        EXPECT_FALSE(plant.main->Closed()) << k;
        EXPECT_TRUE(plant.main->AcquisitionStarted()) << k;
        const std::vector<std::string> written = plant.WrittenByNextCycle();  // 00:00:25
        for (const std::string& name : everyCycle) {
            EXPECT_THAT(written, ::testing::Contains(name)) << "operation " << k;
        }
        EXPECT_THAT(plant.env.ReadText("20240306.DAT"), ::testing::HasSubstr("2024.3.6;00:00:25;"))
            << k;
    }
}

}  // namespace
}  // namespace tarvedde::testing

// The state files through the program's start: a restart in the middle of the day takes
// the day's accumulators back, an unclean or outdated state starts the day from zero, and
// the menu that asks for a cold start after the day change.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/tarvedde_main.h"
#include "platform/ini_file.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string ReadBinary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class StateStartTest : public ::testing::Test {
protected:
    StateStartTest() {
        const std::string ini = std::string(TARVEDDE_TEST_DATA) + "/engine/start_three_items/";
        EXPECT_TRUE(
            env_.files.WriteAll("/plant/TARVEDDE.INI", ReadBinary(ini + "TARVEDDE.INI"), false));
        // No cycle may run: the values at start are the restored ones.
        EXPECT_TRUE(
            IniFile(env_.files, "/plant/TARVEDDE.INI").WriteBool("DDE", "AutoStart", false));
        env_.ServeConfiguredItems();
    }

    StartOptions Options() const {
        StartOptions options;
        options.programDir = "/plant";
        options.lockName =
            std::string("state-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return options;
    }

    // A first run that leaves a day's state behind, saved at close.
    void FirstRun() {
        TarveddeMain main(env_.host, Options());
        ASSERT_TRUE(main.FormCreate());
        main.FormShow();
        EngineState& state = main.State();
        state.itemsLinked = true;
        state.statistics[1].count = 42.0;
        state.statistics[1].average = 3.5;
        state.counterDifferences[3].lastReading = 12.5;
        state.items[2].mirror.mirrorSumOffset = 0.25;
        ASSERT_EQ(SaveIntermediateState(state, true), 0);
        main.FormClose();
    }

    std::string LogAll() const { return env_.ReadText("_DDE_OPC_LOGALL.TXT"); }
    std::size_t LogSize() const { return LogAll().size(); }

    testing::EngineTestHost env_;
};

TEST_F(StateStartTest, WarmRestartContinuesTheDay) {
    FirstRun();
    const std::size_t before = LogSize();
    TarveddeMain main(env_.host, Options());
    ASSERT_TRUE(main.FormCreate());
    main.FormShow();
    EXPECT_TRUE(main.StateClean());
    const EngineState& state = main.State();
    EXPECT_EQ(state.statistics[1].count, 42.0);
    EXPECT_EQ(state.statistics[1].average, 3.5);
    EXPECT_EQ(state.counterDifferences[3].lastReading, 12.5);
    EXPECT_EQ(state.items[2].mirror.mirrorSumOffset, 0.25);
    for (const char* reinitialised : {"neu initialisiert", "Differenzdatei initialisiert",
                                      "Daten werden initialisiert", "neu erzeugt"}) {
        EXPECT_THAT(LogAll().substr(before), Not(HasSubstr(reinitialised)));
    }
    main.FormClose();
}

TEST_F(StateStartTest, MissingCleanMarkerStartsTheDayFromZero) {
    FirstRun();
    ASSERT_TRUE(env_.files.Remove("/plant/$clean"));
    TarveddeMain main(env_.host, Options());
    ASSERT_TRUE(main.FormCreate());
    main.FormShow();
    EXPECT_FALSE(main.StateClean());
    const EngineState& state = main.State();
    EXPECT_EQ(state.statistics[1].count, 0.0);
    EXPECT_EQ(state.counterDifferences[3].lastReadingTime, -1.0);
    EXPECT_EQ(state.items[2].mirror.mirrorSumOffset, 0.0);
    EXPECT_THAT(LogAll(), HasSubstr("Differenzdatei initialisiert."));
    main.FormClose();
}

// State saved on another day is never restored.
TEST_F(StateStartTest, StateOfYesterdayIsNotRestored) {
    FirstRun();
    env_.clock.SetLocalTime(EncodeDateTime(2024, 3, 6, 7, 0, 0, 0));
    TarveddeMain main(env_.host, Options());
    ASSERT_TRUE(main.FormCreate());
    main.FormShow();
    EXPECT_THAT(LogAll(), HasSubstr("Kein Tageswechsel registriert. Daten werden initialisiert."));
    EXPECT_EQ(main.State().statistics[1].count, 0.0);
    main.FormClose();
}

TEST_F(StateStartTest, ColdStartRequestActsOnce) {
    FirstRun();
    ASSERT_TRUE(IniFile(env_.files, "/plant/TARVEDDE.INI").WriteBool("DDE", "Nullstart", true));
    {
        TarveddeMain main(env_.host, Options());
        ASSERT_TRUE(main.FormCreate());
        main.FormShow();
        EXPECT_EQ(main.State().statistics[1].count, 0.0);
        EXPECT_EQ(main.State().counterDifferences[3].lastReading, 12.5);
        main.FormClose();
    }
    // The recreated file holds the reset accumulators, and the request is gone.
    TarveddeMain main(env_.host, Options());
    ASSERT_TRUE(main.FormCreate());
    main.FormShow();
    EXPECT_EQ(main.State().statistics[1].minimum, 99999.0);
    main.FormClose();
}

TEST_F(StateStartTest, RestartMenuAsksAndWritesTheColdStartRequest) {
    TarveddeMain main(env_.host, Options());
    ASSERT_TRUE(main.FormCreate());
    main.FormShow();
    IniFile ini(env_.files, "/plant/TARVEDDE.INI");
    env_.person.QueueAnswer(Answer::No);
    ASSERT_TRUE(main.MenuClick("Neustart1"));
    EXPECT_FALSE(main.State().restartAfterDayChange);
    EXPECT_EQ(ini.ReadString("DDE", "Nullstart", "-"), "0");

    env_.person.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(main.MenuClick("Neustart1"));
    EXPECT_TRUE(main.State().restartAfterDayChange);
    EXPECT_EQ(IniFile(env_.files, "/plant/TARVEDDE.INI").ReadString("DDE", "Nullstart", "-"), "1");
    const auto& transcript = env_.person.Transcript();
    ASSERT_GE(transcript.size(), 2U);
    EXPECT_THAT(transcript[transcript.size() - 2], HasSubstr("Wirklich nach 00:00:00 beenden ?"));
    EXPECT_THAT(transcript.back(), HasSubstr("DDE-WACHE.EXE muss gestartet sein !"));

    ASSERT_TRUE(main.MenuClick("Neustart1"));
    EXPECT_FALSE(main.State().restartAfterDayChange);
    EXPECT_EQ(IniFile(env_.files, "/plant/TARVEDDE.INI").ReadString("DDE", "Nullstart", "-"), "0");
    main.FormClose();
}

}  // namespace
}  // namespace tarvedde

#include "outputs/log_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/outputs/log_fixture.h"

namespace tarvedde::testing {
namespace {

using Strings = std::vector<std::string>;

class LogSettingsTest : public LogFixture {
protected:
    LogSettings Load(const std::string& ddeKeys) {
        EXPECT_TRUE(fs_.WriteAll("/prog/TARVEDDE.INI", "[DDE]\r\n" + ddeKeys, false));
        log_.MessageList().Clear();
        LoadLogSettings(ini_, log_);
        return log_.Settings();
    }
    Strings Shown() const {
        Strings texts;
        for (const std::string& line : log_.MessageList().Lines()) {
            texts.push_back(line.substr(std::string(kStamp).size()));
        }
        return texts;
    }

    IniFile ini_{fs_, "/prog/TARVEDDE.INI"};
};

// Below level 3 the switches decide the level, DebugLog over DetailLog; levels 1 and 2
// switch their log on; from 3 up both switches are off.
TEST_F(LogSettingsTest, TheLevelAndTheSwitchesDecideEachOther) {
    struct Case {
        const char* keys;
        int level;
        bool detail, debug;
    };
    for (const Case& c :
         {Case{"", 0, false, false},
          Case{"LogLevel=0\r\nDetailLog=1\r\nDebugLog=1\r\n", 2, true, true},
          Case{"LogLevel=1\r\n", 1, true, false}, Case{"LogLevel=2\r\n", 2, false, true},
          Case{"LogLevel=3\r\nDetailLog=1\r\n", 3, false, false},
          Case{"LogLevel=4\r\nDetailLog=1\r\nDebugLog=1\r\n", 4, false, false}}) {
        const LogSettings s = Load(c.keys);
        EXPECT_EQ(s.logLevel, c.level) << c.keys;
        EXPECT_EQ(s.detailLog, c.detail) << c.keys;
        EXPECT_EQ(s.debugLog, c.debug) << c.keys;
    }
    EXPECT_TRUE(log_.WriteLogLevel(4, "gespiegelt"));
    EXPECT_EQ(log_.MessageList().Lines().back(), std::string(kStamp) + "gespiegelt");
}

TEST_F(LogSettingsTest, LoadingLogsEverySetting) {
    EXPECT_FALSE(Load("").tabelLog);
    EXPECT_EQ(Shown(),
              (Strings{"[DDE] DetailLog=0 (ausgeschaltet).", "[DDE] DebugLog=0 (ausgeschaltet).",
                       "[DDE] TabelLog=0 (ausgeschaltet).", "[DDE] LogLevel=0"}));
    EXPECT_EQ(File(kLogAllFile).substr(0, 22), kStamp);
    EXPECT_TRUE(Load("DebugLog=1\r\nTabelLog=1\r\n").tabelLog);
    EXPECT_EQ(Shown(),
              (Strings{"[DDE] DetailLog=0 (ausgeschaltet).", "[DDE] DebugLog=1 (eingeschaltet).",
                       "[DDE] TabelLog=1 (eingeschaltet).", "[DDE] LogLevel=2"}));
}

TEST_F(LogSettingsTest, SavingLevelZeroSwitchesBothOffInFileAndMemory) {
    Load("LogLevel=2\r\nDetailLog=1\r\nDebugLog=1\r\n");
    SaveLogSettings(ini_, log_, 0, true);
    EXPECT_EQ(File("TARVEDDE.INI"),
              "[DDE]\r\nLogLevel=0\r\nDetailLog=0\r\nDebugLog=0\r\nTabelLog=1\r\n");
    const LogSettings& s = log_.Settings();
    EXPECT_EQ(s.logLevel, 0);
    EXPECT_FALSE(s.detailLog || s.debugLog);
    EXPECT_TRUE(s.tabelLog);
}

// The level is clamped; a switch that is on keeps its level below 3, so going from 1 to
// 2 needs a 0 between.
TEST_F(LogSettingsTest, SavingClampsTheLevelAndTheReloadKeepsASwitchThatIsOn) {
    SaveLogSettings(ini_, log_, 11, false);
    EXPECT_EQ(log_.Settings().logLevel, 10);
    EXPECT_EQ(log_.MessageList().Lines().back(), std::string(kStamp) + "[DDE] LogLevel=10");

    Load("LogLevel=1\r\n");
    SaveLogSettings(ini_, log_, 2, false);
    EXPECT_EQ(log_.Settings().logLevel, 1);
    EXPECT_TRUE(log_.Settings().detailLog);
    EXPECT_FALSE(log_.Settings().debugLog);
}

TEST_F(LogSettingsTest, AnUnwritableSettingsFileLeavesTheStoredSettingsInForce) {
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Write; });
    SaveLogSettings(ini_, log_, 5, true);
    // The reload reads the old file, so the settings fall back to what it holds.
    EXPECT_EQ(log_.Settings().logLevel, 0);
    EXPECT_EQ(log_.MessageList().Count(), 4u);
}

}  // namespace
}  // namespace tarvedde::testing

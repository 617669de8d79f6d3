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
    // The settings in force after loading `ddeKeys`: level, then D (DetailLog), G (DebugLog)
    // and T (TabelLog) for each switch that is on.
    std::string Load(const std::string& ddeKeys) {
        EXPECT_TRUE(fs_.WriteAll("/prog/TARVEDDE.INI", "[DDE]\r\n" + ddeKeys, false));
        LoadLogSettings(ini_, log_);
        return InForce();
    }
    std::string InForce() const {
        const LogSettings& s = log_.Settings();
        return std::to_string(s.logLevel) + (s.detailLog ? "D" : "") + (s.debugLog ? "G" : "") +
               (s.tabelLog ? "T" : "");
    }
    // The texts shown since the last call, without their stamps.
    Strings Shown() {
        Strings texts;
        for (const std::string& line : log_.MessageList().Lines()) {
            texts.push_back(line.substr(std::string(kStamp).size()));
        }
        log_.MessageList().Clear();
        return texts;
    }

    IniFile ini_{fs_, "/prog/TARVEDDE.INI"};
};

// Below level 3 the switches decide the level, DebugLog over DetailLog; levels 1 and 2
// switch their log on; from 3 up both switches are off. Each load logs what came out.
TEST_F(LogSettingsTest, TheLevelAndTheSwitchesDecideEachOtherAndTheLoadLogsThem) {
    for (const auto& [keys, inForce] :
         {std::pair{"", "0"},
          {"LogLevel=0\r\nDetailLog=1\r\nDebugLog=1\r\n", "2DG"},
          {"LogLevel=1\r\n", "1D"},
          {"LogLevel=2\r\n", "2G"},
          {"LogLevel=3\r\nDetailLog=1\r\n", "3"},
          {"LogLevel=4\r\nDetailLog=1\r\nDebugLog=1\r\nTabelLog=1\r\n", "4T"}}) {
        EXPECT_EQ(Load(keys), inForce) << keys;
        EXPECT_EQ(Shown().back(), "[DDE] LogLevel=" + std::string(1, inForce[0])) << keys;
    }
    Load("DebugLog=1\r\nTabelLog=1\r\n");
    EXPECT_EQ(Shown(),
              (Strings{"[DDE] DetailLog=0 (ausgeschaltet).", "[DDE] DebugLog=1 (eingeschaltet).",
                       "[DDE] TabelLog=1 (eingeschaltet).", "[DDE] LogLevel=2"}));
    Load("");
    EXPECT_EQ(Shown()[2], "[DDE] TabelLog=0 (ausgeschaltet).");
}

// Level 0 switches both off in the file too; the level is clamped; a switch that is on
// keeps its level below 3, so going from 1 to 2 needs a 0 between. A file that cannot be
// written leaves what it holds in force.
TEST_F(LogSettingsTest, SavingWritesClampsAndReloads) {
    Load("LogLevel=2\r\nDetailLog=1\r\nDebugLog=1\r\n");
    SaveLogSettings(ini_, log_, 0, true);
    EXPECT_EQ(File("TARVEDDE.INI"),
              "[DDE]\r\nLogLevel=0\r\nDetailLog=0\r\nDebugLog=0\r\nTabelLog=1\r\n");
    EXPECT_EQ(InForce(), "0T");
    SaveLogSettings(ini_, log_, 11, false);
    EXPECT_EQ(InForce(), "10");
    EXPECT_EQ(Shown().back(), "[DDE] LogLevel=10");

    // From details straight to debugging and back: the switch of the level before goes.
    Load("LogLevel=1\r\n");
    SaveLogSettings(ini_, log_, 2, false);
    EXPECT_EQ(InForce(), "2G");
    SaveLogSettings(ini_, log_, 1, false);
    EXPECT_EQ(InForce(), "1D");
    fs_.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Write; });
    SaveLogSettings(ini_, log_, 5, true);
    EXPECT_EQ(InForce(), "1D");
}

}  // namespace
}  // namespace tarvedde::testing

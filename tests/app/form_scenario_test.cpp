// Operators in the dialogs of a running program, replayed from tests/data/app: a
// calibration and a lower limit the next cycles use; maintenance on and off, the cycles between
// holding the last value and reporting it; and the errors a wrong `form` line gives.
#include <gmock/gmock.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/scenario_runner.h"
#include "platform/ini_file.h"
#include "platform/memory_file_system.h"
#include "platform/text_encoding.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kFormIni[] =
    "[DDE]\r\nItemcount=2\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\nTarveget=0\r\n"
    "AktuTag=05.03.2024\r\n[Items]\r\nItem1=Q\r\nItem2=T\r\n"
    "[Itemnames]\r\nItem1=Zulauf\r\nItem2=Temperatur\r\n";

class FormScenarioTest : public ::testing::Test {
protected:
    // The script's exit status; its error text goes to errors_.
    int Run(const std::string& script) {
        const auto commands = ParseScenarioScript(script);
        if (!commands) {
            errors_ << commands.error().message << '\n';
            return 2;
        }
        ScenarioRunner runner(plant_.Options());
        return runner.Run(commands.value(), errors_);
    }
    int RunFile(const std::string& name) {
        const auto text =
            MakeRealFileSystem()->ReadAll(std::string(TARVEDDE_TEST_DATA) + "/app/" + name);
        EXPECT_TRUE(text.ok()) << name;
        return Run(text.ok() ? text.value() : "");
    }
    std::vector<std::string> Lines(const std::string& name) const { return plant_.Lines(name); }

    testing::MemoryPlant plant_{kFormIni};
    std::ostringstream errors_;
};

TEST_F(FormScenarioTest, ACalibrationAndALimitSavedInTheDialogsReachTheNextCycles) {
    ASSERT_EQ(RunFile("calibration_form.scn"), 0) << errors_.str();
    EXPECT_THAT(Lines("20240305.DAT"),
                ElementsAre("2024.3.5;10:00:00;0,000;0,000", "2024.3.5;10:00:10;100,000;12,500",
                            "2024.3.5;10:00:20;100,000;12,500", "2024.3.5;10:00:30;100,000;12,500",
                            "2024.3.5;10:00:40;-1,500;12,500", "2024.3.5;10:00:50;-1,500;12,500",
                            "2024.3.5;10:01:00;-1,500;12,500", "2024.3.5;10:01:10;-1,000;12,500",
                            "2024.3.5;10:01:20;-1,000;12,500", "2024.3.5;10:01:30;-1,000;12,500"));
    const IniFile ini(plant_.files, "/plant/TARVEDDE.INI");
    EXPECT_EQ(ini.ReadString("LoLimit", "Item1", ""), "-1,00");
    EXPECT_EQ(ini.ReadString("Item_1", "MinForUser", ""), "-2,5");
    EXPECT_EQ(ini.ReadString("Item_1", "MaxForSPS", ""), "1000");
}

TEST_F(FormScenarioTest, CyclesInMaintenanceHoldTheLastValueAndReportIt) {
    ASSERT_EQ(RunFile("maintenance_form.scn"), 0) << errors_.str();
    EXPECT_THAT(Lines("20240305.DAT"),
                ElementsAre("2024.3.5;10:00:00;0,000;0,000", "2024.3.5;10:00:10;100,000;12,500",
                            "2024.3.5;10:00:20;100,000;12,500", "2024.3.5;10:00:30;100,000;12,500",
                            "2024.3.5;10:00:40;100,000;12,500", "2024.3.5;10:00:50;100,000;12,500",
                            "2024.3.5;10:01:00;200,000;12,500", "2024.3.5;10:01:10;200,000;12,500",
                            "2024.3.5;10:01:20;200,000;12,500"));
    std::vector<std::string> maintenance;
    for (const std::string& line : Lines("_TARVEDDE_LOG.TXT")) {
        if (line.find("Wartung") != line.npos ||
            line.find("Grenzwertüberschreitung") != line.npos) {
            maintenance.push_back(line.substr(line.find(" > ") + 3));
        }
    }
    EXPECT_THAT(maintenance, ElementsAre("Zulauf : Wartung eingeschaltet.",
                                         "****** Grenzwertüberschreitung: Item 1 = 200,00",
                                         "****** Grenzwertüberschreitung: Item 1 = 200,00",
                                         "****** Grenzwertüberschreitung: Item 1 = 200,00",
                                         "Wartung für alle abgeschaltet."));
}

// A save that needs a restart holds acquisition, also when the server comes back while
// the retry timer is waiting for it.
TEST_F(FormScenarioTest, ASaveThatNeedsARestartHoldsAcquisitionThroughTheRetry) {
    ASSERT_EQ(Run("clock 2024-03-05 10:00:00\nserver down\nstart\nadvance 5s\n"
                  "form TFo_Einstell1 show\nform TFo_Einstell1 set spItems 3\n"
                  "form TFo_Einstell1 call btSpeichernClick\nadvance 5s\nserver up\n"
                  "set Q \"100\"\nadvance 60s\n"),
              0)
        << errors_.str();
    EXPECT_EQ(plant_.files.ReadAll("/plant/20240305.DAT").value_or(""), "");
}

// An item string saved while acquisition runs is read from its new server item at once; one
// saved while stopped, from the next start on. The old server item's values reach it no more,
// and no day file holds them under the new one's header.
TEST_F(FormScenarioTest, AChangedItemStringIsReadFromTheNewServerItem) {
    const std::string save =
        "form TFo_GrafEinstell call ControlChange\n"
        "form TFo_GrafEinstell call btSpeichernClick\n";
    for (const char* source : {"dde", "opc"}) {
        plant_.files = MemoryFileSystem();
        plant_.Write("TARVEDDE.INI", std::string(kFormIni) + "[OPC]\r\nServer=Plant.Sim.1\r\n");
        ASSERT_EQ(Run(std::string("clock 2024-03-05 10:00:00\nsource ") + source +
                      "\nstart\nset Q \"10\"\nset Q2 \"20\"\nadvance 10s\n"
                      "form TFo_GrafEinstell show\nform TFo_GrafEinstell set editItem \"Q2\"\n" +
                      save +
                      "set Q \"11\"\nset Q2 \"21\"\nadvance 10s\nanswer no\nclick btStoppen\n"
                      "set Q3 \"30\"\nform TFo_GrafEinstell set editItem \"Q3\"\n" +
                      save + "click btStartDDE\nset Q \"12\"\nset Q3 \"32\"\nadvance 10s\n"),
                  0)
            << errors_.str();
        // The start's first cycle: an OPC server sends a new group's values with its next
        // update, a DDE server its new link's value at once. Each item string has its own
        // version of the day file.
        const std::string started = source == std::string("dde") ? "30,000" : "0,000";
        EXPECT_THAT(Lines("20240305_1.DAT"),
                    ElementsAre("2024.3.5;10:00:00;0,000;0,000", "2024.3.5;10:00:10;10,000;0,000"))
            << source;
        EXPECT_THAT(Lines("20240305_2.DAT"), ElementsAre("2024.3.5;10:00:20;21,000;0,000"));
        EXPECT_THAT(Lines("20240305.DAT"), ElementsAre("2024.3.5;10:00:20;" + started + ";0,000",
                                                       "2024.3.5;10:00:30;32,000;0,000"));
        EXPECT_EQ(Lines("20240305_2.AQH").at(1), "Q2");
    }
}

// Saved while acquisition stood over midnight: the ended day's files stay as they were,
// and the new day's header names the new item string.
TEST_F(FormScenarioTest, AnItemStringSavedAfterMidnightLeavesTheEndedDayAlone) {
    ASSERT_EQ(Run("clock 2024-03-05 23:59:30\nstart\nset Q \"5\"\nset Q2 \"7\"\nadvance 20s\n"
                  "answer no\nclick btStoppen\nadvance-to 2024-03-06 00:10:00\n"
                  "form TFo_GrafEinstell show\nform TFo_GrafEinstell set editItem \"Q2\"\n"
                  "form TFo_GrafEinstell call ControlChange\n"
                  "form TFo_GrafEinstell call btSpeichernClick\nclick btStartDDE\nadvance 10s\n"),
              0)
        << errors_.str();
    EXPECT_EQ(Lines("20240305.AQH").at(1), "Q");
    EXPECT_EQ(Lines("20240305.DAT").size(), 3u);
    EXPECT_EQ(Lines("20240306.AQH").at(1), "Q2");
    EXPECT_FALSE(plant_.files.Exists("/plant/20240305_1.DAT"));
}

// The lines the script check refuses are the runner test's; these a running program refuses.
TEST_F(FormScenarioTest, ARunningProgramRefusesAWrongFormLineWithItsLine) {
    const std::pair<const char*, const char*> refused[] = {
        {"form TFo_Wartung set lbDDE \"Zulauf\"", "line 3: TFo_Wartung has not been shown"},
        {"form TFo_Wartung show\nform TFo_Wartung set lbDDE \"Ablauf\"",
         "line 4: the list has no entry 'Ablauf'"},
        {"form TFo_Wartung show\nform TFo_Wartung set cbWartung ja",
         "line 4: a check box is 'checked' or 'unchecked', not 'ja'"},
        {"form TFo_Einstell1 show\nform TFo_Einstell1 set spItems \"3a\"",
         "line 4: '3a' is not a whole number"}};
    for (const auto& [lines, error] : refused) {
        errors_.str("");
        EXPECT_EQ(Run(std::string("clock 2024-03-05 10:00:00\nstart\n") + lines), 2) << lines;
        EXPECT_EQ(errors_.str(), std::string(error) + "\n");
    }
}

}  // namespace
}  // namespace tarvedde

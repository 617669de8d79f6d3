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

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

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
    // The rows of the old calibration keep their header, a version of the day's file.
    EXPECT_THAT(
        Lines("20240305_1.DAT"),
        ElementsAre("2024.3.5;10:00:00;0,000;0,000", "2024.3.5;10:00:10;100,000;12,500",
                    "2024.3.5;10:00:20;100,000;12,500", "2024.3.5;10:00:30;100,000;12,500"));
    EXPECT_THAT(Lines("20240305.DAT"),
                ElementsAre("2024.3.5;10:00:40;-1,500;12,500", "2024.3.5;10:00:50;-1,500;12,500",
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

// Saves of a running plant's items keep the day's figures: a mirror moved to another
// source goes on from what it collected, a meter given the counter difference starts its
// day anew instead of summing raw readings into the consumption, a frame moved past the
// cycle's time gives back the night it set aside and one moved to end again keeps the day
// period it ended, a flow's time base the list does not offer (1000) survives a save of
// its warning limit, and a calibration, a cycle interval and a mirror's new item string are
// found again by a restart the same day.
TEST_F(FormScenarioTest, ItemSavesMidDayKeepTheDaysFigures) {
    plant_.files = MemoryFileSystem();
    plant_.Write("TARVEDDE.INI",
                 "[DDE]\r\nItemcount=6\r\nIntervall=10\r\nEinheit=0\r\nAutoStart=1\r\n"
                 "Tarveget=0\r\nAktuTag=05.03.2024\r\n[Items]\r\nItem1=Q\r\nItem2=Z\r\n"
                 "Item3=W\r\nItem4=Spiegel_Q\r\nItem5=Q2\r\nItem6=T\r\n[Itemnames]\r\n"
                 "Item1=Zulauf\r\nItem2=Zaehler\r\nItem3=Wasser\r\nItem4=Stunde\r\n"
                 "Item5=Ablauf\r\nItem6=Temperatur\r\n[Einheiten]\r\nItem6=C\r\n"
                 "[Integral]\r\nItem1=1\r\nItem5=1\r\n[IntegralBezug]\r\nItem1=1000\r\n"
                 "Item5=1000\r\n[Differenz]\r\nItem2=1\r\n[Spiegelung]\r\nItem4=1|1\r\n"
                 "[Zeitrahmen]\r\nItem2=1|06:00:00|22:00:00\r\nItem4=1|00:00:00|23:59:59\r\n"
                 "[Ganglinie]\r\nItem4=1\r\n");
    plant_.Write("TARVEDDE_VAR.INI", Utf8ToCp1252("[Item_2]\r\nZählerstand=5000\r\n"
                                                  "Fortlaufend_summieren=1\r\n"));
    plant_.Write("TT_Spiegel_Q_Stunde.tvw", "10:30:00\r\n11:00:00\r\n12:00:00\r\n");
    const std::string item = "form TFo_GrafEinstell show\nform TFo_GrafEinstell set lbDDE ";
    const std::string save =
        "form TFo_GrafEinstell call ControlChange\nform TFo_GrafEinstell call "
        "btSpeichernClick\nform TFo_GrafEinstell close\n";
    const std::string values = "set Q \"100\"\nset Q2 \"20\"\nset W \"1000\"\nset T \"125\"\n";
    ASSERT_EQ(
        Run("clock 2024-03-05 05:00:00\nstart\n" + values +
            "set Z \"1000\"\nadvance 30m\nset Z \"1050\"\nadvance-to 2024-03-05 06:30:00\n"
            "set Z \"1100\"\nadvance-to 2024-03-05 10:35:00\n" +
            item +
            "\"Stunde\"\nform TFo_GrafEinstell call lbDDEClick\n"
            "form TFo_GrafEinstell set coSpiegel \"Ablauf\"\n" +
            save + "advance 5m\n" + item +
            "\"Wasser\"\nform TFo_GrafEinstell call lbDDEClick\n"
            "form TFo_GrafEinstell set cbDifferenz checked\n" +
            save + "advance 5m\nset W \"1010\"\nadvance-to 2024-03-05 12:00:00\n" + item +
            "\"Zaehler\"\nform TFo_GrafEinstell call lbDDEClick\n"
            "form TFo_GrafEinstell set eT1 \"13:00:00\"\n"
            "form TFo_GrafEinstell set eT2 \"20:00:00\"\n" +
            save + item + "\"Zulauf\"\nform TFo_GrafEinstell call lbDDEClick\n" +
            "form TFo_GrafEinstell set edWarnOben \"235\"\n" + save +
            "advance 5m\nform TFo_Kalibrierung show\n"
            "form TFo_Kalibrierung set lbNames \"Temperatur [C] << T\"\n"
            "form TFo_Kalibrierung call lbNamesClick\n"
            "form TFo_Kalibrierung set eMaxforUser \"100\"\n"
            "form TFo_Kalibrierung set e_minforsps \"0\"\n"
            "form TFo_Kalibrierung set e_maxforsps \"1000\"\n"
            "form TFo_Kalibrierung call setMinMaxClick\n"
            "form TFo_Kalibrierung call bt_SichernClick\nform TFo_Kalibrierung close\n"
            "form TFo_Einstell1 show\nform TFo_Einstell1 set spIntervall \"20\"\n"
            "form TFo_Einstell1 call btSpeichernClick\n"
            "advance 5m\nkill\nanswer no\nstart\n" +
            values +
            "advance-to 2024-03-05 14:00:00\nset Z \"1300\"\nadvance-to 2024-03-05 21:00:00\n" +
            item + "\"Zaehler\"\nform TFo_GrafEinstell call lbDDEClick\n" +
            "form TFo_GrafEinstell set eT2 \"23:00:00\"\n" + save +
            "advance-to 2024-03-06 00:05:00\n"),
        0)
        << errors_.str();
    // Up to 10:30 at 100 l/s; 10:30 to 10:35 at 100 l/s and 10:35 to 11:00 at 20 l/s; at
    // 20 l/s to 12:00 and to the day's end, in m³.
    EXPECT_THAT(Lines("20240305.TVS"), ElementsAre("1980,000", "60,000", "72,000", "864,000"));
    const std::vector<std::string> protocol = plant_.Protocol("20240305.RTF");
    EXPECT_THAT(protocol, Contains(HasSubstr("Zählerdifferenz/Verbrauch=10,00")));
    EXPECT_THAT(plant_.Text("TARVEDDE_VAR.INI"), HasSubstr("Zählerstand=5300,"));
    const std::string log = plant_.Text("_TARVEDDE_LOG.TXT");
    EXPECT_THAT(log, Not(HasSubstr("Geänderte Konfiguration")));
    EXPECT_THAT(log, Not(HasSubstr("Fehlt die Datei")));
    EXPECT_THAT(protocol, Contains(HasSubstr("Tagesmenge=6840,00")));  // 05:00 to 24:00 at 100 l/s
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

#include "dialogs/tarvedde_einstell1.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/memory_file_system.h"
#include "platform/operator_transcript.h"
#include "platform/text_encoding.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::Not;

constexpr char kRestart[] = "Sie müssen das Programm jetzt neu starten.";

// The operator closes the printer dialog with `chosen` stored.
struct FakePrinterDialog final : PrinterDialog {
    int ShowModal() override {
        ++shown;
        return chosen;
    }
    int chosen = -2;
    int shown = 0;
};

std::string Golden(const std::string& name) {
    std::ifstream in(std::string(TARVEDDE_TEST_DATA) + "/dialogs/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class GeneralSettingsDialogTest : public testing::EngineFixture {
protected:
    TFo_Einstell1& Show(int items = 2, int seconds = 10) {
        std::string ini =
            "; Anlage Musterstadt\n[DDE]\nAutoStart=0\nItemcount=" + std::to_string(items) +
            "\nIntervall=" + std::to_string(seconds) +
            "\nEinheit=0\nPuffer=5\nServer=DDE-Server\nTopic=ServerSimulation\n"
            "[Items]\n";
        for (int n = 1; n <= items; ++n) {
            ini += "Item" + std::to_string(n) + "=W" + std::to_string(n) + "\n";
        }
        ini += "[Itemnames]\n";
        for (int n = 1; n <= items; ++n) {
            ini += "Item" + std::to_string(n) + "=Wert " + std::to_string(n) + "\n";
        }
        WriteIni(ini + "[Gleitend]\nPuffer=360\nIntervall=10\n[Eigene]\nNotiz=bleibt\n");
        SetClock(10, 0, 0);
        form_ = std::make_unique<TFo_Einstell1>(Start(), printer_);
        form_->FormShow();
        return *form_;
    }
    // The transcript lines that came after the first `from`.
    testing::Lines TranscriptFrom(std::size_t from) const {
        return {Transcript().begin() + static_cast<std::ptrdiff_t>(from), Transcript().end()};
    }

    FakePrinterDialog printer_;
    std::unique_ptr<TFo_Einstell1> form_;
};

TEST_F(GeneralSettingsDialogTest, ASessionSavesOnlyItsKeysAndRunsTheNewCycle) {
    TFo_Einstell1& form = Show();
    EXPECT_EQ(form.spIntervall, 10);
    EXPECT_EQ(form.eService, "DDE-Server");
    const std::size_t shown = Transcript().size();

    form.spIntervall = 5;
    form.coIntervall = 2;  // "Stunde(n)"
    form.eService = "AQAP";
    form.eTopic = "MONAT";
    form.cbIni = true;
    form.eTini = "06:30";
    form.cbIniClick();
    EXPECT_TRUE(Settings().customDayChange);
    EXPECT_DOUBLE_EQ(Settings().customDayChangeTime, 6.5 / 24);
    form.M1 = {"2"};
    form.M2 = {"3"};
    form.btSpeichernClick();

    EXPECT_FALSE(form.visible);
    EXPECT_EQ(TranscriptFrom(shown), testing::Lines{});
    EXPECT_EQ(Settings().cycleIntervalMs, 60000);
    EXPECT_EQ(Settings().ddeService, "AQAP");
    EXPECT_EQ(Read("TARVEDDE.INI"), Cp1252ToUtf8(Golden("einstell1_saved.INI")));
    EXPECT_EQ(Read("prefix.txt") + Read("suffix.txt"), "2\r\n3\r\n");
    // The header names the cycle interval, so the day goes on in new files from the save:
    // a program end before the next start must find the header the state belongs to.
    EXPECT_TRUE(Exists("20240305_1.AQH"));
    EXPECT_TRUE(Exists("20240305_1.DAT"));
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_FALSE(Exists("20240305_2.AQH"));
    EXPECT_EQ(Main().TimerDDE().Interval(), 60000);
}

TEST_F(GeneralSettingsDialogTest, OnlyItemCountOrBufferSizeAskForARestartAndNewItemsAreUndefined) {
    TFo_Einstell1& form = Show(3, 60);  // typed into the file: the field holds up to 59
    EXPECT_EQ(form.spIntervall, 1);
    EXPECT_EQ(form.coIntervall, 1);
    form.eService = "ARCNET";
    form.btSpeichernClick();
    EXPECT_EQ(Settings().cycleIntervalMs, 60000);
    EXPECT_THAT(Transcript(), Not(Contains(MessageLine(kRestart))));
    EXPECT_TRUE(Window().btStartDDEEnabled);
    form.FormShow();
    NewLogLines();
    form.spItems = 5;
    std::size_t from = Transcript().size();
    form.btSpeichernClick();
    EXPECT_EQ(TranscriptFrom(from),
              (testing::Lines{MessageLine(kRestart),
                              MessageLine("Bitte ändern Sie NACH dem Neustart noch \r\ndie "
                                          "Itemnamen im Fenster <DDE-Werte & Grafik> !")}));
    EXPECT_FALSE(Window().btStartDDEEnabled);
    EXPECT_TRUE(Window().lbAusVisible);
    EXPECT_FALSE(Main().TimerDDE().Enabled());
    EXPECT_EQ(NewLogLines(), (testing::Lines{"DDE-Item Nr.4 neu hinzugefügt !",
                                             "DDE-Item Nr.5 neu hinzugefügt !"}));
    EXPECT_EQ(IniValue("TARVEDDE.INI", "Items", "Item3"), "W3");
    EXPECT_EQ(IniValue("TARVEDDE.INI", "Itemnames", "Item3"), "Wert 3");
    for (const char* section : {"Items", "Itemnames"}) {
        EXPECT_EQ(IniValue("TARVEDDE.INI", section, "Item4"), "undefiniert");
        EXPECT_EQ(IniValue("TARVEDDE.INI", section, "Item5"), "undefiniert");
    }
    EXPECT_EQ(IniValue("TARVEDDE.INI", "DDE", "Itemcount"), "5");

    form.FormShow();
    EXPECT_EQ(form.spItems, 5);
    form.spPuffer = 8;
    from = Transcript().size();
    form.btSpeichernClick();
    EXPECT_EQ(TranscriptFrom(from), testing::Lines{MessageLine(kRestart)});
    EXPECT_EQ(Settings().bufferSize, 8);
    // Until the restart the day goes on with its three items, in its files.
    EXPECT_EQ(Settings().itemCount, 3);
    EXPECT_FALSE(Exists("20240305_1.DAT"));
}

TEST_F(GeneralSettingsDialogTest, BadInputIsRefusedAndARefusedWriteIsTold) {
    TFo_Einstell1& form = Show();
    const std::string saved = Read("TARVEDDE.INI");
    const std::pair<std::string, std::string> refused[] = {
        {"A\r\nB", "Unerlaubter Eintrag bei >Service< (Zeilenumbruch) !"},
        {"[AQAP", "Unerlaubter Eintrag bei >Service< ([ oder = am Anfang) !"},
        {std::string(10000, 'x'), "Unerlaubter Eintrag bei >Service< (mehr als 255 Zeichen) !"}};
    for (const auto& [service, message] : refused) {
        form.eService = service;
        form.btSpeichernClick();
        EXPECT_EQ(Transcript().back(), MessageLine(message));
        EXPECT_TRUE(form.visible);
    }
    // A suffix line that is no character code: every value would read as -1.
    form.eService = "DDE-Server";
    form.M2 = {"13 ", "10"};
    form.btSpeichernClick();
    EXPECT_EQ(Transcript().back(), MessageLine("Unerlaubter Eintrag bei >Suffix< (keine Zahl) !"));
    form.M2 = {"13", "10"};
    EXPECT_EQ(Read("TARVEDDE.INI"), saved);
    EXPECT_EQ(Settings().ddeService, "DDE-Server");

    form.eService = std::string(255, 'x');
    form.cbIni = true;
    form.eTini = "25:99";
    form.cbIniClick();
    EXPECT_FALSE(Settings().customDayChange);
    // A mistyped day-change time is refused, not saved as midnight.
    form.btSpeichernClick();
    EXPECT_EQ(Transcript().back(), MessageLine("Falsche Zeiteingabe !"));
    EXPECT_TRUE(form.visible);
    EXPECT_EQ(form.eTini, "25:99");
    form.eTini = "06:30";
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op != FileOp::Read && op != FileOp::Stat && path.find("TARVEDDE.INI") != path.npos;
    });
    form.btSpeichernClick();
    EXPECT_EQ(Transcript().back(),
              MessageLine("Einstellungen konnten nicht in >/plant/TARVEDDE.INI< gespeichert "
                          "werden !"));
    EXPECT_EQ(Read("TARVEDDE.INI"), saved);
    env_.files.SetFailurePolicy(nullptr);
    form.spGleit = form.spGleitIntervall = 1;  // held to their least
    form.btSpeichernClick();
    EXPECT_EQ(IniValue("TARVEDDE.INI", "Gleitend", "Puffer") + " " +
                  IniValue("TARVEDDE.INI", "Gleitend", "Intervall"),
              "10 6");
    EXPECT_EQ(Settings().movingBufferSize, 10);  // the running rings take them too
    EXPECT_EQ(Settings().movingIntervalMs, 6000);
    EXPECT_TRUE(Settings().customDayChange);
    EXPECT_EQ(IniValue("TARVEDDE.INI", "DDE", "CustomIni"), "1");
    EXPECT_EQ(IniValue("TARVEDDE.INI", "DDE", "CustomTime"), "06:30");
    EXPECT_EQ(IniValue("TARVEDDE.INI", "DDE", "Server"), std::string(255, 'x'));

    // Printing needs a printer: none chosen in the printer dialog unchecks it.
    form.cbDruck = true;
    form.cbDruckClick();
    EXPECT_EQ(printer_.shown, 1);
    EXPECT_FALSE(form.cbDruck);
    printer_.chosen = 0;
    form.cbDruck = true;
    form.cbDruckClick();
    EXPECT_TRUE(form.cbDruck);
}

}  // namespace
}  // namespace tarvedde

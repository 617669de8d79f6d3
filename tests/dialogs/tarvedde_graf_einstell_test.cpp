#include "dialogs/tarvedde_graf_einstell.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

#include "platform/operator_transcript.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

constexpr char kPlant[] =
    "; Anlage Nord\n[DDE]\nAutoStart=1\nTarveget=0\nItemcount=2\nIntervall=1\nEinheit=0\n"
    "[Items]\nItem1=Q\nItem2=P\n[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\n"
    "[Einheiten]\nItem1=m3/h\n[Grafiktyp]\nItem2=2\n[Kommentar]\nText=bleibt\n";

struct ScriptedTimeTable : ModalTimeTable {
    void Run(TFo_TimeTable& form) override { session(form); }
    std::function<void(TFo_TimeTable&)> session = [](TFo_TimeTable&) {};
};

class ItemSettingsDialogTest : public testing::EngineFixture {
protected:
    TFo_GrafEinstell& Open(const char* plant = kPlant) {
        WriteIni(plant);
        TarveddeMain& main = Start();
        env_.Publish("Q", "80");
        Advance(1000);
        timeTable_ = std::make_unique<TFo_TimeTable>(main.TimeFrameStats(), main.Config(),
                                                     env_.host, main.RegionalSettings());
        const GrafEinstellTargets targets{main.Integrator(),     main.ItemSettings(),
                                          main.TimeFrameStats(), main.Diary(),
                                          *timeTable_,           modal_};
        form_ = std::make_unique<TFo_GrafEinstell>(main.Config(), targets, env_.host, main.Log(),
                                                   main.RegionalSettings());
        form_->FormShow();
        return *form_;
    }
    std::string Ini(const std::string& section, int n = 1) {
        return IniValue("TARVEDDE.INI", section, "Item" + std::to_string(n));
    }

    ScriptedTimeTable modal_;
    std::unique_ptr<TFo_TimeTable> timeTable_;
    std::unique_ptr<TFo_GrafEinstell> form_;
};

TEST_F(ItemSettingsDialogTest, SavedLimitsAndCalibrationTakeTheNextValueAndOnlyTheirKeys) {
    TFo_GrafEinstell& form = Open();
    EXPECT_EQ(form.Caption, "  DDE-Werte von VIDURA Rovuvadoz");
    EXPECT_EQ(form.lbDDE, (std::vector<std::string>{"Zulauf", "Pumpe"}));
    const std::string before = Read("TARVEDDE.INI");

    form.editOben = "50.5";
    form.ControlChange();
    EXPECT_TRUE(form.panelSpeichernVisible);
    EXPECT_FALSE(form.lbDDEEnabled || form.btBackEnabled);
    form.editUnten = "1,5";
    form.editM = "2";
    form.editMChange();
    form.cbIntegral = true;
    form.cbIntegralClick();
    EXPECT_EQ(form.lbSumEinheit, "m3");
    EXPECT_EQ(form.coIntegralItemIndex, 2);  // "h": per hour
    form.coIntegralItemIndex = 1;
    form.editIntegral = "0,5";
    form.editName = "Zulauf Nord";
    form.btSpeichernClick();

    EXPECT_TRUE(Transcript().empty());  // the warning limit 0 asks nothing
    EXPECT_FALSE(form.Modified());
    EXPECT_EQ(form.editOben + " " + form.editUnten, "50,50 1,50");  // reloaded as shown
    EXPECT_EQ(Main().Config().DialogLists().itemNames[0], "Zulauf Nord");
    EXPECT_TRUE(Integration(1).isIntegral);
    EXPECT_EQ(std::tuple(Item(1).IntegralLimit, Item(1).IntegralBezug, form.coIntegralItemIndex),
              std::tuple(0.5, 60, 1));
    env_.Publish("Q", "30");
    Advance(1000);
    EXPECT_EQ(Stats(1).currentValue, 50.5);  // 2 × 30, held to the new upper limit
    env_.Publish("Q", "0,5");
    Advance(1000);
    EXPECT_EQ(Stats(1).currentValue, 1.5);  // 2 × 0,5, held to the new lower limit

    // Keys in the file change in place, missing ones follow their section; nothing else moves.
    std::string golden = before;
    golden.replace(golden.find("Item1=Zulauf\r\n"), 14, "Item1=Zulauf Nord\r\n");
    golden.replace(golden.find("Item2=2\r\n"), 9, "Item2=2\r\nItem1=1\r\n");
    for (const char* section :
         {"Warnung]\r\nItem1=0", "UpWarn]\r\nItem1=0,00", "LoWarn]\r\nItem1=0,00",
          "UpLimit]\r\nItem1=50,50", "LoLimit]\r\nItem1=1,50", "SummenEinheiten]\r\nItem1=m3/h",
          "SummenTeiler]\r\nItem1=1,000", "GrafikSumEinheit]\r\nItem1=m3/h",
          "GrafikSumTeiler]\r\nItem1=1,000", "GrafikRef]\r\nItem1=0", "Integral]\r\nItem1=1",
          "Gleitend]\r\nItem1=0", "Differenz]\r\nItem1=0", "Tagesauswahl]\r\nItem1=127",
          "IntegralLimit]\r\nItem1=0,500", "IntegralBezug]\r\nItem1=60", "Umrechnung]\r\nItem1=0",
          "Zeitrahmen]\r\nItem1=0", "Spiegelung]\r\nItem1=0"}) {
        golden += std::string("\r\n[") + section + "\r\n";
    }
    EXPECT_EQ(Read("TARVEDDE.INI"), golden);
    EXPECT_EQ(Read("EICH.INI"), "[Zulauf Nord]\r\nM=2,0000000000\r\nD=1\r\nT=0,0000000000\r\n");

    // A digital item keeps neither the difference sum nor the moving average.
    form.lbDDEItemIndex = 1;
    form.lbDDEClick();
    EXPECT_EQ(form.rgTypItemIndex, 1);
    form.cbDifferenz = form.cbGleit = true;
    form.ControlChange();
    form.btSpeichernClick();
    EXPECT_EQ(Transcript().back(),
              MessageLine("Differenz-Berechnung/gleitender Mittelwert\r\nist für digitale "
                          "Parameter nicht möglich !"));
    EXPECT_FALSE(form.cbDifferenz || form.cbGleit || Item(2).Differenz || Item(2).Gleitend);
    EXPECT_EQ(Ini("Differenz", 2) + Ini("Gleitend", 2), "00");

    form.FormClose();
    EXPECT_EQ(Main().Config().AnalogViewerItems(), 1);
    EXPECT_EQ(Main().Config().DigitalViewerItems(), 1);
}

TEST_F(ItemSettingsDialogTest, ContradictoryEntriesAreCorrectedWithTheirMessage) {
    TFo_GrafEinstell& form = Open();
    env_.person.QueueAnswer(Answer::Yes);
    form.edWarnOben = "5";
    form.editOben = "abc";
    form.cbIntegral = form.cbDifferenz = true;
    form.cbSpiegel = true;
    form.coSpiegelItemIndex = 1;
    form.cbRahmen = true;
    form.eT1 = "08:00";
    form.eT2 = "08:00";
    form.ControlChange();
    form.btSpeichernClick();
    EXPECT_EQ(Transcript(),
              (testing::Lines{
                  QuestionLine("Beim Überschreiten der Warngrenze eine Alarmmeldung anzeigen ?",
                               Answer::Yes),
                  MessageLine("Eingabefehler im Zeitrahmen !"),
                  MessageLine("Wert kann nicht mit sich selbst gespiegelt werden !"),
                  MessageLine("Integral hat Vorrang vor Differenz-Berechnung (Zählerstände) "
                              "!\r\nDifferenz-Berechnung wird deaktiviert.")}));
    EXPECT_TRUE(Logged("Unerlaubter Eintrag > abc < bei DDE-Werten !"));
    EXPECT_EQ(Item(1).effectiveUpLimit, 1000.0);
    EXPECT_TRUE(Item(1).effectiveWarnung);
    EXPECT_FALSE(Item(1).Differenz || Item(1).mirror.mirrorOn || Item(1).timeFrame.on);
    EXPECT_EQ(Ini("UpLimit") + " " + Ini("Warnung") + " " + Ini("Differenz") + " " +
                  Ini("Spiegelung") + " " + Ini("Zeitrahmen"),
              "1000,00 1 0 0 0");
    EXPECT_EQ(IniValue("TARVEDDE.INI", "Item1", "WarnLevel2"), "0,5");

    // A frame from 06:00 to 22:00 on weekdays and Saturday reaches the frame check at once.
    form.cbRahmen = true;
    form.cbRahmenClick();
    form.eT1 = "06:00";
    form.eT2 = "22:00";
    form.cd1 = false;
    form.btSpeichernClick();
    EXPECT_EQ(Ini("Zeitrahmen") + " " + Ini("Tagesauswahl"), "1|06:00|22:00 126");
    EXPECT_EQ(Main().TimeFrameStats().Frame(1).frameStart, 0.25);
    EXPECT_EQ(form.eT1, "06:00:00");
    form.lbDDEClick();
    EXPECT_FALSE(form.cd1);
    EXPECT_TRUE(form.cd2 && form.cd7);
}

// Every option marks the form as edited; a saved conversion reloads as saved; with the
// scaling kept in VAR.INI a typed calibration is refused and undone; the time table button
// shows the saved table's first and last time.
TEST_F(ItemSettingsDialogTest, OptionsMarkTheFormAndTheSavedConversionAndTableShow) {
    TFo_GrafEinstell& form = Open();
    for (void (TFo_GrafEinstell::*click)() :
         {&TFo_GrafEinstell::coIntegralChange, &TFo_GrafEinstell::cbSpiegelClick,
          &TFo_GrafEinstell::cbUmrechnenClick}) {
        (form.*click)();
        EXPECT_TRUE(form.Modified());
        form.btAbbrechenClick();
    }
    form.cbUmrechnen = true;
    form.cbUmrechnenClick();
    form.editUmrFaktor = "2,5";
    form.coZeitItemIndex = 2;
    form.btSpeichernClick();
    form.lbDDEClick();
    EXPECT_EQ(form.editUmrFaktor + " " + std::to_string(form.coZeitItemIndex), "2,500 2");
    form.cbUmrechnen = false;
    form.cbUmrechnenClick();
    EXPECT_EQ(form.coZeitItemIndex, 0);

    form.btAbbrechenClick();
    Settings().varIniScaling = true;
    form.editM = "2";
    form.editMChange();
    EXPECT_EQ(Transcript().back(), MessageLine("Einstellung nur über MinForUser..MaxForSPS in "
                                               "der TARVEDDE.INI bzw. VAR.INI !"));
    EXPECT_EQ(form.editM, "1,0000000000");
    EXPECT_FALSE(form.Modified());

    modal_.session = [](TFo_TimeTable& table) {
        table.FormShow();
        for (const char* hour : {"18", "06", "12"}) {
            table.eT1 = hour;
            table.SpeedButton1Click();
        }
        table.btSaveClick();
        table.FormClose();
    };
    form.btTabelleClick();
    EXPECT_EQ(timeTable_->item, 1);
    EXPECT_EQ(Transcript().back(),
              MessageLine("Achtung : Bei ungespiegelten Items werden nur \r\nder erste und "
                          "letzte Zeiteintrag berücksichtigt !"));
    EXPECT_EQ(form.lbT1 + " " + form.eT1 + " " + form.eT2, "um 06:00:00 18:00:00");
}

// Refused, the save changes nothing and leaves the form unsaved; a file the disk refuses is
// told and logged, and the save can be repeated.
TEST_F(ItemSettingsDialogTest, RefusedTextsAndARefusedWriteLeaveTheFormUnsaved) {
    TFo_GrafEinstell& form = Open();
    const std::string before = Read("TARVEDDE.INI");
    struct Case {
        std::string TFo_GrafEinstell::*field;
        std::string text;
        const char* label;
    };
    const Case refused[] = {
        {&TFo_GrafEinstell::editItem, "Q\r\n[DDE]", "Item"},
        {&TFo_GrafEinstell::editName, "=Zulauf", "Name"},
        {&TFo_GrafEinstell::editName, "", "Name"},
        {&TFo_GrafEinstell::editName, "  ", "Name"},
        {&TFo_GrafEinstell::editName, " \"\" ", "Name"},
        {&TFo_GrafEinstell::editEinheit, "m3|h", "Einheit"},
        {&TFo_GrafEinstell::eSumEinheit, "m3\n", "Summen-Einheit"},
        {&TFo_GrafEinstell::editUmrEinheit, "[l/s", "Neue Einheit"},
    };
    for (const Case& c : refused) {
        form.btAbbrechenClick();
        form.*c.field = c.text;
        form.ControlChange();
        form.btSpeichernClick();
        EXPECT_EQ(Transcript().back(),
                  MessageLine(std::string("Unerlaubter Eintrag im Feld ") + c.label +
                              " !\r\nZeilenumbruch, \"|\", \"]\" sowie \"[\" oder \"=\" "
                              "am Anfang sind nicht erlaubt."))
            << c.text;
        EXPECT_TRUE(form.Modified()) << c.text;
        EXPECT_EQ(Read("TARVEDDE.INI"), before) << c.text;
    }
    EXPECT_EQ(Item(1).itemName, "Zulauf");
    // Item 2's name would give both items one EICH.INI section.
    form.btAbbrechenClick();
    form.editName = "PUMPE";
    form.ControlChange();
    form.btSpeichernClick();
    EXPECT_EQ(Transcript().back(), MessageLine("Der Name \"PUMPE\" gehört schon zu Item 2 !"));
    EXPECT_EQ(Read("TARVEDDE.INI"), before);

    form.btAbbrechenClick();
    form.editName = std::string(10000, 'N');
    form.editItem = std::string(10000, 'I');
    form.ControlChange();
    form.btSpeichernClick();
    EXPECT_FALSE(form.Modified());
    EXPECT_EQ(Item(1).itemName, std::string(30, 'N'));
    EXPECT_EQ(Ini("Itemnames"), std::string(30, 'N'));
    EXPECT_EQ(Ini("Items"), std::string(100, 'I'));

    env_.files.SetFailurePolicy(
        [](FileOp op, const std::string&) { return op == FileOp::Rename || op == FileOp::Write; });
    form.editOben = "40";
    form.ControlChange();
    form.btSpeichernClick();
    const std::string told =
        "Einstellungen konnten nicht in >/plant/TARVEDDE.INI< gespeichert werden ! Sie gelten "
        "nur bis zum Programmende.";
    EXPECT_EQ(Transcript().back(), MessageLine(told));
    EXPECT_EQ(Item(1).effectiveUpLimit, 40.0);
    EXPECT_TRUE(form.Modified() && form.panelSpeichernVisible);
    env_.files.SetFailurePolicy(nullptr);
    EXPECT_TRUE(Logged(told + " (TARVEDDE.INI)"));
    form.btSpeichernClick();
    EXPECT_FALSE(form.Modified());
    EXPECT_EQ(Ini("UpLimit"), "40,00");
}

// Another meter's reading is no step of this one's; the day file's columns change their
// server item, so its rows from here on are a new version; the diary binding follows.
TEST_F(ItemSettingsDialogTest, AMeterGivenAnotherItemStringCountsFromItsOwnReadings) {
    Write("ONLINE.TVW", "1\n11\nStrom Tag\n");
    TFo_GrafEinstell& form = Open(
        "[DDE]\nAutoStart=1\nItemcount=1\nIntervall=1\nEinheit=0\n[Items]\nItem1=Q\n"
        "[Itemnames]\nItem1=Strom\n[Differenz]\nItem1=1\n");
    std::vector<DiaryBinding> records = Main().Diary().Bindings();
    records.at(0).itemAddress = "Q";
    records[0].itemName = "Strom";
    Main().Diary().ReplaceBindings(records);
    env_.Publish("Q", "90");
    Advance(1000);
    env_.Publish("W", "5000");
    form.editItem = "W";
    form.editName = "Strom Nord";
    form.ControlChange();
    form.btSpeichernClick();
    Advance(1000);
    env_.Publish("W", "5003");
    Advance(1000);
    EXPECT_EQ(Stats(1).sum, 13.0);
    EXPECT_TRUE(Logged("20240305.DAT in 20240305_1.DAT umbenannt."));
    const std::vector<DiaryBinding> stored =
        DecodeBindingFile(env_.files.ReadAll(env_.dir + "BINDUNG.TVW").value_or("")).records;
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].itemAddress + " " + stored[0].itemName, "W Strom Nord");
}

}  // namespace
}  // namespace tarvedde

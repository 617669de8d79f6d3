#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialogs/tarvedde_bindung.h"
#include "dialogs/tarvedde_tagebuch.h"
#include "platform/operator_transcript.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Zulauf: analog with a time frame; Pumpe: digital; Sauerstoff: analog with moving averages.
constexpr char kIni[] =
    "[DDE]\nItemcount=3\nAutoStart=1\nAktuTag=05.03.2024\n"
    "[Items]\nItem1=Q\nItem2=P\nItem3=O2\n[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\nItem3="
    "Sauerstoff\n"
    "[Grafiktyp]\nItem2=2\n[Gleitend]\nItem3=1\n[Zeitrahmen]\nItem1=1|06:00:00|22:00:00\n";

// A choice control set as the view does: the new index, then its handler.
void Position(DiaryBindingForm& form, int index) {
    form.lbCgetItemIndex = index;
    form.lbCgetClick();
}
void BoundItem(DiaryBindingForm& form, int index) {
    form.cbDDEItemIndex = index;
    form.cbDDEChange();
}
void ValueKind(DiaryBindingForm& form, int index) {
    form.rgWasItemIndex = index;
    form.rgWasClick();
}
// What a dialog edits of a record: name|item|name of the item|kind|restricted|mode|all
// day|never.
std::string Edited(const DiaryBinding& b) {
    return b.name + "|" + std::to_string(b.itemNumber) + "|" + b.itemName + "|" +
           std::to_string(b.transferType) + "|" + (b.timeRestricted ? "1" : "0") + "|" +
           std::to_string(b.timeFrameMode) + "|" + std::to_string(b.allDayMask) + "|" +
           std::to_string(b.neverMask);
}

class DiaryBindingFormsTest : public testing::EngineFixture {
protected:
    std::vector<DiaryBinding> StoredBindings(const std::string& name) {
        return DecodeBindingFile(env_.files.ReadAll(env_.dir + name).value_or("")).records;
    }
    const testing::Lines& said = Transcript();
};

TEST_F(DiaryBindingFormsTest, PermanentBindingIsEditedOnACopyCheckedAndSaved) {
    WriteIni(kIni);
    Write("ONLINE.TVW", "2\n11\nZulauf Tag\n12\nPumpe\n");
    TarveddeMain& main = Start();
    TFo_Tagebuch form(main.Diary(), main.Config(), env_.person, main.Log());

    ASSERT_TRUE(main.UebergabezumTagebuch1Click());
    form.FormShow();
    EXPECT_THAT(form.lbCget, ElementsAre("Zulauf Tag", "Pumpe"));
    Position(form, 0);
    EXPECT_EQ(form.lbIndex, "11");
    BoundItem(form, 1);
    EXPECT_EQ(form.lbDDE, "Q");
    ValueKind(form, 3);
    EXPECT_EQ(said.back(), MessageLine("Sie haben keine Integral bzw. Differenz-Berechnung für "
                                       "diesen Wert ausgewählt !"));
    ValueKind(form, 4);
    EXPECT_EQ(said.back(),
              MessageLine("Für diesen Wert wird kein gleitender Mittelwert berechnet !"));
    EXPECT_EQ(form.rgWasItemIndex, 0);
    form.cbZeit = true;
    form.cbZeitClick();
    form.rgZeitItemIndex = 1;
    form.rgZeitClick();
    EXPECT_EQ(form.eT1 + " " + form.eT2, "22:00:00 06:00:00");
    form.cd[1] = true;  // Sunday all day
    form.cn[7] = true;  // never on Saturday
    form.DayBoxClick();

    // Selected again, the position shows its time fields; the digital pump falls back to
    // its operating time, and without a time frame the time restriction undoes itself.
    Position(form, 1);
    EXPECT_FALSE(form.cbZeit || form.timeGroupsVisible);
    Position(form, 0);
    EXPECT_EQ(form.eT1 + " " + form.eT2, "22:00:00 06:00:00");
    EXPECT_TRUE(form.cd[1] && form.cn[7] && !form.cd[7] && !form.cn[1]);
    Position(form, 1);
    BoundItem(form, 2);
    ValueKind(form, 5);
    EXPECT_EQ(form.rgWasItemIndex, 3);
    form.cbZeit = true;
    form.cbZeitClick();
    form.rgZeitItemIndex = 0;
    form.rgZeitClick();
    EXPECT_FALSE(form.cbZeit);
    EXPECT_EQ(form.WorkingCopy()[1].timeFrameMode, -1);

    // Saved: the next start reads what was edited, the renamed position and the bound
    // item without a value kind are logged.
    form.lbCget[0] = "Zulauf am Tag";
    form.btSpeichernClick();
    EXPECT_THAT(main.Log().MessageList().Lines(),
                Contains(HasSubstr("Zulauf Tag wurde in >Zulauf am Tag< umbenannt.")));
    const std::vector<DiaryBinding> stored = StoredBindings("BINDUNG.TVW");
    EXPECT_EQ(stored, main.Diary().Bindings());
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(Edited(stored[0]), "Zulauf am Tag|1|Zulauf|0|1|1|1|64");
    EXPECT_EQ(Edited(stored[1]), "Pumpe|2|Pumpe|3|0|-1|0|0");

    // Cancelled: nothing changes. A refused write is told; the program keeps the binding.
    form.FormShow();
    Position(form, 1);
    BoundItem(form, 0);
    form.btAbbrechenClick();
    EXPECT_EQ(main.Diary().Bindings()[1].itemNumber, 2);
    form.FormShow();
    Position(form, 1);
    BoundItem(form, 0);
    BoundItem(form, 3);  // bound, but no value kind chosen
    env_.files.SetFailurePolicy([](FileOp op, const std::string&) { return op != FileOp::Read; });
    form.btSpeichernClick();
    EXPECT_EQ(said.back(), MessageLine("Die Bindungsdatei konnte nicht geschrieben werden !"));
    // Only the record bound without a value kind is named, and only by this save.
    EXPECT_THAT(main.Log().MessageList().Lines(),
                Contains(HasSubstr("Übergabetyp an das Tagebuch (2) ist nicht ausgewählt !")));
    EXPECT_THAT(main.Log().MessageList().Lines(), Contains(HasSubstr("nicht ausgewählt")).Times(1));
    EXPECT_EQ(main.Diary().Bindings()[1].itemNumber, 3);
}

TEST_F(DiaryBindingFormsTest, AqasysBindingKeepsThreeHundredRecordsWithTheirHours) {
    WriteIni("[DDE]\nItemcount=0\nAutoStart=0\n");
    Write("AQASYSITEMS.TXT", "A12\nA13\n");
    Write("AQASYSNAMES.TXT", "Regen\nTemperatur\n");
    Write("ONLINE.TVW", "2\n5\nRegen Tag\n7\nTemperatur\n");
    TarveddeMain& main = Start(SourceKind::Aqasys);
    TFo_bindung form(main.Diary(), main.Config(), env_.person, main.Log());

    form.FormShow();
    Position(form, 0);
    EXPECT_EQ(form.lbIndex, "5");
    BoundItem(form, 1);
    EXPECT_EQ(form.lbDDE, "A12");
    ValueKind(form, 4);  // no checks for a logger's parameter
    form.cbZeit = true;
    form.spT1 = 30;
    form.spT2 = 0;
    form.cbZeitClick();
    EXPECT_EQ(std::pair(form.spT1, form.spT2), std::pair(23, 1));

    // A position whose name no record carries selects nothing.
    form.lbCget[1] = "Unbekannt";
    Position(form, 1);
    EXPECT_EQ(said.back(), MessageLine("Der Tagebuchname wurde nicht gefunden !"));
    EXPECT_EQ(form.lbCgetItemIndex, -1);
    form.cbDDEChange();
    EXPECT_EQ(said.back(), MessageLine("Fehlerhafter Tagebuch-Index !"));

    form.btSpeichernClick();
    const std::vector<DiaryBinding> stored = StoredBindings("AQABIND.TVW");
    ASSERT_EQ(stored.size(), 300u);
    EXPECT_EQ(Edited(stored[4]), "Regen Tag|1|Regen|4|1|23|1|0");
    EXPECT_EQ(stored[6].timeFrameMode, 0);
    EXPECT_EQ(stored[6].allDayMask, 24);
}

TEST_F(DiaryBindingFormsTest, WithoutPositionsTheMenuSaysWhy) {
    WriteIni(kIni);
    EXPECT_TRUE(Start().MenuClick("UebergabezumTagebuch1"));
    EXPECT_EQ(said.back(),
              MessageLine("Datei ONLINE.TVW wurde nicht von TARVEGET erzeugt \r\noder die "
                          "Anzahl der Online-Parameter ist 0 !"));
}

}  // namespace
}  // namespace tarvedde

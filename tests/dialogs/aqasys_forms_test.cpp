#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialogs/tarvedde_aqasys_abruf.h"
#include "dialogs/tarvedde_kestrom.h"
#include "engine/frame/tarvedde_main.h"
#include "outputs/datalog_container.h"
#include "outputs/diary_files.h"
#include "platform/operator_transcript.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

class AqasysFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.WriteText("TARVEDDE.INI", "[DDE]\nAutoStart=0\nFirstRun=0\n");
        env.WriteText("AQASYSITEMS.TXT", "A12;\n");
        env.WriteText("AQASYSNAMES.TXT", "Regen\n");
        env.WriteText("ONLINE.TVW", "1\n7\nPumpe\n");
        ASSERT_TRUE(main.FormCreate());
        main.FormShow();
    }
    // The unread days of 2023 by their number in the year (1 = 1 January).
    std::vector<int> Unread2023() {
        std::vector<int> days;
        const auto records = DatalogContainer(env.files, env.dir, 2023).Read().value().records;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (!records[i].read) {
                days.push_back(static_cast<int>(i) + 1);
            }
        }
        return days;
    }
    testing::EngineTestHost env;
    TarveddeMain main{env.host, {"/plant", SourceKind::Aqasys, "aqasys-forms-test"}};
    const std::vector<std::string>& said = env.person.Transcript();
};

TEST_F(AqasysFormsTest, TheRetrievalDialogMarksTheChosenDaysOfOneYear) {
    TFo_AqasysAbruf form(main.Aqasys(), main.Config(), env.host, main.Log(), GermanLocale());
    form.FormShow();
    form.dtVom = EncodeDate(2023, 12, 30);
    form.btMarkierenClick();
    EXPECT_EQ(said.back(), MessageLine("Sie können nur Werte aus einem Jahr abrufen !"));

    // Checking creates last year's container all read, then marks the days asked for.
    form.dtVom = EncodeDate(2023, 1, 2);
    form.dtBis = EncodeDate(2023, 1, 3);
    form.btMarkierenClick();
    EXPECT_EQ(Unread2023(), (std::vector<int>{2, 3}));
    // Days already marked before "vom": the operator may keep them and re-mark.
    form.dtVom = form.dtBis = EncodeDate(2023, 1, 5);
    env.person.QueueAnswer(Answer::Yes);
    form.btAbrufenClick();
    EXPECT_EQ(Unread2023(), (std::vector<int>{2, 3}));
    EXPECT_TRUE(form.visible);
    env.person.QueueAnswer(Answer::No);
    form.btAbrufenClick();
    EXPECT_EQ(Unread2023(), (std::vector<int>{2, 3, 5}));
    EXPECT_TRUE(form.StartsTransfer());
    // Outside the chosen days everything becomes read when asked to.
    form.dtVom = form.dtBis = EncodeDate(2023, 1, 4);
    form.cbGelesen = true;
    form.btMarkierenClick();
    EXPECT_EQ(said.back(), MessageLine("Ungelesene AQASYS-Daten ab: 02.01.2023"));
    EXPECT_EQ(Unread2023(), (std::vector<int>{4}));
}

TEST_F(AqasysFormsTest, TheParameterEditorSavesItsListsAndRenumbersTheBindings) {
    std::vector<DiaryBinding> records = main.Diary().Bindings();
    records[6].itemAddress = "D3;";
    records[1].itemAddress = "A12;";
    records[1].itemNumber = 1;
    main.Diary().ReplaceBindings(records);
    TFo_Kestrom1 form(main.Config(), main.Diary(), env.host, main.Log());
    form.FormShow();
    form.rgMessartItemIndex = 1;
    form.eNummer = 3;
    env.person.QueueText("Pumpe");
    form.lbDDEItemIndex = 0;  // inserted before the selected line
    form.btHinzuClick();
    EXPECT_FALSE(form.btZurueckEnabled);
    form.btSpeichernClick();
    EXPECT_EQ(env.ReadText("AQASYSITEMS.TXT"), "D3;\r\nA12;\r\n");
    EXPECT_EQ(env.ReadText("AQASYSNAMES.TXT"), "Pumpe\r\nRegen\r\n");
    EXPECT_EQ(main.Config().DialogLists().diaryItemChoice,
              (std::vector<std::string>{"undefiniert", "Pumpe", "Regen"}));
    const auto numbers = [&] {
        const auto stored =
            DecodeBindingFile(env.files.ReadAll(env.dir + "AQABIND.TVW").value()).records;
        return std::pair{stored.at(6).itemNumber, stored.at(1).itemNumber};
    };
    EXPECT_EQ(numbers(), std::pair(1, 2));
    EXPECT_TRUE(form.btZurueckEnabled);

    form.lbDDEItemIndex = 1;
    form.btLoeschenClick();
    form.btAbbrechenClick();  // the files' lists come back
    EXPECT_EQ(form.lbDDE, (std::vector<std::string>{"D3;", "A12;"}));
    // A deleted code's binding lets go of the number A12 moves up to.
    form.lbDDEItemIndex = 0;
    form.btLoeschenClick();
    form.btSpeichernClick();
    EXPECT_EQ(numbers(), std::pair(0, 1));
}

}  // namespace
}  // namespace tarvedde

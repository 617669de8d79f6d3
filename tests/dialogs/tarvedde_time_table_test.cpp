#include "dialogs/tarvedde_time_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/operator_transcript.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

constexpr char kFile[] = "TT_Q_Zulauf.tvw";

using TimeTableEditorTest = testing::EngineFixture;

TEST_F(TimeTableEditorTest, EditGenerateSaveAndCloseReachTheFileAndTheRunningProgram) {
    WriteIni("[DDE]\nItemcount=1\n[Items]\nItem1=Q\n[Itemnames]\nItem1=Zulauf\n");
    TarveddeMain& main = Start();  // 07:00:00
    TFo_TimeTable form(main.TimeFrameStats(), main.Config(), env_.host, main.RegionalSettings());
    const auto& said = Transcript();
    const auto table = [&] { return main.TimeFrameStats().Table(1); };

    form.FormShow();
    form.eT1 = "7";
    form.eT2 = "5";
    form.eT3 = "0";
    form.SpeedButton1Click();
    form.SpeedButton1Click();
    form.eT1 = " 8";
    form.SpeedButton1Click();
    form.eT1 = "25";
    form.SpeedButton1Click();
    EXPECT_THAT(form.lb1, ElementsAre("07:05:00", "08:05:00"));
    EXPECT_EQ(said.back(), MessageLine("Ungültige Zeitangabe !"));

    // Hourly from 06:00 (a field that is no number counts as 0).
    form.eT1 = "06";
    form.eT2 = "x";
    env_.person.QueueAnswer(Answer::Yes);
    form.btStundeClick();
    ASSERT_EQ(form.lb1.size(), 23u);
    EXPECT_EQ(form.lb1.front(), "00:00:00");
    EXPECT_EQ(form.lb1[6], "07:00:00");
    EXPECT_EQ(form.lb1.back(), "23:00:00");

    form.btSaveClick();
    EXPECT_EQ(said.back(),
              MessageLine("Zeit-Tabelle als >/plant/" + std::string(kFile) + "< gespeichert."));
    EXPECT_TRUE(form.FormCloseQuery());
    form.FormClose();
    EXPECT_EQ(table().entryCount, 23);
    EXPECT_EQ(table().position, 8);  // 08:00:00 is the first time after 07:00:00

    // Quarter hours generated and dropped without a question; the 96th entry is the last.
    form.FormShow();
    EXPECT_EQ(form.lb1.size(), 23u);
    env_.person.QueueAnswer(Answer::Yes);
    form.btViertelClick();
    EXPECT_EQ(form.lb1.size(), 95u);
    const std::size_t questions = said.size();
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_EQ(said.size(), questions);
    form.eT1 = "23";
    form.eT2 = "59";
    form.SpeedButton1Click();
    form.SpeedButton1Click();
    EXPECT_EQ(form.lb1.size(), 96u);
    EXPECT_EQ(said.back(), MessageLine("Max. 96 Einträge erlaubt !"));

    // A table the disk refuses stays unsaved, so closing asks; removing the last entries
    // deletes the file and the item has no table any more.
    form.FormShow();
    form.lb1ItemIndex = 0;
    form.SpeedButton2Click();
    env_.files.SetFailurePolicy([](FileOp, const std::string&) { return true; });
    form.btSaveClick();
    EXPECT_EQ(said.back(), MessageLine("Zeit-Tabelle >/plant/" + std::string(kFile) +
                                       "< konnte nicht gespeichert werden !"));
    EXPECT_TRUE(form.Modified());
    env_.files.SetFailurePolicy(nullptr);
    form.lb1.clear();
    env_.person.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(form.FormCloseQuery());
    EXPECT_THAT(said, Contains(QuestionLine("Tabelle speichern ?", Answer::Yes)));
    EXPECT_EQ(said.back(),
              MessageLine("Zeit-Tabelle >/plant/" + std::string(kFile) + "< gelöscht."));
    EXPECT_FALSE(Exists(kFile));
    form.FormClose();
    EXPECT_EQ(table().position, 0);
    const std::size_t lines = said.size();
    form.btSaveClick();  // nothing left to delete: no message
    EXPECT_EQ(said.size(), lines);
}

}  // namespace
}  // namespace tarvedde

#include "dialogs/tarvedde_statistik.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/rtf_text.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

using Strings = std::vector<std::string>;

struct FakePlatform final : ProtocolPrinter, ProtocolFileDialog, ProtocolOrderDialog {
    bool Print(const RichTextModel& text, const std::string& title, int fontSize,
               bool ask) override {
        prints.push_back(title + "|" + std::to_string(fontSize) + (ask ? "|ask|" : "|") +
                         std::to_string(text.Paragraphs().size()));
        return printable;
    }
    std::string Open(const std::string& directory,
                     const std::vector<FileFilter>& filters) override {
        directories.push_back(directory + " " + filters.at(0).pattern + filters.at(1).pattern);
        return answer;
    }
    void Show() override { ++orderShown; }

    Strings prints;
    Strings directories;
    std::string answer;
    int orderShown = 0;
    bool printable = true;
};

class StatistikFormTest : public testing::EngineFixture {
protected:
    StatistikFormTest() {
        memo2_.Append("Tagesprotokoll");
        memo2_.Append("Q 3 Meßwerte");
        form_.FormShow();
    }

    RichTextModel memo2_;
    DateParts runningDay_{2024, 3, 5};
    FakePlatform platform_;
    TFo_Statistik form_{memo2_,
                        log_.StatisticsInfo(),
                        config_,
                        env_.host,
                        log_,
                        runningDay_,
                        {platform_, platform_, platform_}};
};

TEST_F(StatistikFormTest, OpenedFilesLoadIntoMemo1AndUnreadableOnesChangeNothing) {
    env_.WriteText("TARVEDDE.INI", "[DDE]\nSicherung=/backup\n");
    env_.WriteText("plain.TXT", "Zeile ä\nzwei\n");
    RichTextModel rich;
    rich.Append("fett");
    rich.Append("");
    (void)env_.files.WriteAll("/plant/20240301.RTF", WriteRtf(rich, 10), false);
    (void)env_.files.WriteAll("/backup/garbage.RTF",
                              "{\\rtf1{{{{\\bin999999999 \\'\\u-99999999999\\par}}}}}}}\\", false);
    (void)env_.files.WriteAll("/plant/locked.RTF", "{\\rtf1 x\\par}", false);
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Read && path == "/plant/locked.RTF";
    });
    struct Case {
        void (TFo_Statistik::*click)();
        std::string answer;
        std::optional<Strings> memo1;  // none: any text, as long as the load returns
        std::string panel;
    };
    const Case cases[] = {
        {&TFo_Statistik::spLadenClick, "/plant/plain.TXT", Strings{"Zeile ä", "zwei"}, "plain.TXT"},
        {&TFo_Statistik::spLadenClick, "/plant/20240301.RTF", Strings{"fett", ""}, "20240301.RTF"},
        {&TFo_Statistik::spLadenClick, "/plant/locked.RTF", Strings{"fett", ""}, "20240301.RTF"},
        {&TFo_Statistik::spLadenClick, "", Strings{"fett", ""}, "20240301.RTF"},
        {&TFo_Statistik::SpeedButton3Click, "/backup/garbage.RTF", std::nullopt, "garbage.RTF"},
    };
    log_.WriteDDEInfo("Summe für Zulauf neu initialisiert.");
    for (const Case& c : cases) {
        platform_.answer = c.answer;
        (form_.*c.click)();
        if (c.memo1) {
            EXPECT_EQ(log_.StatisticsInfo().Lines(), *c.memo1) << c.answer;
        }
        EXPECT_EQ(form_.Panel1, c.panel) << c.answer;
    }
    // The line still to be written went to DDE-Info.TXT before a file took Memo1; the files
    // shown never go there, nor does the operator's edit of one hide a later line.
    form_.Memo1Edited("");
    log_.WriteDDEInfo("danach");
    EXPECT_TRUE(log_.FlushDDEInfo());
    EXPECT_EQ(env_.ReadText("DDE-Info.TXT"), "Summe für Zulauf neu initialisiert.\r\ndanach\r\n");
    EXPECT_EQ(platform_.directories.back(), "/backup/ *.RTF*.TXT");
    EXPECT_EQ(platform_.directories.front(), "/plant/ *.RTF*.TXT");
    EXPECT_EQ(env_.ReadText("_DDE_OPC_LOGALL.TXT"), "<missing>");
}

TEST_F(StatistikFormTest, SavesPrintsAndYesterdaysProtocolUnderTheirNames) {
    form_.spSichernClick();
    RichTextModel saved;
    ReadRtf(env_.files.ReadAll("/plant/20240305.RTF").value(), 10, saved);
    EXPECT_EQ(saved.Paragraphs().size(), 2u);
    EXPECT_EQ(env_.ReadText("_DDE_OPC_LOGALL.TXT"),
              "05.Mrz.24, 07:00:00 > Statistik (.RTF) gesichert.\r\n");
    // Pending, the window is the ended day's protocol still.
    config_.SetCustomNewDay(true);
    form_.spSichernClick();
    EXPECT_EQ(env_.ReadText("20240304.RTF"), env_.ReadText("20240305.RTF"));
    (void)env_.files.Remove("/plant/20240304.RTF");
    config_.SetCustomNewDay(false);

    for (const auto& [asked, kept] : {std::pair{20, 14}, {3, 6}, {12, 12}}) {
        form_.SpinEdit1 = asked;
        form_.SpinEdit1Change();
        EXPECT_EQ(form_.SpinEdit1, kept);
        EXPECT_EQ(config_.Settings().reportFontSize, kept);
    }
    form_.spDruckenClick();
    log_.StatisticsInfo().Append("getippt");
    form_.Memo1SaveClick();
    RichTextModel memo;
    ReadRtf(env_.files.ReadAll("/plant/_NeuesMemo.RTF").value(), 12, memo);
    ASSERT_EQ(memo.Paragraphs().size(), 1u);
    EXPECT_EQ(memo.Paragraphs()[0].text, "getippt");

    form_.Button1Click();  // no file of yesterday: nothing happens
    EXPECT_EQ(form_.Panel1, "");
    env_.WriteText("20240304.RTF", "gestern\n");
    form_.Button1Click();
    EXPECT_EQ(log_.StatisticsInfo().Lines(), Strings{"gestern"});
    EXPECT_EQ(form_.Panel1, "04.03.2024");
    form_.Memo1DruckClick();
    form_.Memo1SaveClick();
    EXPECT_TRUE(env_.Exists("04.03.2024"));
    form_.Panel1 = "notiz.txt";
    form_.Memo1SaveClick();
    EXPECT_EQ(env_.ReadText("notiz.txt"), "gestern\r\n");

    // Pending, the window holds the 4th: yesterday and the last protocol are the 3rd.
    config_.SetCustomNewDay(true);
    env_.WriteText("20240303.RTF", "vorgestern\n");
    form_.Button1Click();
    EXPECT_EQ(form_.Panel1, "03.03.2024");
    platform_.printable = false;  // no printer: the protocol stays
    form_.SpeedButton1Click();
    EXPECT_EQ(memo2_.Paragraphs().size(), 2u);
    platform_.printable = true;
    form_.SpeedButton1Click();
    EXPECT_TRUE(memo2_.Paragraphs().empty());
    form_.SpeedButton2Click();
    EXPECT_EQ(platform_.orderShown, 1);
    EXPECT_EQ(platform_.prints, (Strings{"05.03.2024.RTF|12|ask|2", "04.03.2024|12|ask|1",
                                         "20240303.RTF|12|2", "20240303.RTF|12|2"}));
}

}  // namespace
}  // namespace tarvedde

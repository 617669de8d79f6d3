#include "gui/statistik_view.h"

#include <QSpinBox>
#include <QTextBlock>
#include <QToolButton>

#include "tests/gui/protocol_views_fixture.h"

namespace tarvedde::testing {
namespace {

TEST_F(ProtocolViewsTest, StatisticsWindowDrawsTheProtocolAndItsButtonsReachTheForm) {
    ASSERT_TRUE(catalog_.Open("Protokoll1"));
    EXPECT_EQ(catalog_.Window("Protokoll1")->windowTitle(), " Meldungen");
    RichTextModel& memo2 = engine_->StatisticsText();
    memo2.SetAttributes({.bold = true, .color = "red", .indent = 40});
    memo2.Append("Grenzwert-Überschreitung !");
    auto* memo2View = Find<QTextEdit>("Protokoll1", "Memo2");
    const QTextBlock last = memo2View->document()->lastBlock();
    EXPECT_EQ(last.text(), "Grenzwert-Überschreitung !");
    EXPECT_EQ(last.blockFormat().leftMargin(), 40);
    EXPECT_EQ(last.begin().fragment().charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(last.begin().fragment().charFormat().foreground().color(), QColor(Qt::red));
    EXPECT_EQ(memo2View->document()->blockCount(), static_cast<int>(memo2.Paragraphs().size()));

    engine_->Log().WriteDDEInfo("Info-Zeile");
    auto* memo1View = Find<QTextEdit>("Protokoll1", "Memo1");
    EXPECT_EQ(memo1View->toPlainText(), "Info-Zeile");
    memo1View->setPlainText("neu\ngetippt");
    EXPECT_EQ(engine_->Log().StatisticsInfo().Lines(),
              (std::vector<std::string>{"neu", "getippt"}));

    EXPECT_EQ(Find<QToolButton>("Protokoll1", "SpeedButton3")->toolTip(),
              "Suche Protokoll im Sicherungsverzeichnis");
    Find<QSpinBox>("Protokoll1", "SpinEdit1")->setValue(13);
    EXPECT_EQ(engine_->Config().Settings().reportFontSize, 13);
    EXPECT_EQ(memo1View->font().pointSize(), 13);
    Find<QToolButton>("Protokoll1", "spSichern")->click();
    Find<QToolButton>("Protokoll1", "Memo1Save")->click();
    EXPECT_TRUE(env_.Exists("20240305.RTF"));
    EXPECT_TRUE(env_.Exists("_NeuesMemo.RTF"));

    memo2.Clear();
    EXPECT_TRUE(memo2View->document()->isEmpty());
}

}  // namespace
}  // namespace tarvedde::testing

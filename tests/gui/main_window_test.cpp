#include "gui/main_window.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "tests/engine/configuration_test_access.h"
#include "tests/engine/engine_test_host.h"
#include "tests/gui/qt_application.h"

namespace tarvedde {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::EnsureQtApplication(); }

    StartOptions Options() const {
        StartOptions options;
        options.programDir = "/plant";
        options.lockName = "gui-test";
        return options;
    }

    template <class T>
    T* Find(const char* name) {
        return window_.findChild<T*>(name);
    }

    testing::EngineTestHost env_;
    TarveddeMain engine_{env_.host, Options()};
    MainWindow window_{engine_};
};

TEST_F(MainWindowTest, ShowsTheLogLinesAsTheyAreWritten) {
    engine_.Log().WriteLog("Erste Zeile");
    engine_.Log().WriteLog("Zweite Zeile");
    const QString text = Find<QPlainTextEdit>("memF")->toPlainText();
    EXPECT_TRUE(text.contains("05.Mrz.24, 07:00:00 > Erste Zeile\n05.Mrz.24, 07:00:00 > Zweite"))
        << text.toStdString();
}

TEST_F(MainWindowTest, FollowsTheStatusModel) {
    MainWindowModel& model = engine_.Window();
    model.btStartDDE = "DDE starten";
    model.btStoppenEnabled = true;
    model.lbDT = "07:00:10";
    model.lbTimeoutVisible = false;
    model.Changed();
    EXPECT_EQ(Find<QPushButton>("btStartDDE")->text(), "DDE starten");
    EXPECT_TRUE(Find<QPushButton>("btStoppen")->isEnabled());
    EXPECT_EQ(Find<QLabel>("lbDT")->text(), "07:00:10");
    EXPECT_TRUE(Find<QLabel>("lbTimeout")->isHidden());
}

}  // namespace
}  // namespace tarvedde

namespace tarvedde {
namespace {

TEST_F(MainWindowTest, LiveDataWindowShowsTheGridAndFollowsIt) {
    engine_.Grid().Resize(2, 7);
    ItemConfig& zulauf = ConfigurationTestAccess::Item(engine_.Config(), 1);
    zulauf.itemName = "Zulauf";
    zulauf.unit = "l/s";
    QAction* einzel = window_.findChild<QAction*>("Einzel1");
    ASSERT_NE(einzel, nullptr);
    einzel->trigger();
    auto* grid = window_.findChild<QTableWidget*>("grEcht");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->columnCount(), 2);
    EXPECT_EQ(grid->item(0, 1)->text(), "Zulauf  [l/s]");
    const QFontMetrics metrics(grid->font());
    EXPECT_GE(grid->columnWidth(1), metrics.horizontalAdvance("Zulauf  [l/s]"));
    engine_.Grid().SetCell(1, 6, "12,500");
    engine_.Grid().NotifyChanged();
    EXPECT_EQ(grid->item(6, 1)->text(), "12,500");
}

}  // namespace
}  // namespace tarvedde

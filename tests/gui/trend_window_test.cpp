// The day-trend window and its reader on the day data file the running engine writes.
#include "gui/trend_window.h"

#include <gtest/gtest.h>

#include "tests/engine/engine_fixture.h"
#include "tests/gui/qt_application.h"

namespace tarvedde::testing {
namespace {

constexpr char kPlant[] =
    "[DDE]\nItemcount=2\nIntervall=10\nEinheit=0\nAutoStart=1\nPuffer=8\nAktuTag=05.03.2024\n"
    "[Items]\nItem1=Q\nItem2=T\n[Itemnames]\nItem1=Zulauf\nItem2=Temperatur\n"
    "[Einheiten]\nItem1=l/s\nItem2=°C\n";
constexpr char kDayFile[] = "/plant/20240305.DAT";

class TrendWindowTest : public EngineFixture {
protected:
    static void SetUpTestSuite() { EnsureQtApplication(); }

    void SetUp() override {
        SetClock(7, 0, 0);
        WriteIni(kPlant);
        ASSERT_TRUE(Create());
        Source(1).newestText = "100,5";
        Source(2).newestText = "0";
        Main().FormShow();
    }
    // Cycle k at 07:00:k0 shows Zulauf 100 + k,5 and Temperatur k.
    void RunCycles(int cycles) {
        for (int i = 0; i < cycles; ++i) {
            ++cycle_;
            Source(1).newestText = std::to_string(100 + cycle_) + ",5";
            Source(2).newestText = std::to_string(cycle_);
            Advance(10000);
        }
    }
    int cycle_ = 0;
};

TEST_F(TrendWindowTest, ReaderTakesTheEnginesRowsAndSkipsWhatIsNotAWholeRow) {
    RunCycles(3);
    EXPECT_EQ(HeaderItemCount(env_.files, "/plant/20240305.AQH"), 2);
    DayFileFollower follower(env_.files, kDayFile, 2, GermanLocale());
    std::vector<DayFileRow> rows = follower.ReadNew().rows;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3].date, (DateParts{2024, 3, 5}));
    EXPECT_EQ(rows[3].secondOfDay, 7 * 3600 + 30);
    EXPECT_EQ(rows[3].values, (std::vector<std::optional<double>>{103.5, 3.0}));

    // A row cut short by a crash: nothing while its line end is missing, and the next row
    // glued to it makes no row either: Temperatur never shows a 1 it did not have.
    ASSERT_TRUE(env_.files.Append(kDayFile, "2024.3.5;07:00:35;104,5;1"));
    EXPECT_TRUE(follower.ReadNew().rows.empty());
    RunCycles(1);
    ASSERT_TRUE(env_.files.Append(kDayFile, "2024.3.5;07:00:45;1x;2\r\n"));
    RunCycles(1);
    rows = follower.ReadNew().rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].secondOfDay, 7 * 3600 + 50);
    EXPECT_EQ(rows[0].values[0], 105.5);
    EXPECT_EQ(follower.SkippedLines(), 2);
}

TEST_F(TrendWindowTest, ShowsThePickedItemsCourseWithItsUnitAndFollowsTheFile) {
    RunCycles(3);
    TrendWindow window(Main());
    window.show();
    auto* list = window.findChild<QListWidget*>("lbItems");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Zulauf  [l/s]");
    list->item(1)->setCheckState(Qt::Checked);
    QChart* chart = window.findChild<QChartView*>("chTagesverlauf")->chart();
    ASSERT_EQ(chart->series().size(), 2);
    auto* temperatur = qobject_cast<QLineSeries*>(chart->series()[1]);
    EXPECT_EQ(temperatur->name(), "Temperatur  [°C]");
    ASSERT_EQ(temperatur->count(), 4);
    EXPECT_EQ(temperatur->at(3).y(), 3.0);
    const auto axes = temperatur->attachedAxes();
    const auto unitAxis = std::find_if(axes.begin(), axes.end(), [](QAbstractAxis* axis) {
        return axis->orientation() == Qt::Vertical;
    });
    ASSERT_NE(unitAxis, axes.end());
    EXPECT_EQ((*unitAxis)->titleText(), "°C");
    EXPECT_LE(static_cast<QValueAxis*>(*unitAxis)->min(), 0.0);
    EXPECT_GE(static_cast<QValueAxis*>(*unitAxis)->max(), 3.0);

    RunCycles(1);
    window.Poll();
    ASSERT_EQ(temperatur->count(), 5);
    EXPECT_EQ(temperatur->at(4).y(), 4.0);

    auto* gestern = window.findChild<QPushButton*>("btGestern");
    gestern->click();
    chart = window.findChild<QChartView*>("chTagesverlauf")->chart();
    EXPECT_EQ(window.findChild<QLabel*>("lbDatei")->text(), "20240304.DAT fehlt");
    EXPECT_EQ(qobject_cast<QLineSeries*>(chart->series()[1])->count(), 0);
    gestern->click();
    chart = window.findChild<QChartView*>("chTagesverlauf")->chart();
    EXPECT_EQ(qobject_cast<QLineSeries*>(chart->series()[1])->count(), 5);
}

}  // namespace
}  // namespace tarvedde::testing

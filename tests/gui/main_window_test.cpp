#include "gui/main_window.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QThread>
#include <QTimer>

#include "tests/engine/configuration_test_access.h"
#include "tests/engine/engine_test_host.h"
#include "tests/gui/qt_application.h"

namespace tarvedde {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testing::EnsureQtApplication();
        // Window geometries go to a test folder, not the user's settings.
        QStandardPaths::setTestModeEnabled(true);
    }

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

namespace tarvedde {
namespace {

// Runs the event loop until `done` holds or `limitMs` passed; the time it took.
qint64 RunEventsUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return clock.elapsed();
}

// The menu path of an action: the titles of the menus above it, then its caption.
QString PathOf(const QMainWindow& window, const QAction* action) {
    for (const QMenu* menu : window.findChildren<QMenu*>()) {
        if (menu->actions().contains(action)) {
            return PathOf(window, menu->menuAction()) + " / " + action->text();
        }
    }
    return action->text();
}

TEST_F(MainWindowTest, MainMenuHasEveryItemWithItsCaptionShortcutAndModelState) {
    const char* const expected[][3] = {
        {"Info1", "Info", "Ctrl+I"},
        {"Servereinstellen1", "Einstellungen / OPC / Server wählen", ""},
        {"Browser1", "Einstellungen / OPC / Browser", ""},
        {"Itemseditieren1", "Einstellungen / OPC / Items änderbar", ""},
        {"Datenerfassung1", "Einstellungen / Datenerfassung", ""},
        {"Grafik1", "Einstellungen / DDE-Werte einstellen", ""},
        {"UebergabezumTagebuch1", "Einstellungen / Übergabe zum Tagebuch", ""},
        {"SummenOffsetgespiegelteWerte1",
         "Einstellungen / Initialisierung / Summen-Offset (gespiegelte Werte)", ""},
        {"MinimaMaxima1", "Einstellungen / Initialisierung / Minima / Maxima löschen", ""},
        {"MittelwerteSummen1", "Einstellungen / Initialisierung / Mittelwerte / Summen löschen",
         ""},
        {"Tagesdatenloeschen1", "Einstellungen / Initialisierung / Alle Tagesdaten löschen", ""},
        {"NachtzulaufEWIndeingeben1",
         "Einstellungen / Initialisierung / Nachtzulauf Einwohner+Industrie eingeben", ""},
        {"Einzel1", "Daten / Einzelwerte", ""},
        {"Integral1", "Daten / Integral && gleitender Mittelwert", ""},
        {"zaehler1", "Daten / Zählerstände und Minima/Maxima", ""},
        {"Wartung1", "Daten / Wartung", ""},
        {"AqasysAbrufen1", "Daten / AQASYS-Daten neu abrufen", ""},
        {"Neustart1", "Daten / Neustart nach Tageswechsel-Statistik", ""},
        {"Logbucheinstellen1", "Daten / Logbuch einstellen", ""},
        {"Kalibrierung1", "Daten / Kalibrierung", ""},
        {"Fremdwasser1", "Daten / Fremdwasser", ""},
        {"Tagesverlauf1", "Daten / Tagesverlauf", ""},
        {"Protokoll1", "Protokoll", "Ctrl+P"},
        {"Beenden1", "Programm / Beenden", "Ctrl+Alt+B"},
        {"DDEOPCstoppen1", "Programm / DDE/OPC stoppen", "Ctrl+Alt+S"},
    };
    for (const auto& [name, path, shortcut] : expected) {
        const auto* action = window_.findChild<QAction*>(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_EQ(PathOf(window_, action), QString(path)) << name;
        EXPECT_EQ(action->shortcut().toString(), QString(shortcut)) << name;
        EXPECT_TRUE(action->isEnabled()) << name;
    }
    EXPECT_FALSE(window_.windowFlags() & Qt::WindowCloseButtonHint);

    MainWindowModel& model = engine_.Window();
    model.menuEnabled["Einstellungen1"] = false;
    model.menuEnabled["Einzel1"] = false;
    model.menuCaption["Grafik1"] = "OPC-Werte einstellen";
    model.Changed();
    EXPECT_FALSE(Find<QMenu>("Einstellungen1")->menuAction()->isEnabled());
    EXPECT_FALSE(Find<QAction>("Einzel1")->isEnabled());
    EXPECT_EQ(Find<QAction>("Grafik1")->text(), "OPC-Werte einstellen");
}

// "Items änderbar" reaches the engine; the list follows its check mark, and an edited
// identifier goes into the engine's item list.
TEST_F(MainWindowTest, ItemListIsEditableExactlyWhileItemsAenderbarIsChecked) {
    MainWindowModel& model = engine_.Window();
    model.it1 = {{"Kanal.Zulauf", {"12,5", "Good", "07:00:01"}}, {"Kanal.O2", {}}};
    model.Changed();
    window_.show();
    auto* it1 = Find<QTableWidget>("it1");
    EXPECT_EQ(it1->item(0, 1)->text(), "12,5");
    auto editorOpens = [&](int row, int column) {
        it1->setCurrentCell(row, column);
        it1->editItem(it1->item(row, column));
        return it1->indexWidget(it1->model()->index(row, column)) != nullptr;
    };
    EXPECT_FALSE(editorOpens(0, 0));

    QAction* check = Find<QAction>("Itemseditieren1");
    check->trigger();
    EXPECT_TRUE(model.it1Editable);
    EXPECT_TRUE(check->isChecked());
    EXPECT_FALSE(editorOpens(0, 1));
    ASSERT_TRUE(editorOpens(0, 0));
    qobject_cast<QLineEdit*>(it1->indexWidget(it1->model()->index(0, 0)))->setText("Kanal.Neu");
    it1->setCurrentCell(1, 0);
    EXPECT_EQ(model.it1[0].caption, "Kanal.Neu");

    check->trigger();
    EXPECT_FALSE(check->isChecked());
    EXPECT_FALSE(editorOpens(1, 0));
}

TEST_F(MainWindowTest, WithoutNotificationAreaRunsWithoutIconAndMinimisesNormally) {
    MainWindow plain(engine_, nullptr, false);
    EXPECT_EQ(plain.TrayIcon(), nullptr);
    EXPECT_TRUE(plain.findChild<QPlainTextEdit*>("memF")->toPlainText().contains(
        "> Kein Infobereich für Symbole vorhanden: das Programm läuft ohne Tray-Symbol.\n"));
    plain.show();
    plain.setWindowState(Qt::WindowMinimized);
    RunEventsUntil([] { return false; }, 50);
    EXPECT_TRUE(plain.isVisible());

    MainWindow tray(engine_, nullptr, true);
    ASSERT_NE(tray.TrayIcon(), nullptr);
    EXPECT_EQ(tray.TrayIcon()->toolTip(), "Tarvewater Systems - DDE Online-Datenerfassung");
    tray.show();
    tray.setWindowState(Qt::WindowMinimized);
    EXPECT_LT(RunEventsUntil([&] { return tray.isHidden(); }, 2000), 2000);
    QStringList entries;
    auto* popup = tray.findChild<QMenu*>("PopupMenu1");
    for (QAction* entry : popup->actions()) {
        entries << entry->text();
    }
    EXPECT_EQ(entries.join('|'),
              "Einzelwerte|Integral|Zählerstände|Wartung|Protokoll|Info|Fenster anzeigen");
    popup->actions().last()->trigger();
    EXPECT_TRUE(tray.isVisible());
    EXPECT_FALSE(tray.isMinimized());
    popup->actions().first()->trigger();
    EXPECT_TRUE(tray.findChild<QTableWidget*>("grEcht")->isVisible());
}

// The splash closes a second after the loop runs; from the menu the window stays 10 s.
TEST_F(MainWindowTest, InformationWindowClosesAfterOneSecondAtStartAfterwardsAfterTen) {
    auto splash = std::make_unique<AboutBoxView>();
    AboutBoxView* about = splash.get();
    about->ShowAsSplash();
    MainWindow window(engine_, std::move(splash), false);
    EXPECT_TRUE(about->isVisible());
    const qint64 shown = RunEventsUntil([&] { return about->isHidden(); }, 5000);
    EXPECT_GE(shown, 1000);
    EXPECT_TRUE(about->isHidden());

    int remainingWhileOpen = 0;
    QTimer::singleShot(50, [&] {
        remainingWhileOpen = about->CloseTimer().remainingTime();
        about->close();
    });
    window.findChild<QAction*>("Info1")->trigger();
    EXPECT_GT(remainingWhileOpen, 9000);
    EXPECT_TRUE(about->isHidden());
}

TEST_F(MainWindowTest, SumsWindowShowsTheChosenItemAndItsButtonsResetSumAndExtremes) {
    ConfigurationTestAccess::Settings(engine_.Config()).itemCount = 3;
    for (int n = 1; n <= maxItems; ++n) {
        ConfigurationTestAccess::Item(engine_.Config(), n).M15_berechnen = false;
    }
    ItemConfig& zulauf = ConfigurationTestAccess::Item(engine_.Config(), 1);
    zulauf.itemName = "Zulauf";
    zulauf.unit = "l/s";
    zulauf.Integral = true;
    zulauf.sumUnit = "m3";
    zulauf.sumDivisor = 1000.0;
    ItemConfig& o2 = ConfigurationTestAccess::Item(engine_.Config(), 3);
    o2.itemName = "O2";
    o2.unit = "mg/l";
    o2.Gleitend = true;
    engine_.Integrator().StatesToRestore().SetSum(1, 12345.0);

    Find<QAction>("Integral1")->trigger();
    auto* names = Find<QListWidget>("lbNames");
    ASSERT_NE(names, nullptr);
    EXPECT_TRUE(names->isVisible());
    ASSERT_EQ(names->count(), 2);
    EXPECT_EQ(names->item(1)->text(), "O2 [mg/l]");
    env_.loop.AdvanceBy(1000);
    EXPECT_EQ(Find<QLabel>("lbSum")->text(), "12,345  [m3]");
    Find<QPushButton>("Button1")->click();
    EXPECT_EQ(engine_.Integrator().States()[1].runningSum, 0.0);

    names->setCurrentRow(1);
    env_.loop.AdvanceBy(1000);
    EXPECT_EQ(Find<QLabel>("lbMinimum")->text(), "Gleit. Minimum");
    EXPECT_TRUE(Find<QPushButton>("BitBtn1")->isEnabled());
    Find<QPushButton>("BitBtn1")->click();
    EXPECT_EQ(engine_.MovingAveragesOf().States()[3].movingMinimum, 99999.0);
    EXPECT_EQ(engine_.MovingAveragesOf().States()[3].movingMaximum, -99999.0);
}

}  // namespace
}  // namespace tarvedde

#include "dialogs/tarvedde_logging.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/date_time.h"
#include "platform/memory_file_system.h"
#include "platform/recording_shell.h"
#include "platform/scripted_operator.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_event_loop.h"
#include "tests/engine/configuration_test_access.h"

namespace tarvedde {
namespace {

using Strings = std::vector<std::string>;

constexpr char kStamp[] = "05.Mrz.24, 07:08:09 > ";

// Items: 1 plain, 2 with moving averages, 3 integral, 4 counter, 5 mirrored.
class LoggingDialogTest : public ::testing::Test {
protected:
    LoggingDialogTest() {
        clock_.SetLocalTime(EncodeDateTime(2024, 3, 5, 7, 8, 9, 0));
        config_.SetProgramDir("/prog/");
        log_.SetProgramDir("/prog/");
        settings_.itemCount = 5;
        const Strings names{"Zulauf", "O2 Becken", "Menge", "Zaehler", "Kopie"};
        for (std::size_t n = 1; n <= names.size(); ++n) {
            items_[n].itemName = names[n - 1];
        }
        dialogLists_.itemNames = names;
        items_[2].Gleitend = true;
        items_[3].Integral = true;
        items_[3].Gleitend = true;
        items_[4].Differenz = true;
        items_[5].mirror.mirrorOn = true;
    }

    void Select(int item) {
        form_.lbDDEItemIndex = item - 1;
        form_.lbDDEClick();
    }
    // The texts shown since the last call, without their stamps.
    Strings Shown() {
        Strings texts;
        for (const std::string& line : log_.MessageList().Lines()) {
            texts.push_back(line.substr(std::string(kStamp).size()));
        }
        log_.MessageList().Clear();
        return texts;
    }

    MemoryFileSystem fs_;
    VirtualClock clock_;
    VirtualEventLoop loop_{clock_};
    ScriptedOperator operator_;
    RecordingShell shell_;
    MemoryInstanceLocks locks_;
    Host host_{fs_, clock_, loop_, operator_, shell_, locks_};
    ProgramLog log_{fs_, clock_, GermanLocale()};
    Configuration config_{host_, log_, GermanLocale()};
    GeneralSettings& settings_ = ConfigurationTestAccess::Settings(config_);
    PerItem<ItemConfig>& items_ = ConfigurationTestAccess::Items(config_);
    ItemLogFlagsArray& logFlags_ = ConfigurationTestAccess::LogFlags(config_);
    DialogItemLists& dialogLists_ = ConfigurationTestAccess::DialogLists(config_);
    TFo_Logging form_{config_, host_, log_};
};

TEST_F(LoggingDialogTest, ShowLoadsTheSettingsIntoTheControlsAndLogsThem) {
    ASSERT_TRUE(
        fs_.WriteAll("/prog/TARVEDDE.INI", "[DDE]\r\nDetailLog=1\r\nTabelLog=1\r\n", false));
    form_.FormShow();
    EXPECT_TRUE(form_.visible);
    EXPECT_TRUE(form_.cbDetailLog);
    EXPECT_FALSE(form_.cbDebugLog);
    EXPECT_EQ(form_.SpinEdit1, 1);
    EXPECT_TRUE(form_.cbTabelLog);
    EXPECT_EQ(form_.lbDDEItems, dialogLists_.itemNames);
    EXPECT_EQ(Shown(),
              (Strings{"[DDE] DetailLog=1 (eingeschaltet).", "[DDE] DebugLog=0 (ausgeschaltet).",
                       "[DDE] TabelLog=1 (eingeschaltet).", "[DDE] LogLevel=1"}));
}

TEST_F(LoggingDialogTest, ClicksBeforeAnySelectionChangeNothing) {
    form_.FormShow();
    form_.cbEinzel = true;
    form_.cbEinzelClick();
    form_.cbSumLog = true;
    form_.cbSumLogClick();
    EXPECT_FALSE(form_.WorkingFlags()[1].Any());
    EXPECT_FALSE(form_.lbSumVisible);
}

TEST_F(LoggingDialogTest, PlainItemOffersSingleValuesOnly) {
    logFlags_[1].logSingleValues = true;
    form_.FormShow();
    Select(1);
    EXPECT_TRUE(form_.cbEinzel && form_.cbEinzelEnabled);
    EXPECT_FALSE(form_.cbGleitLogEnabled || form_.cbSumLogEnabled || form_.Label1Visible);

    form_.cbEinzel = false;
    form_.cbEinzelClick();
    EXPECT_FALSE(form_.WorkingFlags()[1].logSingleValues);
    EXPECT_TRUE(logFlags_[1].logSingleValues);  // live only on close
}

TEST_F(LoggingDialogTest, MovingAverageBoxFollowsTheItemsConfiguration) {
    logFlags_[1].logMovingAverage = true;  // stale flag of an item without them
    logFlags_[2].logMovingAverage = true;
    form_.FormShow();
    Select(1);
    EXPECT_FALSE(form_.cbGleitLog || form_.cbGleitLogEnabled);
    Select(2);
    EXPECT_TRUE(form_.cbGleitLog && form_.cbGleitLogEnabled);

    form_.cbGleitLog = false;
    form_.cbGleitLogClick();
    EXPECT_FALSE(form_.WorkingFlags()[2].logMovingAverage);
}

TEST_F(LoggingDialogTest, IntegralItemShowsItsSumAsIntegral) {
    logFlags_[3].logIntegral = true;
    form_.FormShow();
    Select(3);
    EXPECT_TRUE(form_.cbSumLog && form_.cbSumLogEnabled);
    EXPECT_FALSE(form_.cbEinzel || form_.cbEinzelEnabled);
    EXPECT_TRUE(form_.lbSumVisible);
    EXPECT_EQ(form_.lbSum, "(Integral)");

    form_.cbSumLog = false;
    form_.cbSumLogClick();
    EXPECT_FALSE(form_.lbSumVisible);
    EXPECT_FALSE(form_.WorkingFlags()[3].Any());
}

TEST_F(LoggingDialogTest, CounterItemSumSetsTheDifferenceFlag) {
    form_.FormShow();
    Select(4);
    EXPECT_FALSE(form_.cbSumLog);
    EXPECT_FALSE(form_.lbSumVisible);

    form_.cbSumLog = true;
    form_.cbSumLogClick();
    EXPECT_TRUE(form_.lbSumVisible);
    EXPECT_EQ(form_.lbSum, "(Zählerdifferenz)");
    EXPECT_EQ(form_.WorkingFlags()[4], (ItemLogFlags{false, false, false, true}));

    // Back on the counter after another item: the stored difference flag checks the box.
    Select(1);
    Select(4);
    EXPECT_TRUE(form_.cbSumLog && form_.lbSumVisible);
    EXPECT_EQ(form_.lbSum, "(Zählerdifferenz)");
}

TEST_F(LoggingDialogTest, MirroredItemIsLockedUntilAnotherItemIsSelected) {
    logFlags_[5].logSingleValues = true;
    logFlags_[3].logIntegral = true;
    form_.FormShow();
    Select(3);
    Select(5);
    EXPECT_TRUE(form_.Label1Visible);
    EXPECT_FALSE(form_.cbEinzel || form_.cbGleitLog || form_.cbSumLog);
    EXPECT_FALSE(form_.cbGleitLogEnabled || form_.cbSumLogEnabled || form_.lbSumVisible);

    form_.cbEinzel = true;
    form_.cbEinzelClick();
    form_.cbEinzel = false;
    form_.cbEinzelClick();
    EXPECT_TRUE(form_.WorkingFlags()[5].logSingleValues);

    Select(1);
    EXPECT_FALSE(form_.Label1Visible);
    form_.cbEinzel = true;
    form_.cbEinzelClick();
    EXPECT_TRUE(form_.WorkingFlags()[1].logSingleValues);
}

TEST_F(LoggingDialogTest, SwitchAllOffClearsEveryItemAndLogsIt) {
    logFlags_[1].logSingleValues = true;
    logFlags_[4].logCounterDifference = true;
    form_.FormShow();
    Select(4);
    Shown();
    form_.BitBtn1Click();
    EXPECT_FALSE(form_.cbEinzel || form_.cbGleitLog || form_.cbSumLog || form_.lbSumVisible);
    for (std::size_t item = 1; item <= 180; ++item) {
        EXPECT_FALSE(form_.WorkingFlags()[item].Any()) << item;
    }
    EXPECT_EQ(Shown(), Strings{"Logging für alle abgeschaltet."});

    form_.FormClose();
    EXPECT_FALSE(logFlags_[1].Any() || logFlags_[4].Any());
    EXPECT_TRUE(Shown().empty());
}

TEST_F(LoggingDialogTest, CloseCopiesTheFlagsBackAndNamesEveryLoggedItem) {
    logFlags_[2].logMovingAverage = true;
    logFlags_[6].logSingleValues = true;  // beyond the item count: left alone
    form_.FormShow();
    Select(4);
    form_.cbSumLog = true;
    form_.cbSumLogClick();
    form_.cbTabelLog = true;
    Shown();

    form_.FormClose();
    EXPECT_FALSE(form_.visible);
    EXPECT_EQ(logFlags_[4].logCounterDifference, true);
    EXPECT_TRUE(logFlags_[6].logSingleValues);
    EXPECT_TRUE(log_.Settings().tabelLog);
    EXPECT_EQ(Shown(),
              (Strings{"O2 Becken : Logging eingeschaltet.", "Zaehler : Logging eingeschaltet."}));
    EXPECT_EQ(fs_.ReadAll("/prog/TARVEDDE.INI").value_or(""), "");  // TabelLog not saved

    form_.FormClose();  // the view's own close event after the form closed itself
    EXPECT_TRUE(Shown().empty());
}

TEST_F(LoggingDialogTest, SaveButtonWritesReloadsAndCloses) {
    logFlags_[1].logSingleValues = true;
    form_.FormShow();
    Shown();
    form_.SpinEdit1 = 4;
    form_.cbTabelLog = true;
    form_.Button1Click();

    EXPECT_EQ(fs_.ReadAll("/prog/TARVEDDE.INI").value_or(""),
              "[DDE]\r\nDetailLog=0\r\nDebugLog=0\r\nTabelLog=1\r\nLogLevel=4\r\n");
    EXPECT_EQ(log_.Settings().logLevel, 4);
    EXPECT_FALSE(form_.visible);
    EXPECT_EQ(Shown(),
              (Strings{"[DDE] DetailLog=0 (ausgeschaltet).", "[DDE] DebugLog=0 (ausgeschaltet).",
                       "[DDE] TabelLog=1 (eingeschaltet).", "[DDE] LogLevel=4",
                       "Zulauf : Logging eingeschaltet."}));
}

}  // namespace
}  // namespace tarvedde

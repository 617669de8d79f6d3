#include "dialogs/tarvedde_logging.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

using Strings = std::vector<std::string>;

// Items: 1 plain, 2 with moving averages, 3 integral, 4 counter, 5 mirrored.
class LoggingDialogTest : public testing::EngineFixture {
protected:
    LoggingDialogTest() {
        settings_.itemCount = 5;
        const Strings names{"Zulauf", "O2 Becken", "Menge", "Zaehler", "Kopie"};
        for (int n = 1; n <= 5; ++n) {
            Item(n).itemName = names[static_cast<std::size_t>(n) - 1];
        }
        dialogLists_.itemNames = names;
        Item(2).Gleitend = true;
        Item(3).Integral = true;
        Item(3).Gleitend = true;
        Item(4).Differenz = true;
        Item(5).mirror.mirrorOn = true;
    }

    void Select(int item) {
        form_.lbDDEItemIndex = item - 1;
        form_.lbDDEClick();
    }
    // The three item boxes (X checked, o unchecked, - unchecked and disabled, x checked
    // and disabled), then the sum label if shown and the mirror label if shown.
    std::string Boxes() const {
        const auto box = [](bool checked, bool enabled) {
            return std::string(1, checked ? (enabled ? 'X' : 'x') : (enabled ? 'o' : '-'));
        };
        return box(form_.cbEinzel, form_.cbEinzelEnabled) +
               box(form_.cbGleitLog, form_.cbGleitLogEnabled) +
               box(form_.cbSumLog, form_.cbSumLogEnabled) +
               (form_.lbSumVisible ? " " + form_.lbSum : "") +
               (form_.Label1Visible ? " gespiegelt" : "");
    }
    // The texts shown since the last call, without their stamps.
    Strings Shown() {
        Strings texts;
        for (const std::string& line : log_.MessageList().Lines()) {
            texts.push_back(line.substr(line.find(" > ") + 3));
        }
        log_.MessageList().Clear();
        return texts;
    }

    ItemLogFlagsArray& logFlags_ = ConfigurationTestAccess::LogFlags(config_);
    DialogItemLists& dialogLists_ = ConfigurationTestAccess::DialogLists(config_);
    TFo_Logging form_{config_, env_.host, log_};
};

// Each kind of item offers its own boxes; a click edits the working copy, which reaches
// the live flags only on close.
TEST_F(LoggingDialogTest, EachItemKindOffersItsBoxesAndCloseCopiesTheWorkingFlags) {
    logFlags_[1] = {true, true, false, false};  // a stale moving flag: item 1 has none
    logFlags_[3].logIntegral = true;
    logFlags_[5].logSingleValues = true;
    logFlags_[6].logSingleValues = true;  // beyond the item count: left alone
    form_.FormShow();
    EXPECT_EQ(form_.lbDDEItems, dialogLists_.itemNames);
    form_.cbEinzel = true;  // before any selection: ignored
    form_.cbEinzelClick();
    form_.cbSumLog = true;
    form_.cbSumLogClick();
    EXPECT_FALSE(form_.WorkingFlags()[0].Any() || form_.lbSumVisible);

    Select(1);
    EXPECT_EQ(Boxes(), "X--");
    form_.cbEinzel = false;
    form_.cbEinzelClick();
    Select(2);
    EXPECT_EQ(Boxes(), "oo-");
    form_.cbGleitLog = true;
    form_.cbGleitLogClick();
    Select(3);
    EXPECT_EQ(Boxes(), "-oX (Integral)");
    form_.cbSumLog = false;
    form_.cbSumLogClick();
    EXPECT_EQ(Boxes(), "-oo");
    Select(4);
    EXPECT_EQ(Boxes(), "--o");
    form_.cbSumLog = true;
    form_.cbSumLogClick();
    EXPECT_EQ(Boxes(), "--X (Zählerdifferenz)");
    Select(5);
    EXPECT_EQ(Boxes(), "--- gespiegelt");
    form_.cbEinzel = false;  // locked: the click is ignored
    form_.cbEinzelClick();
    Select(4);  // the working flag checks the box again
    EXPECT_EQ(Boxes(), "--X (Zählerdifferenz)");

    EXPECT_EQ(form_.WorkingFlags()[1], (ItemLogFlags{false, true, false, false}));
    EXPECT_EQ(form_.WorkingFlags()[2], (ItemLogFlags{false, true, false, false}));
    EXPECT_FALSE(form_.WorkingFlags()[3].Any());
    EXPECT_EQ(form_.WorkingFlags()[4], (ItemLogFlags{false, false, false, true}));
    EXPECT_EQ(logFlags_[1], (ItemLogFlags{true, true, false, false}));
    form_.cbTabelLog = true;
    Shown();
    form_.FormClose();
    EXPECT_FALSE(form_.visible);
    EXPECT_EQ(logFlags_[4], (ItemLogFlags{false, false, false, true}));
    EXPECT_FALSE(logFlags_[3].Any());
    EXPECT_TRUE(logFlags_[5].logSingleValues && logFlags_[6].logSingleValues);
    EXPECT_TRUE(log_.Settings().tabelLog);
    EXPECT_EQ(Shown(),
              (Strings{"Zulauf : Logging eingeschaltet.", "O2 Becken : Logging eingeschaltet.",
                       "Zaehler : Logging eingeschaltet.", "Kopie : Logging eingeschaltet."}));
    EXPECT_EQ(env_.ReadText("TARVEDDE.INI"), "<missing>");  // TabelLog not saved
    form_.FormClose();  // the view's own close event after the form closed itself
    EXPECT_TRUE(Shown().empty());

    form_.FormShow();
    Select(4);
    Shown();
    form_.BitBtn1Click();
    EXPECT_EQ(Boxes(), "--o");
    for (std::size_t item = 1; item <= 180; ++item) {
        EXPECT_FALSE(form_.WorkingFlags()[item].Any()) << item;
    }
    EXPECT_EQ(Shown(), Strings{"Logging für alle abgeschaltet."});
    form_.FormClose();
    EXPECT_FALSE(logFlags_[1].Any() || logFlags_[4].Any() || logFlags_[5].Any());
    EXPECT_TRUE(Shown().empty());
}

TEST_F(LoggingDialogTest, ShowLoadsTheSettingsAndSaveWritesReloadsAndCloses) {
    env_.WriteText("TARVEDDE.INI", "[DDE]\nDetailLog=1\nTabelLog=1\n");
    logFlags_[1].logSingleValues = true;
    form_.FormShow();
    EXPECT_TRUE(form_.visible);
    EXPECT_TRUE(form_.cbDetailLog && form_.cbTabelLog);
    EXPECT_FALSE(form_.cbDebugLog);
    EXPECT_EQ(form_.SpinEdit1, 1);
    Shown();

    form_.SpinEdit1 = 11;
    form_.cbTabelLog = false;
    form_.Button1Click();
    // The switch stays in the file; from level 3 up the reload turns it off.
    EXPECT_EQ(env_.ReadText("TARVEDDE.INI"),
              "[DDE]\r\nDetailLog=1\r\nTabelLog=0\r\nDebugLog=0\r\nLogLevel=10\r\n");
    EXPECT_EQ(form_.SpinEdit1, 10);
    EXPECT_FALSE(form_.cbDetailLog || form_.visible);
    // The reload's lines, then the flags the close hands over.
    EXPECT_EQ(Shown().back(), "Zulauf : Logging eingeschaltet.");

    // A selection past the item count, as after the count shrank, selects nothing.
    Select(1);
    const std::string first = Boxes();
    settings_.itemCount = 3;
    dialogLists_.itemNames.resize(3);
    Select(5);
    EXPECT_EQ(Boxes(), first);
    form_.FormShow();
    EXPECT_EQ(form_.lbDDEItemIndex, -1);
}

}  // namespace
}  // namespace tarvedde

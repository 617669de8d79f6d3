#include "gui/graf_einstell_view.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "tests/gui/dialog_view_fixture.h"

namespace tarvedde {
namespace {

class GrafEinstellViewTest : public testing::DialogViewTest {
protected:
    static constexpr char kWindow[] = "TFo_GrafEinstell";
    template <class T>
    T* Find(const char* name) {
        return Control<T>(kWindow, name);
    }
};

TEST_F(GrafEinstellViewTest, AnEditOffersSavingAndTheSaveReachesModelAndIni) {
    StartPlant();
    catalog_.Window(kWindow)->show();
    EXPECT_EQ(catalog_.Window(kWindow)->windowTitle(), "  DDE-Werte von VIDURA Rovuvadoz");
    EXPECT_EQ(Find<QLineEdit>("editName")->text(), "Zulauf");
    EXPECT_TRUE(Find<QWidget>("panelSpeichern")->isHidden());

    Type(Find<QLineEdit>("editOben"), "500");
    EXPECT_FALSE(Find<QWidget>("panelSpeichern")->isHidden());
    EXPECT_FALSE(Find<QPushButton>("btBack")->isEnabled());
    EXPECT_FALSE(Find<QListWidget>("lbDDE")->isEnabled());
    Find<QPushButton>("btSpeichern")->click();
    EXPECT_EQ(Item(1).effectiveUpLimit, 500.0);
    EXPECT_EQ(IniValue("TARVEDDE.INI", "UpLimit", "Item1"), "500,00");
    EXPECT_TRUE(Find<QWidget>("panelSpeichern")->isHidden());
    EXPECT_TRUE(Find<QListWidget>("lbDDE")->isEnabled());
}

// The editor is modal: the test works it from inside its own event loop.
TEST_F(GrafEinstellViewTest, TheTimeTableItOpensIsSavedAndFramesTheItem) {
    StartPlant();
    catalog_.Window(kWindow)->show();
    Find<QCheckBox>("cbRahmen")->click();
    ASSERT_TRUE(Find<QPushButton>("btTabelle")->isEnabled());
    QString editorTitle;
    QTimer::singleShot(0, [&] {
        QWidget* editor = QApplication::activeModalWidget();
        ASSERT_NE(editor, nullptr);
        editorTitle = editor->windowTitle();
        for (const char* time : {"07", "18"}) {
            editor->findChild<QLineEdit*>("eT1")->setText(time);
            editor->findChild<QPushButton*>("SpeedButton1")->click();
        }
        editor->findChild<QPushButton*>("btSave")->click();
        editor->close();
    });
    Find<QPushButton>("btTabelle")->click();
    EXPECT_EQ(editorTitle, "  Zeit-Tabelle");
    EXPECT_EQ(Main().TimeFrameStats().Table(1).entryCount, 2);
    // The editor is a child of the dialog and has an eT1 of its own.
    auto* frame = Find<QGroupBox>("gbDDE");
    EXPECT_EQ(frame->findChild<QLineEdit*>("eT1")->text(), "07:00:00");
    EXPECT_EQ(frame->findChild<QLineEdit*>("eT2")->text(), "18:00:00");
}

}  // namespace
}  // namespace tarvedde

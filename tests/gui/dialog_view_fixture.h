// A running plant of three items with the operator dialogs in a window catalog; the
// views are children of one owner, so each test ends with them.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "gui/operator_dialog_views.h"
#include "platform/memory_printers.h"
#include "tests/engine/engine_fixture.h"
#include "tests/gui/qt_application.h"

namespace tarvedde::testing {

class DialogViewTest : public EngineFixture {
protected:
    static void SetUpTestSuite() { EnsureQtApplication(); }

    TarveddeMain& StartPlant() {
        WriteIni(
            "[DDE]\nAutoStart=1\nItemcount=3\nIntervall=1\nEinheit=0\n[Items]\nItem1=Q\n"
            "Item2=T\nItem3=P\n[Itemnames]\nItem1=Zulauf\nItem2=Temperatur\nItem3=Pegel\n"
            "[Einheiten]\nItem1=l/s\nItem2=°C\nItem3=m\n");
        TarveddeMain& main = Start();
        AddOperatorDialogViews(catalog_, main, printers_);
        return main;
    }

    template <class T>
    T* Control(const std::string& window, const char* name) {
        T* control = catalog_.Window(window)->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << window << " has no " << name;
        return control;
    }

    // As the operator types: the edit reports each key as an edit of its own.
    static void Type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        edit->del();
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
        }
    }

    MemoryPrinters printers_;
    QWidget owner_;
    WindowCatalog catalog_{&owner_};
};

}  // namespace tarvedde::testing

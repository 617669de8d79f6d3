// Drives the modal dialog that `open` shows: `drive` runs inside its event loop, and the
// dialog is closed afterwards if `drive` left it open, so a failed check cannot hang.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace tarvedde::testing {

template <typename Open, typename Drive>
void WithModalDialog(Open open, Drive drive) {
    bool shown = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        shown = true;
        drive(*dialog);
        if (dialog->isVisible()) {
            dialog->reject();
        }
    });
    timer.start(0);
    open();
    EXPECT_TRUE(shown) << "no modal dialog opened";
}

}  // namespace tarvedde::testing

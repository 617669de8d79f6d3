// The one QApplication of the gui test binary, created by whichever test needs it first.
#pragma once

#include <QApplication>

namespace tarvedde::testing {

inline void EnsureQtApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
}

}  // namespace tarvedde::testing

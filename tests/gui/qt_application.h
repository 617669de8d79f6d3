// The one QApplication of the gui test binary, created by whichever test needs it first.
#pragma once

#include <QApplication>

namespace tarvedde::testing {

inline void EnsureQtApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at exit Qt's own globals may already be gone, and the input devices
    // a key event or a modal dialog created would crash the application's destructor.
    static const QApplication* application = new QApplication(argc, argv);
    (void)application;
}

}  // namespace tarvedde::testing

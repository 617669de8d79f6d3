// The one QApplication of the gui test binary, created by whichever test needs it first.
#pragma once

#include <QApplication>
#include <QStandardPaths>

namespace tarvedde::testing {

inline void EnsureQtApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: a window shown under the pointer creates Qt's input-device
    // registry after the application, so at exit the registry would go first and the
    // application's destructor would crash on it.
    [[maybe_unused]] static auto* application = new QApplication(argc, argv);
    // Windows remember their geometry; tests must not touch the user's settings.
    QStandardPaths::setTestModeEnabled(true);
}

}  // namespace tarvedde::testing

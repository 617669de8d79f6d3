// Pictures of the program's windows for a reviewer: each window of the catalog is shown
// as the operator would open it, given a moment to fill, grabbed and hidden again.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "gui/window_catalog.h"

namespace tarvedde {

// Saves <directory>/<catalog name>.png for every window of the catalog (modal ones are
// shown, not run), then <directory>/main.png of the main window. Each window gets
// `settleMs` of the event loop before its picture. Returns the names whose picture could
// not be made or saved.
std::vector<std::string> TakeScreenshots(QWidget& mainWindow, WindowCatalog& catalog,
                                         const std::string& directory, int settleMs = 300);

// After `delayMs` (cycles run meanwhile, so the windows show values) the tour runs, its
// failures go to stderr, and the main window is closed as the operator closes it.
void ScheduleScreenshotTour(QWidget& mainWindow, WindowCatalog& catalog, std::string directory,
                            int delayMs);

}  // namespace tarvedde

#include "gui/screenshot_tour.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <iostream>

namespace tarvedde {
namespace {

void LetEventsRun(int ms) {
    QEventLoop wait;
    QTimer::singleShot(ms, &wait, &QEventLoop::quit);
    wait.exec();
}

// A window may tell something when it is shown (a printer dialog on a machine without
// printers): the tour closes such a message so it does not wait for an operator.
bool Photograph(QWidget& window, const QString& path, int settleMs) {
    QTimer dismiss;
    QObject::connect(&dismiss, &QTimer::timeout, [&window] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != &window) {
            modal->close();
        }
    });
    dismiss.start(100);
    window.show();
    window.raise();
    LetEventsRun(settleMs);
    return window.grab().save(path, "PNG");
}

}  // namespace

std::vector<std::string> TakeScreenshots(QWidget& mainWindow, WindowCatalog& catalog,
                                         const std::string& directory, int settleMs) {
    const QDir dir(QString::fromStdString(directory));
    std::vector<std::string> failed;
    if (!dir.mkpath(".")) {
        failed.push_back(directory);
        return failed;
    }
    for (const std::string& name : catalog.Names()) {
        QWidget* window = catalog.Window(name);
        if (window == nullptr) {
            failed.push_back(name);
            continue;
        }
        const bool wasVisible = window->isVisible();
        if (!Photograph(*window, dir.filePath(QString::fromStdString(name) + ".png"), settleMs)) {
            failed.push_back(name);
        }
        if (!wasVisible) {
            window->hide();
        }
    }
    if (!Photograph(mainWindow, dir.filePath("main.png"), settleMs)) {
        failed.push_back("main");
    }
    return failed;
}

void ScheduleScreenshotTour(QWidget& mainWindow, WindowCatalog& catalog, std::string directory,
                            int delayMs) {
    QTimer::singleShot(delayMs, &mainWindow, [&mainWindow, &catalog, directory] {
        for (const std::string& name : TakeScreenshots(mainWindow, catalog, directory)) {
            std::cerr << "screenshots: no picture of " << name << '\n';
        }
        mainWindow.close();
    });
}

}  // namespace tarvedde

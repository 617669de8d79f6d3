#include "gui/about_box_view.h"

#include <QLabel>
#include <QVBoxLayout>

#include "engine/model/main_window_model.h"

namespace tarvedde {
namespace {

constexpr int kSplashMs = 1000;
constexpr int kShownMs = 10000;

}  // namespace

AboutBoxView::AboutBoxView(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("Info");
    // Closing it, even with the main window in the tray, must not end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* name = new QLabel("Tarvewater Online-Client");
    name->setObjectName("ProductName");
    QFont bigger = name->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.6);
    bigger.setBold(true);
    name->setFont(bigger);
    auto* version = new QLabel(kProgramVersion);
    version->setObjectName("Version");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 30, 40, 30);
    layout->addWidget(name, 0, Qt::AlignCenter);
    layout->addWidget(version, 0, Qt::AlignCenter);
    closeTimer_.setSingleShot(true);
    closeTimer_.setTimerType(Qt::PreciseTimer);
    closeTimer_.setInterval(kShownMs);
    connect(&closeTimer_, &QTimer::timeout, this, [this] { done(QDialog::Accepted); });
}

void AboutBoxView::ShowAsSplash() {
    splash_ = true;
    show();
    repaint();
    // The second counts from the moment the program is ready, not from its first line.
    QTimer::singleShot(0, this, [this] {
        if (isVisible()) {
            closeTimer_.start(kSplashMs);
        }
    });
}

void AboutBoxView::showEvent(QShowEvent* event) {
    if (!splash_) {
        closeTimer_.start(kShownMs);
    }
    QDialog::showEvent(event);
}

void AboutBoxView::hideEvent(QHideEvent* event) {
    closeTimer_.stop();
    closeTimer_.setInterval(kShownMs);
    splash_ = false;
    QDialog::hideEvent(event);
}

void AboutBoxView::mousePressEvent(QMouseEvent* event) {
    done(QDialog::Accepted);
    QDialog::mousePressEvent(event);
}

}  // namespace tarvedde

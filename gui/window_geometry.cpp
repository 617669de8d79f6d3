#include "gui/window_geometry.h"

#include <QEvent>
#include <QSettings>

namespace tarvedde {
namespace {

QSettings Store() {
    return QSettings("tarvedde", "windows");
}

// A child of the window, so it lives exactly as long as the window it watches.
class GeometryKeeper final : public QObject {
public:
    GeometryKeeper(QWidget& window, QString key) : QObject(&window), key_(std::move(key)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide) {
            Store().setValue(key_, static_cast<QWidget*>(watched)->saveGeometry());
        }
        return false;
    }

private:
    QString key_;
};

}  // namespace

void RememberGeometry(QWidget& window, const QString& key) {
    const QString entry = "geometry/" + key;
    const QByteArray saved = Store().value(entry).toByteArray();
    if (!saved.isEmpty()) {
        window.restoreGeometry(saved);
    }
    window.installEventFilter(new GeometryKeeper(window, entry));
}

}  // namespace tarvedde

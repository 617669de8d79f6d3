// Windows whose size and place no rule fixes keep the operator's choice across runs
// (QSettings of organisation "tarvedde", one entry per key). A window that was never
// saved keeps the size its constructor gave it.
#pragma once

#include <QString>
#include <QWidget>

namespace tarvedde {

// Restores the window's last geometry now and saves it each time the window is hidden
// (closing, minimising to the tray). Call once, after the constructor's resize().
void RememberGeometry(QWidget& window, const QString& key);

}  // namespace tarvedde

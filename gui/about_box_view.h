// The information window TAboutBox: program name and version. At start it stands as a
// splash screen and closes itself 1 s after the event loop runs; every later showing
// closes after 10 s or at a click.
#pragma once

#include <QDialog>
#include <QTimer>

namespace tarvedde {

class AboutBoxView final : public QDialog {
public:
    explicit AboutBoxView(QWidget* parent = nullptr);

    // Shows the window without blocking and paints it at once: the event loop does not
    // run yet while the other windows are made.
    void ShowAsSplash();
    const QTimer& CloseTimer() const { return closeTimer_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QTimer closeTimer_;
    bool splash_ = false;
};

}  // namespace tarvedde

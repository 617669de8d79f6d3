// The stop countdown's window: a view of TFo_Stop. It appears while the form counts down,
// shows the ticks as a progress bar and passes "Nein, nicht beenden" on to the form.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include "dialogs/tarvedde_stop.h"

namespace tarvedde {

class StopWindow final : public QWidget {
public:
    explicit StopWindow(TFo_Stop& form, QWidget* parent = nullptr);
    ~StopWindow() override;
    StopWindow(const StopWindow&) = delete;
    StopWindow& operator=(const StopWindow&) = delete;

    void Refresh();

protected:
    // Only the button answers the countdown; closing the frame would leave it unanswered.
    void closeEvent(QCloseEvent* event) override;

private:
    TFo_Stop& form_;
    // The caption repeated inside: a title bar is easily overlooked or cut.
    QLabel* text_;
    QProgressBar* p1_;
    QPushButton* bitBtn1_;
};

}  // namespace tarvedde

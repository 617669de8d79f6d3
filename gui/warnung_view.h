// The warning window " Prozessdaten - Grenzwertüberschreitung !": a view of TFo_Warnung
// that appears by itself whenever the engine shows the window and goes when it hides it,
// so it must exist from the program's start.
#pragma once

#include <QCheckBox>
#include <QListWidget>
#include <QWidget>

#include "dialogs/tarvedde_warnung.h"

namespace tarvedde {

class WarnungView final : public QWidget {
public:
    WarnungView(TFo_Warnung& form, WarningWindowModel& window, QWidget* parent = nullptr);
    ~WarnungView() override;
    WarnungView(const WarnungView&) = delete;
    WarnungView& operator=(const WarnungView&) = delete;

    void Refresh();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TFo_Warnung& form_;
    WarningWindowModel& window_;
    QListWidget* lb1_;
    QCheckBox* cb1_;
};

}  // namespace tarvedde

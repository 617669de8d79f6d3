// The logging dialog " Logbuch einstellen": a view of TFo_Logging. Any way of closing
// it ends the form's showing, which hands the edited switches to the engine.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QWidget>

#include "dialogs/tarvedde_logging.h"

namespace tarvedde {

class LoggingView final : public QWidget {
public:
    explicit LoggingView(TFo_Logging& form, QWidget* parent = nullptr);

    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QCheckBox* CheckBox(const char* name, const char* text);
    // Copies the edited controls into the form, runs the handler and shows the outcome.
    void Run(void (TFo_Logging::*handler)());

    TFo_Logging& form_;
    QCheckBox* cbDetailLog_;
    QCheckBox* cbDebugLog_;
    QSpinBox* spinEdit1_;
    QCheckBox* cbTabelLog_;
    QListWidget* lbDDE_;
    QCheckBox* cbEinzel_;
    QCheckBox* cbGleitLog_;
    QCheckBox* cbSumLog_;
    QLabel* label1_;
    QLabel* lbSum_;
    bool refreshing_ = false;
};

}  // namespace tarvedde

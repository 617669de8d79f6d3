// The live data window ("Echtzeit-Daten"): a view of the engine's live grid and the two
// spin edits of the number format. It repaints when the grid reports a change.
#pragma once

#include <QSpinBox>
#include <QTableWidget>
#include <QWidget>

#include "dialogs/tarvedde_echtdaten.h"

namespace tarvedde {

class LiveDataWindow final : public QWidget {
public:
    LiveDataWindow(LiveGrid& grid, TFo_Echtdaten& form, QWidget* parent = nullptr);

    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FitWidthOnce();
    LiveGrid& grid_;
    TFo_Echtdaten& form_;
    QTableWidget* grEcht_;
    QSpinBox* spPR_;
    QSpinBox* spNK_;
    // The first fill widens the window to show every item (as far as the screen allows);
    // later the operator's size stands.
    bool widthFitted_ = false;
};

}  // namespace tarvedde

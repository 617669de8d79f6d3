// The time table editor: a modal view of TFo_TimeTable that the item settings dialog runs
// for one item (the form's `item`, set before showing). Closing it asks the form whether to save,
// then lets the form reload.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "dialogs/tarvedde_graf_einstell.h"
#include "dialogs/tarvedde_time_table.h"

namespace tarvedde {

class TimeTableView final : public QDialog, public ModalTimeTable {
public:
    explicit TimeTableView(TFo_TimeTable& form, QWidget* parent = nullptr);

    // Shows the editor for `form` (the one it was made with) and returns when it closes.
    void Run(TFo_TimeTable& form) override;
    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void Collect();
    void Call(void (TFo_TimeTable::*handler)());

    TFo_TimeTable& form_;
    QLabel* lbItem_;
    QLineEdit* eT1_;
    QLineEdit* eT2_;
    QLineEdit* eT3_;
    QListWidget* lb1_;
};

}  // namespace tarvedde

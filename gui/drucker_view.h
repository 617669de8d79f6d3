// The printer dialog: a modal view of TFo_Drucker over the print system's printers. The
// form decides (a fax is refused); the view only lists and forwards.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>

#include "dialogs/tarvedde_drucker.h"

namespace tarvedde {

class DruckerView final : public QDialog {
public:
    explicit DruckerView(TFo_Drucker& form, QWidget* parent = nullptr);

    void Refresh();
    // Escape and the frame's close button cancel as "Abbrechen" does.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TFo_Drucker& form_;
    QListWidget* lbDrucker_;
    QLabel* label2_;
};

}  // namespace tarvedde

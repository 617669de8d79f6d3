// The view of TFo_AqasysAbruf " AQASYS-Werte neu abrufen": the two dates, the marking
// buttons and the check box. When the form closes without "Abbrechen" the view starts
// the transfer as the main window's start button would.
#pragma once

#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>

#include "dialogs/tarvedde_aqasys_abruf.h"
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class AqasysAbrufView final : public QDialog {
public:
    explicit AqasysAbrufView(TarveddeMain& main, QWidget* parent = nullptr);
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    template <typename Handler>
    void Run(Handler handler) {
        handler();
        Refresh();
        if (!form_.visible && isVisible()) {
            if (form_.StartsTransfer()) {
                main_.ButtonClick("btStartDDE");
            }
            QDialog::accept();
        }
    }
    void Refresh();

    TarveddeMain& main_;
    TFo_AqasysAbruf form_;
    QDateEdit* dtVom_;
    QDateEdit* dtBis_;
    QCheckBox* cbGelesen_;
};

}  // namespace tarvedde

// The view of TFo_Kestrom1 "DDE-Parameter von Kestrom AQASYS": the parameter codes and
// names side by side, the kind, number and name of a new parameter, and the save panel
// that shows while the lists hold unsaved changes.
#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

#include "dialogs/tarvedde_kestrom.h"
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class Kestrom1View final : public QDialog {
public:
    explicit Kestrom1View(TarveddeMain& main, QWidget* parent = nullptr);
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    template <typename Handler>
    void Run(Handler handler) {
        if (refreshing_) {
            return;
        }
        handler();
        Refresh();
        if (!form_.visible && isVisible()) {
            QDialog::accept();
        }
    }
    void Refresh();

    TFo_Kestrom1 form_;
    bool refreshing_ = false;
    QListWidget* lbDDE_;
    QListWidget* lbName_;
    QButtonGroup* rgMessart_;
    QSpinBox* eNummer_;
    QLineEdit* eName_;
    QPushButton* btHinzu_;
    QWidget* pnSpeichern_;
    QPushButton* btZurueck_;
};

}  // namespace tarvedde

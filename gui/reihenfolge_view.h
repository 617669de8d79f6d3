// The protocol order dialog: a modal view of TFo_Reihenfolge. Every way of closing it
// (OK, Escape, the frame) ends the form's showing, which writes the order.
#pragma once

#include <QDialog>
#include <QListWidget>

#include "dialogs/tarvedde_reihenfolge.h"

namespace tarvedde {

class ReihenfolgeView final : public QDialog {
public:
    explicit ReihenfolgeView(TFo_Reihenfolge& form, QWidget* parent = nullptr);

    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TFo_Reihenfolge& form_;
    QListWidget* lbnam_;
    bool refreshing_ = false;
};

}  // namespace tarvedde

// The calibration window: a view of TFo_Kalibrierung, shown without blocking. Showing it
// starts the form (and its one-second refresh of the current value), hiding it closes it.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QWidget>

#include "dialogs/tarvedde_kalibrierung.h"
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class KalibrierungView final : public QWidget {
public:
    explicit KalibrierungView(TarveddeMain& main, QWidget* parent = nullptr);
    ~KalibrierungView() override;
    KalibrierungView(const KalibrierungView&) = delete;
    KalibrierungView& operator=(const KalibrierungView&) = delete;

    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The operator's entries into the form before one of its handlers runs.
    void Collect();
    void Run(void (TFo_Kalibrierung::*handler)());

    TFo_Kalibrierung form_;
    QListWidget* lbNames_;
    QLabel* lbName_;
    QLabel* lbAkt_;
    QLabel* lbSum_;
    QLineEdit* eMinforUser_;
    QLineEdit* eMaxforUser_;
    QSpinBox* e_minforsps_;
    QSpinBox* e_maxforsps_;
    QLabel* lb_M_;
    QLabel* lb_T_;
};

}  // namespace tarvedde

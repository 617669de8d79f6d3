// The counter window: a view of TFo_Zaehler, shown without blocking. Hiding it closes the
// form, which writes every item's counter keys.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include "dialogs/tarvedde_zaehler.h"
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class ZaehlerView final : public QWidget {
public:
    explicit ZaehlerView(TarveddeMain& main, QWidget* parent = nullptr);

    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* BuildCounterPage();
    QWidget* BuildStatisticsPage();
    void Collect();
    void Run(void (TFo_Zaehler::*handler)());
    void Connect(QPushButton* button, void (TFo_Zaehler::*handler)());

    TFo_Zaehler form_;
    QListWidget* lbDDE_;
    QLabel* gespiegelt_;
    QWidget* tsZaehler_ = nullptr;
    QLineEdit* eAktuell_;
    QLineEdit* eGesamt_;
    QLineEdit* eBasis_;
    QLineEdit* eNeu_;
    QLabel* lbEinheit_;
    QCheckBox* cbSum_;
    QCheckBox* cbTag_;
    QLineEdit* eMin_;
    QLineEdit* eMax_;
};

}  // namespace tarvedde

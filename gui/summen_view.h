// The sums window ("Summen der Messwerte"): a view of TFo_Summen. The form ticks every
// second while the window is shown; the view repaints after each tick and each click.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

#include "dialogs/tarvedde_summen.h"

namespace tarvedde {

class SummenView final : public QWidget {
public:
    explicit SummenView(TFo_Summen& form, QWidget* parent = nullptr);
    ~SummenView() override;
    SummenView(const SummenView&) = delete;
    SummenView& operator=(const SummenView&) = delete;

    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* AddLabel(const char* name);

    TFo_Summen& form_;
    QListWidget* lbNames_;
    QLabel* lbSumme_;
    QLabel* lbMittel_;
    QLabel* lbMinimum_;
    QLabel* lbMaximum_;
    QLabel* lbPufferIndex_;
    QLabel* lbSum_;
    QLabel* lbMit_;
    QLabel* lbMin_;
    QLabel* lbMax_;
    QLabel* lbInd_;
    QPushButton* button1_;
    QPushButton* bitBtn1_;
    QLineEdit* edit1_;
    QLineEdit* edit2_;
};

}  // namespace tarvedde

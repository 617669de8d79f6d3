// The maintenance window: a view of TFo_Wartung, shown without blocking. It follows the
// form also when the maintenance timer switches every item off while it is open.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QWidget>

#include "dialogs/tarvedde_wartung.h"
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class WartungView final : public QWidget {
public:
    explicit WartungView(TarveddeMain& main, QWidget* parent = nullptr);
    ~WartungView() override;
    WartungView(const WartungView&) = delete;
    WartungView& operator=(const WartungView&) = delete;

    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Collect();
    void Run(void (TFo_Wartung::*handler)());

    TFo_Wartung form_;
    QListWidget* lbDDE_;
    QCheckBox* cbWartung_;
    QSpinBox* T_Wartung_;
    QLineEdit* eMin_;
    QLineEdit* eMax_;
    QLabel* gespiegelt_;
};

}  // namespace tarvedde

// The statistics window " Meldungen": a view of TFo_Statistik. The day protocol Memo2 is
// drawn from the engine's rich text as it grows (only the new paragraphs while shown, the
// whole text when shown again); Memo1 shows the message text and takes the operator's
// typing, which a later "Speichern" saves.
#pragma once

#include <QLabel>
#include <QSpinBox>
#include <QTextEdit>
#include <QWidget>
#include <cstddef>

#include "dialogs/tarvedde_statistik.h"

namespace tarvedde {

class StatistikView final : public QWidget {
public:
    explicit StatistikView(TFo_Statistik& form, QWidget* parent = nullptr);
    ~StatistikView() override;
    StatistikView(const StatistikView&) = delete;
    StatistikView& operator=(const StatistikView&) = delete;

    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* BuildRow(bool lower);
    void Run(const TFo_Statistik::Action& action);
    void ApplyFontSize();
    void RefreshMemo2();
    void RefreshMemo1();
    void Memo1Edited();

    TFo_Statistik& form_;
    QTextEdit* memo2_;
    QTextEdit* memo1_;
    QSpinBox* spinEdit1_;
    QLabel* panel1_;
    std::size_t memo2Shown_ = 0;  // paragraphs of Memo2 in the widget
    bool refreshing_ = false;
};

}  // namespace tarvedde

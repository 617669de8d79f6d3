// What the views of the two diary binding dialogs share: the position list, the bound
// item, the item selector and the choice of the value handed over, the save and cancel
// buttons. Each showing starts the form's working copy anew; closing the window without
// saving discards it.
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "dialogs/diary_binding_form.h"

namespace tarvedde {

class DiaryBindingView : public QDialog {
public:
    void reject() override;

protected:
    // Builds the shared controls; `form` is not read before the first showing, so a
    // derived view may construct it after this base.
    DiaryBindingView(DiaryBindingForm& form, QWidget* parent);

    void showEvent(QShowEvent* event) override;
    // The time frame's controls of the dialog, below the value choice.
    QVBoxLayout& TimeArea() { return *timeArea_; }
    // Calls a handler of the form, shows its outcome and closes when the form did.
    template <typename Handler>
    void Run(Handler handler) {
        if (refreshing_) {
            return;
        }
        handler();
        Refresh();
        if (!bindingForm_.visible && isVisible()) {
            QDialog::accept();
        }
    }
    void Refresh();
    virtual void RefreshTime() = 0;
    virtual void Save() = 0;

private:
    DiaryBindingForm& bindingForm_;
    bool refreshing_ = false;
    QListWidget* lbCget_;
    QLabel* lbIndex_;
    QLabel* lbDDE_;
    QComboBox* cbDDE_;
    QButtonGroup* rgWas_;
    QVBoxLayout* timeArea_;
};

}  // namespace tarvedde

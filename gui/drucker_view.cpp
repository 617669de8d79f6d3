#include "gui/drucker_view.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvedde {

DruckerView::DruckerView(TFo_Drucker& form, QWidget* parent)
    : QDialog(parent), form_(form), lbDrucker_(new QListWidget), label2_(new QLabel) {
    setObjectName("Fo_Drucker");
    setWindowTitle("Drucker");
    lbDrucker_->setObjectName("lbDrucker");
    label2_->setObjectName("Label2");
    auto* btOK = new QPushButton("OK");
    btOK->setObjectName("btOK");
    btOK->setDefault(true);
    auto* btAbbrechen = new QPushButton("Abbrechen");
    btAbbrechen->setObjectName("btAbbrechen");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    buttons->addWidget(btAbbrechen);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label2_);
    layout->addWidget(lbDrucker_, 1);
    layout->addLayout(buttons);
    resize(420, 320);

    connect(btOK, &QPushButton::clicked, this, [this] {
        form_.lbDruckerItemIndex = lbDrucker_->currentRow();
        form_.btOKClick();
        Refresh();
        accept();
    });
    connect(btAbbrechen, &QPushButton::clicked, this, &DruckerView::reject);
}

void DruckerView::Refresh() {
    lbDrucker_->clear();
    for (const std::string& name : form_.lbDrucker) {
        lbDrucker_->addItem(QString::fromStdString(name));
    }
    lbDrucker_->setCurrentRow(form_.lbDruckerItemIndex);
    label2_->setText(QString::fromStdString(form_.Label2));
}

void DruckerView::reject() {
    form_.btAbbrechenClick();
    QDialog::reject();
}

void DruckerView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    form_.FormShow();
    Refresh();
}

}  // namespace tarvedde

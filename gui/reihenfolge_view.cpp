#include "gui/reihenfolge_view.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvedde {

ReihenfolgeView::ReihenfolgeView(TFo_Reihenfolge& form, QWidget* parent)
    : QDialog(parent), form_(form), lbnam_(new QListWidget) {
    setObjectName("Fo_Reihenfolge");
    setWindowTitle("Reihenfolge");
    lbnam_->setObjectName("lbnam");
    auto* btUp = new QToolButton;
    btUp->setObjectName("btUp");
    btUp->setArrowType(Qt::UpArrow);
    auto* btDown = new QToolButton;
    btDown->setObjectName("btDown");
    btDown->setArrowType(Qt::DownArrow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    arrows->addWidget(btUp);
    arrows->addWidget(btDown);
    arrows->addStretch(1);
    auto* row = new QHBoxLayout;
    row->addWidget(lbnam_, 1);
    row->addLayout(arrows);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row, 1);
    layout->addWidget(buttons);
    resize(340, 460);

    connect(lbnam_, &QListWidget::currentRowChanged, this, [this](int current) {
        if (!refreshing_) {
            form_.lbnamItemIndex = current;
        }
    });
    connect(btUp, &QToolButton::clicked, this, [this] {
        form_.btUpClick();
        Refresh();
    });
    connect(btDown, &QToolButton::clicked, this, [this] {
        form_.btDownClick();
        Refresh();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

void ReihenfolgeView::Refresh() {
    refreshing_ = true;
    lbnam_->clear();
    for (const std::string& name : form_.lbnam) {
        lbnam_->addItem(QString::fromStdString(name));
    }
    lbnam_->setCurrentRow(form_.lbnamItemIndex);
    refreshing_ = false;
}

void ReihenfolgeView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    form_.FormShow();
    Refresh();
}

void ReihenfolgeView::hideEvent(QHideEvent* event) {
    // Minimising is no close: the form keeps its showing.
    if (!event->spontaneous()) {
        form_.FormClose();
    }
    QDialog::hideEvent(event);
}

}  // namespace tarvedde

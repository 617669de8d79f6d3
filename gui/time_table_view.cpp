#include "gui/time_table_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {

using namespace view;

TimeTableView::TimeTableView(TFo_TimeTable& form, QWidget* parent)
    : QDialog(parent),
      form_(form),
      lbItem_(Named<QLabel>("lbItem")),
      eT1_(Edit("eT1")),
      eT2_(Edit("eT2")),
      eT3_(Edit("eT3")),
      lb1_(Named<QListWidget>("lb1")) {
    setObjectName("Fo_TimeTable");
    setWindowTitle("  Zeit-Tabelle");
    QPushButton* add = Button("SpeedButton1", "+");
    QPushButton* remove = Button("SpeedButton2", "-");
    QPushButton* save = Button("btSave", "Tabelle speichern");
    QPushButton* hourly = Button("btStunde", " Stündliche Zwischenwerte");
    QPushButton* quarter = Button("btViertel", " 1/4 h  Zwischenwerte");
    add->setToolTip("Zeit hinzufügen");
    remove->setToolTip("Zeit entfernen");
    auto* time = new QHBoxLayout;
    for (QLineEdit* edit : {eT1_, eT2_, eT3_}) {
        edit->setMaxLength(2);
        edit->setFixedWidth(40);
        time->addWidget(edit);
        if (edit != eT3_) {
            time->addWidget(new QLabel(":"));
        }
    }
    time->addWidget(add);
    time->addWidget(remove);
    time->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbItem_);
    layout->addLayout(time);
    layout->addWidget(lb1_, 1);
    layout->addWidget(hourly);
    layout->addWidget(quarter);
    layout->addWidget(save);
    resize(320, 480);

    connect(lb1_, &QListWidget::currentRowChanged, this,
            [this](int row) { form_.lb1ItemIndex = row; });
    connect(add, &QPushButton::clicked, this, [this] {
        Call(&TFo_TimeTable::SpeedButton1Click);
        eT1_->setFocus();
        eT1_->selectAll();
    });
    connect(remove, &QPushButton::clicked, this,
            [this] { Call(&TFo_TimeTable::SpeedButton2Click); });
    connect(hourly, &QPushButton::clicked, this, [this] { Call(&TFo_TimeTable::btStundeClick); });
    connect(quarter, &QPushButton::clicked, this, [this] { Call(&TFo_TimeTable::btViertelClick); });
    connect(save, &QPushButton::clicked, this, [this] { Call(&TFo_TimeTable::btSaveClick); });
}

void TimeTableView::Run(TFo_TimeTable& form) {
    Q_ASSERT(&form == &form_);
    exec();
}

void TimeTableView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        form_.FormShow();
        Refresh();
    }
}

void TimeTableView::Collect() {
    form_.eT1 = S(eT1_->text());
    form_.eT2 = S(eT2_->text());
    form_.eT3 = S(eT3_->text());
    form_.lb1ItemIndex = lb1_->currentRow();
}

void TimeTableView::Call(void (TFo_TimeTable::*handler)()) {
    Collect();
    (form_.*handler)();
    Refresh();
}

void TimeTableView::Refresh() {
    Put(lbItem_, form_.lbItem);
    Put(eT1_, form_.eT1);
    Put(eT2_, form_.eT2);
    Put(eT3_, form_.eT3);
    Put(lb1_, form_.lb1, form_.lb1ItemIndex);
}

void TimeTableView::done(int result) {
    if (form_.FormCloseQuery()) {
        form_.FormClose();
    }
    QDialog::done(result);
}

}  // namespace tarvedde

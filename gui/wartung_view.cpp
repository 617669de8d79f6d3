#include "gui/wartung_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {

using namespace view;

WartungView::WartungView(TarveddeMain& main, QWidget* parent)
    : QWidget(parent, Qt::Window),
      form_(main.Config(), main.Processor(), main.GetHost(), main.Log(), main.RegionalSettings()),
      lbDDE_(Named<QListWidget>("lbDDE")),
      cbWartung_(Check("cbWartung", "")),
      T_Wartung_(Spin("T_Wartung", 1, 60)),
      eMin_(Edit("eMin")),
      eMax_(Edit("eMax")),
      gespiegelt_(Named<QLabel>("gespiegelt", QString("gespiegelt"))) {
    setObjectName("Fo_Wartung");
    setWindowTitle(" Wartung");
    QPushButton* abschalten = Button("bt_Abschalten", "Alle abschalten");
    QPushButton* speichern = Button("btSpeichern", "Übernehmen");
    QPushButton* btMin = Button("btMin", "Setzen");
    QPushButton* btMax = Button("btMax", "Setzen");
    gespiegelt_->setStyleSheet("color: red");

    auto* timeout = new QHBoxLayout;
    timeout->addWidget(new QLabel("Automatisch abschalten nach"));
    timeout->addWidget(T_Wartung_);
    timeout->addWidget(new QLabel("Minuten"));
    timeout->addStretch(1);
    auto* extremes = new QGridLayout;
    extremes->addWidget(new QLabel("Min."), 0, 0);
    extremes->addWidget(eMin_, 0, 1);
    extremes->addWidget(btMin, 0, 2);
    extremes->addWidget(new QLabel("Max."), 1, 0);
    extremes->addWidget(eMax_, 1, 1);
    extremes->addWidget(btMax, 1, 2);
    auto* right = new QVBoxLayout;
    right->addWidget(gespiegelt_);
    right->addWidget(cbWartung_);
    right->addLayout(timeout);
    right->addWidget(speichern);
    right->addWidget(abschalten);
    right->addLayout(extremes);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lbDDE_, 3);
    layout->addLayout(right, 2);
    resize(640, 340);

    connect(lbDDE_, &QListWidget::currentRowChanged, this, [this](int row) {
        form_.lbDDEItemIndex = row;
        Run(&TFo_Wartung::lbDDEClick);
    });
    connect(cbWartung_, &QCheckBox::clicked, this, [this] { Run(&TFo_Wartung::cbWartungClick); });
    connect(T_Wartung_, &QSpinBox::valueChanged, this,
            [this] { Run(&TFo_Wartung::T_WartungChange); });
    connect(speichern, &QPushButton::clicked, this,
            [this] { Run(&TFo_Wartung::btSpeichernClick); });
    connect(abschalten, &QPushButton::clicked, this,
            [this] { Run(&TFo_Wartung::bt_AbschaltenClick); });
    connect(btMin, &QPushButton::clicked, this, [this] { Run(&TFo_Wartung::btMinClick); });
    connect(btMax, &QPushButton::clicked, this, [this] { Run(&TFo_Wartung::btMaxClick); });
    form_.onChanged = [this] { Refresh(); };
}

WartungView::~WartungView() {
    form_.onChanged = {};
}

void WartungView::Collect() {
    form_.cbWartung = cbWartung_->isChecked();
    form_.T_Wartung = T_Wartung_->value();
    form_.eMin = S(eMin_->text());
    form_.eMax = S(eMax_->text());
}

void WartungView::Run(void (TFo_Wartung::*handler)()) {
    Collect();
    (form_.*handler)();
    Refresh();
}

void WartungView::Refresh() {
    Put(lbDDE_, form_.lbDDE, form_.lbDDEItemIndex);
    Put(cbWartung_, form_.cbWartung);
    cbWartung_->setText(Q(form_.cbWartungCaption));
    cbWartung_->setEnabled(form_.cbWartungEnabled);
    Put(T_Wartung_, form_.T_Wartung);
    Put(eMin_, form_.eMin);
    Put(eMax_, form_.eMax);
    gespiegelt_->setVisible(form_.gespiegeltVisible);
}

void WartungView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        form_.FormShow();
        Refresh();
    }
}

}  // namespace tarvedde

#include "gui/zaehler_view.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {

using namespace view;

ZaehlerView::ZaehlerView(TarveddeMain& main, QWidget* parent)
    : QWidget(parent, Qt::Window),
      form_(main.Config(), main.Processor(), main.GetHost(), main.Log(), main.RegionalSettings()),
      lbDDE_(Named<QListWidget>("lbDDE")),
      gespiegelt_(Named<QLabel>("gespiegelt", QString("gespiegelt"))),
      eAktuell_(Edit("eAktuell")),
      eGesamt_(Edit("eGesamt")),
      eBasis_(Edit("eBasis")),
      eNeu_(Edit("eNeu")),
      lbEinheit_(Named<QLabel>("lbEinheit")),
      cbSum_(Check("cbSum", "Gesamtzählerstand protokollieren")),
      cbTag_(Check("cbTag", "Tagesmenge immer protokollieren")),
      eMin_(Edit("eMin")),
      eMax_(Edit("eMax")) {
    setObjectName("Fo_Zaehler");
    setWindowTitle(" Zählerstände, Protokollierung und Statistik");
    gespiegelt_->setStyleSheet("color: red");
    auto* pages = new QTabWidget;
    pages->addTab(BuildCounterPage(), "Zähler");
    pages->addTab(BuildStatisticsPage(), "Statistik");
    auto* right = new QVBoxLayout;
    right->addWidget(gespiegelt_);
    right->addWidget(pages, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lbDDE_, 2);
    layout->addLayout(right, 3);
    resize(760, 380);
    connect(lbDDE_, &QListWidget::currentRowChanged, this, [this](int row) {
        form_.lbDDEItemIndex = row;
        Run(&TFo_Zaehler::lbDDEClick);
    });
}

QWidget* ZaehlerView::BuildCounterPage() {
    tsZaehler_ = Named<QWidget>("tsZaehler");
    for (QLineEdit* shown : {eAktuell_, eGesamt_, eBasis_}) {
        shown->setReadOnly(true);
    }
    QPushButton* setzen = Button("btSetzen", "setzen");
    QPushButton* speichern = Button("btSpeichern", "Änderungen übernehmen");
    auto* newReading = new QHBoxLayout;
    newReading->addWidget(setzen);
    newReading->addWidget(new QLabel("auf"));
    newReading->addWidget(eNeu_, 1);
    newReading->addWidget(lbEinheit_);
    auto* form = new QFormLayout;
    form->addRow("Tageszählerstand", eAktuell_);
    form->addRow("Gesamtzählerstand", eGesamt_);
    form->addRow("Basisstand", eBasis_);
    auto* page = new QVBoxLayout(tsZaehler_);
    page->addLayout(form);
    page->addLayout(newReading);
    page->addWidget(cbSum_);
    page->addWidget(cbTag_);
    page->addWidget(speichern);
    page->addStretch(1);
    Connect(setzen, &TFo_Zaehler::btSetzenClick);
    Connect(speichern, &TFo_Zaehler::btSpeichernClick);
    return tsZaehler_;
}

QWidget* ZaehlerView::BuildStatisticsPage() {
    auto* statistics = Named<QWidget>("tsStatistik");
    QPushButton* btMin = Button("btMin", "Min auf Max setzen");
    QPushButton* btMax = Button("btMax", "Max auf Min setzen");
    QPushButton* button1 = Button("Button1", "Alle Minima auf Maximum setzen");
    QPushButton* button2 = Button("Button2", "Alle Maxima auf Minimum setzen");
    auto* form = new QFormLayout;
    form->addRow("Min.", eMin_);
    form->addRow("Max.", eMax_);
    auto* page = new QVBoxLayout(statistics);
    page->addLayout(form);
    for (QPushButton* button : {btMin, btMax, button1, button2}) {
        page->addWidget(button);
    }
    page->addStretch(1);
    Connect(btMin, &TFo_Zaehler::btMinClick);
    Connect(btMax, &TFo_Zaehler::btMaxClick);
    Connect(button1, &TFo_Zaehler::Button1Click);
    Connect(button2, &TFo_Zaehler::Button2Click);
    return statistics;
}

void ZaehlerView::Connect(QPushButton* button, void (TFo_Zaehler::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { Run(handler); });
}

void ZaehlerView::Collect() {
    form_.eNeu = S(eNeu_->text());
    form_.cbSum = cbSum_->isChecked();
    form_.cbTag = cbTag_->isChecked();
    form_.eMin = S(eMin_->text());
    form_.eMax = S(eMax_->text());
}

void ZaehlerView::Run(void (TFo_Zaehler::*handler)()) {
    Collect();
    (form_.*handler)();
    Refresh();
}

void ZaehlerView::Refresh() {
    Put(lbDDE_, form_.lbDDE, form_.lbDDEItemIndex);
    gespiegelt_->setVisible(form_.gespiegeltVisible);
    tsZaehler_->setEnabled(form_.tsZaehlerEnabled);
    Put(eAktuell_, form_.eAktuell);
    Put(eGesamt_, form_.eGesamt);
    Put(eBasis_, form_.eBasis);
    Put(eNeu_, form_.eNeu);
    Put(lbEinheit_, form_.lbEinheit);
    Put(cbSum_, form_.cbSum);
    Put(cbTag_, form_.cbTag);
    Put(eMin_, form_.eMin);
    Put(eMax_, form_.eMax);
}

void ZaehlerView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        form_.FormShow();
        Refresh();
    }
}

void ZaehlerView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        form_.FormClose();
    }
}

}  // namespace tarvedde

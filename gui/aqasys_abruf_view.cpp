#include "gui/aqasys_abruf_view.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cmath>

#include "gui/form_widgets.h"

namespace tarvedde {
namespace {

// Day numbers count from this date.
const QDate kDayZero(1899, 12, 30);

QDate ToQDate(double day) {
    return kDayZero.addDays(static_cast<qint64>(std::floor(day)));
}

double ToDay(const QDate& date) {
    return static_cast<double>(kDayZero.daysTo(date));
}

QDateEdit* DateField(const char* name) {
    auto* field = new QDateEdit;
    field->setObjectName(name);
    field->setCalendarPopup(true);
    field->setDisplayFormat("dd.MM.yyyy");
    return field;
}

}  // namespace

AqasysAbrufView::AqasysAbrufView(TarveddeMain& main, QWidget* parent)
    : QDialog(parent),
      main_(main),
      form_(main.Aqasys(), main.Config(), main.GetHost(), main.Log(), main.RegionalSettings()),
      dtVom_(DateField("dtVom")),
      dtBis_(DateField("dtBis")),
      cbGelesen_(new QCheckBox(
          "Alle Daten ausserhalb des gewählten Zeitraums als \"Gelesen\" markieren")) {
    setObjectName("Fo_AqasysAbruf");
    setWindowTitle(" AQASYS-Werte neu abrufen");
    cbGelesen_->setObjectName("cbGelesen");
    auto* abrufen = new QPushButton("Jetzt AQUASYS-Daten abrufen");
    abrufen->setObjectName("btAbrufen");
    auto* markieren = new QPushButton("Überprüfen / Markieren");
    markieren->setObjectName("btMarkieren");
    auto* abbrechen = new QPushButton("Abbrechen");
    abbrechen->setObjectName("btAbbrechen");

    auto* group = new QGroupBox(" Alle Einzelmesswerte ");
    auto* dates = new QFormLayout;
    dates->addRow("vom", dtVom_);
    dates->addRow("bis", dtBis_);
    auto* actions = new QVBoxLayout;
    actions->addWidget(abrufen);
    actions->addWidget(markieren);
    auto* top = new QHBoxLayout;
    top->addLayout(dates);
    top->addLayout(actions);
    auto* inside = new QVBoxLayout(group);
    inside->addLayout(top);
    inside->addWidget(cbGelesen_);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(abbrechen);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(bottom);

    connect(dtVom_, &QDateEdit::dateChanged, this,
            [this](const QDate& date) { form_.dtVom = ToDay(date); });
    connect(dtBis_, &QDateEdit::dateChanged, this,
            [this](const QDate& date) { form_.dtBis = ToDay(date); });
    connect(cbGelesen_, &QCheckBox::toggled, this,
            [this](bool checked) { form_.cbGelesen = checked; });
    connect(abrufen, &QPushButton::clicked, this,
            [this] { Run([this] { form_.btAbrufenClick(); }); });
    connect(markieren, &QPushButton::clicked, this,
            [this] { Run([this] { form_.btMarkierenClick(); }); });
    connect(abbrechen, &QPushButton::clicked, this, [this] { reject(); });
}

void AqasysAbrufView::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        form_.FormShow();
        Refresh();
    }
    QDialog::showEvent(event);
}

void AqasysAbrufView::reject() {
    form_.btAbbrechenClick();
    QDialog::reject();
}

void AqasysAbrufView::Refresh() {
    const QSignalBlocker vom(dtVom_);
    const QSignalBlocker bis(dtBis_);
    const QSignalBlocker gelesen(cbGelesen_);
    dtVom_->setDate(ToQDate(form_.dtVom));
    dtBis_->setDate(ToQDate(form_.dtBis));
    cbGelesen_->setChecked(form_.cbGelesen);
}

}  // namespace tarvedde

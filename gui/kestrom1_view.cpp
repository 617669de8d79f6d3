#include "gui/kestrom1_view.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {
namespace {

QPushButton* ActionButton(const char* caption, const char* name) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

Kestrom1View::Kestrom1View(TarveddeMain& main, QWidget* parent)
    : QDialog(parent),
      form_(main.Config(), main.Diary(), main.GetHost(), main.Log()),
      lbDDE_(new QListWidget),
      lbName_(new QListWidget),
      rgMessart_(new QButtonGroup(this)),
      eNummer_(new QSpinBox),
      eName_(new QLineEdit),
      btHinzu_(ActionButton("zur Liste hinzufügen", "btHinzu")),
      pnSpeichern_(new QWidget),
      btZurueck_(ActionButton("Zurück", "btZurueck")) {
    setObjectName("Fo_Kestrom1");
    setWindowTitle("DDE-Parameter von Kestrom AQASYS");
    lbDDE_->setObjectName("lbDDE");
    lbName_->setObjectName("lbName");
    // The names follow the code list's selection.
    lbName_->setSelectionMode(QAbstractItemView::NoSelection);
    eNummer_->setObjectName("eNummer");
    eNummer_->setRange(1, 9999);
    eName_->setObjectName("eName");
    eName_->setMinimumWidth(220);
    pnSpeichern_->setObjectName("pnSpeichern");

    auto* rgMessart = new QGroupBox(" Messart ");
    rgMessart->setObjectName("rgMessart");
    auto* kinds = new QVBoxLayout(rgMessart);
    for (std::size_t i = 0; i < kAqasysKinds.size(); ++i) {
        auto* button = new QRadioButton(ToQt(kAqasysKinds[i]));
        rgMessart_->addButton(button, static_cast<int>(i));
        kinds->addWidget(button);
    }
    auto* fields = new QFormLayout;
    fields->addRow("Nummer", eNummer_);
    fields->addRow("Messwertname", eName_);
    QPushButton* loeschen = ActionButton("Wert löschen", "btLoeschen");
    auto* group = new QGroupBox(" Tages-Messwerte ");
    auto* inside = new QVBoxLayout(group);
    inside->addWidget(rgMessart);
    inside->addLayout(fields);
    inside->addWidget(btHinzu_);
    inside->addWidget(loeschen);

    QPushButton* speichern = ActionButton("Speichern", "btSpeichern");
    QPushButton* abbrechen = ActionButton("Abbrechen", "btAbbrechen");
    auto* panel = new QHBoxLayout(pnSpeichern_);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->addWidget(speichern);
    panel->addWidget(abbrechen);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(pnSpeichern_);
    bottom->addStretch(1);
    bottom->addWidget(btZurueck_);

    auto* lists = new QHBoxLayout;
    lists->addWidget(lbDDE_, 1);
    lists->addWidget(lbName_, 2);
    lists->addWidget(group);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(bottom);
    resize(760, 460);

    connect(lbDDE_, &QListWidget::itemSelectionChanged, this, [this] {
        Run([this] {
            form_.lbDDEItemIndex = SelectedRow(*lbDDE_);
            form_.lbDDEClick();
        });
    });
    connect(rgMessart_, &QButtonGroup::idClicked, this, [this](int id) {
        Run([&] {
            form_.rgMessartItemIndex = id;
            form_.rgMessartClick();
        });
    });
    connect(eNummer_, &QSpinBox::valueChanged, this, [this](int number) {
        Run([&] {
            form_.eNummer = number;
            form_.eNummerChange();
        });
    });
    connect(eName_, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.eName = text.toStdString(); });
    connect(btHinzu_, &QPushButton::clicked, this,
            [this] { Run([this] { form_.btHinzuClick(); }); });
    connect(loeschen, &QPushButton::clicked, this,
            [this] { Run([this] { form_.btLoeschenClick(); }); });
    connect(speichern, &QPushButton::clicked, this,
            [this] { Run([this] { form_.btSpeichernClick(); }); });
    connect(abbrechen, &QPushButton::clicked, this,
            [this] { Run([this] { form_.btAbbrechenClick(); }); });
    connect(btZurueck_, &QPushButton::clicked, this, [this] { reject(); });
}

void Kestrom1View::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        form_.FormShow();
        Refresh();
    }
    QDialog::showEvent(event);
}

void Kestrom1View::reject() {
    form_.btZurueckClick();
    QDialog::reject();
}

void Kestrom1View::Refresh() {
    refreshing_ = true;
    ShowLines(*lbDDE_, form_.lbDDE, form_.lbDDEItemIndex);
    ShowLines(*lbName_, form_.lbName, form_.lbDDEItemIndex);
    ShowRadio(*rgMessart_, form_.rgMessartItemIndex);
    eNummer_->setValue(form_.eNummer);
    eName_->setText(ToQt(form_.eName));
    btHinzu_->setEnabled(form_.btHinzuEnabled);
    pnSpeichern_->setVisible(form_.pnSpeichernVisible);
    btZurueck_->setEnabled(form_.btZurueckEnabled);
    refreshing_ = false;
}

}  // namespace tarvedde

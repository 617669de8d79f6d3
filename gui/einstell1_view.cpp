#include "gui/einstell1_view.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {

using namespace view;

namespace {

QComboBox* Choice(const char* name, const std::vector<std::string>& items, bool editable) {
    auto* combo = Named<QComboBox>(name);
    for (const std::string& item : items) {
        combo->addItem(Q(item));
    }
    combo->setEditable(editable);
    return combo;
}

void PutText(QComboBox* combo, const std::string& text) {
    const QSignalBlocker block(combo);
    combo->setEditText(Q(text));
}

}  // namespace

Einstell1View::Einstell1View(TarveddeMain& main, PrinterDialog& printerDialog, QWidget* parent)
    : QDialog(parent),
      form_(main, printerDialog),
      spIntervall_(Spin("spIntervall", 1, 59)),
      coIntervall_(Choice("coIntervall", TFo_Einstell1::coIntervallItems, false)),
      spPuffer_(Spin("spPuffer", 1, 3600)),
      cb_var_(Check("cb_var", "Skalierung der Prozessvariablen aus > var.ini < oder")),
      spGleit_(Spin("spGleit", 10, 360)),
      spGleitIntervall_(Spin("spGleitIntervall", 6, 300)),
      cbIni_(Check("cbIni", " nicht um 0 Uhr Mitternacht sondern um")),
      eTini_(Edit("eTini")),
      eService_(Choice("eService", TFo_Einstell1::eServiceItems, true)),
      eTopic_(Choice("eTopic", TFo_Einstell1::eTopicItems, true)),
      spItems_(Spin("spItems", 0, 180)),
      M1_(Named<QPlainTextEdit>("M1")),
      M2_(Named<QPlainTextEdit>("M2")),
      cbAutoStart_(Check("cbAutoStart", " Automatisch starten")),
      cbRohSpeichern_(Check("cbRohSpeichern", "DDE-Rohdaten speichern")),
      cbTarveView_(Check("cbTarveView", "TarveView")),
      cbTarveget_(Check("cbTarveget", "Tarveget")),
      cbDruck_(Check("cbDruck", "Ausdruck")) {
    setObjectName("Fo_Einstell1");
    setWindowTitle("Einstellungen (Datenerfassung)");
    QPushButton* speichern = Button("btSpeichern", "&Speichern");
    QPushButton* abbrechen = Button("btAbbrechen", "&Abbrechen");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(speichern);
    buttons->addWidget(abbrechen);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildAcquisitionGroup());
    layout->addWidget(BuildSourceGroup());
    layout->addWidget(BuildOutputGroup());
    layout->addLayout(buttons);

    connect(cbIni_, &QCheckBox::clicked, this, [this] { Run(&TFo_Einstell1::cbIniClick); });
    connect(cbDruck_, &QCheckBox::clicked, this, [this] { Run(&TFo_Einstell1::cbDruckClick); });
    connect(speichern, &QPushButton::clicked, this, [this] {
        Run(&TFo_Einstell1::btSpeichernClick);
        if (!form_.visible) {
            accept();
        }
    });
    connect(abbrechen, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* Einstell1View::BuildAcquisitionGroup() {
    auto* group = new QGroupBox(" VIDURA DDE ");
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel("Mess-Intervall :"), 0, 0);
    grid->addWidget(spIntervall_, 0, 1);
    grid->addWidget(coIntervall_, 0, 2);
    grid->addWidget(new QLabel("Puffergrösse :"), 1, 0);
    grid->addWidget(spPuffer_, 1, 1);
    grid->addWidget(new QLabel("Intervalle"), 1, 2);
    grid->addWidget(cb_var_, 2, 0, 1, 3);
    grid->addWidget(new QLabel(" Min/MaxForUser u. Min/MaxForSPS in [Item_x] ermitteln"), 3, 0, 1,
                    3);
    auto* moving = new QGroupBox(" Gleitender Mittelwert ");
    auto* row = new QHBoxLayout(moving);
    row->addWidget(new QLabel("Puffergrösse :"));
    row->addWidget(spGleit_);
    row->addWidget(new QLabel("  x   Intervall :"));
    row->addWidget(spGleitIntervall_);
    row->addWidget(new QLabel("Sek."));
    row->addStretch(1);
    grid->addWidget(moving, 4, 0, 1, 3);
    auto* dayChange = new QGroupBox(" Initialisierung (Tageswechsel) ");
    auto* dayRow = new QHBoxLayout(dayChange);
    dayRow->addWidget(cbIni_);
    dayRow->addWidget(eTini_);
    grid->addWidget(dayChange, 5, 0, 1, 3);
    return group;
}

QWidget* Einstell1View::BuildSourceGroup() {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto* source = new QGroupBox(" DDE-Datenquelle ");
    auto* grid = new QGridLayout(source);
    grid->addWidget(new QLabel("Service"), 0, 0);
    grid->addWidget(eService_, 0, 1);
    grid->addWidget(new QLabel("Topic"), 1, 0);
    grid->addWidget(eTopic_, 1, 1);
    grid->addWidget(new QLabel("Items"), 2, 0);
    grid->addWidget(spItems_, 2, 1);
    auto* delimiters = new QGroupBox(" Begrenzer im DDE-String ");
    auto* codes = new QGridLayout(delimiters);
    codes->addWidget(new QLabel(" ASCII codes "), 0, 0, 1, 2);
    codes->addWidget(new QLabel("Prefix"), 1, 0);
    codes->addWidget(new QLabel("Suffix"), 1, 1);
    codes->addWidget(M1_, 2, 0);
    codes->addWidget(M2_, 2, 1);
    for (QPlainTextEdit* memo : {M1_, M2_}) {
        memo->setFixedHeight(70);
    }
    row->addWidget(source, 1);
    row->addWidget(delimiters, 1);
    return box;
}

QWidget* Einstell1View::BuildOutputGroup() {
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    cbTarveView_->setToolTip("Datenübergabe an grafische Anzeige");
    cbTarveget_->setToolTip("Datenübergabe an das Tagebuch");
    cbDruck_->setToolTip("Automatischer Druck um Mitternacht");
    QPushButton* drucker = Button("BitBtn1", "Drucker");
    connect(drucker, &QPushButton::clicked, this, [this] { Run(&TFo_Einstell1::BitBtn1Click); });
    grid->addWidget(cbAutoStart_, 0, 0);
    grid->addWidget(cbRohSpeichern_, 1, 0);
    grid->addWidget(cbTarveView_, 0, 1);
    grid->addWidget(cbTarveget_, 1, 1);
    grid->addWidget(cbDruck_, 0, 2);
    grid->addWidget(drucker, 1, 2);
    return box;
}

void Einstell1View::Collect() {
    form_.spIntervall = spIntervall_->value();
    form_.coIntervall = coIntervall_->currentIndex();
    form_.spPuffer = spPuffer_->value();
    form_.cb_var = cb_var_->isChecked();
    form_.spGleit = spGleit_->value();
    form_.spGleitIntervall = spGleitIntervall_->value();
    form_.cbIni = cbIni_->isChecked();
    form_.eTini = S(eTini_->text());
    form_.eService = S(eService_->currentText());
    form_.eTopic = S(eTopic_->currentText());
    form_.spItems = spItems_->value();
    form_.M1 = Lines(M1_);
    form_.M2 = Lines(M2_);
    form_.cbAutoStart = cbAutoStart_->isChecked();
    form_.cbRohSpeichern = cbRohSpeichern_->isChecked();
    form_.cbTarveView = cbTarveView_->isChecked();
    form_.cbTarveget = cbTarveget_->isChecked();
    form_.cbDruck = cbDruck_->isChecked();
}

void Einstell1View::Run(void (TFo_Einstell1::*handler)()) {
    Collect();
    (form_.*handler)();
    Refresh();
}

void Einstell1View::Refresh() {
    Put(spIntervall_, form_.spIntervall);
    Put(coIntervall_, form_.coIntervall);
    Put(spPuffer_, form_.spPuffer);
    Put(cb_var_, form_.cb_var);
    Put(spGleit_, form_.spGleit);
    Put(spGleitIntervall_, form_.spGleitIntervall);
    Put(cbIni_, form_.cbIni);
    Put(eTini_, form_.eTini);
    eTini_->setEnabled(form_.eTiniEnabled);
    PutText(eService_, form_.eService);
    PutText(eTopic_, form_.eTopic);
    spItems_->setMaximum(form_.spItemsMaxValue);
    Put(spItems_, form_.spItems);
    spItems_->setEnabled(form_.spItemsEnabled);
    PutLines(M1_, form_.M1);
    PutLines(M2_, form_.M2);
    Put(cbAutoStart_, form_.cbAutoStart);
    cbAutoStart_->setEnabled(form_.cbAutoStartEnabled);
    Put(cbRohSpeichern_, form_.cbRohSpeichern);
    Put(cbTarveView_, form_.cbTarveView);
    Put(cbTarveget_, form_.cbTarveget);
    Put(cbDruck_, form_.cbDruck);
}

void Einstell1View::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        form_.FormShow();
        Refresh();
    }
}

void Einstell1View::done(int result) {
    if (form_.visible) {
        form_.btAbbrechenClick();
    }
    QDialog::done(result);
}

}  // namespace tarvedde

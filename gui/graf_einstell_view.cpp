#include "gui/graf_einstell_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {

using namespace view;
using F = TFo_GrafEinstell;

GrafEinstellView::GrafEinstellView(TarveddeMain& main, QWidget* parent)
    : QDialog(parent),
      timeTable_(main.TimeFrameStats(), main.Config(), main.GetHost(), main.RegionalSettings()),
      timeTableView_(new TimeTableView(timeTable_, this)),
      form_(main.Config(),
            {main.Integrator(), main.ItemSettings(), main.TimeFrameStats(), main.Diary(),
             timeTable_, *timeTableView_},
            main.GetHost(), main.Log(), main.RegionalSettings()),
      lbDDE_(Named<QListWidget>("lbDDE")),
      gbDDE_(Named<QGroupBox>("gbDDE")) {
    setObjectName("Fo_GrafEinstell");
    editItem_ = AddEdit("editItem", &F::editItem);
    QLineEdit* editName = AddEdit("editName", &F::editName);
    editName->setToolTip("Über diesen Namen Zugriff auf VAR.INI und  EICH.INI");
    auto* names = new QGridLayout;
    names->addWidget(new QLabel("Item"), 0, 0);
    names->addWidget(editItem_, 0, 1);
    names->addWidget(new QLabel("Name"), 1, 0);
    names->addWidget(editName, 1, 1);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(BuildLimitsAndCalibration());
    left->addWidget(BuildOptions());
    left->addWidget(BuildConversion());
    auto* right = new QVBoxLayout;
    right->addWidget(BuildMirrorAndTimeFrame());
    right->addWidget(BuildTypeAndButtons());
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* inside = new QVBoxLayout(gbDDE_);
    inside->addLayout(names);
    inside->addLayout(columns);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lbDDE_, 1);
    layout->addWidget(gbDDE_, 4);
    resize(1100, 680);

    connect(lbDDE_, &QListWidget::currentRowChanged, this, [this](int row) {
        form_.lbDDEItemIndex = row;
        Run(&F::lbDDEClick);
    });
}

QLineEdit* GrafEinstellView::AddEdit(const char* name, std::string F::*field, Handler change) {
    QLineEdit* edit = Edit(name);
    // Wide enough for the longest number text the form writes into it.
    const bool calibration = field == &F::editM || field == &F::editT;
    edit->setMinimumWidth(
        edit->fontMetrics().horizontalAdvance(calibration ? "-1000000,0000000000" : "-100000,000"));
    edits_[edit] = field;
    connect(edit, &QLineEdit::textEdited, this, [this, change] { Run(change); });
    return edit;
}

QCheckBox* GrafEinstellView::AddCheck(const char* name, const char* caption, bool F::*field,
                                      Handler click) {
    QCheckBox* box = Check(name, caption);
    checks_[box] = field;
    connect(box, &QCheckBox::clicked, this, [this, click] { Run(click); });
    return box;
}

QComboBox* GrafEinstellView::AddCombo(const char* name, const std::vector<std::string>& entries,
                                      int F::*index, Handler change) {
    auto* combo = Named<QComboBox>(name);
    for (const std::string& entry : entries) {
        combo->addItem(Q(entry));
    }
    combos_[combo] = index;
    connect(combo, &QComboBox::activated, this, [this, change] { Run(change); });
    return combo;
}

QButtonGroup* GrafEinstellView::AddRadios(QGroupBox* group,
                                          const std::vector<const char*>& captions, int F::*index) {
    auto* buttons = new QButtonGroup(group);
    auto* column = new QVBoxLayout(group);
    int id = 0;
    for (const char* caption : captions) {
        auto* radio = new QRadioButton(caption);
        buttons->addButton(radio, id++);
        column->addWidget(radio);
    }
    radios_[buttons] = index;
    connect(buttons, &QButtonGroup::idClicked, this, [this] { Run(&F::ControlChange); });
    return buttons;
}

QWidget* GrafEinstellView::BuildLimitsAndCalibration() {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto* limits = new QGroupBox(" Grenzwerte ");
    auto* grid = new QGridLayout(limits);
    grid->addWidget(new QLabel("Ungültig"), 0, 1);
    grid->addWidget(new QLabel("Warnung"), 0, 2);
    grid->addWidget(new QLabel("Oben"), 1, 0);
    grid->addWidget(AddEdit("editOben", &F::editOben), 1, 1);
    grid->addWidget(AddEdit("edWarnOben", &F::edWarnOben), 1, 2);
    grid->addWidget(new QLabel("Unten"), 2, 0);
    grid->addWidget(AddEdit("editUnten", &F::editUnten), 2, 1);
    grid->addWidget(AddEdit("edWarnUnten", &F::edWarnUnten), 2, 2);
    auto* calibration = new QGroupBox(" Eichparameter ");
    auto* form = new QGridLayout(calibration);
    QLineEdit* editD = AddEdit("editD", &F::editD);
    editD->setEnabled(false);
    form->addWidget(new QLabel("Steigung M"), 0, 0);
    form->addWidget(AddEdit("editM", &F::editM, &F::editMChange), 0, 1);
    form->addWidget(new QLabel("Abschnitt T"), 1, 0);
    form->addWidget(AddEdit("editT", &F::editT, &F::editTChange), 1, 1);
    form->addWidget(new QLabel("Teiler D"), 2, 0);
    form->addWidget(editD, 2, 1);
    form->addWidget(new QLabel("Einheit"), 3, 0);
    form->addWidget(AddEdit("editEinheit", &F::editEinheit), 3, 1);
    row->addWidget(limits);
    row->addWidget(calibration);
    return box;
}

QWidget* GrafEinstellView::BuildOptions() {
    auto* options = new QGroupBox(" Optionen ");
    auto* grid = new QGridLayout(options);
    QCheckBox* cbGleit = AddCheck("cbGleit", "Gleitender Mittelwert", &F::cbGleit);
    QCheckBox* cbDifferenz = AddCheck("cbDifferenz", "Differenzen-Summe", &F::cbDifferenz);
    cbDifferenz->setToolTip("Bildung der Summe von Zählerstand-Differenzen");
    QCheckBox* cbIntegral =
        AddCheck("cbIntegral", " Summe (Integral-Messung) in", &F::cbIntegral, &F::cbIntegralClick);
    cbIntegral->setToolTip("Hat immer Vorrang vor Differenz-Summe");
    lbSumEinheit_ = Named<QLabel>("lbSumEinheit");
    QLineEdit* editIntegral = AddEdit("editIntegral", &F::editIntegral);
    QComboBox* coIntegral = AddCombo("coIntegral", {"Sekunde", "Minute", "Stunde"},
                                     &F::coIntegralItemIndex, &F::coIntegralChange);
    coIntegral->setToolTip("Standardmässig wird in Einheit/Sekunde gemessen");
    enabledBy_.insert(enabledBy_.end(), {{cbGleit, &F::cbGleitEnabled},
                                         {editIntegral, &F::editIntegralEnabled},
                                         {coIntegral, &F::coIntegralEnabled}});
    grid->addWidget(cbGleit, 0, 0, 1, 2);
    grid->addWidget(cbDifferenz, 1, 0, 1, 2);
    grid->addWidget(cbIntegral, 2, 0);
    grid->addWidget(lbSumEinheit_, 2, 1);
    grid->addWidget(new QLabel("Schwellwert : "), 3, 0);
    grid->addWidget(editIntegral, 3, 1);
    grid->addWidget(new QLabel("Zeitbezug :"), 4, 0);
    grid->addWidget(coIntegral, 4, 1);
    return options;
}

QWidget* GrafEinstellView::BuildConversion() {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto* sums = new QGroupBox(" Summe umrechnen ");
    auto* grid = new QGridLayout(sums);
    QLineEdit* eSumTeiler = AddEdit("eSumTeiler", &F::eSumTeiler);
    eSumTeiler->setToolTip("nur bei gespiegelten Werten !");
    QLineEdit* eCWsumTeiler = AddEdit("eCWsumTeiler", &F::eCWsumTeiler);
    eCWsumTeiler->setToolTip("in TarveView");
    grid->addWidget(new QLabel("Teiler"), 0, 1);
    grid->addWidget(new QLabel("Einheit"), 0, 2);
    grid->addWidget(new QLabel("Protokoll"), 1, 0);
    grid->addWidget(eSumTeiler, 1, 1);
    grid->addWidget(AddEdit("eSumEinheit", &F::eSumEinheit), 1, 2);
    grid->addWidget(new QLabel("Graf.Anzeige"), 2, 0);
    grid->addWidget(eCWsumTeiler, 2, 1);
    grid->addWidget(AddEdit("eCWsumEinheit", &F::eCWsumEinheit), 2, 2);

    auto* values = new QGroupBox(" Einzelwerte umrechnen ");
    auto* form = new QGridLayout(values);
    QLineEdit* factor = AddEdit("editUmrFaktor", &F::editUmrFaktor);
    QLineEdit* divisor = AddEdit("editUmrTeiler", &F::editUmrTeiler);
    QLineEdit* unit = AddEdit("editUmrEinheit", &F::editUmrEinheit);
    unit->setToolTip("Neue Einheit");
    QComboBox* coZeit = AddCombo("coZeit", {" ", "Sekunde", "Minute", "Stunde", "Tag"},
                                 &F::coZeitItemIndex, &F::ControlChange);
    for (QWidget* widget : std::initializer_list<QWidget*>{factor, divisor, unit, coZeit}) {
        enabledBy_.emplace_back(widget, &F::umrechnenEnabled);
    }
    form->addWidget(
        AddCheck("cbUmrechnen", "Umrechnen in Einheit", &F::cbUmrechnen, &F::cbUmrechnenClick), 0,
        0);
    form->addWidget(unit, 0, 1);
    form->addWidget(new QLabel("Faktor"), 1, 0);
    form->addWidget(factor, 1, 1);
    form->addWidget(new QLabel("Teiler"), 2, 0);
    form->addWidget(divisor, 2, 1);
    form->addWidget(new QLabel(" Zeitbezug "), 3, 0);
    form->addWidget(coZeit, 3, 1);
    row->addWidget(sums);
    row->addWidget(values);
    return box;
}

QWidget* GrafEinstellView::BuildMirrorAndTimeFrame() {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    auto* mirror = new QGroupBox(" Spiegelung ");
    auto* mirrorRow = new QHBoxLayout(mirror);
    mirrorRow->addWidget(
        AddCheck("cbSpiegel", " Wert übernehmen von", &F::cbSpiegel, &F::cbSpiegelClick));
    coSpiegel_ = AddCombo("coSpiegel", {}, &F::coSpiegelItemIndex, &F::ControlChange);
    mirrorRow->addWidget(coSpiegel_, 1);

    auto* frame = new QGroupBox(" Zeitrahmen ");
    auto* grid = new QGridLayout(frame);
    QCheckBox* cbRahmen =
        AddCheck("cbRahmen", "Initialisierung um", &F::cbRahmen, &F::cbRahmenClick);
    cbRahmen->setToolTip("Hauptsächlich bei gespiegelten Werten ...");
    QLineEdit* eT1 = AddEdit("eT1", &F::eT1);
    QLineEdit* eT2 = AddEdit("eT2", &F::eT2);
    for (QLineEdit* edit : {eT1, eT2}) {
        edit->setToolTip("tarvedde.ini :  [Zeitrahmen]");
    }
    lbT1_ = Named<QLabel>("lbT1");
    grDays_ = Named<QGroupBox>("grDays", QString(" An Tagen "));
    auto* days = new QHBoxLayout(grDays_);
    const std::pair<const char*, bool F::*> dayBoxes[] = {
        {"cd2", &F::cd2}, {"cd3", &F::cd3}, {"cd4", &F::cd4}, {"cd5", &F::cd5},
        {"cd6", &F::cd6}, {"cd7", &F::cd7}, {"cd1", &F::cd1}};
    const char* dayNames[] = {"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};
    for (std::size_t day = 0; day < 7; ++day) {
        days->addWidget(AddCheck(dayBoxes[day].first, dayNames[day], dayBoxes[day].second));
    }
    btTabelle_ = Button("btTabelle", "Zeiten eingeben");
    connect(btTabelle_, &QPushButton::clicked, this, [this] { Run(&F::btTabelleClick); });
    enabledBy_.insert(enabledBy_.end(), {{eT1, &F::eT1Enabled},
                                         {eT2, &F::eT2Enabled},
                                         {grDays_, &F::grDaysEnabled},
                                         {btTabelle_, &F::btTabelleEnabled}});
    grid->addWidget(cbRahmen, 0, 0, 1, 4);
    grid->addWidget(lbT1_, 1, 0);
    grid->addWidget(eT1, 1, 1);
    grid->addWidget(Named<QLabel>("lbT2", QString("und")), 1, 2);
    grid->addWidget(eT2, 1, 3);
    grid->addWidget(grDays_, 2, 0, 1, 4);
    grid->addWidget(btTabelle_, 3, 0, 1, 4);
    column->addWidget(mirror);
    column->addWidget(frame);
    return box;
}

QWidget* GrafEinstellView::BuildTypeAndButtons() {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    auto* groups = new QHBoxLayout;
    auto* rgTyp = Named<QGroupBox>("rgTyp", QString(" Typ "));
    AddRadios(rgTyp, {"analog", "digital"}, &F::rgTypItemIndex);
    auto* rgRef = Named<QGroupBox>("rgRef", QString(" Grafik bezogen auf "));
    AddRadios(rgRef, {"Null", "Minimum"}, &F::rgRefItemIndex);
    groups->addWidget(rgTyp);
    groups->addWidget(rgRef);

    panelSpeichern_ = Named<QWidget>("panelSpeichern");
    auto* panel = new QHBoxLayout(panelSpeichern_);
    panel->setContentsMargins(0, 0, 0, 0);
    QPushButton* speichern = Button("btSpeichern", "&Speichern");
    QPushButton* abbrechen = Button("btAbbrechen", "&Abbrechen");
    panel->addWidget(speichern);
    panel->addWidget(abbrechen);
    btBack_ = Button("btBack", "&Zurück");
    connect(speichern, &QPushButton::clicked, this, [this] { Run(&F::btSpeichernClick); });
    connect(abbrechen, &QPushButton::clicked, this, [this] { Run(&F::btAbbrechenClick); });
    connect(btBack_, &QPushButton::clicked, this, &QDialog::accept);
    enabledBy_.emplace_back(btBack_, &F::btBackEnabled);
    enabledBy_.emplace_back(lbDDE_, &F::lbDDEEnabled);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(panelSpeichern_);
    buttons->addStretch(1);
    buttons->addWidget(btBack_);
    column->addLayout(groups);
    column->addStretch(1);
    column->addLayout(buttons);
    return box;
}

void GrafEinstellView::Collect() {
    for (const auto& [edit, field] : edits_) {
        form_.*field = S(edit->text());
    }
    for (const auto& [box, field] : checks_) {
        form_.*field = box->isChecked();
    }
    for (const auto& [combo, field] : combos_) {
        form_.*field = combo->currentIndex();
    }
    for (const auto& [buttons, field] : radios_) {
        form_.*field = buttons->checkedId();
    }
}

void GrafEinstellView::Run(Handler handler) {
    Collect();
    (form_.*handler)();
    Refresh();
}

void GrafEinstellView::Refresh() {
    setWindowTitle(Q(form_.Caption));
    gbDDE_->setTitle(Q(form_.gbDDECaption));
    Put(lbDDE_, form_.lbDDE, form_.lbDDEItemIndex);
    {
        const QSignalBlocker block(coSpiegel_);
        coSpiegel_->clear();
        for (const std::string& entry : form_.coSpiegel) {
            coSpiegel_->addItem(Q(entry));
        }
    }
    for (const auto& [edit, field] : edits_) {
        Put(edit, form_.*field);
    }
    for (const auto& [box, field] : checks_) {
        Put(box, form_.*field);
    }
    for (const auto& [combo, field] : combos_) {
        Put(combo, form_.*field);
    }
    for (const auto& [buttons, field] : radios_) {
        if (QAbstractButton* button = buttons->button(form_.*field)) {
            button->setChecked(true);
        }
    }
    for (const auto& [widget, field] : enabledBy_) {
        widget->setEnabled(form_.*field);
    }
    editItem_->setToolTip(Q(form_.editItemHint));
    Put(lbSumEinheit_, form_.lbSumEinheit);
    Put(lbT1_, form_.lbT1);
    panelSpeichern_->setVisible(form_.panelSpeichernVisible);
}

void GrafEinstellView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        form_.FormShow();
        Refresh();
    }
}

void GrafEinstellView::done(int result) {
    form_.FormClose();
    QDialog::done(result);
}

}  // namespace tarvedde

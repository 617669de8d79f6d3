#include "gui/diary_binding_view.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "gui/form_widgets.h"

namespace tarvedde {

DiaryBindingView::DiaryBindingView(DiaryBindingForm& form, QWidget* parent)
    : QDialog(parent),
      bindingForm_(form),
      lbCget_(new QListWidget),
      lbIndex_(new QLabel),
      lbDDE_(new QLabel),
      cbDDE_(new QComboBox),
      rgWas_(new QButtonGroup(this)),
      timeArea_(new QVBoxLayout) {
    lbCget_->setObjectName("lbCget");
    lbIndex_->setObjectName("lbIndex");
    lbDDE_->setObjectName("lbDDE");
    lbDDE_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cbDDE_->setObjectName("cbDDE");
    cbDDE_->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    auto* positions = new QVBoxLayout;
    positions->addWidget(new QLabel("Reservierte Plätze im Tagebuch"));
    positions->addWidget(lbCget_);

    auto* binding = new QFormLayout;
    binding->addRow("Tagebuch-Index", lbIndex_);
    binding->addRow("Adresse", lbDDE_);
    binding->addRow("Wert", cbDDE_);

    auto* rgWas = new QGroupBox(" Übergabe von ");
    rgWas->setObjectName("rgWas");
    auto* types = new QVBoxLayout(rgWas);
    for (std::size_t i = 0; i < kDiaryTransferTypes.size(); ++i) {
        auto* button = new QRadioButton(ToQt(kDiaryTransferTypes[i]));
        rgWas_->addButton(button, static_cast<int>(i));
        types->addWidget(button);
    }

    auto* speichern = new QPushButton("&Speichern");
    speichern->setObjectName("btSpeichern");
    auto* abbrechen = new QPushButton("&Abbrechen");
    abbrechen->setObjectName("btAbbrechen");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(speichern);
    buttons->addWidget(abbrechen);

    auto* right = new QVBoxLayout;
    right->addLayout(binding);
    right->addWidget(rgWas);
    right->addLayout(timeArea_);
    right->addStretch(1);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(positions, 1);
    layout->addLayout(right, 1);
    resize(720, 520);

    connect(lbCget_, &QListWidget::itemSelectionChanged, this, [this] {
        Run([this] {
            bindingForm_.lbCgetItemIndex = SelectedRow(*lbCget_);
            bindingForm_.lbCgetClick();
        });
    });
    connect(cbDDE_, &QComboBox::activated, this, [this](int index) {
        Run([&] {
            bindingForm_.cbDDEItemIndex = index;
            bindingForm_.cbDDEChange();
        });
    });
    connect(rgWas_, &QButtonGroup::idClicked, this, [this](int id) {
        Run([&] {
            bindingForm_.rgWasItemIndex = id;
            bindingForm_.rgWasClick();
        });
    });
    connect(speichern, &QPushButton::clicked, this, [this] { Run([this] { Save(); }); });
    connect(abbrechen, &QPushButton::clicked, this, [this] { reject(); });
}

void DiaryBindingView::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        bindingForm_.FormShow();
        Refresh();
    }
    QDialog::showEvent(event);
}

void DiaryBindingView::reject() {
    bindingForm_.btAbbrechenClick();
    QDialog::reject();
}

void DiaryBindingView::Refresh() {
    refreshing_ = true;
    ShowLines(*lbCget_, bindingForm_.lbCget, bindingForm_.lbCgetItemIndex);
    const bool selected = lbCget_->currentRow() >= 0;
    lbIndex_->setText(selected ? ToQt(bindingForm_.lbIndex) : QString());
    lbDDE_->setText(selected ? ToQt(bindingForm_.lbDDE) : QString());
    ShowChoice(*cbDDE_, bindingForm_.cbDDE, selected ? bindingForm_.cbDDEItemIndex : -1);
    ShowRadio(*rgWas_, selected ? bindingForm_.rgWasItemIndex : -1);
    RefreshTime();
    refreshing_ = false;
}

}  // namespace tarvedde

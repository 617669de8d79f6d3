#include "gui/summen_view.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {
SummenView::SummenView(TFo_Summen& form, QWidget* parent)
    : QWidget(parent, Qt::Window),
      form_(form),
      lbNames_(new QListWidget),
      lbSumme_(AddLabel("lbSumme")),
      lbMittel_(AddLabel("lbMittel")),
      lbMinimum_(AddLabel("lbMinimum")),
      lbMaximum_(AddLabel("lbMaximum")),
      lbPufferIndex_(AddLabel("lbPufferIndex")),
      lbSum_(AddLabel("lbSum")),
      lbMit_(AddLabel("lbMit")),
      lbMin_(AddLabel("lbMin")),
      lbMax_(AddLabel("lbMax")),
      lbInd_(AddLabel("lbInd")),
      button1_(new QPushButton("Summe zurücksetzen")),
      bitBtn1_(new QPushButton("Min./Max. setzen")),
      edit1_(new QLineEdit),
      edit2_(new QLineEdit) {
    setObjectName("Fo_Summen");
    setWindowTitle("Summen der Messwerte");
    lbNames_->setObjectName("lbNames");
    button1_->setObjectName("Button1");
    bitBtn1_->setObjectName("BitBtn1");
    edit1_->setObjectName("Edit1");
    edit2_->setObjectName("Edit2");

    auto* values = new QGridLayout;
    QLabel* const captions[] = {lbSumme_, lbMittel_, lbMinimum_, lbMaximum_, lbPufferIndex_};
    QLabel* const shown[] = {lbSum_, lbMit_, lbMin_, lbMax_, lbInd_};
    for (int row = 0; row < 5; ++row) {
        values->addWidget(captions[row], row, 0);
        shown[row]->setFrameShape(QFrame::StyledPanel);
        shown[row]->setMinimumWidth(180);
        values->addWidget(shown[row], row, 1);
    }
    auto* extremes = new QHBoxLayout;
    extremes->addWidget(edit1_);
    extremes->addWidget(edit2_);
    extremes->addWidget(bitBtn1_);
    auto* right = new QVBoxLayout;
    right->addLayout(values);
    right->addWidget(button1_);
    right->addLayout(extremes);
    right->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addWidget(lbNames_, 1);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    for (const char* text : {"Index = Zeiger im Ringpuffer (0..n)",
                             "n.v. = gleit.Minimum/Maximum wurde noch nicht berechnet, weil der "
                             "Ringpuffer noch nicht voll ist"}) {
        auto* note = new QLabel(text);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    resize(620, 340);

    connect(lbNames_, &QListWidget::currentRowChanged, this, [this](int row) {
        form_.lbNamesClick(row);
        Refresh();
    });
    connect(edit1_, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.Edit1 = text.toStdString(); });
    connect(edit2_, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.Edit2 = text.toStdString(); });
    connect(button1_, &QPushButton::clicked, this, [this] {
        form_.Button1Click();
        Refresh();
    });
    connect(bitBtn1_, &QPushButton::clicked, this, [this] {
        form_.BitBtn1Click();
        Refresh();
    });
    form_.onChanged = [this] { Refresh(); };
    Refresh();
}

SummenView::~SummenView() {
    form_.onChanged = {};
}

QLabel* SummenView::AddLabel(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    return label;
}

void SummenView::Refresh() {
    lbSumme_->setText(ToQt(form_.lbSumme));
    lbMittel_->setText(ToQt(form_.lbMittel));
    lbMinimum_->setText(ToQt(form_.lbMinimum));
    lbMaximum_->setText(ToQt(form_.lbMaximum));
    lbPufferIndex_->setText(ToQt(form_.lbPufferIndex));
    lbSum_->setText(ToQt(form_.lbSum));
    lbMit_->setText(ToQt(form_.lbMit));
    lbMin_->setText(ToQt(form_.lbMin));
    lbMax_->setText(ToQt(form_.lbMax));
    lbInd_->setText(ToQt(form_.lbInd));
    bitBtn1_->setEnabled(form_.BitBtn1Enabled);
    if (!edit1_->hasFocus()) {
        edit1_->setText(ToQt(form_.Edit1));
    }
    if (!edit2_->hasFocus()) {
        edit2_->setText(ToQt(form_.Edit2));
    }
}

void SummenView::showEvent(QShowEvent* event) {
    form_.FormShow();
    {
        const QSignalBlocker quiet(lbNames_);
        lbNames_->clear();
        for (const std::string& name : form_.lbNames) {
            lbNames_->addItem(ToQt(name));
        }
        lbNames_->setCurrentRow(form_.lbNamesItemIndex);
    }
    Refresh();
    QWidget::showEvent(event);
}

void SummenView::closeEvent(QCloseEvent* event) {
    form_.FormClose();
    event->accept();
}

}  // namespace tarvedde

#include "gui/logging_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tarvedde {

LoggingView::LoggingView(TFo_Logging& form, QWidget* parent)
    : QWidget(parent, Qt::Window),
      form_(form),
      cbDetailLog_(CheckBox("cbDetailLog", "Detailiert")),
      cbDebugLog_(CheckBox("cbDebugLog", " Debugging")),
      spinEdit1_(new QSpinBox),
      cbTabelLog_(CheckBox("cbTabelLog", "Tabellenumrechnung")),
      lbDDE_(new QListWidget),
      cbEinzel_(CheckBox("cbEinzel", "Einzelwerte")),
      cbGleitLog_(CheckBox("cbGleitLog", "Gleitende Mittelwerte")),
      cbSumLog_(CheckBox("cbSumLog", "Summe")),
      label1_(new QLabel("gespiegelt")),
      lbSum_(new QLabel) {
    setObjectName("Fo_Logging");
    cbDetailLog_->setEnabled(false);
    cbDebugLog_->setEnabled(false);
    spinEdit1_->setObjectName("SpinEdit1");
    spinEdit1_->setRange(0, 10);
    spinEdit1_->setToolTip(
        "1=Details, 2=Debug, 3=NT/HT ungespiegelt, 4=gespiegelte, 5=Tagebuchübergabe");
    lbDDE_->setObjectName("lbDDE");
    label1_->setObjectName("Label1");
    label1_->setStyleSheet("color: red; font-weight: bold;");
    lbSum_->setObjectName("lbSum");
    lbSum_->setStyleSheet("color: blue;");
    auto* button1 = new QPushButton("Übernehmen und &speichern");
    button1->setObjectName("Button1");
    auto* bitBtn1 = new QPushButton("&Alle abschalten");
    bitBtn1->setObjectName("BitBtn1");

    auto* settings = new QGridLayout;
    settings->addWidget(cbDetailLog_, 0, 0);
    settings->addWidget(cbDebugLog_, 1, 0);
    settings->addWidget(new QLabel("Level (0=aus) :"), 0, 1);
    settings->addWidget(spinEdit1_, 0, 2);
    settings->addWidget(cbTabelLog_, 1, 1, 1, 2);
    settings->addWidget(button1, 2, 0, 1, 3);
    auto* switches = new QVBoxLayout;
    switches->addWidget(label1_);
    switches->addWidget(cbEinzel_);
    switches->addWidget(cbGleitLog_);
    auto* sumRow = new QHBoxLayout;
    sumRow->addWidget(cbSumLog_);
    sumRow->addWidget(lbSum_, 1);
    switches->addLayout(sumRow);
    switches->addStretch(1);
    switches->addWidget(bitBtn1);
    auto* items = new QHBoxLayout;
    items->addWidget(lbDDE_, 1);
    items->addLayout(switches);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addLayout(items, 1);
    resize(600, 460);

    connect(lbDDE_, &QListWidget::currentRowChanged, this, [this] {
        if (!refreshing_) {
            Run(&TFo_Logging::lbDDEClick);
        }
    });
    connect(cbEinzel_, &QCheckBox::clicked, this, [this] { Run(&TFo_Logging::cbEinzelClick); });
    connect(cbGleitLog_, &QCheckBox::clicked, this, [this] { Run(&TFo_Logging::cbGleitLogClick); });
    connect(cbSumLog_, &QCheckBox::clicked, this, [this] { Run(&TFo_Logging::cbSumLogClick); });
    connect(bitBtn1, &QPushButton::clicked, this, [this] { Run(&TFo_Logging::BitBtn1Click); });
    connect(button1, &QPushButton::clicked, this, [this] {
        Run(&TFo_Logging::Button1Click);
        if (!form_.visible) {
            hide();
        }
    });
    setWindowTitle(QString::fromStdString(form_.caption));
}

QCheckBox* LoggingView::CheckBox(const char* name, const char* text) {
    auto* box = new QCheckBox(text);
    box->setObjectName(name);
    return box;
}

void LoggingView::Run(void (TFo_Logging::*handler)()) {
    form_.SpinEdit1 = spinEdit1_->value();
    form_.cbTabelLog = cbTabelLog_->isChecked();
    form_.lbDDEItemIndex = lbDDE_->currentRow();
    form_.cbEinzel = cbEinzel_->isChecked();
    form_.cbGleitLog = cbGleitLog_->isChecked();
    form_.cbSumLog = cbSumLog_->isChecked();
    (form_.*handler)();
    Refresh();
}

void LoggingView::Refresh() {
    refreshing_ = true;
    cbDetailLog_->setChecked(form_.cbDetailLog);
    cbDebugLog_->setChecked(form_.cbDebugLog);
    spinEdit1_->setValue(form_.SpinEdit1);
    cbTabelLog_->setChecked(form_.cbTabelLog);
    QStringList names;
    for (const std::string& name : form_.lbDDEItems) {
        names << QString::fromStdString(name);
    }
    // Rebuilt only when changed: a click on the list lands here from the list's own signal.
    bool same = lbDDE_->count() == names.size();
    for (int row = 0; same && row < names.size(); ++row) {
        same = lbDDE_->item(row)->text() == names[row];
    }
    if (!same) {
        lbDDE_->clear();
        lbDDE_->addItems(names);
    }
    lbDDE_->setCurrentRow(form_.lbDDEItemIndex);
    cbEinzel_->setChecked(form_.cbEinzel);
    cbEinzel_->setEnabled(form_.cbEinzelEnabled);
    cbGleitLog_->setChecked(form_.cbGleitLog);
    cbGleitLog_->setEnabled(form_.cbGleitLogEnabled);
    cbSumLog_->setChecked(form_.cbSumLog);
    cbSumLog_->setEnabled(form_.cbSumLogEnabled);
    label1_->setVisible(form_.Label1Visible);
    lbSum_->setText(QString::fromStdString(form_.lbSum));
    lbSum_->setVisible(form_.lbSumVisible);
    refreshing_ = false;
}

void LoggingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    form_.FormShow();
    Refresh();
}

void LoggingView::hideEvent(QHideEvent* event) {
    // Minimising is no close: the form keeps its showing.
    if (!event->spontaneous()) {
        form_.FormClose();
    }
    QWidget::hideEvent(event);
}

}  // namespace tarvedde

#include "gui/warnung_view.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvedde {

WarnungView::WarnungView(TFo_Warnung& form, WarningWindowModel& window, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      form_(form),
      window_(window),
      lb1_(new QListWidget),
      cb1_(new QCheckBox(QString::fromStdString(form.cb1Caption))) {
    setObjectName("Fo_Warnung");
    lb1_->setObjectName("lb1");
    cb1_->setObjectName("cb1");
    auto* label1 = new QLabel(QString::fromStdString(form.Label1));
    label1->setObjectName("Label1");
    auto* bitBtn1 = new QPushButton(QString::fromStdString(form.BitBtn1));
    bitBtn1->setObjectName("BitBtn1");
    auto* switchOff = new QVBoxLayout;
    switchOff->setSpacing(0);
    switchOff->addWidget(cb1_);
    switchOff->addWidget(label1);
    auto* row = new QHBoxLayout;
    row->addWidget(bitBtn1);
    row->addStretch(1);
    row->addLayout(switchOff);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lb1_, 1);
    layout->addLayout(row);
    resize(560, 280);

    connect(bitBtn1, &QPushButton::clicked, this, [this] {
        form_.cb1 = cb1_->isChecked();
        form_.BitBtn1Click();
        Refresh();
    });
    window_.SetListener([this] { Refresh(); });
    window_.lb1().SetListener([this] { Refresh(); });
    Refresh();
}

WarnungView::~WarnungView() {
    window_.SetListener({});
    window_.lb1().SetListener({});
}

void WarnungView::Refresh() {
    setWindowTitle(QString::fromStdString(form_.Caption()));
    cb1_->setChecked(form_.cb1);
    const auto& lines = form_.lb1().Lines();
    if (lb1_->count() > static_cast<int>(lines.size())) {
        lb1_->clear();
    }
    for (auto i = static_cast<std::size_t>(lb1_->count()); i < lines.size(); ++i) {
        lb1_->addItem(QString::fromStdString(lines[i]));
    }
    if (form_.Visible() && isHidden()) {
        show();
        raise();
    } else if (!form_.Visible() && !isHidden()) {
        hide();
    }
}

// The frame's close button closes as the form does: beeping stops, the list empties.
void WarnungView::closeEvent(QCloseEvent* event) {
    form_.Close();
    event->accept();
}

}  // namespace tarvedde

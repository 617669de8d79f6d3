#include "gui/stop_window.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace tarvedde {

StopWindow::StopWindow(TFo_Stop& form, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      form_(form),
      text_(new QLabel(this)),
      p1_(new QProgressBar(this)),
      bitBtn1_(new QPushButton(QString::fromStdString(form.BitBtn1), this)) {
    setObjectName("Fo_Stop");
    text_->setObjectName("lbText");
    text_->setAlignment(Qt::AlignCenter);
    p1_->setObjectName("p1");
    p1_->setTextVisible(false);
    bitBtn1_->setObjectName("BitBtn1");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(p1_);
    layout->addWidget(bitBtn1_);
    resize(360, 110);
    connect(bitBtn1_, &QPushButton::clicked, this, [this] { form_.BitBtn1Click(); });
    form_.onChanged = [this] { Refresh(); };
    Refresh();
}

StopWindow::~StopWindow() {
    form_.onChanged = {};
}

void StopWindow::Refresh() {
    setWindowTitle(QString::fromStdString(form_.caption));
    text_->setText(QString::fromStdString(form_.caption).trimmed());
    p1_->setRange(0, form_.p1Max);
    p1_->setValue(form_.p1Position);
    if (form_.Visible() && isHidden()) {
        show();
        raise();
    } else if (!form_.Visible() && !isHidden()) {
        hide();
    }
}

void StopWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
}

}  // namespace tarvedde

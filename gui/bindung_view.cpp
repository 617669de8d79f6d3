#include "gui/bindung_view.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include "gui/form_widgets.h"

namespace tarvedde {

BindungView::BindungView(TarveddeMain& main, QWidget* parent)
    : DiaryBindingView(form_, parent),
      form_(main.Diary(), main.Config(), main.GetHost().op, main.Log()),
      cbZeit_(new QCheckBox("Nur")),
      spT1_(new QSpinBox),
      spT2_(new QSpinBox) {
    setObjectName("Fo_bindung");
    setWindowTitle(ToQt(form_.Caption));
    cbZeit_->setObjectName("cbZeit");
    spT1_->setObjectName("spT1");
    spT1_->setRange(0, 23);
    spT2_->setObjectName("spT2");
    spT2_->setRange(1, 24);
    auto* group = new QGroupBox(" Zeitrahmen ");
    auto* row = new QHBoxLayout(group);
    row->addWidget(cbZeit_);
    row->addWidget(spT1_);
    row->addWidget(new QLabel("bis"));
    row->addWidget(spT2_);
    row->addWidget(new QLabel("Uhr"));
    row->addStretch(1);
    TimeArea().addWidget(group);

    connect(cbZeit_, &QCheckBox::clicked, this, [this](bool checked) {
        Run([&] {
            form_.cbZeit = checked;
            form_.cbZeitClick();
        });
    });
    connect(spT1_, &QSpinBox::valueChanged, this, [this](int hour) {
        Run([&] {
            form_.spT1 = hour;
            form_.spT1Change();
        });
    });
    connect(spT2_, &QSpinBox::valueChanged, this, [this](int hour) {
        Run([&] {
            form_.spT2 = hour;
            form_.spT2Change();
        });
    });
}

void BindungView::RefreshTime() {
    cbZeit_->setChecked(form_.cbZeit);
    spT1_->setValue(form_.spT1);
    spT2_->setValue(form_.spT2);
}

}  // namespace tarvedde

#include "gui/tagebuch_view.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

#include "gui/form_widgets.h"

namespace tarvedde {
namespace {

constexpr std::array<const char*, 8> kWeekdays = {"", "So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};

}  // namespace

TagebuchView::TagebuchView(TarveddeMain& main, QWidget* parent)
    : DiaryBindingView(form_, parent),
      form_(main.Diary(), main.Config(), main.GetHost().op, main.Log()),
      cbZeit_(new QCheckBox(" Übernahme ins Tagbuch nur von")),
      timeGroups_(new QWidget),
      eT1_(new QLineEdit),
      eT2_(new QLineEdit),
      rgZeit_(new QButtonGroup(this)) {
    setObjectName("Fo_Tagebuch");
    setWindowTitle(ToQt(form_.Caption));
    cbZeit_->setObjectName("cbZeit");
    for (QLineEdit* edit : {eT1_, eT2_}) {
        edit->setReadOnly(true);
        edit->setMaximumWidth(90);
    }
    eT1_->setObjectName("eT1");
    eT2_->setObjectName("eT2");

    auto* times = new QHBoxLayout;
    times->addWidget(eT1_);
    times->addWidget(new QLabel("bis"));
    times->addWidget(eT2_);
    times->addStretch(1);
    auto* rgZeit = new QGroupBox(" Tageszeit  ");
    rgZeit->setObjectName("rgZeit");
    auto* modes = new QVBoxLayout(rgZeit);
    for (const auto& [id, text] :
         {std::pair{0, "fortlaufend (gleicher Tag)"}, std::pair{1, "mit Datumswechsel"}}) {
        auto* button = new QRadioButton(text);
        rgZeit_->addButton(button, id);
        modes->addWidget(button);
    }
    auto* days = new QHBoxLayout;
    days->addWidget(BuildDayBoxes(" ganztägig ", "cd", cd_, form_.cd));
    days->addWidget(BuildDayBoxes(" niemals ", "cn", cn_, form_.cn));
    auto* groups = new QVBoxLayout(timeGroups_);
    groups->setContentsMargins(0, 0, 0, 0);
    groups->addLayout(times);
    groups->addWidget(rgZeit);
    groups->addLayout(days);

    auto* frame = new QGroupBox(" Zeitrahmen ");
    auto* column = new QVBoxLayout(frame);
    column->addWidget(cbZeit_);
    column->addWidget(timeGroups_);
    TimeArea().addWidget(frame);

    connect(cbZeit_, &QCheckBox::clicked, this, [this](bool checked) {
        Run([&] {
            form_.cbZeit = checked;
            form_.cbZeitClick();
        });
    });
    connect(rgZeit_, &QButtonGroup::idClicked, this, [this](int id) {
        Run([&] {
            form_.rgZeitItemIndex = id;
            form_.rgZeitClick();
        });
    });
}

QWidget* TagebuchView::BuildDayBoxes(const char* title, const char* prefix,
                                     std::array<QCheckBox*, 8>& boxes,
                                     std::array<bool, 8>& values) {
    auto* group = new QGroupBox(title);
    auto* row = new QHBoxLayout(group);
    for (std::size_t d = 1; d <= 7; ++d) {
        boxes[d] = new QCheckBox(kWeekdays[d]);
        boxes[d]->setObjectName(QString(prefix) + QString::number(d));
        row->addWidget(boxes[d]);
        connect(boxes[d], &QCheckBox::clicked, this, [this, d, &values](bool checked) {
            Run([&] {
                values[d] = checked;
                form_.DayBoxClick();
            });
        });
    }
    return group;
}

void TagebuchView::RefreshTime() {
    cbZeit_->setChecked(form_.cbZeit);
    timeGroups_->setVisible(form_.timeGroupsVisible);
    eT1_->setText(ToQt(form_.eT1));
    eT2_->setText(ToQt(form_.eT2));
    ShowRadio(*rgZeit_, form_.rgZeitItemIndex);
    for (std::size_t d = 1; d <= 7; ++d) {
        cd_[d]->setChecked(form_.cd[d]);
        cn_[d]->setChecked(form_.cn[d]);
    }
}

}  // namespace tarvedde

#include "gui/kalibrierung_view.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {

using namespace view;

KalibrierungView::KalibrierungView(TarveddeMain& main, QWidget* parent)
    : QWidget(parent, Qt::Window),
      form_(main.Config(), main.Dde().Sources(), main.Integrator(), main.ItemSettings(),
            main.GetHost(), main.RegionalSettings()),
      lbNames_(Named<QListWidget>("lbNames")),
      lbName_(Named<QLabel>("lbName")),
      lbAkt_(Named<QLabel>("lbAkt")),
      lbSum_(Named<QLabel>("lbSum")),
      eMinforUser_(Edit("eMinforUser")),
      eMaxforUser_(Edit("eMaxforUser")),
      e_minforsps_(Spin("e_minforsps", -99999, 65536)),
      e_maxforsps_(Spin("e_maxforsps", 0, 65535)),
      lb_M_(Named<QLabel>("lb_M")),
      lb_T_(Named<QLabel>("lb_T")) {
    setObjectName("Fo_Kalibrierung");
    setWindowTitle(" Kalibrierung");
    auto* values = new QFormLayout;
    values->addRow("Parametername", lbName_);
    values->addRow("Akt. Wert", lbAkt_);
    values->addRow("Summe", lbSum_);
    values->addRow("Min_User", eMinforUser_);
    values->addRow("Max_User", eMaxforUser_);
    values->addRow("Min_SPS", e_minforsps_);
    values->addRow("Max_SPS", e_maxforsps_);
    values->addRow("Steigung M : ", lb_M_);
    values->addRow("Abschnitt T :", lb_T_);
    QPushButton* setMinMax = Button("setMinMax", "Min/Max setzen");
    QPushButton* sichern = Button("bt_Sichern", "Kalibrierung übernehmen");
    auto* right = new QVBoxLayout;
    right->addLayout(values);
    right->addWidget(setMinMax);
    right->addWidget(sichern);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lbNames_, 3);
    layout->addLayout(right, 2);
    resize(760, 360);

    connect(lbNames_, &QListWidget::currentRowChanged, this, [this](int row) {
        form_.lbNamesItemIndex = row;
        Run(&TFo_Kalibrierung::lbNamesClick);
    });
    connect(setMinMax, &QPushButton::clicked, this,
            [this] { Run(&TFo_Kalibrierung::setMinMaxClick); });
    connect(sichern, &QPushButton::clicked, this,
            [this] { Run(&TFo_Kalibrierung::bt_SichernClick); });
    form_.onChanged = [this] { Refresh(); };
}

KalibrierungView::~KalibrierungView() {
    form_.onChanged = {};
}

void KalibrierungView::Collect() {
    form_.eMinforUser = S(eMinforUser_->text());
    form_.eMaxforUser = S(eMaxforUser_->text());
    form_.e_minforsps = e_minforsps_->value();
    form_.e_maxforsps = e_maxforsps_->value();
}

void KalibrierungView::Run(void (TFo_Kalibrierung::*handler)()) {
    Collect();
    (form_.*handler)();
    Refresh();
}

void KalibrierungView::Refresh() {
    Put(lbNames_, form_.lbNames, form_.lbNamesItemIndex);
    Put(lbName_, form_.lbName);
    Put(lbAkt_, form_.lbAkt);
    Put(lbSum_, form_.lbSum);
    Put(eMinforUser_, form_.eMinforUser);
    Put(eMaxforUser_, form_.eMaxforUser);
    Put(e_minforsps_, form_.e_minforsps);
    Put(e_maxforsps_, form_.e_maxforsps);
    Put(lb_M_, form_.lb_M);
    Put(lb_T_, form_.lb_T);
}

void KalibrierungView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        form_.FormShow();
        Refresh();
    }
}

void KalibrierungView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        form_.FormClose();
    }
}

}  // namespace tarvedde

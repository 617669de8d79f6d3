// The view of TFo_bindung, the diary binding of AQASYS mode: the shared binding controls
// and the hours of the day the value is taken from.
#pragma once

#include <QCheckBox>
#include <QSpinBox>

#include "dialogs/tarvedde_bindung.h"
#include "engine/frame/tarvedde_main.h"
#include "gui/diary_binding_view.h"

namespace tarvedde {

class BindungView final : public DiaryBindingView {
public:
    explicit BindungView(TarveddeMain& main, QWidget* parent = nullptr);

private:
    void RefreshTime() override;
    void Save() override { form_.btSpeichernClick(); }

    TFo_bindung form_;
    QCheckBox* cbZeit_;
    QSpinBox* spT1_;
    QSpinBox* spT2_;
};

}  // namespace tarvedde

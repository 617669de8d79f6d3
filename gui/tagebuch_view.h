// The view of TFo_Tagebuch, the diary binding of permanent mode: the shared binding
// controls and the time frame (the item's frame, all day or never per weekday).
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QWidget>
#include <array>

#include "dialogs/tarvedde_tagebuch.h"
#include "engine/frame/tarvedde_main.h"
#include "gui/diary_binding_view.h"

namespace tarvedde {

class TagebuchView final : public DiaryBindingView {
public:
    explicit TagebuchView(TarveddeMain& main, QWidget* parent = nullptr);

private:
    QWidget* BuildDayBoxes(const char* title, const char* prefix, std::array<QCheckBox*, 8>& boxes,
                           std::array<bool, 8>& values);
    void RefreshTime() override;
    void Save() override { form_.btSpeichernClick(); }

    TFo_Tagebuch form_;
    QCheckBox* cbZeit_;
    // What the time groups hold, shown only while the transfer is restricted.
    QWidget* timeGroups_;
    QLineEdit* eT1_;
    QLineEdit* eT2_;
    QButtonGroup* rgZeit_;
    std::array<QCheckBox*, 8> cd_{};  // index 1 Sunday .. 7 Saturday
    std::array<QCheckBox*, 8> cn_{};
};

}  // namespace tarvedde

// The item settings dialog: a modal view of TFo_GrafEinstell with every control of the
// form, and the time table editor its "Zeiten eingeben" runs. Any edit goes to the form at
// once, so the form decides when "Speichern" appears and when the list is locked.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <array>
#include <map>
#include <utility>
#include <vector>

#include "dialogs/tarvedde_graf_einstell.h"
#include "dialogs/tarvedde_time_table.h"
#include "engine/frame/tarvedde_main.h"
#include "gui/time_table_view.h"

namespace tarvedde {

class GrafEinstellView final : public QDialog {
public:
    explicit GrafEinstellView(TarveddeMain& main, QWidget* parent = nullptr);

    void Refresh();
    TimeTableView* TimeTable() { return timeTableView_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    using Handler = void (TFo_GrafEinstell::*)();

    QLineEdit* AddEdit(const char* name, std::string TFo_GrafEinstell::*field,
                       Handler change = &TFo_GrafEinstell::ControlChange);
    QCheckBox* AddCheck(const char* name, const char* caption, bool TFo_GrafEinstell::*field,
                        Handler click = &TFo_GrafEinstell::ControlChange);
    QComboBox* AddCombo(const char* name, const std::vector<std::string>& entries,
                        int TFo_GrafEinstell::*index, Handler change);
    QButtonGroup* AddRadios(QGroupBox* group, const std::vector<const char*>& captions,
                            int TFo_GrafEinstell::*index);
    QWidget* BuildLimitsAndCalibration();
    QWidget* BuildOptions();
    QWidget* BuildConversion();
    QWidget* BuildMirrorAndTimeFrame();
    QWidget* BuildTypeAndButtons();
    void Collect();
    void Run(Handler handler);

    TFo_TimeTable timeTable_;
    TimeTableView* timeTableView_;
    TFo_GrafEinstell form_;
    // Every control whose value is a form field, by the field.
    std::map<QLineEdit*, std::string TFo_GrafEinstell::*> edits_;
    std::map<QCheckBox*, bool TFo_GrafEinstell::*> checks_;
    std::map<QComboBox*, int TFo_GrafEinstell::*> combos_;
    std::map<QButtonGroup*, int TFo_GrafEinstell::*> radios_;
    std::vector<std::pair<QWidget*, bool TFo_GrafEinstell::*>> enabledBy_;
    QListWidget* lbDDE_;
    QGroupBox* gbDDE_;
    QLineEdit* editItem_ = nullptr;
    QComboBox* coSpiegel_ = nullptr;
    QLabel* lbSumEinheit_ = nullptr;
    QLabel* lbT1_ = nullptr;
    QGroupBox* grDays_ = nullptr;
    QPushButton* btTabelle_ = nullptr;
    QPushButton* btBack_ = nullptr;
    QWidget* panelSpeichern_ = nullptr;
};

}  // namespace tarvedde

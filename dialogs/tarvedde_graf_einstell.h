// The item settings dialog ("DDE-Werte einstellen"): one item at a time, its item string and
// name, limits and warning limits, calibration, units, sum and conversion options, mirroring,
// time frame, type and graph reference. A view copies the control values below in both
// directions and calls the handlers; list position p is item p + 1.
//
// Guarantees: filling the controls never counts as a change; btSpeichernClick corrects
// contradictory entries with a message, hands the item to the running program (the next
// value is processed with it; a changed item string is read from its new server item) and writes
// TARVEDDE.INI, EICH.INI and the diary binding. A text that would not read back from TARVEDDE.INI
// refuses the whole save before anything changes; a file the disk refuses is told to the operator
// and logged, and the dialog stays unsaved so the operator can try again.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "dialogs/tarvedde_time_table.h"
#include "engine/acquisition/sample_integrator.h"
#include "engine/config/configuration.h"
#include "engine/diary/diary_interface.h"
#include "engine/model/host.h"
#include "engine/model/item_settings_change.h"
#include "engine/statistics/time_frames.h"
#include "outputs/program_log.h"
#include "platform/locale.h"

namespace tarvedde {

// Runs the time table editor modally: returns once the operator has closed it. The Qt view
// shows its window; the scenario runner and tests drive the form in between.
class ModalTimeTable {
public:
    virtual ~ModalTimeTable() = default;
    virtual void Run(TFo_TimeTable& form) = 0;
};

// What the dialog's save reaches besides the configuration.
struct GrafEinstellTargets {
    SampleIntegrator& integrator;
    ItemSettingsChange& itemSettings;
    TimeFrameStatistics& timeFrames;
    DiaryInterface& diary;
    TFo_TimeTable& timeTable;
    ModalTimeTable& modalTimeTable;
};

class TFo_GrafEinstell {
public:
    TFo_GrafEinstell(Configuration& config, const GrafEinstellTargets& targets, Host& host,
                     ProgramLog& log, const Locale& locale)
        : config_(config), targets_(targets), host_(host), log_(log), locale_(locale) {}

    // Control values.
    std::string Caption;
    std::vector<std::string> lbDDE;
    int lbDDEItemIndex = -1;
    bool lbDDEEnabled = true;
    std::string gbDDECaption;
    std::string editItem;
    std::string editItemHint = "DDE-Server Item";
    std::string editName;
    std::string editOben;
    std::string editUnten;
    std::string edWarnOben;
    std::string edWarnUnten;
    std::string editM;
    std::string editT;
    std::string editD = "1";  // always disabled
    std::string editEinheit;
    bool cbGleit = false;
    bool cbGleitEnabled = true;
    bool cbDifferenz = false;
    bool cbIntegral = false;
    std::string lbSumEinheit;
    std::string editIntegral = "0.01";
    bool editIntegralEnabled = false;
    int coIntegralItemIndex = 0;  // Sekunde, Minute, Stunde
    bool coIntegralEnabled = false;
    std::string eSumTeiler = "1";
    std::string eSumEinheit;
    std::string eCWsumTeiler = "1";
    std::string eCWsumEinheit;
    bool cbUmrechnen = false;
    std::string editUmrFaktor = "1";
    std::string editUmrTeiler = "1";
    std::string editUmrEinheit;
    int coZeitItemIndex = 0;        // " ", Sekunde, Minute, Stunde, Tag
    bool umrechnenEnabled = false;  // factor, divisor, new unit and coZeit together
    bool cbSpiegel = false;
    std::vector<std::string> coSpiegel;  // " ", then the items: entry k is item k
    int coSpiegelItemIndex = 0;
    bool cbRahmen = false;
    std::string eT1 = "00:00";
    std::string eT2 = "00:00";
    bool eT1Enabled = false;
    bool eT2Enabled = false;
    std::string lbT1 = "um";
    bool grDaysEnabled = false;
    bool btTabelleEnabled = false;
    // cd1 Sunday .. cd7 Saturday.
    bool cd1 = true, cd2 = true, cd3 = true, cd4 = true, cd5 = true, cd6 = true, cd7 = true;
    int rgTypItemIndex = 0;  // analog, digital
    int rgRefItemIndex = 0;  // Null, Minimum
    bool btBackEnabled = true;
    bool panelSpeichernVisible = false;

    void FormShow();
    void lbDDEClick();
    // The change of editM or editT; every other edit, check box and radio group calls
    // ControlChange (the check boxes below call it themselves).
    void editMChange() { Change(true); }
    void editTChange() { Change(true); }
    void ControlChange() { Change(false); }
    // Check boxes and combo boxes, after the view has set their value.
    void cbIntegralClick();
    void coIntegralChange();
    void cbRahmenClick();
    void cbSpiegelClick();
    void cbUmrechnenClick();
    void btSpeichernClick();
    void btAbbrechenClick();
    void btTabelleClick();
    void FormClose();

    bool Modified() const { return modified_; }

private:
    // The time bases the "Zeitbezug" list offers, by entry.
    static constexpr std::array<int, 3> kIntegralBezugList{1, 60, 3600};
    int ChosenIntegralBezug() const;
    int keptIntegralBezug_ = 0;  // the loaded item's time base the list lacks; 0: none
    int SelectedItem() const { return lbDDEItemIndex + 1; }
    bool HasSelection() const {
        return lbDDEItemIndex >= 0 && lbDDEItemIndex < config_.Settings().itemCount;
    }
    void LoadItem(int n);
    void LoadOptions(const ItemConfig& item);
    void LoadTimeFrame(const ItemConfig& item);
    void Change(bool calibrationEdit);
    void EndEditing();
    std::array<bool*, 8> DayBoxes();

    // The save's steps (tarvedde_graf_einstell_save.cpp).
    bool RefuseBrokenTexts();
    bool NameTaken();
    double Number(std::string& field, double fallback, int precision, int decimals);
    void SaveLimits(ItemConfig& item);
    void SaveCalibration(ItemConfig& item);
    void SaveConversionAndSums(ItemConfig& item);
    void SaveTimeFrame(ItemConfig& item);
    void SaveMirror(ItemConfig& item, int n);
    bool SaveNames(ItemConfig& item);
    void SaveOptions(ItemConfig& item);
    bool WriteMainIni(ItemConfig& item, int n);
    bool WriteCalibrationIni(const ItemConfig& item);
    void TellWriteFailure(const std::string& path, const std::string& reason);

    Configuration& config_;
    GrafEinstellTargets targets_;
    Host& host_;
    ProgramLog& log_;
    const Locale& locale_;
    bool loading_ = false;
    bool modified_ = false;
};

}  // namespace tarvedde

// The logging dialog " Logbuch einstellen" as a Qt-free form: the log settings of
// section [DDE] and the per-item switches of the value exports. A view copies the
// control values below in both directions and calls the handlers.
//
// Guarantees: the item switches are edited on a working copy and reach the engine's
// live flags only when the form closes; a mirrored item's switches cannot be changed
// (its values are copies of another item's); before an item is selected, clicks on the
// item check boxes change nothing.
#pragma once

#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/model/live_grid.h"
#include "outputs/item_log_flags.h"
#include "outputs/program_log.h"

namespace tarvedde {

class TFo_Logging {
public:
    TFo_Logging(Configuration& config, Host& host, ProgramLog& log)
        : config_(config), host_(host), log_(log) {}

    // Control values.
    const std::string caption = " Logbuch einstellen";
    bool visible = false;
    bool cbDetailLog = false;  // display only
    bool cbDebugLog = false;   // display only
    int SpinEdit1 = 0;         // "Level (0=aus) :", 0..10
    bool cbTabelLog = false;
    std::vector<std::string> lbDDEItems;
    int lbDDEItemIndex = -1;  // position p is item p + 1
    bool cbEinzel = false;
    bool cbEinzelEnabled = true;
    bool cbGleitLog = false;
    bool cbGleitLogEnabled = true;
    bool cbSumLog = false;
    bool cbSumLogEnabled = true;
    bool Label1Visible = false;  // "gespiegelt"
    std::string lbSum;
    bool lbSumVisible = false;

    // Event handlers.
    void FormShow();
    void lbDDEClick();
    void cbEinzelClick();
    void cbGleitLogClick();
    void cbSumLogClick();
    void BitBtn1Click();  // "&Alle abschalten"
    void Button1Click();  // "Übernehmen und &speichern"; closes the form
    // Runs once per showing: a second call while the form is hidden does nothing, so a
    // view may call it from its own close event after Button1Click closed the form.
    void FormClose();

    const ItemLogFlagsArray& WorkingFlags() const { return working_; }

private:
    int ItemCount() const;
    int SelectedItem() const;
    void ShowLogSettings();
    void ShowItem(int item);
    void ShowSumLabel(bool counter);

    Configuration& config_;
    Host& host_;
    ProgramLog& log_;
    ItemLogFlagsArray working_{};
    bool ignoreClicks_ = true;
};

}  // namespace tarvedde

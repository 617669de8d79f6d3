#include "dialogs/tarvedde_drucker.h"

#include "engine/config/settings_schema.h"
#include "engine/model/program_files.h"
#include "platform/ini_file.h"

namespace tarvedde {

namespace {

// Only these two spellings: a printer named with "fax" in small letters is allowed.
bool IsFax(const std::string& name) {
    return name.find("Fax") != std::string::npos || name.find("FAX") != std::string::npos;
}

}  // namespace

void SelectPrinterOrDefault(Printers& printers, int index, ProgramLog& log) {
    if (printers.Select(index)) {
        return;
    }
    (void)printers.Select(-1);
    log.WriteLog("********  Drucker-Nr. falsch eingestellt !");
}

void TFo_Drucker::FormShow() {
    visible = true;
    drucker_ = schema::Read(IniFile(host_.files, config_.PathOf(kMainIniFile)), schema::kDrucker);
    lbDrucker = printers_.Names();
    const int count = static_cast<int>(lbDrucker.size());
    lbDruckerItemIndex = drucker_ >= 0 && drucker_ < count ? drucker_ : -1;
    ShowCurrentPrinter();
    if (lbDrucker.empty()) {
        drucker_ = kNoPrinter;
        host_.op.ShowMessage("Es ist kein Drucker vorhanden !");
    }
}

void TFo_Drucker::ShowCurrentPrinter() {
    const int current = printers_.Current();
    const bool listed = current >= 0 && current < static_cast<int>(lbDrucker.size());
    Label2 = listed ? lbDrucker[static_cast<std::size_t>(current)] : "Kein Drucker angeschlossen";
}

void TFo_Drucker::btOKClick() {
    visible = false;
    const int index = lbDruckerItemIndex;
    if (index < 0 || index >= static_cast<int>(lbDrucker.size())) {
        return;
    }
    const std::string& name = lbDrucker[static_cast<std::size_t>(index)];
    if (IsFax(name)) {
        host_.op.ShowMessage("Das Fax ist als Drucker nicht zugelassen !");
        return;
    }
    IniFile ini(host_.files, config_.PathOf(kMainIniFile));
    (void)schema::Write(ini, schema::kDrucker, index);
    (void)schema::Write(ini, schema::kDruckername, name);
    drucker_ = index;
    SelectPrinterOrDefault(printers_, index, log_);
    ShowCurrentPrinter();
}

void TFo_Drucker::btAbbrechenClick() {
    visible = false;
}

}  // namespace tarvedde

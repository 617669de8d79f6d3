// The configuration: the general settings, the item model and the tables and lists the
// settings files define, loaded by the configuration loader. Everyone else reads it
// through the const accessors; the few writes from outside (the start's settings, the
// day change's keys, the operator's number format and export switches, the set-up of a
// digital item, the warning window's switch-off) go through the named methods below, so
// every writer can be found.
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/diary/diary_interface.h"
#include "engine/model/dialog_item_lists.h"
#include "engine/model/host.h"
#include "engine/model/item_model.h"
#include "engine/model/live_grid.h"
#include "engine/model/main_window_model.h"
#include "engine/model/program_files.h"
#include "outputs/item_log_flags.h"
#include "outputs/program_log.h"
#include "platform/ini_file.h"
#include "platform/locale.h"
#include "platform/result.h"

namespace tarvedde {

using ProtocolOrder = std::array<int, maxItems + 1>;

namespace config {
struct LoadScope;
}  // namespace config

// What a configuration load writes outside the configuration: the records of
// TARVEDDE.COF (the configuration the day is recorded with), the main window's item
// list, the live grid's rows and the diary binding.
struct LoadTargets {
    PerItem<ConfigRecord>& records;
    std::vector<ItemListRow>& itemList;
    LiveGrid& grid;
    DiaryInterface& diary;
};

class Configuration {
public:
    Configuration(Host& host, ProgramLog& log, const Locale& locale)
        : host_(host), log_(log), locale_(locale) {}
    Configuration(const Configuration&) = delete;
    Configuration& operator=(const Configuration&) = delete;

    const GeneralSettings& Settings() const { return settings_; }
    const PerItem<ItemConfig>& Items() const { return items_; }
    const ItemConfig& Item(int n) const { return items_[n]; }
    const ConversionTables& Tables() const { return tables_; }
    const ProtocolOrder& ItemProtocolOrder() const { return protocolOrder_; }
    const ItemLogFlagsArray& LogFlags() const { return logFlags_; }
    const DialogItemLists& DialogLists() const { return dialogLists_; }
    // AQASYS parameter codes (AQASYSITEMS.TXT) and their names (AQASYSNAMES.TXT), in
    // file order; empty: no AQASYS item is defined.
    const std::vector<std::string>& AqasysCodes() const { return aqasysCodes_; }
    const std::vector<std::string>& AqasysNames() const { return aqasysNames_; }
    int AnalogViewerItems() const { return analogViewerItems_; }
    int DigitalViewerItems() const { return digitalViewerItems_; }

    // Directory of every file of the program, with the trailing separator.
    const std::string& ProgramDir() const { return programDir_; }
    std::string PathOf(std::string_view name) const { return programDir_ + std::string(name); }
    void SetProgramDir(std::string dir) { programDir_ = std::move(dir); }

    // The settings files into the model (see configuration_loader.h). A count saved in
    // the run takes effect at the restart it asks for: the reload keeps the running one,
    // and the running pending day change.
    enum class ItemCount { FromFile, KeepRunning };
    bool Load(const LoadTargets& targets, ItemCount count = ItemCount::FromFile);
    void LoadItemOptions();
    void BuildValueDelimiters();
    // Only the [Fremdwasser] keys, read, logged and written back as the load does; the
    // operator's calculation starts with them.
    const ExtraneousWaterSettings& LoadExtraneousWaterSettings();

    // Main window creation: the source kind of the command line, a fresh day change.
    void BeginProgramStart(SourceKind kind);
    // The keys the start reads before the configuration load; returns Permanent.
    bool ReadStartSettings();
    void SwitchToRetrievalMode() { settings_.permanentMode = false; }
    // The AQASYS start-up wrote [DDE] FirstRun = 0.
    void SetFirstRun(bool firstRun) { settings_.firstRun = firstRun; }
    // The AQASYS parameter editor saved its lists: the retrieval's parameters and the
    // binding dialog's choice ("undefiniert", then the names).
    void SetAqasysParameters(std::vector<std::string> codes, std::vector<std::string> names);
    // AktuTag as `ini` (TARVEDDE.INI) holds it (`yesterday` when missing), with the
    // report keys that are read with it; the file's OPC close count starts at 5.
    void ReadSavedDayKeys(IniFile& ini, const std::string& yesterday);
    void SetSavedDay(std::string day) { settings_.savedDay = std::move(day); }
    void SetCustomNewDay(bool pending) { settings_.customNewDay = pending; }
    void SetOpcCloseCount(int count) { settings_.opcCloseCount = count; }
    // The server the operator chose in the server selection.
    void SetOpcServer(std::string host, std::string progId) {
        settings_.opcHost = std::move(host);
        settings_.opcServer = std::move(progId);
    }
    // The live window's own reading of Itemcount, which the start's load relies on.
    void SetItemCount(int count) { settings_.itemCount = count; }
    void UpdateCycleInterval();
    // The live data window's number format.
    void SetNumberFormat(int precision, int decimals) {
        settings_.formatPrecision = precision;
        settings_.formatDecimals = decimals;
    }
    // The logging dialog's export switches of items 1..count.
    void SetLogFlags(const ItemLogFlagsArray& flags, int count);
    // The protocol order dialog's order: entries 1..item count are in use at once and
    // written to ProtoReihe.TVW, the rest become -1. A failed write keeps the new order
    // for this run only.
    Status SetProtocolOrder(const ProtocolOrder& order);
    // A digital item is acquired as 0/1: its calibration becomes 1 and 0 at its link.
    void UseRawDigitalValue(int n);
    // The day change grows an item's total counter and the counter dialog sets it; the next
    // protocol must show it.
    void SetCounterReading(int n, double reading, bool saved = true) {
        items_[n].counterReading = reading;
        items_[n].counterReadingUnsaved = !saved;
    }
    // The counter dialog's logging flags of item n.
    void SetCounterFlags(int n, bool continuousSum, bool logDayAmount) {
        items_[n].Fortlaufend_summieren = continuousSum;
        items_[n].Tagesmengen_protokollieren = logDayAmount;
    }
    // The maintenance dialog switches item n's maintenance; the next value sees it.
    void SetMaintenance(int n, bool on) { items_[n].maintenanceOn = on; }
    // The calibration dialog's reference points of item n and the slope and offset derived
    // from them; the next value is calibrated with them.
    void SetCalibration(int n, const ItemCalibration& calibration);
    // The general settings dialog's custom day change; the next tick sees it.
    void SetCustomDayChange(bool on, double timeOfDay) {
        settings_.customDayChange = on;
        settings_.customDayChangeTime = timeOfDay;
    }
    // The general settings dialog's cycle interval, as the cycle timer runs it.
    void SetCycleInterval(int count, int unit, int intervalMs) {
        settings_.intervalCount = count;
        settings_.intervalUnit = unit;
        settings_.cycleIntervalMs = intervalMs;
    }
    // The general settings dialog's cycle buffer size.
    void SetBufferSize(int size) { settings_.bufferSize = size; }
    // Taken up by the rings at once and by their timer at the next acquisition start.
    void SetMovingAverage(int bufferSize, int intervalMs) {
        settings_.movingBufferSize = bufferSize;
        settings_.movingIntervalMs = intervalMs;
    }
    // The general settings dialog's DDE service and topic; the next link uses them.
    void SetDdeNames(std::string service, std::string topic) {
        settings_.ddeService = std::move(service);
        settings_.ddeTopic = std::move(topic);
    }
    // The statistics window's font size; written back at program end.
    void SetReportFontSize(int size) { settings_.reportFontSize = size; }
    // The general settings dialog's print option; the next day change prints by it.
    void SetPrintAtMidnight(bool on) { settings_.printAtMidnight = on; }
    // The item settings dialog's save: item n's edited settings (limits, warning, calibration,
    // units, options, time frame, mirroring, type, names) are processed from the next value on;
    // a digital item also takes its MaxAusZeit_anzeigen from TARVEDDE.INI as it stands now.
    void SetItemSettings(int n, const ItemConfig& edited);
    // The item settings dialog's close: the viewer item counts follow the edited types.
    void RecountViewerItems();
    // The warning window's "bis zum nächsten Programmstart": no item shows it again in
    // this run, also when an acquisition start reads Warnung again, until the operator
    // saves an item's settings.
    void SwitchOffWarnings() {
        warningsSwitchedOff_ = true;
        KeepWarningsOff();
    }

private:
    friend struct ConfigurationTestAccess;
    config::LoadScope Scope(ItemCount count = ItemCount::FromFile);

    Host& host_;
    ProgramLog& log_;
    const Locale& locale_;
    std::string programDir_;
    GeneralSettings settings_;
    PerItem<ItemConfig> items_{};
    ConversionTables tables_{};
    ProtocolOrder protocolOrder_{};
    ItemLogFlagsArray logFlags_{};  // item 1..180, as ddeLogKonfig.tvw holds them
    DialogItemLists dialogLists_;
    std::vector<std::string> aqasysCodes_;
    std::vector<std::string> aqasysNames_;
    int analogViewerItems_ = 0;
    int digitalViewerItems_ = 0;
    bool warningsSwitchedOff_ = false;
    void KeepWarningsOff() {
        if (!warningsSwitchedOff_) {
            return;
        }
        for (int n = 1; n <= std::min(settings_.itemCount, maxItems); ++n) {
            items_[n].effectiveWarnung = false;
        }
    }
};

}  // namespace tarvedde

// The extraneous-water calculation in the running program: the host that the manual
// calculation reads and corrects through, and the operator's two menu entries.
#include "engine/frame/extraneous_water_frame_host.h"

#include "engine/config/settings_schema.h"
#include "engine/frame/tarvedde_main.h"
#include "engine/model/program_files.h"
#include "platform/ini_file.h"

namespace tarvedde {
namespace {

// The indexes come from the settings file unchecked; one past the item arrays has no
// values to read or correct.
bool HasValues(int item) {
    return item >= 1 && item <= maxItems;
}

}  // namespace

ExtraneousWaterSettings ExtraneousWaterFrameHost::ReloadSettings() {
    return config_.LoadExtraneousWaterSettings();
}

// A failed write leaves the old estimate for the next start; the running calculation
// already has the new one.
void ExtraneousWaterFrameHost::SaveNightInflowText(const std::string& text) {
    IniFile ini(files_, config_.PathOf(kMainIniFile));
    (void)schema::Write(ini, schema::kZulaufEwInd, text);
}

// A minimum still at its reset mark (a window not yet full, minima just cleared) is none:
// taken as one, the share came out at a billion per cent.
double ExtraneousWaterFrameHost::MinimumInflow(int item) {
    if (!HasValues(item)) {
        return -1.0;
    }
    const double minimum = config_.Item(item).M15_berechnen
                               ? fifteenMinute_.States()[item].m15Minimum
                               : processor_.Values().statistics[item].minimum;
    return minimum < kMinimumReset ? minimum : -1.0;
}

void ExtraneousWaterFrameHost::StoreMinimumInflow(int item, double value) {
    if (!HasValues(item)) {
        return;
    }
    if (config_.Item(item).M15_berechnen) {
        fifteenMinute_.SetMinimum(item, value);
        return;
    }
    processor_.SetDayMinimum(item, value);
}

double ExtraneousWaterFrameHost::InflowVolume(int item) {
    if (!HasValues(item)) {
        return -1.0;
    }
    // Up to now, as the day change's block takes it: a flow that stands sends no samples.
    const ItemConfig& config = config_.Item(item);
    return InflowVolumeOf(
        config, RunningSumAt(config, integrator_.States()[item], clock_.Now(), clock_.ElapsedMs()));
}

void TarveddeMain::Fremdwasser1Click() {
    extraneousWater_.RunManualCalculation(extraneousWaterHost_, host_.op,
                                          statisticsHost_.RunningDay());
}

void TarveddeMain::NachtzulaufEWIndeingeben1Click() {
    extraneousWater_.EnterNightInflow(extraneousWaterHost_, host_.op, true);
}

}  // namespace tarvedde

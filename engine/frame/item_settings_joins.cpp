// What the item and calibration dialogs' saves do to the running program: the day's
// figures and files go on in the measure, the source and the scaling the item has now.
#include "engine/frame/tarvedde_main.h"
#include "engine/statistics/time_table.h"

namespace tarvedde {

void TarveddeMain::ItemSettingsChanged(int item, const ItemConfig& before) {
    const ItemConfig& after = config_.Item(item);
    if (after.serverItem != before.serverItem) {
        ServerItemChanged(item);
    }
    if (after.Grafiktyp != before.Grafiktyp || after.Differenz != before.Differenz ||
        after.mirror.mirrorOn != before.mirror.mirrorOn) {
        // The day's figures so far are of the other measure (or source): summed with the new
        // ones they would give a consumption of raw readings, operating hours of value counts.
        dayStatistics_.RestartItemDay(item);
        processor_.RestartCounterDifference(item);
        if (after.mirror.mirrorOn) {
            RebaseMirrorSum(item, 0.0);
        }
    } else if (after.mirror.mirrorOn && before.mirror.mirrorOn &&
               after.mirror.sourceItem != before.mirror.sourceItem) {
        // The mirror's counter difference would take the new source's reading against the old.
        processor_.RestartCounterDifference(item);
        RebaseMirrorSum(item, CollectedMirrorSum(item, before.mirror.sourceItem));
    }
    timeFrameStatistics_.SetItemFrame(item);
    KeepTimeTableFile(before, after);
    CalibrationChanged();
}

void TarveddeMain::CalibrationChanged() {
    HeaderSettingsChanged();
}

// The day file's header holds the item strings, the calibration and the cycle interval: a
// restart that finds them changed takes the day's state for another configuration's and
// starts the day's figures anew, so the rows from here are a new version. A running day
// the clock has left while acquisition stood keeps its files: the next start's first cycle
// closes it, and the new day's files get the new header.
void TarveddeMain::HeaderSettingsChanged() {
    // A start on a configuration that failed to load opened no day files: the saves that
    // mend it must not write their header over the day's.
    if (config_.Settings().sourceKind == SourceKind::Aqasys || !startReadTheDay_ ||
        !config_.Settings().configValid) {
        return;
    }
    if (!stopped_ || DecodeDate(host_.clock.Now()) == runningDay_) {
        dayFiles_.StartNextVersionIfChanged(runningDay_);
    }
}

// AQASYS reads no item strings.
void TarveddeMain::ServerItemChanged(int item) {
    const SourceKind kind = config_.Settings().sourceKind;
    if (kind == SourceKind::Aqasys) {
        return;
    }
    // The last reading was another meter's: taken against it, the gap would count. The day
    // files' new version follows with the save's end (CalibrationChanged).
    processor_.RestartCounterDifference(item);
    const bool setUp = dde_.RelinkItem(item);
    const bool linked = kind == SourceKind::Opc ? opc_.RelinkItem(item) && setUp : setUp;
    if (linked) {
        const ItemConfig& changed = config_.Item(item);
        log_.WriteLog("Item " + std::to_string(item) + " (" + changed.itemName +
                      "): neu verbunden mit " + changed.serverItem + ".");
    }
}

// A mirror's period sum goes on from `collected` with what its source gains from now: the
// offset taken from another source, or from none, would count that source's whole day.
void TarveddeMain::RebaseMirrorSum(int item, double collected) {
    const int source = config_.Item(item).mirror.sourceItem;
    if (source >= 1 && source <= maxItems && config_.Item(source).Integral) {
        processor_.RebaseMirrorSum(item, SumNow(source), collected);
    }
}

// What the mirror collected in its period up to now from its old source.
double TarveddeMain::CollectedMirrorSum(int item, int oldSource) const {
    const ProcessedValues& values = processor_.Values();
    if (oldSource >= 1 && oldSource <= maxItems && config_.Item(oldSource).Integral) {
        return SumNow(oldSource) - values.mirrorSumOffsets[item];
    }
    return values.statistics[item].sum;
}

double TarveddeMain::SumNow(int item) const {
    return RunningSumAt(config_.Item(item), integrator_.States()[item], host_.clock.Now(),
                        host_.clock.ElapsedMs());
}

// The table file is found by the item string and name: one changed by the save (a mirror's
// string becomes "gespiegelt") would leave the item without its table from the next load.
void TarveddeMain::KeepTimeTableFile(const ItemConfig& before, const ItemConfig& after) {
    const std::string from = config_.PathOf(TimeTableFileName(before));
    const std::string to = config_.PathOf(TimeTableFileName(after));
    if (from == to || !host_.files.Exists(from) || host_.files.Exists(to)) {
        return;
    }
    const Status renamed = host_.files.Rename(from, to);
    log_.WriteLog(renamed.ok() ? "Zeittabelle " + from + " umbenannt in " + to + "."
                               : "Zeittabelle " + from + " konnte nicht in " + to +
                                     " umbenannt werden (" + renamed.error().message + ") !");
}

}  // namespace tarvedde

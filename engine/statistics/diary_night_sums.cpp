// See diary_night_sums.h.
#include "engine/statistics/diary_night_sums.h"

#include <string>

#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr int kNightSumLevel = 3;
constexpr int kSumTransfer = 4;  // "Betriebszeit / Summe"

}  // namespace

void BoundDiaryNightSums::ApplyDiaryValue(int item, double timeOfDay, double frameEnd) {
    if (timeOfDay < frameEnd) {
        return;
    }
    for (const DiaryBinding& binding : diary_.Bindings()) {
        if (binding.itemNumber != item || binding.timeFrameMode != 1) {
            continue;
        }
        const int kind = binding.transferType + 1;
        log_.WriteLogLevel(kNightSumLevel,
                           "DDE-Item=" + std::to_string(item) + "  Was=" + std::to_string(kind) +
                               "  TagebuchIndex=" + std::to_string(binding.diaryIndex));
        const std::string& text = diary_.Value(binding.diaryIndex);
        if (kind != kSumTransfer || text == kDiaryMissingValue) {
            return;
        }
        const ItemConfig& config = config_.Items()[item];
        ItemStatistics& statistics = state_.statistics[item];
        const Result<double> value = StrToFloat(text, locale_);
        if (!value.ok()) {
            statistics.sum = 0.0;
            log_.WriteLogLevel(kNightSumLevel, "*** Fehler beim Setzen der NT-Summe !");
            return;
        }
        if (config.Integral) {
            state_.integration.SetSum(item, value.value());
            log_.WriteLogLevel(kNightSumLevel, "NT-Integralsumme(BTB) auf " + text + " gesetzt.");
            return;
        }
        (config.Grafiktyp == 1 ? statistics.sum : statistics.count) = value.value();
        const GeneralSettings& settings = config_.Settings();
        log_.WriteLogLevel(kNightSumLevel, "NT-Zähler(BTB) auf " +
                                               FormatFixed(statistics.sum, settings.formatPrecision,
                                                           settings.formatDecimals, locale_) +
                                               " gesetzt.");
        return;
    }
}

}  // namespace tarvedde

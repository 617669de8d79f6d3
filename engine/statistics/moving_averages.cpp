#include "engine/statistics/moving_averages.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/processing/per_value_processing.h"
#include "engine/processing/value_steps.h"
#include "outputs/value_exports.h"

namespace tarvedde {

bool MovingAverageRings::SetupWindowBuffers() {
    if (buffers_.exist) {
        return false;
    }
    buffers_.items = {};
    int rows = 0;
    for (int n = 1; n <= std::min(config_.Settings().itemCount, maxItems); ++n) {
        if (config_.Items()[n].Gleitend) {
            buffers_.items[n].movingRow = rows++;
        }
    }
    const auto length = static_cast<std::size_t>(std::max(config_.Settings().movingBufferSize, 0));
    buffers_.rows.assign(static_cast<std::size_t>(rows),
                         std::vector<double>(length, kMissingValue));
    buffers_.exist = true;
    return true;
}

bool MovingAverageRings::Active(int item) const {
    return config_.Items()[item].Gleitend && !switchedOff_[item];
}

void MovingAverageRings::SampleMovingValues(const PerItem<ItemSource>& sources) {
    if (!buffers_.exist) {
        return;
    }
    for (int n = 1; n <= std::min(config_.Settings().itemCount, maxItems); ++n) {
        if (!Active(n)) {
            continue;
        }
        try {
            Sample(sources[n], n);
        } catch (const std::exception&) {
            log_.WriteLog("Fehler beim Schreiben des gleit.Mittelwert-Puffers !");
            switchedOff_[n] = true;
        }
    }
}

// Unit conversion and the counter difference are not applied to these samples; a text
// that is no value (none came yet, no number) leaves the ring as it is.
void MovingAverageRings::Sample(const ItemSource& source, int item) {
    const ItemConfig& config = config_.Items()[item];
    const GeneralSettings& settings = config_.Settings();
    const std::string text =
        CleanValueText(source.newestText, settings.valuePrefix, settings.valueSuffix);
    const std::optional<double> number = ReadValueText(text, locale_);
    if (!number) {
        return;
    }
    double value = Finite(*number * config.calibrationSlope + config.calibrationIntercept);
    if (value > config.effectiveUpLimit || value < config.effectiveLoLimit ||
        config.maintenanceOn) {
        return;
    }
    if (config.Tabelle_benutzen > 0 &&
        !ConvertByTable({config_.Tables(), log_, locale_}, config.Tabelle_benutzen, value, 2)) {
        throw ArithmeticFailure();
    }
    MovingAverageState& state = buffers_.items[item];
    // Switched on, or its ring made longer, by a settings save during the run: without a
    // row of its own, or past the end of it, the average would stop for the rest of the run.
    if (state.movingRow < 0) {
        state.movingRow = static_cast<int>(buffers_.rows.size());
        state.ringIndex = 0;
        buffers_.rows.emplace_back();
    }
    std::vector<double>& row = buffers_.rows.at(static_cast<std::size_t>(state.movingRow));
    const auto ringLength = static_cast<std::size_t>(std::max(settings.movingBufferSize, 0));
    if (row.size() < ringLength) {
        row.resize(ringLength, kMissingValue);
    }
    if (state.ringIndex >= settings.movingBufferSize) {
        state.ringIndex = 0;
    }
    row.at(static_cast<std::size_t>(state.ringIndex)) = value;
    state.ringIndex = state.ringIndex + 1 >= settings.movingBufferSize ? 0 : state.ringIndex + 1;
}

void MovingAverageRings::TimerGleitMTimer(const PerItem<ItemSource>& sources, double now) {
    SampleMovingValues(sources);
    try {
        for (int n = 1; n <= std::min(config_.Settings().itemCount, maxItems); ++n) {
            if (Active(n)) {
                Average(n, now);
            }
        }
    } catch (const std::exception&) {
        log_.WriteLog("Fehler(2) bei gleit. Mittelwert-Berechnung !");
    }
}

void MovingAverageRings::Average(int item, double now) {
    MovingAverageState& state = buffers_.items[item];
    if (state.movingRow < 0 || state.movingRow >= static_cast<int>(buffers_.rows.size())) {
        log_.WriteLog("Fehler(1) bei gleit. Mittelwert-Berechnung !");
        return;
    }
    const std::vector<double>& row = buffers_.rows[static_cast<std::size_t>(state.movingRow)];
    const int ringLength = config_.Settings().movingBufferSize;
    double sum = 0.0;
    int summed = 0;
    const int end = std::min(ringLength, static_cast<int>(row.size()));
    for (; summed < end; ++summed) {
        const double slot = row[static_cast<std::size_t>(summed)];
        if (slot == kMissingValue) {
            if (state.ringIndex == 0) {
                log_.WriteLog("***** Achtung ! Gleitender Mittelwert evtl. fehlerhaft.");
            }
            break;
        }
        sum += slot;
    }
    state.movingAverage = summed > 0 ? sum / summed : 0.0;
    // A ring with empty slots yields a mean but no extremes yet.
    if (summed == ringLength) {
        state.movingMinimum = std::min(state.movingMinimum, state.movingAverage);
        state.movingMaximum = std::max(state.movingMaximum, state.movingAverage);
    }
    if (!config_.LogFlags()[static_cast<std::size_t>(item)].logMovingAverage) {
        return;
    }
    const int position = state.ringIndex > 0 ? state.ringIndex - 1 : ringLength - 1;
    WriteMovingAverageExport(
        {exports_, log_, locale_, config_.ProgramDir()}, state.movingRow, now,
        {row, position, state.movingAverage, state.movingMinimum, state.movingMaximum});
}

std::optional<WindowExtremes> MovingAverageRings::Current(int item) const {
    if (!Active(item)) {
        return std::nullopt;
    }
    const MovingAverageState& state = buffers_.items[item];
    return WindowExtremes{state.movingAverage, state.movingMinimum, state.movingMaximum};
}

void MovingAverageRings::SetMovingExtremes(int item, double minimum, double maximum) {
    buffers_.items[item].movingMinimum = minimum;
    buffers_.items[item].movingMaximum = maximum;
}

}  // namespace tarvedde

#include "engine/statistics/fifteen_minute_values.h"

#include <algorithm>
#include <exception>
#include <string>

#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr double kWindowHighStart = -999999.9;
constexpr double kWindowLowStart = 999999.9;

}  // namespace

bool FifteenMinuteWindows::SetupWindowBuffers() {
    const GeneralSettings& settings = config_.Settings();
    const int previousLength = windowLength_;
    const int cycleMs = std::max(settings.cycleIntervalMs, 1);
    const long long needed =
        static_cast<long long>(settings.fifteenMinuteSpan) * 60 * 1000 / cycleMs;
    if (needed > 15) {
        windowLength_ = 16;
        log_.WriteLog("M15-Puffer notwendig = " + std::to_string(needed) + " Werte.");
        log_.WriteLog("M15-Puffer umfasst nur ein " +
                      FormatFixed(settings.cycleIntervalMs / 1000.0 * 15, 8, 0, locale_) +
                      "-Sekunden Intervall.");
    } else {
        windowLength_ = static_cast<int>(needed) + 1;
    }
    if (windowLength_ < 4) {
        log_.WriteLog("M15-Puffer nur " + std::to_string(windowLength_) + "! Wird auf 4 gesetzt.");
        windowLength_ = 4;
    }
    log_.WriteLog("M15-Puffer = " + std::to_string(windowLength_) + " Werte.");
    if (buffers_.exist) {
        // Samples of another cycle interval span another time: the windows start anew.
        if (windowLength_ != previousLength) {
            for (std::vector<double>& row : buffers_.rows) {
                row.assign(static_cast<std::size_t>(windowLength_), kMissingValue);
            }
            for (int n = 0; n <= maxItems; ++n) {
                buffers_.items[n].m15Index = 0;
            }
        }
        return false;
    }
    CreateBuffers();
    return true;
}

void FifteenMinuteWindows::CreateBuffers() {
    buffers_.items = {};
    int rows = 0;
    for (int n = 1; n <= std::min(config_.Settings().itemCount, maxItems); ++n) {
        if (config_.Items()[n].M15_berechnen) {
            buffers_.items[n].m15Row = rows++;
        }
    }
    buffers_.rows.assign(
        static_cast<std::size_t>(rows),
        std::vector<double>(static_cast<std::size_t>(windowLength_), kMissingValue));
    buffers_.exist = true;
}

void FifteenMinuteWindows::UpdateFifteenMinuteValues(int item, double value) {
    if (!config_.Items()[item].M15_berechnen) {
        return;
    }
    FifteenMinuteState& state = buffers_.items[item];
    // Switched on after the rows were made (a settings save during the day): without a
    // row of its own, every cycle would fail for the rest of the run.
    if (state.m15Row < 0 && buffers_.exist) {
        state.m15Row = static_cast<int>(buffers_.rows.size());
        state.m15Index = 0;
        buffers_.rows.emplace_back(static_cast<std::size_t>(windowLength_), kMissingValue);
    }
    if (state.m15Row >= static_cast<int>(buffers_.rows.size())) {
        log_.WriteLog("Fehler(1) bei M15. Mittelwert-Berechnung !");
        return;
    }
    try {
        std::vector<double>& row = buffers_.rows.at(static_cast<std::size_t>(state.m15Row));
        // A window grown since the row was made (a shorter cycle set by the operator) would
        // fail every cycle for the rest of the run; its new slots fill before it counts.
        if (row.size() < static_cast<std::size_t>(windowLength_)) {
            row.resize(static_cast<std::size_t>(windowLength_), kMissingValue);
        }
        // A position restored from a longer window would write outside this one for good.
        if (state.m15Index < 0 || state.m15Index >= windowLength_) {
            row.assign(static_cast<std::size_t>(windowLength_), kMissingValue);
            state.m15Index = 0;
        }
        const int old = state.m15Index;
        row.at(static_cast<std::size_t>(old)) = value;
        state.m15Index = old + 1 >= windowLength_ ? 0 : old + 1;
        double windowHigh = kWindowHighStart;
        double windowLow = kWindowLowStart;
        // A row made for a longer window at an earlier start keeps its tail, which this
        // window no longer writes: old samples there must not count in every window.
        const std::size_t slots = std::min(row.size(), static_cast<std::size_t>(windowLength_));
        for (std::size_t k = 0; k < slots; ++k) {
            if (row[k] == kMissingValue) {
                if (static_cast<std::size_t>(old) + 1 < k) {
                    log_.WriteLog("***** Achtung ! M15-Wert evtl. fehlerhaft.");
                }
                return;
            }
            windowHigh = std::max(windowHigh, row[k]);
            windowLow = std::min(windowLow, row[k]);
        }
        TakeFullWindow(state, windowHigh, windowLow);
    } catch (const std::exception&) {
        log_.WriteLog("Fehler(2) bei M15-Berechnung !");
    }
}

// The lowest level no sample of a whole window exceeded becomes the minimum; the highest
// every sample of a whole window reached, the maximum.
void FifteenMinuteWindows::TakeFullWindow(FifteenMinuteState& state, double windowHigh,
                                          double windowLow) const {
    if (windowHigh < state.m15Minimum) {
        state.m15Minimum = windowHigh;
        state.m15MinimumTime = cycle_.cycleTime;
    }
    if (windowLow > state.m15Maximum) {
        state.m15Maximum = windowLow;
        state.m15MaximumTime = cycle_.cycleTime;
    }
}

std::optional<WindowExtremes> FifteenMinuteWindows::Extremes(int item) const {
    const FifteenMinuteState& state = buffers_.items[item];
    if (!HasFullWindow(state)) {
        return std::nullopt;
    }
    return WindowExtremes{0.0, state.m15Minimum, state.m15Maximum};
}

}  // namespace tarvedde

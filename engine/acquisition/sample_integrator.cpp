#include "engine/acquisition/sample_integrator.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/processing/per_value_processing.h"
#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_encoding.h"

namespace tarvedde {
namespace {

constexpr double kSwitchOnAbove = 0.55;
constexpr double kSwitchOffBelow = 0.45;
constexpr double kMsPerDay = 86400000.0;

// Days from the mark to now by the elapsed clock; by the wall clock (never negative) when
// the wall field no longer holds the marked time.
double DaysSince(const ElapsedMark& mark, double markedWall, double now, std::int64_t nowMs) {
    if (mark.elapsedMs >= 0 && mark.wallTime == markedWall) {
        return static_cast<double>(nowMs - mark.elapsedMs) / kMsPerDay;
    }
    return std::max(0.0, now - markedWall);
}

void SetSample(IntegrationState& state, double now, std::int64_t nowMs, double value) {
    state.lastSampleTime = now;
    state.lastSampleValue = value;
    state.lastSampleMark = ElapsedMark{nowMs, now};
}

// The first `count` characters of a UTF-8 text, counted as the workstation's code page
// counts them.
std::string CutChars(const std::string& utf8, std::size_t count) {
    const std::string bytes = Utf8ToCp1252(utf8);
    return bytes.size() <= count ? utf8 : Cp1252ToUtf8(bytes.substr(0, count));
}

}  // namespace

SampleIntegrator::SampleIntegrator(const PerItem<ItemConfig>& items, const ConversionTables& tables,
                                   ProgramLog& log, const Locale& locale)
    : items_(items), tables_(tables), log_(log), locale_(locale) {}

void SampleIntegrator::LogItemLimits(int item) {
    const ItemConfig& config = items_[item];
    std::string line = CutChars(config.itemName + "[", 31);
    line = CutChars(line + config.unit, 41);
    line = CutChars(line + "] : Grenzwerte = ", 58);
    log_.WriteLog(line + FormatFixed(states_[item].lowerBound, 12, 2, locale_) + " / " +
                  FormatFixed(items_[item].effectiveUpLimit, 12, 2, locale_));
}

ItemSetUp SampleIntegrator::SetUpItem(int item, const ItemConfig& config) {
    IntegrationState& state = states_.items_[item];
    if (config.IsDigital()) {
        state.factor = 1.0;
        state.offset = 0.0;
    } else if (config.calibrationSlope > -0.0000001 && config.calibrationSlope < 0.00000001) {
        log_.WriteLog("Warnung für Item " + std::to_string(item) +
                      " : Steigung M ist sehr klein !");
    }
    if (config.mirror.mirrorOn) {
        return config.mirror.sourceItem > 0 ? ItemSetUp::Mirrored : ItemSetUp::SwitchedOff;
    }
    state.factor = config.calibrationSlope;
    state.offset = config.calibrationIntercept;
    state.isIntegral = config.Integral;
    state.lowerBound = config.Integral ? config.IntegralLimit : config.effectiveLoLimit;
    LogItemLimits(item);
    return ItemSetUp::Acquire;
}

void SampleIntegrator::ApplyItemSettings(int item, const ItemConfig& config) {
    IntegrationState& state = states_.items_[item];
    if (config.mirror.mirrorOn) {
        return;
    }
    state.factor = config.IsDigital() ? 1.0 : config.calibrationSlope;
    state.offset = config.IsDigital() ? 0.0 : config.calibrationIntercept;
    if (config.Integral && !state.isIntegral) {
        state.lastSampleTime = -1.0;
    }
    state.isIntegral = config.Integral;
    state.lowerBound = config.Integral ? config.IntegralLimit : config.effectiveLoLimit;
}

double SampleIntegrator::Scaled(int item, double raw) const {
    return raw * states_[item].factor + states_[item].offset;
}

std::optional<double> SampleIntegrator::Integrate(int item, double value, double now,
                                                  std::int64_t nowMs) {
    IntegrationState& state = states_.items_[item];
    const ItemConfig& config = items_[item];
    if (leavingOut_[item]) {
        leavingOut_[item] = false;
        log_.WriteLog("Integral für Item " + std::to_string(item) + " : wieder gültige Werte.");
    }
    value = std::max(value, state.lowerBound);
    value = std::min(value, config.effectiveUpLimit);
    if (config.Tabelle_benutzen > 0 &&
        !ConvertByTable({tables_, log_, locale_}, config.Tabelle_benutzen, value, 1)) {
        return std::nullopt;
    }
    if (config.maintenanceOn) {
        value = state.lastSampleValue;
    }
    const double delta = BaseUnitsSince(item, now, nowMs);
    if (config.IsDigital()) {
        DigitalStep(item, now, nowMs, value, delta);
    } else if (state.lastSampleTime < 0.0) {
        SetSample(state, now, nowMs, value);
    } else {
        AddSpan(state, delta * state.lastSampleValue, now);
        SetSample(state, now, nowMs, value);
    }
    return value;
}

double SampleIntegrator::BaseUnitsSince(int item, double now, std::int64_t nowMs) const {
    const IntegrationState& state = states_[item];
    // A time base below one second would divide by zero; it counts as seconds.
    const double base = std::max(1, items_[item].IntegralBezug);
    return DaysSince(state.lastSampleMark, state.lastSampleTime, now, nowMs) * 86400.0 / base;
}

// Split by the wall clock: the elapsed one does not know where the day ends. The new day
// is the one the next day change opens: it begins on the sample's date at the day end's
// time of day (midnight, or CustomTime with the postponed day change). After days without
// a cycle, the days between have no record to take their part.
void SampleIntegrator::AddSpan(IntegrationState& state, double gained, double now) const {
    if (dayEnd_ <= 0.0 || now <= dayEnd_) {
        state.runningSum += gained;
        return;
    }
    const double from = state.lastSampleTime;
    const double span = now - from;
    if (!(span > 0.0)) {
        state.newDaySum += gained;
        return;
    }
    const double newDayStart = std::max(from, NewDayStart(now, dayEnd_));
    state.runningSum += from < dayEnd_ ? gained * (dayEnd_ - from) / span : 0.0;
    state.newDaySum += now > newDayStart ? gained * (now - newDayStart) / span : 0.0;
}

void SampleIntegrator::EndSampleChain(int item, double now, std::int64_t nowMs) {
    IntegrationState& state = states_.items_[item];
    if (!state.isIntegral || state.lastSampleTime < 0.0) {
        return;
    }
    const double delta = BaseUnitsSince(item, now, nowMs);
    if (!items_[item].IsDigital()) {
        AddSpan(state, delta * state.lastSampleValue, now);
    } else if (state.lastSampleValue > kSwitchOnAbove) {
        AddSpan(state, delta, now);
    }
    state.lastSampleTime = -1.0;
}

void SampleIntegrator::LeaveOut(int item) {
    if (leavingOut_[item]) {
        return;
    }
    leavingOut_[item] = true;
    log_.WriteLog("Integral für Item " + std::to_string(item) +
                  " : Wert ist keine Zahl und wird ausgelassen.");
}

void SampleIntegrator::DigitalStep(int item, double now, std::int64_t nowMs, double value,
                                   double delta) {
    IntegrationState& state = states_.items_[item];
    const bool wasOn = state.lastSampleValue > kSwitchOnAbove;
    const bool wasOff = state.lastSampleValue < kSwitchOffBelow;
    const bool isOn = value > kSwitchOnAbove;
    const bool isOff = value < kSwitchOffBelow;
    const std::string itemText = std::to_string(item);
    if (state.lastSampleTime < 0.0) {
        SetSample(state, now, nowMs, value);
    } else if (wasOn && isOff) {
        log_.WriteLogDebug("Dig.Item " + itemText + " aus. = " + FormatGeneral(value, locale_));
        AddSpan(state, delta, now);
        SetSample(state, now, nowMs, value);
        state.switchOffTime = now;
        state.switchOffMark = ElapsedMark{nowMs, now};
    } else if (wasOff && isOn) {
        SetSample(state, now, nowMs, value);
        log_.WriteLogDebug("Dig.Item " + itemText + " ein. = " + FormatGeneral(value, locale_));
        state.switchOnTime = now;
        if (state.switchOffTime > 0.0) {
            state.lastOffDuration = DaysSince(state.switchOffMark, state.switchOffTime, now, nowMs);
            if (state.lastOffDuration > state.maxOffDuration) {
                state.maxOffDuration = state.lastOffDuration;
                state.maxOffEnd = state.switchOnTime;
                state.maxOffStart = state.switchOffTime;
                log_.WriteLogDebug("Neue max. Auszeit für Item " + itemText + " :" +
                                   FormatDateTime("tt", state.maxOffDuration, locale_));
            }
        }
    } else if (wasOn && isOn) {
        AddSpan(state, delta, now);
        SetSample(state, now, nowMs, value);
    }
}

void SampleIntegrator::Difference(int item, double value, double now, std::int64_t nowMs) {
    IntegrationState& state = states_.items_[item];
    const ItemConfig& config = items_[item];
    if (value < config.effectiveLoLimit || value > config.effectiveUpLimit) {
        return;
    }
    if (state.lastSampleTime < 0.0) {
        SetSample(state, now, nowMs, value);
        state.runningSum = 0.0;
        return;
    }
    if (value > state.lastSampleValue) {
        state.runningSum += value - state.lastSampleValue;
    }
    state.lastSampleValue = value;
}

}  // namespace tarvedde

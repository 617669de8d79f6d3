// The DDE client's notification half: the newest text of each item, and for integral,
// digital and counter items the sample-by-sample sums, followed by the value exports.
#include <algorithm>
#include <exception>

#include "engine/acquisition/dde_client.h"
#include "engine/processing/per_value_processing.h"
#include "outputs/value_exports.h"
#include "platform/date_time.h"
#include "platform/number_format.h"
#include "platform/text_encoding.h"

namespace tarvedde {
namespace {

constexpr std::size_t kMaxDataBytes = 201;
constexpr double kSwitchOnAbove = 0.55;
constexpr double kSwitchOffBelow = 0.45;
constexpr double kIntegralMarker = 8888.0;
constexpr double kDifferenceMarker = 8889.0;
constexpr double kSingleValueMarker = 8887.0;
constexpr double kMsPerDay = 86400000.0;

// Days from the mark to now by the elapsed clock; by the wall clock (never negative) when
// the wall field no longer holds the marked time, as after a restore from file.
double DaysSince(const ElapsedMark& mark, double markedWall, double now, std::int64_t nowMs) {
    if (mark.elapsedMs >= 0 && mark.wallTime == markedWall) {
        return static_cast<double>(nowMs - mark.elapsedMs) / kMsPerDay;
    }
    return std::max(0.0, now - markedWall);
}

void SetSample(ItemRuntime& runtime, double now, std::int64_t nowMs, double value) {
    runtime.lastSampleTime = now;
    runtime.lastSampleValue = value;
    runtime.lastSampleMark = ElapsedMark{nowMs, now};
}

}  // namespace

std::uint32_t DdeClient::Callback(const DdeNotification& notification) {
    if (notification.conversation == 0) {
        return 0;
    }
    if (notification.type == kXtypAdvData) {
        OnData(notification);
        return kDdeFack;
    }
    if (notification.type == kXtypDisconnect) {
        OnDisconnect();
        return 0;
    }
    WriteLog("Callback : Nachricht=" + DollarHex8(notification.type));
    return 0;
}

void DdeClient::OnDisconnect() {
    WriteLog("Callback : Konversation abgebrochen !");
    UnlinkItems();
    state_.connectionLost = true;
    state_.host.op.Beep();
    if (state_.acquisitionStarted) {
        WriteLog("Es wird versucht, die Verbindung wiederherzustellen...");
    }
}

int DdeClient::FindItem(DdeHandle itemHandle) const {
    for (int item = 1; item <= state_.settings.itemCount; ++item) {
        const DdeHandle handle = state_.runtime[item].itemHandle;
        if (handle != 0 && handle == itemHandle) {
            return item;
        }
    }
    return 0;
}

double DdeClient::ParseScaled(int item, const std::string& text, double marker) const {
    const GeneralSettings& settings = state_.settings;
    const std::string cleaned = CleanValueText(text, settings.valuePrefix, settings.valueSuffix);
    const Result<double> parsed = StrToFloat(cleaned, state_.locale);
    const double value = parsed ? parsed.value() : marker;
    const ItemRuntime& runtime = state_.runtime[item];
    return value * runtime.factor + runtime.offset;
}

void DdeClient::OnData(const DdeNotification& notification) {
    std::string bytes = notification.data.substr(0, kMaxDataBytes);
    bytes = bytes.substr(0, bytes.find('\0'));
    const int item = FindItem(notification.item);
    if (item == 0) {
        return;
    }
    const double now = state_.host.clock.Now();
    const std::int64_t nowMs = state_.host.clock.ElapsedMs();
    ItemRuntime& runtime = state_.runtime[item];
    runtime.newestText = Cp1252ToUtf8(bytes);
    const ItemLogFlags& flags = state_.logFlags[static_cast<std::size_t>(item)];
    const ValueExportTarget target{state_.host.files, state_.log, state_.locale, state_.programDir};
    double value = 0.0;
    if (runtime.isIntegral && IntegralStep(item, now, nowMs, value) && flags.logIntegral) {
        WriteIntegralExport(target, item, now, value, runtime.runningSum);
    }
    if (flags.logCounterDifference && runtime.factor > 0.0) {
        value = ParseScaled(item, runtime.newestText, kDifferenceMarker);
        DifferenceStep(item, now, nowMs, value);
        WriteDifferenceExport(target, item, now, value, runtime.runningSum);
    }
    if (flags.logSingleValues && runtime.factor > 0.0) {
        value = ParseScaled(item, runtime.newestText, kSingleValueMarker);
        WriteSingleValueExport(target, item, now, value);
    }
}

// False when the table conversion failed: the sample is then left out of the integral.
bool DdeClient::IntegralStep(int item, double now, std::int64_t nowMs, double& value) {
    ItemRuntime& runtime = state_.runtime[item];
    const ItemConfig& config = state_.items[item];
    value = ParseScaled(item, runtime.newestText, kIntegralMarker);
    value = std::max(value, runtime.lowerBound);
    value = std::min(value, config.effectiveUpLimit);
    if (config.Tabelle_benutzen > 0 && !ConvertByTable(state_, config.Tabelle_benutzen, value, 1)) {
        return false;
    }
    if (config.maintenanceOn) {
        value = runtime.lastSampleValue;
    }
    // A time base below one second would divide by zero; it counts as seconds.
    const double base = std::max(1, config.IntegralBezug);
    const double delta =
        DaysSince(runtime.lastSampleMark, runtime.lastSampleTime, now, nowMs) * 86400.0 / base;
    if (config.IsDigital()) {
        DigitalStep(item, now, nowMs, value, delta);
    } else if (runtime.lastSampleTime < 0.0) {
        SetSample(runtime, now, nowMs, value);
    } else {
        runtime.runningSum += delta * runtime.lastSampleValue;
        SetSample(runtime, now, nowMs, value);
    }
    return true;
}

void DdeClient::DigitalStep(int item, double now, std::int64_t nowMs, double value, double delta) {
    ItemRuntime& runtime = state_.runtime[item];
    const bool wasOn = runtime.lastSampleValue > kSwitchOnAbove;
    const bool wasOff = runtime.lastSampleValue < kSwitchOffBelow;
    const bool isOn = value > kSwitchOnAbove;
    const bool isOff = value < kSwitchOffBelow;
    const std::string itemText = std::to_string(item);
    if (runtime.lastSampleTime < 0.0) {
        SetSample(runtime, now, nowMs, value);
    } else if (wasOn && isOff) {
        state_.log.WriteLogDebug("Dig.Item " + itemText +
                                 " aus. = " + FormatGeneral(value, state_.locale));
        runtime.runningSum += delta;
        SetSample(runtime, now, nowMs, value);
        runtime.switchOffTime = now;
        runtime.switchOffMark = ElapsedMark{nowMs, now};
    } else if (wasOff && isOn) {
        SetSample(runtime, now, nowMs, value);
        state_.log.WriteLogDebug("Dig.Item " + itemText +
                                 " ein. = " + FormatGeneral(value, state_.locale));
        runtime.switchOnTime = now;
        if (runtime.switchOffTime > 0.0) {
            runtime.lastOffDuration =
                DaysSince(runtime.switchOffMark, runtime.switchOffTime, now, nowMs);
            if (runtime.lastOffDuration > runtime.maxOffDuration) {
                runtime.maxOffDuration = runtime.lastOffDuration;
                runtime.maxOffEnd = runtime.switchOnTime;
                runtime.maxOffStart = runtime.switchOffTime;
                state_.log.WriteLogDebug(
                    "Neue max. Auszeit für Item " + itemText + " :" +
                    FormatDateTime("tt", runtime.maxOffDuration, state_.locale));
            }
        }
    } else if (wasOn && isOn) {
        runtime.runningSum += delta;
        SetSample(runtime, now, nowMs, value);
    }
}

void DdeClient::DifferenceStep(int item, double now, std::int64_t nowMs, double value) {
    ItemRuntime& runtime = state_.runtime[item];
    const ItemConfig& config = state_.items[item];
    if (value < config.effectiveLoLimit || value > config.effectiveUpLimit) {
        return;
    }
    if (runtime.lastSampleTime < 0.0) {
        SetSample(runtime, now, nowMs, value);
        runtime.runningSum = 0.0;
        return;
    }
    if (value > runtime.lastSampleValue) {
        runtime.runningSum += value - runtime.lastSampleValue;
    }
    runtime.lastSampleValue = value;
}

}  // namespace tarvedde

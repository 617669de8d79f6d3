// The DDE client's notification half: the newest text of each item, and for integral,
// digital and counter items the parsed value for the sample integrator, followed by the
// value exports.
#include <optional>

#include "engine/acquisition/dde_client.h"
#include "engine/processing/per_value_processing.h"
#include "outputs/value_exports.h"
#include "platform/number_format.h"
#include "platform/text_encoding.h"

namespace tarvedde {
namespace {

constexpr std::size_t kMaxDataBytes = 201;
constexpr double kIntegralMarker = 8888.0;
constexpr double kDifferenceMarker = 8889.0;
constexpr double kSingleValueMarker = 8887.0;

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
    connectionLost_ = true;
    host_.op.Beep();
    // A conversation lost during a set-up is a failed retry: the retry already runs.
    if (acquisitionStarted_ && !linkSetUp_) {
        WriteLog("Es wird versucht, die Verbindung wiederherzustellen...");
        if (serverDisconnect_ != nullptr) {
            serverDisconnect_->ServerDisconnected();
        }
    }
}

std::optional<double> DdeClient::ParseScaled(int item, const std::string& text) const {
    const GeneralSettings& settings = config_.Settings();
    const std::string cleaned = CleanValueText(text, settings.valuePrefix, settings.valueSuffix);
    const Result<double> parsed = StrToFloat(cleaned, locale_);
    if (!parsed) {
        return std::nullopt;
    }
    return integrator_.Scaled(item, parsed.value());
}

double DdeClient::ParseScaled(int item, const std::string& text, double marker) const {
    return ParseScaled(item, text).value_or(integrator_.Scaled(item, marker));
}

// Two items may name one server item (say, once as a mean and once as an integral): the
// server keeps one link for both, so each notification goes to every item on it.
void DdeClient::OnData(const DdeNotification& notification) {
    std::string bytes = notification.data.substr(0, kMaxDataBytes);
    bytes = bytes.substr(0, bytes.find('\0'));
    for (int item = 1; item <= config_.Settings().itemCount; ++item) {
        const DdeHandle handle = sources_[item].itemHandle;
        if (handle != 0 && handle == notification.item) {
            TakeData(item, bytes);
        }
    }
}

void DdeClient::TakeData(int item, const std::string& bytes) {
    const double now = host_.clock.Now();
    const std::int64_t nowMs = host_.clock.ElapsedMs();
    ItemSource& source = sources_[item];
    source.newestText = Cp1252ToUtf8(bytes);
    const IntegrationState& integration = integrator_.States()[item];
    const ItemLogFlags& flags = config_.LogFlags()[static_cast<std::size_t>(item)];
    const ValueExportTarget target{exports_, log_, locale_, config_.ProgramDir()};
    if (integration.isIntegral) {
        const std::optional<double> value = ParseScaled(item, source.newestText);
        std::optional<double> taken;
        if (value) {
            taken = integrator_.Integrate(item, *value, now, nowMs);
        } else {
            // Integrated, the marker would stand for a flow until the next sample; the
            // export line still shows it, so the checker sees what came.
            integrator_.LeaveOut(item);
            taken = integrator_.Scaled(item, kIntegralMarker);
        }
        if (taken && flags.logIntegral) {
            WriteIntegralExport(target, item, now, *taken, integration.runningSum);
        }
    }
    if (flags.logCounterDifference && integration.factor > 0.0) {
        const std::optional<double> value = ParseScaled(item, source.newestText);
        // Taken as a reading, the marker would count as a fallen counter and its climb
        // back as use; only the export line shows it.
        if (value) {
            integrator_.Difference(item, *value, now, nowMs);
        }
        WriteDifferenceExport(target, item, now,
                              value.value_or(integrator_.Scaled(item, kDifferenceMarker)),
                              integration.runningSum);
    }
    if (flags.logSingleValues && integration.factor > 0.0) {
        const double value = ParseScaled(item, source.newestText, kSingleValueMarker);
        WriteSingleValueExport(target, item, now, value);
    }
}

}  // namespace tarvedde

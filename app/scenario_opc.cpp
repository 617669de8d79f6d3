#include "app/scenario_opc.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

namespace tarvedde {
namespace {

constexpr int kDeliveryIntervalMs = 1000;
constexpr char kDefaultProgId[] = "Tarvedde.Scenario.1";

std::optional<std::int64_t> WholeNumber(const std::string& text) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The script's words as the server's types: an integer stays an integer so a digital
// item sees -1 as a number, not as a decimal.
OpcValue TypedValue(const SetCommand& command) {
    if (!command.typed) {
        return command.value;
    }
    if (command.value == "true" || command.value == "false") {
        return command.value == "true";
    }
    if (const auto whole = WholeNumber(command.value);
        whole && *whole >= std::numeric_limits<std::int32_t>::min() &&
        *whole <= std::numeric_limits<std::int32_t>::max()) {
        return static_cast<std::int32_t>(*whole);
    }
    double value = 0.0;
    std::from_chars(command.value.data(), command.value.data() + command.value.size(), value);
    return value;
}

// "good", "uncertain", "bad" or the number itself.
std::optional<std::uint16_t> QualityOf(const std::string& word) {
    if (word == "good") {
        return kOpcQualityGood;
    }
    if (word == "uncertain") {
        return std::uint16_t{0x40};
    }
    if (word == "bad") {
        return std::uint16_t{0};
    }
    const auto value = WholeNumber(word);
    if (!value || *value < 0 || *value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

}  // namespace

ScenarioOpcServer::ScenarioOpcServer(EventLoop& loop)
    : deliveryTimer_(
          loop.CreateTimer("OpcServerDelivery", kDeliveryIntervalMs, [this] { Deliver(); })) {
    deliveryTimer_->SetEnabled(true);
}

void ScenarioOpcServer::Serve(const std::string& progId, const std::vector<std::string>& itemIds) {
    if (server_ == nullptr) {
        server_ = std::make_unique<InMemoryOpcServer>(progId.empty() ? kDefaultProgId : progId);
        transport_.AddServer(*server_);
    }
    for (const std::string& id : itemIds) {
        if (served_.insert(id).second) {
            server_->SetValue(id, OpcValue{});
        }
    }
}

void ScenarioOpcServer::Publish(const SetCommand& command) {
    if (server_ == nullptr) {
        return;
    }
    const auto quality = command.quality ? QualityOf(*command.quality) : std::nullopt;
    served_.insert(command.item);
    server_->SetValue(command.item, TypedValue(command), quality.value_or(kOpcQualityGood));
    // At once, as a DDE advise delivers: samples of either source then fall on the same
    // moments.
    Deliver();
}

void ScenarioOpcServer::SetDown(bool down) {
    down_ = down;
    transport_.SetUnreachable("", down);
}

void ScenarioOpcServer::Deliver() {
    if (server_ != nullptr && !down_) {
        server_->DeliverChanges();
    }
}

Status ScenarioOpcServer::CheckQuality(const std::string& quality) {
    if (!QualityOf(quality)) {
        return Error{"quality '" + quality + "' is neither good, uncertain, bad nor 0..65535"};
    }
    return {};
}

}  // namespace tarvedde

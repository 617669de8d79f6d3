// plantsim's OPC face; see plantsim_opc.h.
#include "tools/plantsim/plantsim_opc.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "platform/civil_time.h"
#include "platform/number_format.h"

namespace tarvedde::plantsim {
namespace {

constexpr int kDeliveryTickMs = 50;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

Result<OpcServerSetup> LoadServer(const IniFile& ini, const std::string& section) {
    OpcServerSetup server;
    OpcServerInfo& info = server.info;
    info.progId = ini.ReadString(section, "ProgID", "");
    info.classId = ini.ReadString(section, "ClassId", "{" + info.progId + "}");
    info.userType = ini.ReadString(section, "UserType", info.progId);
    info.vendor = ini.ReadString(section, "Vendor", "tarvedde plantsim");
    info.da1 = ini.ReadBool(section, "DA1", true);
    info.da2 = ini.ReadBool(section, "DA2", true);
    const std::string organization = Lower(ini.ReadString(section, "Organization", "hierarchical"));
    if (organization != "hierarchical" && organization != "flat") {
        return Error{"[" + section + "] unknown Organization '" + organization + "'"};
    }
    server.organization =
        organization == "flat" ? OpcNamespaceType::Flat : OpcNamespaceType::Hierarchical;
    auto delivery = ParseOpcDelivery(ini.ReadString(section, "Delivery", "both"));
    if (!delivery) {
        return Error{"[" + section + "] " + delivery.error().message};
    }
    server.interfaces = delivery.value();
    server.rateStep = static_cast<std::uint32_t>(
        std::max(0, ini.ReadInteger(section, "RateStep", static_cast<int>(server.rateStep))));
    return server;
}

Result<OpcItemSetup> LoadOpcItem(const IniFile& ini, int index, std::size_t serverCount) {
    const std::string section = "OpcItem" + std::to_string(index);
    OpcItemSetup item;
    item.id = ini.ReadString(section, "Id", "");
    if (item.id.empty()) {
        return Error{"[" + section + "] has no Id"};
    }
    item.server = ini.ReadInteger(section, "Server", 1);
    if (item.server < 1 || static_cast<std::size_t>(item.server) > serverCount) {
        return Error{"[" + section + "] names OPC server " + std::to_string(item.server)};
    }
    const std::string type = Lower(ini.ReadString(section, "Type", "double"));
    const std::pair<const char*, OpcItemType> types[] = {{"double", OpcItemType::kDouble},
                                                         {"integer", OpcItemType::kInteger},
                                                         {"boolean", OpcItemType::kBoolean},
                                                         {"string", OpcItemType::kString}};
    const auto found = std::find_if(std::begin(types), std::end(types),
                                    [&](const auto& t) { return type == t.first; });
    if (found == std::end(types)) {
        return Error{"[" + section + "] unknown Type '" + type + "'"};
    }
    item.type = found->second;
    item.quality = static_cast<std::uint16_t>(
        std::clamp(ini.ReadInteger(section, "Quality", kOpcQualityGood), 0, 0xFFFF));
    item.text = ini.ReadString(section, "Text", "");
    item.unit = ini.ReadString(section, "Unit", "");
    item.description = ini.ReadString(section, "Description", "");
    item.generator.name = item.id;
    item.generator.delimiter = false;
    if (Status read = LoadGenerator(ini, section, item.generator); !read) {
        return read.error();
    }
    return item;
}

const char* GeneratorName(GeneratorKind kind) {
    switch (kind) {
        case GeneratorKind::kSine:
            return "sine";
        case GeneratorKind::kRamp:
            return "ramp";
        case GeneratorKind::kCounter:
            return "counter";
        case GeneratorKind::kRandomWalk:
            return "randomwalk";
        case GeneratorKind::kDigital:
            return "digital";
        default:
            return "constant";
    }
}

}  // namespace

bool ParseOpcOption(const std::string& arg, const std::string& value, PlantOpcOptions& options) {
    if (arg == "--opc-endpoint") {
        options.socket.endpoint = value;
    } else if (arg == "--opc-port") {
        const int port = StrToIntDef(value, -1);
        if (port < 0 || port > 65535) {
            return false;
        }
        options.socket.tcpPort = static_cast<std::uint16_t>(port);
    } else if (arg == "--opc-bind") {
        options.socket.tcpAddress = value;
    } else if (arg == "--opc-delivery") {
        auto delivery = ParseOpcDelivery(value);
        if (!delivery) {
            return false;
        }
        options.delivery = delivery.value();
    } else if (arg == "--opc-zone") {
        options.zone = value;
    } else {
        return false;
    }
    return true;
}

Result<std::uint32_t> ParseOpcDelivery(const std::string& text) {
    const std::string lower = Lower(text);
    if (lower == "2.0") {
        return kOpcGroupConnectionPoints;
    }
    if (lower == "1.0") {
        return kOpcGroupDataObject;
    }
    if (lower == "both") {
        return kOpcGroupConnectionPoints | kOpcGroupDataObject;
    }
    if (lower == "none") {
        return 0u;
    }
    return Error{"unknown delivery '" + text + "' (2.0, 1.0, both, none)"};
}

Result<OpcPlantConfig> LoadOpcPlantConfig(const IniFile& ini) {
    OpcPlantConfig config;
    for (int index = 1;; ++index) {
        const std::string section = index == 1 ? "OpcServer" : "OpcServer" + std::to_string(index);
        if (ini.ReadString(section, "ProgID", "").empty()) {
            break;
        }
        auto server = LoadServer(ini, section);
        if (!server) {
            return server.error();
        }
        config.servers.push_back(std::move(server).value());
    }
    const int count = ini.ReadInteger("OpcItems", "Count", 0);
    if (config.servers.empty() && count > 0) {
        return Error{"[OpcItems] without an [OpcServer] with a ProgID"};
    }
    for (int index = 1; index <= count; ++index) {
        auto item = LoadOpcItem(ini, index, config.servers.size());
        if (!item) {
            return item.error();
        }
        config.items.push_back(std::move(item).value());
    }
    return config;
}

Result<std::unique_ptr<PlantOpcFace>> PlantOpcFace::Start(EventLoop& loop, const Clock& clock,
                                                          const Clock& wallClock, TimeZone zone,
                                                          OpcPlantConfig config,
                                                          const OpcSocketServerOptions& socket,
                                                          DdeLogSink log, std::uint32_t seed) {
    std::unique_ptr<PlantOpcFace> face(
        new PlantOpcFace(loop, clock, wallClock, std::move(zone), std::move(config)));
    auto server = SocketOpcServer::Create(loop, face->transport_, socket, std::move(log));
    if (!server) {
        return server.error();
    }
    face->socket_ = std::move(server).value();
    for (std::size_t i = 0; i < face->config_.items.size(); ++i) {
        face->StartItem(i, seed * 1000u + 500u + static_cast<std::uint32_t>(i));
    }
    auto tick = loop.CreateTimer("opc-delivery", kDeliveryTickMs,
                                 [raw = face.get()] { raw->DeliverDue(); });
    tick->SetEnabled(true);
    face->timers_.push_back(std::move(tick));
    return face;
}

PlantOpcFace::PlantOpcFace(EventLoop& loop, const Clock& clock, const Clock& wallClock,
                           TimeZone zone, OpcPlantConfig config)
    : loop_(loop),
      clock_(clock),
      wallClock_(wallClock),
      zone_(std::move(zone)),
      config_(std::move(config)) {
    for (const OpcServerSetup& setup : config_.servers) {
        auto server = std::make_unique<InMemoryOpcServer>(setup.info.progId, setup.info.vendor);
        server->info = setup.info;
        server->SetOrganization(setup.organization);
        server->SetGroupInterfaces(setup.interfaces);
        server->SetRateStep(setup.rateStep);
        transport_.AddServer(*server);
        servers_.push_back(std::move(server));
    }
}

PlantOpcFace::~PlantOpcFace() = default;

void PlantOpcFace::StartItem(std::size_t index, std::uint32_t seed) {
    const OpcItemSetup& item = config_.items[index];
    InMemoryOpcServer& server = *servers_[static_cast<std::size_t>(item.server - 1)];
    if (item.type == OpcItemType::kDouble || item.type == OpcItemType::kInteger) {
        server.SetEngineeringUnits(item.id, 1, {item.generator.min, item.generator.max});
    }
    if (!item.unit.empty()) {
        server.AddProperty(item.id, 5000, "Einheit", item.unit);
    }
    if (!item.description.empty()) {
        server.AddProperty(item.id, 5001, "Beschreibung", item.description);
    }
    server.AddProperty(item.id, 5002, "Generator", std::string(GeneratorName(item.generator.kind)));
    auto generator = std::make_shared<Generator>(item.generator, seed);
    auto last = std::make_shared<std::string>(generator->Next());
    Publish(item, *last);
    if (item.generator.kind == GeneratorKind::kConstant) {
        return;  // its value and time stamp stand from the start
    }
    auto timer =
        loop_.CreateTimer(item.id, item.generator.intervalMs, [this, index, generator, last] {
            std::string text = generator->Next();
            if (text != *last) {
                *last = text;
                Publish(config_.items[index], text);
            }
        });
    timer->SetEnabled(true);
    timers_.push_back(std::move(timer));
}

void PlantOpcFace::Publish(const OpcItemSetup& item, const std::string& text) {
    const double number = StrToFloat(NormalizeDecimal(text)).value_or(0.0);
    OpcValue value;
    switch (item.type) {
        case OpcItemType::kDouble:
            value = number;
            break;
        case OpcItemType::kInteger:
            value = static_cast<std::int32_t>(
                std::clamp(std::round(number), -2147483648.0, 2147483647.0));
            break;
        case OpcItemType::kBoolean:
            value = number != 0.0;
            break;
        case OpcItemType::kString:
            value = item.text.empty() ? text : item.text;
            break;
    }
    const std::int64_t utcMs = zone_.FromLocalMs(civil::LocalMsFromDayNumber(wallClock_.Now()));
    servers_[static_cast<std::size_t>(item.server - 1)]->SetValue(
        item.id, std::move(value), item.quality, civil::DayNumberFromLocalMs(utcMs));
}

void PlantOpcFace::DeliverDue() {
    const std::int64_t now = clock_.ElapsedMs();
    std::map<std::pair<std::size_t, std::uint32_t>, std::int64_t> live;
    for (std::size_t s = 0; s < servers_.size(); ++s) {
        for (const OpcGroupState& group : servers_[s]->Groups()) {
            const auto key = std::make_pair(s, group.serverGroup);
            const auto last = lastDelivery_.find(key);
            const bool due = last == lastDelivery_.end() || now - last->second >= group.updateRate;
            // Until its first delivery a group is due at every tick: the subscription primes it.
            if (due && servers_[s]->DeliverChanges(group.serverGroup)) {
                live[key] = now;
            } else if (last != lastDelivery_.end()) {
                live[key] = last->second;
            }
        }
    }
    lastDelivery_ = std::move(live);
}

void PlantOpcFace::RequestShutdown(const std::string& reason) {
    for (auto& server : servers_) {
        server->RequestShutdown(reason);
    }
}

void PlantOpcFace::SetDelivery(std::uint32_t interfaces) {
    for (auto& server : servers_) {
        server->SetGroupInterfaces(interfaces);
    }
}

bool PlantOpcFace::Command(const std::string& line) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    std::string rest;
    std::getline(words >> std::ws, rest);
    if (command == "opc-shutdown") {
        RequestShutdown(rest.empty() ? "plantsim stops" : rest);
        return true;
    }
    if (command == "opc-delivery") {
        auto delivery = ParseOpcDelivery(rest);
        if (delivery) {
            SetDelivery(delivery.value());
        }
        return delivery.ok();
    }
    if (command == "opc-stall") {
        const int ms = StrToIntDef(rest, -1);
        if (ms <= 0) {
            return false;
        }
        socket_->SetStalled(true);
        auto self = std::make_shared<Timer*>(nullptr);
        auto timer = loop_.CreateTimer("opc-stall", ms, [this, self] {
            (*self)->SetEnabled(false);
            socket_->SetStalled(false);
        });
        *self = timer.get();
        timer->SetEnabled(true);
        timers_.push_back(std::move(timer));
        return true;
    }
    return false;
}

}  // namespace tarvedde::plantsim

// plantsim's OPC face: OPC DA servers by ProgID built from the INI file's [OpcServer<n>]
// and [OpcItem<n>] sections, each an in-memory OPC server whose typed items follow
// plantsim's generators, served on the local OPC socket protocol. Every group gets what
// changed at its own granted update rate; values carry their configured quality and the
// UTC time stamp of their change.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/ini_file.h"
#include "platform/time_zone.h"
#include "sources/in_memory_opc_server.h"
#include "sources/opc_socket_server.h"
#include "tools/plantsim/plantsim_items.h"

namespace tarvedde::plantsim {

enum class OpcItemType { kDouble, kInteger, kBoolean, kString };

struct OpcItemSetup {
    std::string id;  // '.' separates the branches of the hierarchical address space
    int server = 1;  // 1-based index into OpcPlantConfig::servers
    OpcItemType type = OpcItemType::kDouble;
    std::uint16_t quality = kOpcQualityGood;
    std::string text;  // a string item's constant text; empty: the generator's text
    std::string unit;
    std::string description;
    ItemConfig generator;
};

struct OpcServerSetup {
    OpcServerInfo info;
    OpcNamespaceType organization = OpcNamespaceType::Hierarchical;
    std::uint32_t interfaces = kOpcGroupConnectionPoints | kOpcGroupDataObject;
    std::uint32_t rateStep = 100;
};

struct OpcPlantConfig {
    std::vector<OpcServerSetup> servers;  // none: plantsim has no OPC face
    std::vector<OpcItemSetup> items;
};

Result<OpcPlantConfig> LoadOpcPlantConfig(const IniFile& ini);

// The command line's OPC options.
struct PlantOpcOptions {
    OpcSocketServerOptions socket;
    std::optional<std::uint32_t> delivery;  // overrides every server's Delivery
    std::string zone;                       // of the wall clock; empty: $TZ, else UTC
};
// False for an option that is not an OPC one or whose value does not parse.
bool ParseOpcOption(const std::string& arg, const std::string& value, PlantOpcOptions& options);
// "2.0", "1.0", "both" or "none" as group interface bits.
Result<std::uint32_t> ParseOpcDelivery(const std::string& text);

class PlantOpcFace {
public:
    // `clock` times the update rates, `wallClock` in `zone` stamps the values.
    static Result<std::unique_ptr<PlantOpcFace>> Start(EventLoop& loop, const Clock& clock,
                                                       const Clock& wallClock, TimeZone zone,
                                                       OpcPlantConfig config,
                                                       const OpcSocketServerOptions& socket,
                                                       DdeLogSink log, std::uint32_t seed);
    PlantOpcFace(const PlantOpcFace&) = delete;
    PlantOpcFace& operator=(const PlantOpcFace&) = delete;
    ~PlantOpcFace();

    // Asks every client that subscribed to the shutdown notice to disconnect.
    void RequestShutdown(const std::string& reason);
    // The delivery paths groups connected from now on are offered.
    void SetDelivery(std::uint32_t interfaces);
    // "opc-shutdown [reason]", "opc-delivery 2.0|1.0|both|none", "opc-stall MS"; false for
    // anything else.
    bool Command(const std::string& line);
    SocketOpcServer& Socket() { return *socket_; }

private:
    PlantOpcFace(EventLoop& loop, const Clock& clock, const Clock& wallClock, TimeZone zone,
                 OpcPlantConfig config);
    void StartItem(std::size_t index, std::uint32_t seed);
    void Publish(const OpcItemSetup& item, const std::string& text);
    void DeliverDue();

    EventLoop& loop_;
    const Clock& clock_;
    const Clock& wallClock_;
    TimeZone zone_;
    OpcPlantConfig config_;
    std::vector<std::unique_ptr<InMemoryOpcServer>> servers_;
    InMemoryOpcTransport transport_;
    std::unique_ptr<SocketOpcServer> socket_;
    std::vector<std::unique_ptr<Timer>> timers_;
    std::map<std::pair<std::size_t, std::uint32_t>, std::int64_t> lastDelivery_;
};

}  // namespace tarvedde::plantsim

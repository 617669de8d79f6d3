// The scenario runner's OPC server: an in-memory OPC DA server behind the transport the
// engine's OPC client uses, serving the configured items under the configured ProgID. While
// it is up it delivers a `set` at once and what a new subscription is owed every second. A
// server that gets no `set` sends nothing, which is what the watchdog waits for.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "app/scenario_script.h"
#include "platform/event_loop.h"
#include "platform/result.h"
#include "sources/in_memory_opc_server.h"

namespace tarvedde {

class ScenarioOpcServer {
public:
    explicit ScenarioOpcServer(EventLoop& loop);

    OpcTransport& Transport() { return transport_; }
    // The server under `progId` (a default name when empty) knows `itemIds`; values set
    // before stay.
    void Serve(const std::string& progId, const std::vector<std::string>& itemIds);
    // A typed value (true/false, integer, decimal) or, when not typed, the text itself.
    void Publish(const SetCommand& command);
    // Down: the host answers nothing and no change is delivered.
    void SetDown(bool down);

    // The quality word of a `set`: good, uncertain, bad or a number 0..65535.
    static Status CheckQuality(const std::string& quality);

private:
    void Deliver();

    InMemoryOpcTransport transport_;
    std::unique_ptr<InMemoryOpcServer> server_;
    std::set<std::string> served_;
    bool down_ = false;
    std::unique_ptr<Timer> deliveryTimer_;
};

}  // namespace tarvedde

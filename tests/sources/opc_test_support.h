// A client on an in-memory OPC server, with every event it fires written down.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/date_time.h"
#include "platform/virtual_clock.h"
#include "sources/in_memory_opc_server.h"
#include "sources/opc_client.h"

namespace tarvedde {

// Every event a client fires, as a line; data changes with their time stamp in `timeFormat`.
class OpcEventRecorder : public TOpcClientEvents, public TDataChangeEvent {
public:
    explicit OpcEventRecorder(std::string timeFormat = "hh:nn:ss")
        : timeFormat_(std::move(timeFormat)) {}

    void OnConnect(TOpcSimpleClient&) override { events.push_back("connect"); }
    void OnDisconnect(TOpcSimpleClient&) override { events.push_back("disconnect"); }
    void OnServerShutdown(TOpcSimpleClient& c) override {
        events.push_back("shutdown " + c.ShutdownReason());
    }
    void OnDataChange(TOpcGroup& sender, std::int32_t index, const OpcValue& value,
                      std::uint16_t quality, double timestamp) override {
        events.push_back(sender.Name() + " " + std::to_string(index) + " " + OpcValueText(value) +
                         " " + std::to_string(quality) + " " +
                         FormatDateTime(timeFormat_, timestamp));
    }

    std::vector<std::string> events;

private:
    std::string timeFormat_;
};

class OpcClientFixture : public OpcEventRecorder {
public:
    OpcClientFixture() {
        transport.AddServer(server);
        client.SetProgID("Tarvedde.Sim");
        client.SetEvents(this);
    }

    InMemoryOpcServer server{"Tarvedde.Sim", "Tarvedde Test"};
    InMemoryOpcTransport transport{"PLANT-PC"};
    VirtualClock clock;  // 2024-03-05 07:00:00
    TOpcSimpleClient client{transport, clock, TimeZone::Fixed(60, "CET")};
};

}  // namespace tarvedde

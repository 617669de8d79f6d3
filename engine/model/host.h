// What the engine needs of the world. The desktop, headless and scenario programs each
// put their own implementations behind these references.
#pragma once

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/instance_locks.h"
#include "platform/operator.h"
#include "platform/shell.h"

namespace tarvedde {

class DdeTransport;
class OpcTransport;
class TimeZone;

struct Host {
    FileSystem& files;
    Clock& clock;
    EventLoop& loop;
    Operator& op;
    Shell& shell;
    // The single-instance guard's named lock.
    InstanceLocks& locks;
    // The DDE transport of a DDE or AQASYS installation. Without one the DDE client
    // succeeds at once as for an OPC installation: values then reach the items by other
    // means (a scenario script, an OPC client).
    DdeTransport* dde = nullptr;
    // The OPC transport of an OPC installation; without one no OPC server is reachable.
    OpcTransport* opc = nullptr;
    // The zone of the clock's local time: OPC servers' UTC time stamps are shown in it, and
    // a local span across a daylight-saving change is measured through it; null: UTC.
    const TimeZone* localZone = nullptr;
};

}  // namespace tarvedde

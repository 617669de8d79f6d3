// OpcTransport over the local OPC socket protocol (opc_socket_wire.h) to a separate
// server process such as plantsim. This machine's servers are the endpoints in the DDE
// directory; a host other than this machine (not "" and not ComputerName) is reached at
// its TCP port. Each server object is a connection of its own; every call waits for its
// answer at most the call time-out. A server that does not answer in time, closes the
// connection or breaks the protocol is dropped (one log line): that call and every later
// one on the object fail (RPC_E_TIMEOUT, RPC_S_PROTOCOL_ERROR, RPC_S_SERVER_UNAVAILABLE).
// Pushes from the server (shutdown request, data change, data stream) run their sink on
// the event loop's thread, in the order sent, never inside a call: those arriving while a
// call waits run after it returns, so a sink may call into the server or release it.
#pragma once

#include <memory>
#include <string>

#include "platform/event_loop.h"
#include "sources/dde_socket_io.h"
#include "sources/opc_server.h"
#include "sources/opc_socket_endpoint.h"

namespace tarvedde {

inline constexpr OpcResult kRpcETimeout = 0x8001'011F;
inline constexpr OpcResult kRpcProtocolError = 0x8007'06C0;

struct OpcSocketOptions {
    std::string directory;     // empty: the default DDE directory
    std::string computerName;  // empty: the system's host name
    std::uint16_t tcpPort = kOpcDefaultTcpPort;
    int callTimeoutMs = 3000;
};

class SocketOpcTransport : public OpcTransport {
public:
    // The loop must outlive the transport and every server object it created.
    SocketOpcTransport(EventLoop& loop, OpcSocketOptions options, DdeLogSink log);

    std::string ComputerName() const override { return computerName_; }
    // This machine: the servers of every endpoint that answers (S_OK, perhaps none). A
    // host: RPC_S_SERVER_UNAVAILABLE when its port does not answer.
    OpcResult ListServers(const std::string& host, std::vector<OpcServerInfo>& servers) override;
    // REGDB_E_CLASSNOTREG when no endpoint serves the class.
    OpcResult CreateServer(const std::string& host, const std::string& classId,
                           std::unique_ptr<OpcServer>& server) override;

private:
    bool IsLocal(const std::string& host) const;
    // The endpoints to ask: socket paths, or one "host" for TCP.
    std::vector<std::string> Endpoints(const std::string& host) const;

    EventLoop& loop_;
    OpcSocketOptions options_;
    std::string computerName_;
    DdeLogSink log_;
};

}  // namespace tarvedde

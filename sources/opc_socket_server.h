// The server side of the local OPC socket protocol: serves the servers of a backend
// OpcTransport (its "" host) at an endpoint in the DDE directory and, when the operator
// asks, at a TCP port on the loopback address (or the address given), on the event loop's
// thread. Each connection that creates a server object owns it until the connection
// closes. Clients are not trusted: a malformed or misplaced frame, or a client that stops
// reading (over 4 MiB queued) loses its connection, with a log line. Stalling (for tests
// and plantsim's faults) answers nothing and pushes nothing until it ends.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/event_loop.h"
#include "platform/result.h"
#include "sources/dde_socket_io.h"
#include "sources/opc_server.h"
#include "sources/opc_socket_wire.h"

namespace tarvedde {

struct OpcSocketServerOptions {
    std::string directory;  // empty: the default DDE directory
    std::string endpoint = "plantsim";
    std::optional<std::uint16_t> tcpPort;  // 0 takes a free port
    std::string tcpAddress = "127.0.0.1";
};

class SocketOpcServer {
public:
    // A stale socket file is replaced; one with a live server behind it fails. The
    // backend must outlive the server.
    static Result<std::unique_ptr<SocketOpcServer>> Create(EventLoop& loop, OpcTransport& backend,
                                                           const OpcSocketServerOptions& options,
                                                           DdeLogSink log);
    // Releases every server object and removes the socket file.
    ~SocketOpcServer();
    SocketOpcServer(const SocketOpcServer&) = delete;
    SocketOpcServer& operator=(const SocketOpcServer&) = delete;

    const std::string& SocketPath() const { return path_; }
    std::uint16_t TcpPort() const { return tcpPort_; }
    std::size_t ConnectionCount() const { return clients_.size(); }
    void SetStalled(bool stalled);

private:
    struct Client;

    SocketOpcServer(EventLoop& loop, OpcTransport& backend, DdeLogSink log);
    void Accept(int listenFd);
    void OnReadable(int id);
    void Process(int id);
    // The reply's body; nullopt when the request does not parse.
    std::optional<std::string> Handle(int id, Client& client, const OpcFrame& frame);
    std::optional<std::string> Forward(int id, OpcServer& object, const OpcFrame& frame);
    void Push(int id, OpcOp op, const std::string& body);
    void Send(Client& client, const std::string& frame);
    void Flush();
    void Drop(int id, const std::string& why);
    void DropLater(int id, const std::string& why);

    EventLoop& loop_;
    OpcTransport& backend_;
    DdeLogSink log_;
    std::string path_;
    int unixFd_ = -1;
    int tcpFd_ = -1;
    std::uint16_t tcpPort_ = 0;
    std::unique_ptr<FdWatch> unixWatch_;
    std::unique_ptr<FdWatch> tcpWatch_;
    std::unique_ptr<Timer> flushTimer_;
    std::map<int, std::unique_ptr<Client>> clients_;
    int nextClient_ = 1;
    bool stalled_ = false;
    std::shared_ptr<char> alive_ = std::make_shared<char>();  // for tasks posted to the loop
};

}  // namespace tarvedde

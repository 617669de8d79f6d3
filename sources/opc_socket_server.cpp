// The server side of the local OPC socket protocol; see opc_socket_server.h.
#include "sources/opc_socket_server.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "sources/opc_socket_endpoint.h"

namespace tarvedde {
namespace {

constexpr std::size_t kMaxOpcQueuedBytes = 4 * 1024 * 1024;
constexpr int kFlushIntervalMs = 20;

std::string ReplyBody(OpcResult result, const WireWriter& outputs) {
    WireWriter body;
    body.U32(result);
    // A failure carries no outputs: what a failed COM call leaves in them means nothing.
    return body.Take() + (OpcSucceeded(result) ? outputs.Bytes() : std::string());
}

}  // namespace

struct SocketOpcServer::Client {
    int fd = -1;
    std::unique_ptr<FdWatch> watch;
    OpcFrameDecoder decoder;
    std::string outbox;
    std::unique_ptr<OpcServer> object;
};

Result<std::unique_ptr<SocketOpcServer>> SocketOpcServer::Create(
    EventLoop& loop, OpcTransport& backend, const OpcSocketServerOptions& options, DdeLogSink log) {
    auto dir = PrepareDdeDirectory(options.directory);
    if (!dir) {
        return dir.error();
    }
    auto path = OpcSocketPath(dir.value(), options.endpoint);
    if (!path) {
        return path.error();
    }
    std::unique_ptr<SocketOpcServer> server(new SocketOpcServer(loop, backend, std::move(log)));
    auto unixFd = ListenDdeSocket(path.value(), "an OPC server");
    if (!unixFd) {
        return unixFd.error();
    }
    server->path_ = path.value();
    server->unixFd_ = unixFd.value();
    if (options.tcpPort) {
        auto tcpFd = ListenOpcTcp(options.tcpAddress, *options.tcpPort);
        if (!tcpFd) {
            return tcpFd.error();  // the destructor removes the socket file again
        }
        server->tcpFd_ = tcpFd.value();
        server->tcpPort_ = BoundTcpPort(tcpFd.value());
        SocketOpcServer* self = server.get();
        server->tcpWatch_ =
            loop.WatchReadable(self->tcpFd_, [self] { self->Accept(self->tcpFd_); });
    }
    SocketOpcServer* self = server.get();
    server->unixWatch_ = loop.WatchReadable(self->unixFd_, [self] { self->Accept(self->unixFd_); });
    return server;
}

SocketOpcServer::SocketOpcServer(EventLoop& loop, OpcTransport& backend, DdeLogSink log)
    : loop_(loop), backend_(backend), log_(std::move(log)) {
    flushTimer_ = loop_.CreateTimer("opc-flush", kFlushIntervalMs, [this] { Flush(); });
}

SocketOpcServer::~SocketOpcServer() {
    while (!clients_.empty()) {
        Drop(clients_.begin()->first, "");
    }
    unixWatch_.reset();
    tcpWatch_.reset();
    if (unixFd_ >= 0) {
        close(unixFd_);
        unlink(path_.c_str());
    }
    if (tcpFd_ >= 0) {
        close(tcpFd_);
    }
}

void SocketOpcServer::Accept(int listenFd) {
    int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    const int id = nextClient_++;
    auto client = std::make_unique<Client>();
    client->fd = fd;
    client->watch = loop_.WatchReadable(fd, [this, id] { OnReadable(id); });
    clients_[id] = std::move(client);
}

void SocketOpcServer::OnReadable(int id) {
    const auto found = clients_.find(id);
    if (found == clients_.end()) {
        return;
    }
    std::string bytes;
    std::string error;
    if (ReadSome(found->second->fd, bytes, error) == ReadOutcome::kClosed) {
        Drop(id, "");  // the client went away or released its server object
        return;
    }
    found->second->decoder.Feed(bytes);
    Process(id);
}

void SocketOpcServer::Process(int id) {
    while (!stalled_) {
        const auto found = clients_.find(id);
        if (found == clients_.end()) {
            return;
        }
        Client& client = *found->second;
        OpcFrame frame;
        std::string error;
        const auto outcome = client.decoder.Next(frame, error);
        if (outcome == OpcFrameDecoder::Outcome::kNeedMore) {
            return;
        }
        if (outcome == OpcFrameDecoder::Outcome::kError) {
            Drop(id, "malformed frame: " + error);
            return;
        }
        if (frame.kind != OpcFrameKind::kRequest) {
            Drop(id, "a frame of the server's kind from a client");
            return;
        }
        const std::optional<std::string> body = Handle(id, client, frame);
        if (!body) {
            Drop(id, "malformed request " + std::to_string(static_cast<int>(frame.op)));
            return;
        }
        Send(client, EncodeOpcFrame({OpcFrameKind::kReply, frame.sequence, frame.op, *body}));
        if (client.outbox.size() > kMaxOpcQueuedBytes) {
            Drop(id, "the client does not read its answers");
            return;
        }
    }
}

std::optional<std::string> SocketOpcServer::Handle(int id, Client& client, const OpcFrame& frame) {
    WireReader in(frame.body);
    WireWriter out;
    if (frame.op == OpcOp::kList) {
        if (!in.Done()) {
            return std::nullopt;
        }
        std::vector<OpcServerInfo> servers;
        const OpcResult result = backend_.ListServers("", servers);
        Put(out, servers);
        return ReplyBody(result, out);
    }
    if (frame.op == OpcOp::kCreate) {
        const std::string classId = in.Str();
        if (!in.Done()) {
            return std::nullopt;
        }
        if (client.object) {
            return ReplyBody(kEFail, out);  // one server object per connection
        }
        std::unique_ptr<OpcServer> object;
        OpcResult result = backend_.CreateServer("", classId, object);
        if (OpcSucceeded(result) && !object) {
            result = kEFail;
        }
        client.object = std::move(object);
        return ReplyBody(result, out);
    }
    if (!client.object) {
        return std::nullopt;  // a call before the server object exists
    }
    return Forward(id, *client.object, frame);
}

std::optional<std::string> SocketOpcServer::Forward(int id, OpcServer& object,
                                                    const OpcFrame& frame) {
    WireReader in(frame.body);
    WireWriter out;
    // Arguments first; a request that does not parse exactly runs nothing.
    auto parsed = [&in] { return in.Done(); };
    switch (frame.op) {
        case OpcOp::kSetClientName: {
            const std::string name = in.Str();
            if (!parsed()) {
                return std::nullopt;
            }
            return ReplyBody(object.SetClientName(name), out);
        }
        case OpcOp::kGetErrorString: {
            const OpcResult code = in.U32();
            if (!parsed()) {
                return std::nullopt;
            }
            std::string text;
            const OpcResult result = object.GetErrorString(code, text);
            out.Str(text);
            return ReplyBody(result, out);
        }
        case OpcOp::kAdviseShutdown: {
            if (!parsed()) {
                return std::nullopt;
            }
            // The sink learns its cookie only after Advise returns.
            auto cookie = std::make_shared<std::uint32_t>(0);
            const OpcResult result = object.AdviseShutdown(
                [this, id, cookie](const std::string& reason) {
                    Push(id, OpcOp::kShutdownPush, WireWriter().U32(*cookie).Str(reason).Take());
                },
                *cookie);
            out.U32(*cookie);
            return ReplyBody(result, out);
        }
        case OpcOp::kUnadviseShutdown: {
            const std::uint32_t cookie = in.U32();
            if (!parsed()) {
                return std::nullopt;
            }
            return ReplyBody(object.UnadviseShutdown(cookie), out);
        }
        case OpcOp::kAddGroup: {
            const std::string name = in.Str();
            const bool active = in.Bool();
            const std::uint32_t rate = in.U32();
            const std::uint32_t clientGroup = in.U32();
            const float deadband = in.F32();
            const std::uint32_t locale = in.U32();
            if (!parsed()) {
                return std::nullopt;
            }
            std::uint32_t serverGroup = 0;
            std::uint32_t revised = 0;
            const OpcResult result = object.AddGroup(name, active, rate, clientGroup, deadband,
                                                     locale, serverGroup, revised);
            out.U32(serverGroup).U32(revised);
            return ReplyBody(result, out);
        }
        case OpcOp::kRemoveGroup: {
            const std::uint32_t group = in.U32();
            const bool force = in.Bool();
            if (!parsed()) {
                return std::nullopt;
            }
            return ReplyBody(object.RemoveGroup(group, force), out);
        }
        case OpcOp::kGetState: {
            const std::uint32_t group = in.U32();
            if (!parsed()) {
                return std::nullopt;
            }
            OpcGroupState state;
            const OpcResult result = object.GetState(group, state);
            Put(out, state);
            return ReplyBody(result, out);
        }
        case OpcOp::kSetState: {
            const std::uint32_t group = in.U32();
            const bool hasRate = in.Bool();
            const std::uint32_t rate = in.U32();
            const bool hasActive = in.Bool();
            const bool active = in.Bool();
            const bool hasDeadband = in.Bool();
            const float deadband = in.F32();
            if (!parsed()) {
                return std::nullopt;
            }
            std::uint32_t revised = 0;
            const OpcResult result =
                object.SetState(group, hasRate ? std::optional(rate) : std::nullopt, revised,
                                hasActive ? std::optional(active) : std::nullopt,
                                hasDeadband ? std::optional(deadband) : std::nullopt);
            out.U32(revised);
            return ReplyBody(result, out);
        }
        case OpcOp::kSetName: {
            const std::uint32_t group = in.U32();
            const std::string name = in.Str();
            if (!parsed()) {
                return std::nullopt;
            }
            return ReplyBody(object.SetName(group, name), out);
        }
        case OpcOp::kAddItems: {
            const std::uint32_t group = in.U32();
            std::vector<OpcItemDef> items;
            Get(in, items);
            if (!parsed()) {
                return std::nullopt;
            }
            std::vector<OpcItemResult> results;
            const OpcResult result = object.AddItems(group, items, results);
            Put(out, results);
            return ReplyBody(result, out);
        }
        case OpcOp::kItemAttributes: {
            const std::uint32_t group = in.U32();
            if (!parsed()) {
                return std::nullopt;
            }
            std::vector<OpcItemAttributes> attributes;
            const OpcResult result = object.ItemAttributes(group, attributes);
            Put(out, attributes);
            return ReplyBody(result, out);
        }
        case OpcOp::kGroupInterfaces: {
            const std::uint32_t group = in.U32();
            if (!parsed()) {
                return std::nullopt;
            }
            out.U32(object.GroupInterfaces(group));
            return ReplyBody(kSOk, out);
        }
        case OpcOp::kAdviseDataCallback: {
            const std::uint32_t group = in.U32();
            if (!parsed()) {
                return std::nullopt;
            }
            auto cookie = std::make_shared<std::uint32_t>(0);
            const OpcResult result = object.AdviseDataCallback(
                group,
                [this, id, group, cookie](const OpcDataChange& change) {
                    WireWriter push;
                    push.U32(group).U32(*cookie);
                    Put(push, change);
                    Push(id, OpcOp::kDataChangePush, push.Take());
                },
                *cookie);
            out.U32(*cookie);
            return ReplyBody(result, out);
        }
        case OpcOp::kUnadviseDataCallback:
        case OpcOp::kDUnadvise: {
            const std::uint32_t group = in.U32();
            const std::uint32_t cookie = in.U32();
            if (!parsed()) {
                return std::nullopt;
            }
            return ReplyBody(frame.op == OpcOp::kDUnadvise
                                 ? object.DUnadvise(group, cookie)
                                 : object.UnadviseDataCallback(group, cookie),
                             out);
        }
        case OpcOp::kDAdvise: {
            const std::uint32_t group = in.U32();
            if (!parsed()) {
                return std::nullopt;
            }
            auto connection = std::make_shared<std::uint32_t>(0);
            const OpcResult result = object.DAdvise(
                group,
                [this, id, group, connection](const OpcDataStream& stream) {
                    WireWriter push;
                    push.U32(group).U32(*connection);
                    Put(push, stream);
                    Push(id, OpcOp::kStreamPush, push.Take());
                },
                *connection);
            out.U32(*connection);
            return ReplyBody(result, out);
        }
        case OpcOp::kQueryOrganization: {
            if (!parsed()) {
                return std::nullopt;
            }
            OpcNamespaceType type = OpcNamespaceType::Hierarchical;
            const OpcResult result = object.QueryOrganization(type);
            out.U32(static_cast<std::uint32_t>(type));
            return ReplyBody(result, out);
        }
        case OpcOp::kChangeBrowsePosition: {
            const std::uint32_t direction = in.U32();
            const std::string name = in.Str();
            if (!parsed()) {
                return std::nullopt;
            }
            if (direction < 1 || direction > 3) {
                return ReplyBody(kEInvalidArg, out);
            }
            return ReplyBody(
                object.ChangeBrowsePosition(static_cast<OpcBrowseDirection>(direction), name), out);
        }
        case OpcOp::kBrowseOpcItemIds: {
            const std::uint32_t type = in.U32();
            const std::string filter = in.Str();
            if (!parsed()) {
                return std::nullopt;
            }
            if (type < 1 || type > 3) {
                return ReplyBody(kEInvalidArg, out);
            }
            std::vector<std::string> ids;
            const OpcResult result =
                object.BrowseOpcItemIds(static_cast<OpcBrowseType>(type), filter, ids);
            Put(out, ids);
            return ReplyBody(result, out);
        }
        case OpcOp::kGetItemId: {
            const std::string dataId = in.Str();
            if (!parsed()) {
                return std::nullopt;
            }
            std::string itemId;
            const OpcResult result = object.GetItemId(dataId, itemId);
            out.Str(itemId);
            return ReplyBody(result, out);
        }
        case OpcOp::kQueryAvailableProperties: {
            const std::string itemId = in.Str();
            if (!parsed()) {
                return std::nullopt;
            }
            std::vector<OpcItemProperty> properties;
            const OpcResult result = object.QueryAvailableProperties(itemId, properties);
            Put(out, properties);
            return ReplyBody(result, out);
        }
        case OpcOp::kGetItemProperties: {
            const std::string itemId = in.Str();
            std::vector<std::uint32_t> ids;
            Get(in, ids);
            if (!parsed()) {
                return std::nullopt;
            }
            std::vector<OpcValue> values;
            std::vector<OpcResult> errors;
            const OpcResult result = object.GetItemProperties(itemId, ids, values, errors);
            Put(out, values);
            Put(out, errors);
            return ReplyBody(result, out);
        }
        default:
            return std::nullopt;
    }
}

void SocketOpcServer::Push(int id, OpcOp op, const std::string& body) {
    const auto found = clients_.find(id);
    if (stalled_ || found == clients_.end()) {
        return;  // a hung server sends nothing
    }
    Client& client = *found->second;
    Send(client, EncodeOpcFrame({OpcFrameKind::kPush, 0, op, body}));
    if (client.outbox.size() > kMaxOpcQueuedBytes) {
        // Not now: the backend is delivering and the object is the one it calls.
        DropLater(id, "the client does not read its data");
    }
}

void SocketOpcServer::Send(Client& client, const std::string& frame) {
    client.outbox += frame;
    while (!client.outbox.empty()) {
        const ssize_t sent = send(client.fd, client.outbox.data(), client.outbox.size(),
                                  MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent <= 0) {
            flushTimer_->SetEnabled(true);  // full: try again shortly; gone: the read tells
            return;
        }
        client.outbox.erase(0, static_cast<std::size_t>(sent));
    }
}

void SocketOpcServer::Flush() {
    bool pending = false;
    for (auto& [id, client] : clients_) {
        if (!client->outbox.empty()) {
            Send(*client, {});
            pending = pending || !client->outbox.empty();
        }
    }
    flushTimer_->SetEnabled(pending);
}

void SocketOpcServer::SetStalled(bool stalled) {
    stalled_ = stalled;
    if (stalled) {
        return;
    }
    std::vector<int> ids;
    for (const auto& [id, client] : clients_) {
        ids.push_back(id);
    }
    for (const int id : ids) {
        Process(id);
    }
}

void SocketOpcServer::Drop(int id, const std::string& why) {
    const auto found = clients_.find(id);
    if (found == clients_.end()) {
        return;
    }
    if (!why.empty()) {
        log_("OPC client dropped: " + why);
    }
    std::unique_ptr<Client> client = std::move(found->second);
    clients_.erase(found);
    client->watch.reset();
    close(client->fd);
    client->object.reset();  // may call back into Push: the client is no longer found
}

void SocketOpcServer::DropLater(int id, const std::string& why) {
    std::weak_ptr<char> alive = alive_;
    loop_.Post([this, alive, id, why] {
        if (!alive.expired()) {
            Drop(id, why);
        }
    });
}

}  // namespace tarvedde

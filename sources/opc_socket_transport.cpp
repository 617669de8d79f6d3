// The OPC transport over local sockets; see opc_socket_transport.h.
#include "sources/opc_socket_transport.h"

#include <unistd.h>

#include <chrono>
#include <deque>
#include <map>
#include <utility>

#include "sources/opc_socket_wire.h"

namespace tarvedde {
namespace {

bool SameText(const std::string& a, const std::string& b) {
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return upper(x) == upper(y); });
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0) {
        return "localhost";
    }
    return name;
}

using GroupKey = std::pair<std::uint32_t, std::uint32_t>;  // server group, cookie

// One connection: the calls on it and the pushes it brings.
class OpcLink : public std::enable_shared_from_this<OpcLink> {
public:
    OpcLink(EventLoop& loop, int fd, std::string endpoint, int timeoutMs, DdeLogSink log)
        : loop_(loop),
          fd_(fd),
          endpoint_(std::move(endpoint)),
          timeoutMs_(timeoutMs),
          log_(std::move(log)) {}
    ~OpcLink() { Close(); }
    OpcLink(const OpcLink&) = delete;
    OpcLink& operator=(const OpcLink&) = delete;

    void Watch() {
        std::weak_ptr<OpcLink> weak = weak_from_this();
        watch_ = loop_.WatchReadable(fd_, [weak] {
            if (auto link = weak.lock()) {
                link->OnReadable();
            }
        });
    }

    // The server's result, or the transport's failure; `reply` gets what follows the result.
    OpcResult Call(OpcOp op, const std::string& args, std::string& reply) {
        if (fd_ < 0) {
            return lostWith_;
        }
        if (busy_) {
            return kEFail;  // pushes never run inside a call, so only a bug gets here
        }
        const std::uint32_t sequence = nextSequence_++;
        const std::string frame = EncodeOpcFrame({OpcFrameKind::kRequest, sequence, op, args});
        if (frame.empty()) {
            return kEInvalidArg;
        }
        using SteadyClock = std::chrono::steady_clock;
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs_);
        if (Status sent = SendAllBytes(fd_, frame, timeoutMs_); !sent) {
            return Lose(sent.error().message, kRpcServerUnavailable);
        }
        busy_ = true;
        OpcResult result = kSOk;
        for (;;) {
            OpcFrame answer;
            std::string error;
            const auto outcome = decoder_.Next(answer, error);
            if (outcome == OpcFrameDecoder::Outcome::kError) {
                result = Lose("malformed frame: " + error, kRpcProtocolError);
                break;
            }
            if (outcome == OpcFrameDecoder::Outcome::kFrame) {
                if (answer.kind == OpcFrameKind::kReply && answer.sequence == sequence) {
                    WireReader in(answer.body);
                    result = in.U32();
                    reply = answer.body.substr(in.Ok() ? 4 : 0);
                    if (!in.Ok() || answer.op != op) {
                        result = Lose("malformed answer", kRpcProtocolError);
                    }
                    break;
                }
                if (!Take(std::move(answer))) {
                    result = kRpcProtocolError;
                    break;
                }
                continue;
            }
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
            if (left <= 0) {
                // Every later call would wait as long again: a client connecting would
                // stand for minutes. Dropping it fails them at once.
                result =
                    Lose("no answer within " + std::to_string(timeoutMs_) + " ms", kRpcETimeout);
                break;
            }
            if (!WaitReadable(fd_, static_cast<int>(left))) {
                continue;
            }
            std::string bytes;
            if (ReadSome(fd_, bytes, error) == ReadOutcome::kClosed) {
                result = Lose(error, kRpcServerUnavailable);
                break;
            }
            decoder_.Feed(bytes);
        }
        busy_ = false;
        if (!pushes_.empty() || (fd_ >= 0 && decoder_.HasBufferedBytes())) {
            ScheduleDispatch();  // the socket will not tell again about what was read
        }
        return result;
    }

    // Dropping the connection, as an unreachable server does to COM.
    OpcResult Lose(const std::string& why, OpcResult failure) {
        if (fd_ >= 0) {
            log_("OPC server at " + endpoint_ + " dropped: " + why);
            lostWith_ = kRpcServerUnavailable;
            Close();
        }
        return failure;
    }

    bool Lost() const { return fd_ < 0; }

    // The server object is gone: no sink runs any more.
    void Release() {
        released_ = true;
        pushes_.clear();
        Close();
    }

    std::map<std::uint32_t, OpcServer::ShutdownSink> shutdownSinks;
    std::map<GroupKey, OpcServer::DataCallback> dataCallbacks;
    std::map<GroupKey, OpcServer::StreamSink> streamSinks;

private:
    void Close() {
        watch_.reset();
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

    // Queues a push; false when the server broke the protocol.
    bool Take(OpcFrame frame) {
        if (frame.kind == OpcFrameKind::kReply) {
            return true;  // the late answer of a call that timed out
        }
        if (frame.kind != OpcFrameKind::kPush) {
            Lose("a request from the server", kRpcProtocolError);
            return false;
        }
        pushes_.push_back(std::move(frame));
        return true;
    }

    void OnReadable() {
        if (busy_ || fd_ < 0) {
            return;
        }
        std::string bytes;
        std::string error;
        const ReadOutcome outcome = ReadSome(fd_, bytes, error);
        decoder_.Feed(bytes);
        Drain();
        if (outcome == ReadOutcome::kClosed) {
            Lose(error, kRpcServerUnavailable);
        }
        DispatchPushes();
    }

    void Drain() {
        while (fd_ >= 0) {
            OpcFrame frame;
            std::string error;
            const auto outcome = decoder_.Next(frame, error);
            if (outcome == OpcFrameDecoder::Outcome::kNeedMore) {
                return;
            }
            if (outcome == OpcFrameDecoder::Outcome::kError) {
                Lose("malformed frame: " + error, kRpcProtocolError);
                return;
            }
            if (!Take(std::move(frame))) {
                return;
            }
        }
    }

    void ScheduleDispatch() {
        std::weak_ptr<OpcLink> weak = weak_from_this();
        loop_.Post([weak] {
            // Expired: the server object and perhaps the whole transport are gone.
            if (auto link = weak.lock(); link && !link->busy_) {
                link->Drain();
                link->DispatchPushes();
            }
        });
    }

    void DispatchPushes() {
        if (dispatching_) {
            return;
        }
        auto self = shared_from_this();  // a sink may release the server object
        dispatching_ = true;
        while (!pushes_.empty() && !released_ && !busy_) {
            OpcFrame frame = std::move(pushes_.front());
            pushes_.pop_front();
            Dispatch(frame);
        }
        dispatching_ = false;
    }

    void Dispatch(const OpcFrame& frame) {
        WireReader in(frame.body);
        const std::uint32_t first = in.U32();
        switch (frame.op) {
            case OpcOp::kShutdownPush: {
                const std::string reason = in.Str();
                const auto found = shutdownSinks.find(first);
                if (Valid(in) && found != shutdownSinks.end()) {
                    const OpcServer::ShutdownSink sink = found->second;  // may unadvise itself
                    sink(reason);
                }
                return;
            }
            case OpcOp::kDataChangePush: {
                const GroupKey key{first, in.U32()};
                OpcDataChange change;
                Get(in, change);
                const auto found = dataCallbacks.find(key);
                if (Valid(in) && found != dataCallbacks.end()) {
                    const OpcServer::DataCallback callback = found->second;
                    callback(change);
                }
                return;
            }
            case OpcOp::kStreamPush: {
                const GroupKey key{first, in.U32()};
                OpcDataStream stream;
                Get(in, stream);
                const auto found = streamSinks.find(key);
                if (Valid(in) && found != streamSinks.end()) {
                    const OpcServer::StreamSink sink = found->second;
                    sink(stream);
                }
                return;
            }
            default:
                Lose("unknown push " + std::to_string(static_cast<int>(frame.op)),
                     kRpcProtocolError);
        }
    }

    bool Valid(const WireReader& in) {
        if (!in.Done()) {
            Lose("malformed push", kRpcProtocolError);
            pushes_.clear();
            return false;
        }
        return true;
    }

    EventLoop& loop_;
    int fd_;
    std::string endpoint_;
    int timeoutMs_;
    DdeLogSink log_;
    std::unique_ptr<FdWatch> watch_;
    OpcFrameDecoder decoder_;
    std::deque<OpcFrame> pushes_;
    std::uint32_t nextSequence_ = 1;
    OpcResult lostWith_ = kRpcServerUnavailable;
    bool busy_ = false;
    bool dispatching_ = false;
    bool released_ = false;
};

class SocketOpcServerObject final : public OpcServer {
public:
    explicit SocketOpcServerObject(std::shared_ptr<OpcLink> link) : link_(std::move(link)) {}
    ~SocketOpcServerObject() override { link_->Release(); }

    bool Lost() const override { return link_->Lost(); }

    OpcResult SetClientName(const std::string& name) override {
        return Invoke(OpcOp::kSetClientName, WireWriter().Str(name));
    }

    OpcResult GetErrorString(OpcResult code, std::string& text) override {
        return Invoke(OpcOp::kGetErrorString, WireWriter().U32(code),
                      [&](WireReader& in) { text = in.Str(); });
    }

    OpcResult AdviseShutdown(ShutdownSink sink, std::uint32_t& cookie) override {
        const OpcResult result = Invoke(OpcOp::kAdviseShutdown, WireWriter(),
                                        [&](WireReader& in) { cookie = in.U32(); });
        if (OpcSucceeded(result)) {
            link_->shutdownSinks[cookie] = std::move(sink);
        }
        return result;
    }

    OpcResult UnadviseShutdown(std::uint32_t cookie) override {
        link_->shutdownSinks.erase(cookie);
        return Invoke(OpcOp::kUnadviseShutdown, WireWriter().U32(cookie));
    }

    OpcResult AddGroup(const std::string& name, bool active, std::uint32_t requestedRate,
                       std::uint32_t clientGroup, float percentDeadband, std::uint32_t localeId,
                       std::uint32_t& serverGroup, std::uint32_t& revisedRate) override {
        WireWriter args;
        args.Str(name).Bool(active).U32(requestedRate).U32(clientGroup).F32(percentDeadband);
        args.U32(localeId);
        return Invoke(OpcOp::kAddGroup, args, [&](WireReader& in) {
            serverGroup = in.U32();
            revisedRate = in.U32();
        });
    }

    OpcResult RemoveGroup(std::uint32_t serverGroup, bool force) override {
        std::erase_if(link_->dataCallbacks,
                      [&](const auto& c) { return c.first.first == serverGroup; });
        std::erase_if(link_->streamSinks,
                      [&](const auto& s) { return s.first.first == serverGroup; });
        return Invoke(OpcOp::kRemoveGroup, WireWriter().U32(serverGroup).Bool(force));
    }

    OpcResult GetState(std::uint32_t serverGroup, OpcGroupState& state) override {
        return Invoke(OpcOp::kGetState, WireWriter().U32(serverGroup),
                      [&](WireReader& in) { Get(in, state); });
    }

    OpcResult SetState(std::uint32_t serverGroup, std::optional<std::uint32_t> rate,
                       std::uint32_t& revisedRate, std::optional<bool> active,
                       std::optional<float> percentDeadband) override {
        WireWriter args;
        args.U32(serverGroup).Bool(rate.has_value()).U32(rate.value_or(0));
        args.Bool(active.has_value()).Bool(active.value_or(false));
        args.Bool(percentDeadband.has_value()).F32(percentDeadband.value_or(0));
        return Invoke(OpcOp::kSetState, args, [&](WireReader& in) { revisedRate = in.U32(); });
    }

    OpcResult SetName(std::uint32_t serverGroup, const std::string& name) override {
        return Invoke(OpcOp::kSetName, WireWriter().U32(serverGroup).Str(name));
    }

    OpcResult AddItems(std::uint32_t serverGroup, const std::vector<OpcItemDef>& items,
                       std::vector<OpcItemResult>& results) override {
        WireWriter args;
        args.U32(serverGroup);
        Put(args, items);
        return Invoke(OpcOp::kAddItems, args, [&](WireReader& in) { Get(in, results); });
    }

    OpcResult ItemAttributes(std::uint32_t serverGroup,
                             std::vector<OpcItemAttributes>& attributes) override {
        return Invoke(OpcOp::kItemAttributes, WireWriter().U32(serverGroup),
                      [&](WireReader& in) { Get(in, attributes); });
    }

    std::uint32_t GroupInterfaces(std::uint32_t serverGroup) override {
        std::uint32_t interfaces = 0;
        const OpcResult result = Invoke(OpcOp::kGroupInterfaces, WireWriter().U32(serverGroup),
                                        [&](WireReader& in) { interfaces = in.U32(); });
        return OpcSucceeded(result) ? interfaces : 0;
    }

    OpcResult AdviseDataCallback(std::uint32_t serverGroup, DataCallback callback,
                                 std::uint32_t& cookie) override {
        const OpcResult result = Invoke(OpcOp::kAdviseDataCallback, WireWriter().U32(serverGroup),
                                        [&](WireReader& in) { cookie = in.U32(); });
        if (OpcSucceeded(result)) {
            link_->dataCallbacks[{serverGroup, cookie}] = std::move(callback);
        }
        return result;
    }

    OpcResult UnadviseDataCallback(std::uint32_t serverGroup, std::uint32_t cookie) override {
        link_->dataCallbacks.erase({serverGroup, cookie});
        return Invoke(OpcOp::kUnadviseDataCallback, WireWriter().U32(serverGroup).U32(cookie));
    }

    OpcResult DAdvise(std::uint32_t serverGroup, StreamSink sink,
                      std::uint32_t& connection) override {
        const OpcResult result = Invoke(OpcOp::kDAdvise, WireWriter().U32(serverGroup),
                                        [&](WireReader& in) { connection = in.U32(); });
        if (OpcSucceeded(result)) {
            link_->streamSinks[{serverGroup, connection}] = std::move(sink);
        }
        return result;
    }

    OpcResult DUnadvise(std::uint32_t serverGroup, std::uint32_t connection) override {
        link_->streamSinks.erase({serverGroup, connection});
        return Invoke(OpcOp::kDUnadvise, WireWriter().U32(serverGroup).U32(connection));
    }

    OpcResult QueryOrganization(OpcNamespaceType& type) override {
        return Invoke(OpcOp::kQueryOrganization, WireWriter(), [&](WireReader& in) {
            const std::uint32_t code = in.U32();
            if (code != 1 && code != 2) {
                in.Fail();
            }
            type = static_cast<OpcNamespaceType>(code);
        });
    }

    OpcResult ChangeBrowsePosition(OpcBrowseDirection direction, const std::string& name) override {
        return Invoke(OpcOp::kChangeBrowsePosition,
                      WireWriter().U32(static_cast<std::uint32_t>(direction)).Str(name));
    }

    OpcResult BrowseOpcItemIds(OpcBrowseType type, const std::string& filter,
                               std::vector<std::string>& ids) override {
        return Invoke(OpcOp::kBrowseOpcItemIds,
                      WireWriter().U32(static_cast<std::uint32_t>(type)).Str(filter),
                      [&](WireReader& in) { Get(in, ids); });
    }

    OpcResult GetItemId(const std::string& itemDataId, std::string& itemId) override {
        return Invoke(OpcOp::kGetItemId, WireWriter().Str(itemDataId),
                      [&](WireReader& in) { itemId = in.Str(); });
    }

    OpcResult QueryAvailableProperties(const std::string& itemId,
                                       std::vector<OpcItemProperty>& properties) override {
        return Invoke(OpcOp::kQueryAvailableProperties, WireWriter().Str(itemId),
                      [&](WireReader& in) { Get(in, properties); });
    }

    OpcResult GetItemProperties(const std::string& itemId,
                                const std::vector<std::uint32_t>& propertyIds,
                                std::vector<OpcValue>& values,
                                std::vector<OpcResult>& errors) override {
        WireWriter args;
        args.Str(itemId);
        Put(args, propertyIds);
        return Invoke(OpcOp::kGetItemProperties, args, [&](WireReader& in) {
            Get(in, values);
            Get(in, errors);
        });
    }

private:
    // A failure carries no outputs; a success's outputs must fill its answer exactly.
    OpcResult Invoke(OpcOp op, const WireWriter& args,
                     const std::function<void(WireReader&)>& outputs = {}) {
        std::string reply;
        const OpcResult result = link_->Call(op, args.Bytes(), reply);
        if (!OpcSucceeded(result)) {
            return result;
        }
        WireReader in(reply);
        if (outputs) {
            outputs(in);
        }
        if (!in.Done()) {
            return link_->Lose("malformed answer", kRpcProtocolError);
        }
        return result;
    }

    std::shared_ptr<OpcLink> link_;
};

}  // namespace

SocketOpcTransport::SocketOpcTransport(EventLoop& loop, OpcSocketOptions options, DdeLogSink log)
    : loop_(loop),
      options_(std::move(options)),
      computerName_(options_.computerName.empty() ? HostName() : options_.computerName),
      log_(std::move(log)) {}

bool SocketOpcTransport::IsLocal(const std::string& host) const {
    return host.empty() || SameText(host, computerName_);
}

std::vector<std::string> SocketOpcTransport::Endpoints(const std::string& host) const {
    if (!IsLocal(host)) {
        return {host};
    }
    auto dir = PrepareDdeDirectory(options_.directory);
    if (!dir) {
        log_(dir.error().message);
        return {};
    }
    return OpcSocketPaths(dir.value());
}

namespace {

// A connection to an endpoint, or null (logged unless it is a stale socket file).
std::shared_ptr<OpcLink> Open(EventLoop& loop, const std::string& endpoint, bool tcp,
                              std::uint16_t port, int timeoutMs, const DdeLogSink& log) {
    auto fd = tcp ? ConnectOpcTcp(endpoint, port, timeoutMs) : ConnectDdeSocket(endpoint);
    if (!fd) {
        if (tcp) {
            log(fd.error().message);
        }
        return nullptr;
    }
    const std::string name = tcp ? endpoint + ":" + std::to_string(port) : endpoint;
    return std::make_shared<OpcLink>(loop, fd.value(), name, timeoutMs, log);
}

}  // namespace

OpcResult SocketOpcTransport::ListServers(const std::string& host,
                                          std::vector<OpcServerInfo>& servers) {
    const bool tcp = !IsLocal(host);
    servers.clear();
    for (const std::string& endpoint : Endpoints(host)) {
        auto link = Open(loop_, endpoint, tcp, options_.tcpPort, options_.callTimeoutMs, log_);
        if (!link) {
            if (tcp) {
                return kRpcServerUnavailable;
            }
            continue;
        }
        std::string reply;
        OpcResult result = link->Call(OpcOp::kList, {}, reply);
        std::vector<OpcServerInfo> found;
        WireReader in(reply);
        Get(in, found);
        if (OpcSucceeded(result) && !in.Done()) {
            result = link->Lose("malformed server list", kRpcProtocolError);
        }
        if (!OpcSucceeded(result)) {
            if (tcp) {
                return result;
            }
            continue;
        }
        servers.insert(servers.end(), found.begin(), found.end());
    }
    return kSOk;
}

OpcResult SocketOpcTransport::CreateServer(const std::string& host, const std::string& classId,
                                           std::unique_ptr<OpcServer>& server) {
    const bool tcp = !IsLocal(host);
    // A hung endpoint's failure tells more than "not registered" does.
    OpcResult failure = tcp ? kRpcServerUnavailable : kClassNotRegistered;
    for (const std::string& endpoint : Endpoints(host)) {
        auto link = Open(loop_, endpoint, tcp, options_.tcpPort, options_.callTimeoutMs, log_);
        if (!link) {
            continue;
        }
        std::string reply;
        OpcResult outcome = link->Call(OpcOp::kCreate, WireWriter().Str(classId).Bytes(), reply);
        if (OpcSucceeded(outcome) && !reply.empty()) {
            outcome = link->Lose("malformed answer", kRpcProtocolError);
        }
        if (OpcSucceeded(outcome)) {
            link->Watch();
            server = std::make_unique<SocketOpcServerObject>(std::move(link));
            return outcome;
        }
        if (tcp || outcome != kClassNotRegistered) {
            failure = outcome;
        }
    }
    return failure;
}

}  // namespace tarvedde

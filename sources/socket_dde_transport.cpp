// The DDE transport over local sockets; see socket_dde_transport.h.
#include "sources/socket_dde_transport.h"

#include <unistd.h>

#include <chrono>

namespace tarvedde {

struct SocketDdeTransport::Conversation {
    DdeHandle handle = 0;
    DdeHandle topic = 0;
    std::string path;
    int fd = -1;
    std::unique_ptr<FdWatch> watch;
    DdeFrameDecoder decoder;
    std::uint32_t nextSequence = 1;
    bool established = false;  // the server accepted it: its end is worth a notification
    bool closed = false;
    bool busy = false;  // a transaction waits on it and reads its socket itself
};

SocketDdeTransport::SocketDdeTransport(EventLoop& loop, std::string directory, DdeLogSink log)
    : loop_(loop), directory_(std::move(directory)), log_(std::move(log)) {}

SocketDdeTransport::~SocketDdeTransport() {
    for (auto& [handle, conv] : conversations_) {
        Close(*conv);
    }
}

DdeHandle SocketDdeTransport::Connect(std::int32_t instance, DdeHandle service, DdeHandle topic) {
    const auto names = ConnectNames(instance, service, topic);
    if (!names) {
        return 0;
    }
    ConversationPtr conv = Open(names->first, names->second);
    if (!conv) {
        return 0;
    }
    conv->handle = nextConversation_++;
    conv->topic = topic;
    std::weak_ptr<Conversation> weak = conv;
    conv->watch = loop_.WatchReadable(conv->fd, [this, weak] { OnReadable(weak); });
    conversations_[conv->handle] = conv;
    return conv->handle;
}

SocketDdeTransport::ConversationPtr SocketDdeTransport::Open(const std::string& service,
                                                             const std::string& topic) {
    auto dir = PrepareDdeDirectory(directory_);
    auto path = dir ? DdeSocketPath(dir.value(), service) : Result<std::string>(dir.error());
    if (!path) {
        log_(path.error().message);
        lastError_ = kDmlErrNoConvEstablished;
        return nullptr;
    }
    auto fd = ConnectDdeSocket(path.value());
    if (!fd) {
        lastError_ = kDmlErrNoConvEstablished;
        return nullptr;  // no server: an everyday outcome the client reports itself
    }
    auto conv = std::make_shared<Conversation>();
    conv->path = path.value();
    conv->fd = fd.value();
    auto reply = Transact(conv, {DdeFrameType::kConnect, 0, 0, topic, {}}, kConnectTimeoutMs,
                          kDmlErrNoConvEstablished);
    if (!reply || reply->code != kDmlErrNoError) {
        Close(*conv);
        lastError_ = kDmlErrNoConvEstablished;
        return nullptr;
    }
    conv->established = true;
    return conv;
}

bool SocketDdeTransport::Disconnect(DdeHandle conversation) {
    auto found = conversations_.find(conversation);
    if (found == conversations_.end()) {
        lastError_ = kDmlErrNoConvEstablished;
        return false;
    }
    ConversationPtr conv = found->second;
    conversations_.erase(found);
    if (!conv->closed) {
        // Best effort: a server that does not read learns it from the closed socket.
        (void)SendAllBytes(conv->fd, EncodeDdeFrame({DdeFrameType::kDisconnect, 0, 0, {}, {}}), 0);
        Close(*conv);
    }
    return true;
}

std::optional<std::string> SocketDdeTransport::ClientTransaction(DdeHandle conversation,
                                                                 DdeHandle item,
                                                                 std::uint32_t format,
                                                                 std::uint32_t type,
                                                                 int timeoutMs) {
    auto itemText = atoms_.Text(item);
    if (!itemText || format != kCfText) {
        lastError_ = kDmlErrInvalidParameter;
        return std::nullopt;
    }
    auto found = conversations_.find(conversation);
    if (found == conversations_.end()) {
        lastError_ = kDmlErrNoConvEstablished;
        return std::nullopt;
    }
    DdeFrameType frameType = DdeFrameType::kRequest;
    std::uint32_t timeoutError = kDmlErrDataAckTimeout;
    if (type == kXtypAdvStart || type == kXtypAdvStop) {
        frameType = type == kXtypAdvStart ? DdeFrameType::kAdviseStart : DdeFrameType::kAdviseStop;
        timeoutError = kDmlErrAdvAckTimeout;
    } else if (type != kXtypRequest) {
        lastError_ = kDmlErrNotProcessed;
        return std::nullopt;
    }
    ConversationPtr conv = found->second;
    if (conv->closed) {
        lastError_ = kDmlErrNoConvEstablished;  // lost; only its disconnect callback runs
        return std::nullopt;
    }
    auto reply = Transact(conv, {frameType, 0, 0, *itemText, {}}, timeoutMs, timeoutError);
    if (!reply) {
        return std::nullopt;
    }
    if (reply->code != kDmlErrNoError) {
        lastError_ = reply->code;
        return std::nullopt;
    }
    return frameType == DdeFrameType::kRequest ? reply->data : std::string();
}

std::optional<DdeMessage> SocketDdeTransport::Transact(const ConversationPtr& conv,
                                                       DdeMessage request, int timeoutMs,
                                                       std::uint32_t timeoutError) {
    if (conv->busy) {
        lastError_ = kDmlErrBusy;  // DDEML refuses a transaction from inside another one
        return std::nullopt;
    }
    request.sequence = conv->nextSequence++;
    std::string frame = EncodeDdeFrame(request);
    if (frame.empty()) {
        lastError_ = kDmlErrInvalidParameter;
        return std::nullopt;
    }
    using SteadyClock = std::chrono::steady_clock;
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    Status sent = SendAllBytes(conv->fd, frame, timeoutMs);
    if (!sent) {
        Lose(conv, sent.error().message);
        lastError_ = kDmlErrServerDied;
        return std::nullopt;
    }
    conv->busy = true;
    std::optional<DdeMessage> reply;
    bool timedOut = false;
    for (;;) {
        DdeMessage message;
        std::string error;
        auto outcome = conv->decoder.Next(message, error);
        if (outcome == DdeFrameDecoder::Outcome::kError) {
            Lose(conv, "malformed frame: " + error);
            break;
        }
        if (outcome == DdeFrameDecoder::Outcome::kMessage) {
            if (message.type == DdeFrameType::kReply && message.sequence == request.sequence) {
                reply = std::move(message);
                break;
            }
            Dispatch(conv, message);
            if (conv->closed) {
                break;
            }
            continue;
        }
        auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        if (left <= 0) {
            timedOut = true;
            if (request.type != DdeFrameType::kRequest) {
                // A server that leaves a link unanswered is hung: without this each further
                // item of the link setup would wait its full time-out, minutes in all, and
                // the items would stay unlinked. Losing it lets the retry timer link anew.
                Lose(conv,
                     "no answer to a link request within " + std::to_string(timeoutMs) + " ms");
            }
            lastError_ = timeoutError;
            break;
        }
        if (!WaitReadable(conv->fd, static_cast<int>(left))) {
            continue;
        }
        std::string bytes;
        if (ReadSome(conv->fd, bytes, error) == ReadOutcome::kClosed) {
            Lose(conv, error);
            break;
        }
        conv->decoder.Feed(bytes);
    }
    conv->busy = false;
    if (conv->closed) {
        if (!timedOut) {
            lastError_ = conv->established ? kDmlErrServerDied : kDmlErrNoConvEstablished;
        }
        return std::nullopt;
    }
    if (conv->decoder.HasBufferedBytes()) {
        ScheduleDrain(conv);  // frames read behind the reply: the socket will not tell again
    }
    return reply;
}

void SocketDdeTransport::OnReadable(const std::weak_ptr<Conversation>& weak) {
    ConversationPtr conv = weak.lock();
    if (!conv || conv->closed || conv->busy) {
        return;
    }
    std::string bytes;
    std::string error;
    ReadOutcome outcome = ReadSome(conv->fd, bytes, error);
    if (outcome == ReadOutcome::kClosed) {
        Lose(conv, error);
        return;
    }
    conv->decoder.Feed(bytes);
    DrainFrames(conv);
}

bool SocketDdeTransport::DrainFrames(const ConversationPtr& conv) {
    while (!conv->closed) {
        DdeMessage message;
        std::string error;
        auto outcome = conv->decoder.Next(message, error);
        if (outcome == DdeFrameDecoder::Outcome::kNeedMore) {
            return true;
        }
        if (outcome == DdeFrameDecoder::Outcome::kError) {
            Lose(conv, "malformed frame: " + error);
            return false;
        }
        Dispatch(conv, message);
    }
    return false;
}

void SocketDdeTransport::Dispatch(const ConversationPtr& conv, const DdeMessage& message) {
    switch (message.type) {
        case DdeFrameType::kData: {
            // Only names the client holds a handle for can be linked items; an atom for
            // every other name a peer invents would grow without bound.
            const DdeHandle item = atoms_.Find(message.name);
            if (item != 0) {
                Notify({kXtypAdvData, kCfText, conv->handle, conv->topic, item, message.data});
            }
            return;
        }
        case DdeFrameType::kDisconnect:
            Lose(conv, "the server ended the conversation");
            return;
        case DdeFrameType::kReply:
            return;  // the late answer of a transaction that timed out
        default:
            Lose(conv, "unexpected frame type " + std::to_string(static_cast<int>(message.type)));
            return;
    }
}

void SocketDdeTransport::ScheduleDrain(const ConversationPtr& conv) {
    std::weak_ptr<Conversation> weak = conv;
    loop_.Post([this, weak] {
        // An expired conversation means this transport may be gone too: touch nothing.
        ConversationPtr alive = weak.lock();
        if (alive && !alive->closed && !alive->busy) {
            DrainFrames(alive);
        }
    });
}

void SocketDdeTransport::Lose(const ConversationPtr& conv, const std::string& why) {
    if (conv->closed) {
        return;
    }
    if (conv->established || why.find("malformed") != std::string::npos) {
        log_("DDE conversation with " + conv->path + " lost: " + why);
    }
    Close(*conv);
    if (!conv->established) {
        return;
    }
    // As in DDEML the handle stays valid until the disconnect callback returns, so the
    // client's own DdeDisconnect inside it succeeds.
    Notify({kXtypDisconnect, 0, conv->handle, conv->topic, 0, {}});
    conversations_.erase(conv->handle);
}

void SocketDdeTransport::Close(Conversation& conv) {
    conv.closed = true;
    conv.watch.reset();
    if (conv.fd >= 0) {
        close(conv.fd);
        conv.fd = -1;
    }
}

void SocketDdeTransport::EndConversations() {
    while (!conversations_.empty()) {
        Disconnect(conversations_.begin()->first);
    }
}

}  // namespace tarvedde

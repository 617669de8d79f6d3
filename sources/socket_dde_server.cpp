// The server side of the local DDE socket protocol; see socket_dde_server.h.
#include "sources/socket_dde_server.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "sources/dde_atom_table.h"
#include "sources/dde_transport.h"

namespace tarvedde {
namespace {

constexpr std::size_t kMaxQueuedBytes = 1024 * 1024;

}  // namespace

struct SocketDdeServer::Client {
    int id = 0;
    int fd = -1;
    std::unique_ptr<FdWatch> watch;
    DdeFrameDecoder decoder;
    bool connected = false;
    std::map<std::string, std::string> links;  // name key -> the client's spelling
    std::string outbox;
};

Result<std::unique_ptr<SocketDdeServer>> SocketDdeServer::Create(EventLoop& loop,
                                                                 const std::string& directory,
                                                                 const std::string& service,
                                                                 const std::string& topic,
                                                                 DdeLogSink log) {
    auto dir = PrepareDdeDirectory(directory);
    if (!dir) {
        return dir.error();
    }
    auto path = DdeSocketPath(dir.value(), service);
    if (!path) {
        return path.error();
    }
    auto fd = ListenDdeSocket(path.value(), "a DDE server");
    if (!fd) {
        return fd.error();
    }
    return std::unique_ptr<SocketDdeServer>(
        new SocketDdeServer(loop, path.value(), topic, fd.value(), std::move(log)));
}

SocketDdeServer::SocketDdeServer(EventLoop& loop, std::string path, std::string topic, int listenFd,
                                 DdeLogSink log)
    : loop_(loop),
      path_(std::move(path)),
      topicKey_(DdeNameKey(topic)),
      listenFd_(listenFd),
      log_(std::move(log)) {
    listenWatch_ = loop_.WatchReadable(listenFd_, [this] { Accept(); });
}

SocketDdeServer::~SocketDdeServer() {
    for (auto& [id, client] : clients_) {
        client->watch.reset();
        close(client->fd);
    }
    listenWatch_.reset();
    close(listenFd_);
    unlink(path_.c_str());
}

void SocketDdeServer::Accept() {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    int id = nextClient_++;
    auto client = std::make_unique<Client>();
    client->id = id;
    client->fd = fd;
    client->watch = loop_.WatchReadable(fd, [this, id] { OnReadable(id); });
    clients_[id] = std::move(client);
}

void SocketDdeServer::OnReadable(int id) {
    auto found = clients_.find(id);
    if (found == clients_.end()) {
        return;
    }
    std::string bytes;
    std::string error;
    if (ReadSome(found->second->fd, bytes, error) == ReadOutcome::kClosed) {
        Drop(id, "");  // the client went away: nothing worth a log line
        return;
    }
    found->second->decoder.Feed(bytes);
    Process(id);
}

void SocketDdeServer::Process(int id) {
    while (!stalled_) {
        auto found = clients_.find(id);
        if (found == clients_.end()) {
            return;
        }
        DdeMessage message;
        std::string error;
        auto outcome = found->second->decoder.Next(message, error);
        if (outcome == DdeFrameDecoder::Outcome::kNeedMore) {
            return;
        }
        if (outcome == DdeFrameDecoder::Outcome::kError) {
            Drop(id, "malformed frame: " + error);
            return;
        }
        if (message.type == DdeFrameType::kDisconnect) {
            Drop(id, "");
            return;
        }
        if (message.type == DdeFrameType::kReply || message.type == DdeFrameType::kData) {
            Drop(id, "a server's frame from a client");
            return;
        }
        if (!found->second->connected && message.type != DdeFrameType::kConnect) {
            Drop(id, "transaction before connect");
            return;
        }
        Handle(*found->second, message);
        if (found->second->outbox.size() > kMaxQueuedBytes) {
            Drop(id, "the client does not read its answers");
            return;
        }
    }
}

void SocketDdeServer::Handle(Client& client, const DdeMessage& message) {
    std::string key = DdeNameKey(message.name);
    auto item = items_.find(key);
    bool known = item != items_.end();
    switch (message.type) {
        case DdeFrameType::kConnect: {
            bool accept = !client.connected && !refusing_ && key == topicKey_;
            client.connected = accept;
            Reply(client, message.sequence, accept ? kDmlErrNoError : kDmlErrNoConvEstablished, {});
            return;
        }
        case DdeFrameType::kAdviseStart:
            Reply(client, message.sequence, known ? kDmlErrNoError : kDmlErrNotProcessed, {});
            if (known) {
                client.links[key] = message.name;
                if (item->second.value) {
                    Send(client, EncodeDdeFrame({DdeFrameType::kData, 0, 0, message.name,
                                                 *item->second.value + '\0'}));
                }
            }
            return;
        case DdeFrameType::kAdviseStop:
            Reply(client, message.sequence,
                  client.links.erase(key) > 0 ? kDmlErrNoError : kDmlErrNotProcessed, {});
            return;
        case DdeFrameType::kRequest:
            if (!known && answerer_ != nullptr) {
                AnswerUnknown(client, message);
                return;
            }
            if (!known) {
                Reply(client, message.sequence, kDmlErrNotProcessed, {});
                return;
            }
            Reply(client, message.sequence, kDmlErrNoError,
                  item->second.requestText.value_or(item->second.value.value_or("")) + '\0');
            return;
        default:
            return;
    }
}

void SocketDdeServer::AnswerUnknown(Client& client, const DdeMessage& message) {
    const DdeRequestAnswerer::Answer answer = answerer_->AnswerRequest(message.name);
    const std::uint32_t code = answer.text ? kDmlErrNoError : kDmlErrNotProcessed;
    std::string data = answer.text ? *answer.text + '\0' : std::string();
    if (answer.delayMs <= 0) {
        Reply(client, message.sequence, code, std::move(data));
        return;
    }
    std::erase_if(delayedAnswers_, [](const auto& timer) { return !timer->Enabled(); });
    auto self = std::make_shared<Timer*>(nullptr);
    auto timer = loop_.CreateTimer(
        "answer", answer.delayMs,
        [this, self, id = client.id, sequence = message.sequence, code, data = std::move(data)] {
            (*self)->SetEnabled(false);
            auto found = clients_.find(id);
            if (found != clients_.end()) {
                Reply(*found->second, sequence, code, data);
            }
        });
    *self = timer.get();
    timer->SetEnabled(true);
    delayedAnswers_.push_back(std::move(timer));
}

void SocketDdeServer::Reply(Client& client, std::uint32_t sequence, std::uint32_t code,
                            std::string data) {
    Send(client, EncodeDdeFrame({DdeFrameType::kReply, sequence, code, {}, std::move(data)}));
}

void SocketDdeServer::Send(Client& client, const std::string& frame) {
    client.outbox += frame;
    while (!client.outbox.empty() && client.outbox.size() <= kMaxQueuedBytes) {
        ssize_t sent = send(client.fd, client.outbox.data(), client.outbox.size(),
                            MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent <= 0) {
            break;  // full or gone: the next send or read finds out
        }
        client.outbox.erase(0, static_cast<std::size_t>(sent));
    }
}

void SocketDdeServer::Publish(const std::string& item, const std::string& text) {
    std::string key = DdeNameKey(item);
    items_[key].value = text;
    if (stalled_) {
        return;
    }
    std::vector<int> overflowing;
    for (auto& [id, client] : clients_) {
        auto link = client->links.find(key);
        if (link != client->links.end()) {
            Send(*client, EncodeDdeFrame({DdeFrameType::kData, 0, 0, link->second, text + '\0'}));
        }
        if (client->outbox.size() > kMaxQueuedBytes) {
            overflowing.push_back(id);
        }
    }
    for (int id : overflowing) {
        Drop(id, "the client does not read its data");
    }
}

void SocketDdeServer::SetRequestText(const std::string& item, const std::string& text) {
    items_[DdeNameKey(item)].requestText = text;
}

void SocketDdeServer::DropAll() {
    std::vector<int> ids;
    for (auto& [id, client] : clients_) {
        Send(*client, EncodeDdeFrame({DdeFrameType::kDisconnect, 0, 0, {}, {}}));
        ids.push_back(id);
    }
    for (int id : ids) {
        Drop(id, "");
    }
}

void SocketDdeServer::SetStalled(bool stalled) {
    stalled_ = stalled;
    if (stalled) {
        return;
    }
    std::vector<int> ids;
    for (auto& [id, client] : clients_) {
        ids.push_back(id);
    }
    for (int id : ids) {
        Process(id);
    }
}

void SocketDdeServer::SendGarbage() {
    for (auto& [id, client] : clients_) {
        Send(*client, std::string("\xFF\xFF\xFF\xFF\x06garbage", 12));
    }
}

void SocketDdeServer::Drop(int id, const std::string& why) {
    auto found = clients_.find(id);
    if (found == clients_.end()) {
        return;
    }
    if (!why.empty()) {
        log_("DDE client dropped: " + why);
    }
    found->second->watch.reset();
    close(found->second->fd);
    clients_.erase(found);
}

}  // namespace tarvedde

// The server side of the local DDE socket protocol: one service with one topic, served
// on the event loop's thread from a Unix-domain socket in the DDE directory. plantsim
// runs it; tests run it in a thread of their own. Known items have a value or a request
// text; a hot link gets the current value at once and every published change after.
// Clients are not trusted: a malformed frame, a frame out of order or a client that
// stops reading (over 1 MiB queued) ends its conversation, with a log line.
// Fault injection (for tests of the client): refuse connects, stall (read nothing
// processed, send nothing), garbage frames, dropping every conversation.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/result.h"
#include "sources/dde_socket_io.h"
#include "sources/dde_wire_protocol.h"

namespace tarvedde {

// Answers REQUESTs for items the server does not know (plantsim's AQASYS face): the text,
// or none for "no data", and how long the answer waits on the loop.
class DdeRequestAnswerer {
public:
    struct Answer {
        std::optional<std::string> text;
        int delayMs = 0;
    };
    virtual Answer AnswerRequest(const std::string& item) = 0;

protected:
    ~DdeRequestAnswerer() = default;
};

class SocketDdeServer {
public:
    // Listens at the service's socket path in `directory` (empty: the default DDE
    // directory). A stale socket file is replaced; one with a live server behind it fails.
    static Result<std::unique_ptr<SocketDdeServer>> Create(EventLoop& loop,
                                                           const std::string& directory,
                                                           const std::string& service,
                                                           const std::string& topic,
                                                           DdeLogSink log);
    // Ends every conversation and removes the socket file.
    ~SocketDdeServer();
    SocketDdeServer(const SocketDdeServer&) = delete;
    SocketDdeServer& operator=(const SocketDdeServer&) = delete;

    const std::string& SocketPath() const { return path_; }
    // Sets the value (the item becomes known) and sends text + NUL to its hot links.
    void Publish(const std::string& item, const std::string& text);
    // What REQUEST answers for the item instead of its value.
    void SetRequestText(const std::string& item, const std::string& text);
    // Asked for every REQUEST of an unknown item; it must outlive the server.
    void SetRequestAnswerer(DdeRequestAnswerer* answerer) { answerer_ = answerer; }
    // Sends a disconnect frame to every conversation and closes them.
    void DropAll();
    void SetRefusing(bool refusing) { refusing_ = refusing; }
    // While stalled, requests stay unanswered and changes unsent; afterwards the queued
    // requests are answered.
    void SetStalled(bool stalled);
    // A frame header announcing 4 GiB to every conversation.
    void SendGarbage();
    std::size_t ConversationCount() const { return clients_.size(); }

private:
    struct Item {
        std::optional<std::string> value;
        std::optional<std::string> requestText;
    };
    struct Client;

    SocketDdeServer(EventLoop& loop, std::string path, std::string topic, int listenFd,
                    DdeLogSink log);
    void Accept();
    void OnReadable(int id);
    void Process(int id);
    void Handle(Client& client, const DdeMessage& message);
    void Reply(Client& client, std::uint32_t sequence, std::uint32_t code, std::string data);
    void Send(Client& client, const std::string& frame);
    void Drop(int id, const std::string& why);
    // The answer of an unknown item's REQUEST, at once or after the answerer's delay.
    void AnswerUnknown(Client& client, const DdeMessage& message);

    EventLoop& loop_;
    std::string path_;
    std::string topicKey_;
    int listenFd_;
    DdeLogSink log_;
    std::unique_ptr<FdWatch> listenWatch_;
    std::map<std::string, Item> items_;  // by name key
    std::map<int, std::unique_ptr<Client>> clients_;
    int nextClient_ = 1;
    bool refusing_ = false;
    bool stalled_ = false;
    DdeRequestAnswerer* answerer_ = nullptr;
    // Delayed answers waiting on the loop; a fired one is dropped at the next request.
    std::vector<std::unique_ptr<Timer>> delayedAnswers_;
};

}  // namespace tarvedde

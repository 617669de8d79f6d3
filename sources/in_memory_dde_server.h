// An in-memory DDE server for tests and the scenario runner, and the transport that talks
// to it. It answers as the socket transport with SocketDdeServer or plantsim does (one
// contract test suite runs against both): Publish delivers XTYP_ADVDATA to every
// conversation holding a hot link on the item before it returns, SetDown(true) delivers
// XTYP_DISCONNECT to every conversation, a new hot link gets the item's current value
// after the advise start returns (through the event loop when the transport has one), and
// a link request a stalled server leaves unanswered ends the conversation. Names of services,
// topics and items compare without regard to ASCII case. Callbacks may call back into the transport
// (disconnect, reconnect, stop a link); delivery copes with conversations that vanish on
// the way. As in DDEML, a conversation's handle stays valid until its XTYP_DISCONNECT
// callback returns, so DdeDisconnect from inside that callback succeeds. The server must
// outlive every transport attached to it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/event_loop.h"
#include "platform/virtual_clock.h"
#include "sources/dde_atom_table.h"
#include "sources/dde_client_instance.h"
#include "sources/dde_transport.h"

namespace tarvedde {

class InMemoryDdeServer {
public:
    // What the server tells a conversation: data of an advised item, or its end.
    struct Sink {
        // Answers DDE_FACK when the client took the data.
        std::function<std::uint32_t(const std::string& item, const std::string& data)> onData;
        std::function<void()> onDisconnect;
    };

    // Makes service/topic answer connects (Publish and SetRequestText do so too).
    void AddTopic(const std::string& service, const std::string& topic);
    // Answers service/topic and knows the items, none with a value yet.
    void ServeItems(const std::string& service, const std::string& topic,
                    const std::vector<std::string>& items);
    // Sets the item's value (known from now on) and sends text + NUL to its hot links;
    // returns how many of them acknowledged it.
    int Publish(const std::string& service, const std::string& topic, const std::string& item,
                const std::string& text);
    // What REQUEST answers for the item (known from now on); without it, the value.
    void SetRequestText(const std::string& service, const std::string& topic,
                        const std::string& item, const std::string& text);
    // Down ends every conversation and refuses connects until up again.
    void SetDown(bool down);
    bool Down() const { return down_; }
    // While stalled, transactions go unanswered: a request times out, a link request
    // (advise start or stop) times out and the transport ends the conversation.
    void SetStalled(bool stalled) { stalled_ = stalled; }
    // From now on each advise start keeps the client's synchronous transaction waiting
    // `delayMs` of the clock's time before the answer; a delay that reaches the request's
    // time-out is a time-out, as while stalled.
    void DelayLinkAnswers(VirtualClock& clock, int delayMs) {
        delayClock_ = &clock;
        linkAnswerDelayMs_ = delayMs;
    }

    std::size_t ConversationCount() const { return conversations_.size(); }
    // Hot links on the item over all conversations.
    int LinkCount(const std::string& service, const std::string& topic,
                  const std::string& item) const;

    // The transport's side. Connect gives 0 and sets `error` when nobody answers.
    DdeHandle Connect(const std::string& service, const std::string& topic, Sink sink,
                      std::uint32_t& error);
    void Disconnect(DdeHandle conversation);
    // DMLERR code; kDmlErrNoError when done. `data` receives a REQUEST's answer, or for an
    // advise start the value (text + NUL) the new link is owed, if the item has one.
    std::uint32_t Transact(DdeHandle conversation, const std::string& item, std::uint32_t type,
                           std::string& data);
    bool Exists(DdeHandle conversation) const { return conversations_.count(conversation) > 0; }
    // Spends an advise start's wait for its answer on the clock; false when the time-out
    // came first.
    bool AwaitLinkAnswer(int timeoutMs);

private:
    struct Item {
        std::optional<std::string> value;
        std::optional<std::string> requestText;
    };
    struct Topic {
        std::map<std::string, Item> items;  // by name key
    };
    struct Conversation {
        std::string topicKey;
        std::set<std::string> links;  // item name keys
        Sink sink;
    };
    static std::string TopicKey(const std::string& service, const std::string& topic);
    Item& ItemOf(const std::string& service, const std::string& topic, const std::string& item);

    std::map<std::string, Topic> topics_;  // by "SERVICE|TOPIC"
    std::map<DdeHandle, Conversation> conversations_;
    DdeHandle nextConversation_ = 0x1000;
    bool down_ = false;
    bool stalled_ = false;
    VirtualClock* delayClock_ = nullptr;
    int linkAnswerDelayMs_ = 0;
};

// DdeTransport over an InMemoryDdeServer; one instance at a time.
class InMemoryDdeTransport : public DdeClientInstance {
public:
    // Without a loop, a new link's current value arrives before the advise start returns;
    // with one, after it, as from a server process. The loop must outlive the transport.
    explicit InMemoryDdeTransport(InMemoryDdeServer& server, EventLoop* loop = nullptr)
        : server_(server), loop_(loop) {}
    ~InMemoryDdeTransport() override;
    InMemoryDdeTransport(const InMemoryDdeTransport&) = delete;
    InMemoryDdeTransport& operator=(const InMemoryDdeTransport&) = delete;

    // From now on DdeInitialize registers nothing, answers `error` and leaves `instance`
    // in the caller's identifier (DDEML leaves 0 there).
    void FailInitialize(std::uint32_t error, std::int32_t instance = 0) {
        initializeFailure_ = {error, instance};
    }
    // Tells the watcher each conversation call as one line: "Connect <service> <topic>",
    // "AdvStart|AdvStop|Request <item> <time-out ms>", "Disconnect", "Uninitialize".
    void WatchCalls(std::function<void(const std::string&)> watcher) {
        watcher_ = std::move(watcher);
    }
    // The handle of a text while the client holds a reference to it; 0 once released.
    DdeHandle LiveStringHandle(const std::string& text) const { return atoms_.Find(text); }

    std::uint32_t Initialize(std::int32_t& instance, Callback callback) override;
    bool Uninitialize(std::int32_t instance) override;
    DdeHandle Connect(std::int32_t instance, DdeHandle service, DdeHandle topic) override;
    bool Disconnect(DdeHandle conversation) override;
    std::optional<std::string> ClientTransaction(DdeHandle conversation, DdeHandle item,
                                                 std::uint32_t format, std::uint32_t type,
                                                 int timeoutMs) override;

private:
    struct InitializeFailure {
        std::uint32_t error;
        std::int32_t instance;
    };
    void EndConversations() override;
    void Watch(const std::string& call) const;
    // As the socket transport after a link request's time-out.
    void Lose(DdeHandle conversation);
    void SendLinkValue(DdeHandle conversation, const std::string& item, const std::string& data);

    InMemoryDdeServer& server_;
    EventLoop* loop_;
    // Posted deliveries hold it weakly: a transport gone meanwhile is not touched.
    std::shared_ptr<InMemoryDdeTransport*> self_ = std::make_shared<InMemoryDdeTransport*>(this);
    std::optional<InitializeFailure> initializeFailure_;
    std::function<void(const std::string&)> watcher_;
    std::map<DdeHandle, DdeHandle> conversationTopics_;  // ours, with their topic handle
};

}  // namespace tarvedde

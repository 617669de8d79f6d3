// DdeTransport over the Windows DDE Management Library (user32), as a client only.
// DDEML calls back through hidden windows of the thread that made the instance, so
// notifications arrive while the event loop pumps that thread's messages
// (MessageEventLoop) or while a transaction waits here; never from another thread.
// Each conversation has a DDEML instance of its own: Wine's DDEML refuses a second
// conversation with the same service and topic on one instance. String handles are the
// shared atom table's; a conversation makes DDEML string handles for them when it needs
// them. Transactions run asynchronously in DDEML and this transport waits for them,
// pumping DDE messages: Wine ends a synchronous wait at the first message that is not its
// answer, such as the data of a link set up just before. Data is CF_TEXT.
// A server that ends a conversation gives XTYP_DISCONNECT exactly once; a conversation the
// client ends itself gives none. Wine tells a client nothing when its server ends a
// conversation or dies, so a timer checks each conversation's state and its server's
// window and reports the end itself. Links are kept per conversation, so data for an item
// not linked there never reaches the callback, and ending a link that is not there is
// refused without asking the server. A link request the server leaves unanswered ends the
// conversation, as in the socket transport; ending its DDEML instance a moment later then
// waits for the hung server once (Wine: at most 10 s). Windows builds only.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "sources/dde_client_instance.h"
#include "sources/dde_socket_io.h"

namespace tarvedde {

class DdemlTransport : public DdeClientInstance {
public:
    // The loop must outlive the transport.
    DdemlTransport(EventLoop& loop, DdeLogSink log);
    ~DdemlTransport() override;
    DdemlTransport(const DdemlTransport&) = delete;
    DdemlTransport& operator=(const DdemlTransport&) = delete;

    // Fails with DDEML's own code (and instance 0) when DdeInitializeW refuses.
    std::uint32_t Initialize(std::int32_t& instance, Callback callback) override;
    DdeHandle Connect(std::int32_t instance, DdeHandle service, DdeHandle topic) override;
    bool Disconnect(DdeHandle conversation) override;
    std::optional<std::string> ClientTransaction(DdeHandle conversation, DdeHandle item,
                                                 std::uint32_t format, std::uint32_t type,
                                                 int timeoutMs) override;

    // How often the conversations' state is checked.
    static constexpr int kWatchIntervalMs = 250;

    // DDEML's callback for every transport of the calling thread, with DDEML's arguments.
    // Returns the HDDEDATA value to hand back.
    static std::uintptr_t Dispatch(unsigned type, unsigned format, void* conversation, void* item,
                                   void* data, std::uintptr_t data1);

private:
    struct Conversation {
        unsigned long instance = 0;
        void* hconv = nullptr;
        DdeHandle topic = 0;
        std::string name;                    // "service|topic", for the log
        std::map<DdeHandle, void*> strings;  // atom -> string handle of the instance
        std::set<DdeHandle> links;
        bool lost = false;  // the server ended it; only the disconnect callback runs
    };
    // The asynchronous transaction being waited for.
    struct Pending {
        void* hconv = nullptr;
        unsigned long id = 0;
        bool request = false;
        bool done = false;
        bool accepted = false;
        std::string data;
    };
    using ConversationMap = std::map<DdeHandle, Conversation>;

    void EndConversations() override;
    ConversationMap::iterator Find(void* hconv);
    std::uintptr_t OnNotification(unsigned type, unsigned format, Conversation& conv,
                                  DdeHandle handle, void* item, void* data, std::uintptr_t id);
    void* StringHandle(Conversation& conv, DdeHandle atom);
    // Dispatches the DDE messages waiting for this thread, until `pending_` is done.
    void PumpDdeMessages();
    // Waits for `pending_`; false on time-out or when the conversation ended meanwhile.
    bool Wait(DdeHandle conversation, int timeoutMs);
    // The conversation still stands: DDEML deems it connected and its server's window exists.
    static bool Alive(const Conversation& conv);
    void Watch();
    // Ends a conversation and tells the callback.
    void Lose(DdeHandle conversation, const std::string& why);
    // DDEML instances are ended outside of their own callbacks, here.
    void Retire(unsigned long instance);
    void EndRetired();
    void UpdateWatch();

    EventLoop& loop_;
    DdeLogSink log_;
    std::unique_ptr<Timer> watch_;
    ConversationMap conversations_;
    std::vector<unsigned long> retired_;
    std::optional<Pending> pending_;
    DdeHandle nextConversation_ = 0x1000;
};

}  // namespace tarvedde

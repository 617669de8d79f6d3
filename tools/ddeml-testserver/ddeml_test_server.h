// A DDE server of ours over the real DDEML server API, so the Windows tests reach a real
// DDEML conversation: one service and topic, items with a value (sent on every advise
// link: at once after the link starts, then on each change) and an optional request
// text, and commands to change values, to end every conversation and to refuse connects.
// It lives on the thread that creates it, which must pump that thread's window messages;
// other threads hand it work through Post. Windows builds only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "platform/result.h"

namespace tarvedde {

class DdemlTestServer {
public:
    // Registers the service; fails when DDEML or the service name refuses.
    static Result<std::unique_ptr<DdemlTestServer>> Create(const std::string& service,
                                                           const std::string& topic);
    // Ends every conversation (each client gets XTYP_DISCONNECT).
    ~DdemlTestServer();
    DdemlTestServer(const DdemlTestServer&) = delete;
    DdemlTestServer& operator=(const DdemlTestServer&) = delete;

    // `text`: the CF_TEXT bytes without the closing NUL, which is added.
    void Publish(const std::string& item, const std::string& text);
    // What a request for `item` answers instead of its value.
    void SetRequestText(const std::string& item, const std::string& text);
    // Ends every conversation, as a server that closes its topic does.
    void DropAll();
    // While refusing, connects fail as if no server ran.
    void SetRefusing(bool refusing) { refusing_ = refusing; }
    std::size_t ConversationCount() const { return conversations_.size(); }

    // One command line: "set ITEM TEXT", "request ITEM TEXT", "drop", "refuse", "accept".
    // TEXT is the rest of the line. False with `error` for anything else.
    bool Execute(const std::string& line, std::string& error);

    // Runs `task` on the server's thread; from any thread. It keeps its order with the
    // DDE messages that reach the server after it.
    void Post(std::function<void()> task);

    // DDEML's callback for the server of the calling thread.
    static std::uintptr_t Dispatch(unsigned type, unsigned format, void* conversation, void* topic,
                                   void* item);

private:
    struct Item {
        std::string value;
        bool hasValue = false;
        std::string requestText;
        bool hasRequestText = false;
        unsigned generation = 0;  // counts the value's changes
    };
    DdemlTestServer(unsigned long instance, void* service, void* topic, void* window);
    std::uintptr_t OnTransaction(unsigned type, unsigned format, void* conversation, void* topic,
                                 void* item);
    Item* FindItem(void* item);
    std::uintptr_t DataHandle(void* item, const std::string& text);
    void Advise(const std::string& item);

    unsigned long instance_;
    void* service_;
    void* topic_;
    void* window_;  // a message-only window that runs posted tasks
    bool refusing_ = false;
    std::map<std::string, Item> items_;  // by upper-case name
    std::set<void*> conversations_;
    // The generation each link last received, so a new link gets the current value
    // without the others getting it twice.
    std::map<std::pair<void*, std::string>, unsigned> sent_;
};

}  // namespace tarvedde

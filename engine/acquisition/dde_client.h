// The DDE client: one conversation with the plant's server (service and topic from the
// settings), a hot advise link per item, and the data notification that stores each
// item's newest value text, hands the parsed value to the sample integrator and writes
// the value exports. Runs on the event loop's thread only;
// the transport calls back on it, also during a synchronous transaction.
// Guarantees: no failure of the transport or of an export stops acquisition: each is
// logged and the next step runs. A slow server never holds the loop for long: the link
// set-up goes on over loop turns once a turn has spent its share. Durations come from the elapsed
// clock, so clock steps and daylight-saving changes never add or remove integrated time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/acquisition/sample_integrator.h"
#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/model/main_window_model.h"
#include "outputs/value_export_files.h"
#include "platform/event_loop.h"
#include "sources/dde_transport.h"

namespace tarvedde {

// Told when a link set-up that went on over later loop turns has done its last item or
// lost its conversation.
class LinkSetUpEnd {
public:
    virtual void LinkSetUpEnded() = 0;

protected:
    ~LinkSetUpEnd() = default;
};

// Told when the server ended the conversation while acquisition ran and no link set-up
// was going on (a set-up's end tells its own outcome).
class ServerDisconnect {
public:
    virtual void ServerDisconnected() = 0;

protected:
    ~ServerDisconnect() = default;
};

// A request's answer: the data handle's bytes, or the DDE error that came instead.
struct DdeRequestAnswer {
    std::optional<std::string> data;
    std::uint32_t error = kDmlErrNoError;
};

class DdeClient {
public:
    // Without a transport (nullptr), and for an OPC installation, the connection steps
    // succeed at once without a server, so LinkItems only sets up the items. Received
    // samples go to `integrator`; the link summary is shown in `window`.
    DdeClient(DdeTransport* transport, Configuration& config, SampleIntegrator& integrator,
              Host& host, ProgramLog& log, const Locale& locale, MainWindowModel& window);
    DdeClient(const DdeClient&) = delete;
    DdeClient& operator=(const DdeClient&) = delete;

    bool InitDDE();
    bool ConnectDDE();
    // The connect check of an AQASYS start, with its own messages.
    bool CheckServer();
    bool AdviseItem(int item);
    // Outcome in ConnectionLost() and ItemsLinked(); a conversation lost on the way ends
    // the set-up as a failed connect. True when it is known at return. A server that
    // answers slowly gets the remaining items one turn of the loop at a time: false then,
    // and `end` is told once the last item is done or the conversation is lost.
    bool LinkItems(LinkSetUpEnd* end = nullptr);
    bool Linking() const { return linkSetUp_.has_value(); }
    // Ends a running link set-up before its next item, without its summary and without
    // telling its end; the items linked so far stay linked until UnlinkItems.
    void StopLinking();
    bool StopAdvise(int item);
    // The item's server item changed: while the links stand (or the running set-up has
    // passed the item) its old link ends and it is set up and linked as the set-up does.
    // True when the new link stands; for OPC, when the item is set up for acquisition.
    // A failed link is logged and shown as at the set-up; without standing links the next
    // set-up takes the new server item.
    bool RelinkItem(int item);
    void UnlinkItems();
    void DisconnectDDE();
    void CloseDDE();
    // One synchronous request of `item` on the conversation (the AQASYS retrieval's).
    // Without a transport, and for an OPC installation, the server knows nothing.
    DdeRequestAnswer RequestItem(const std::string& item, int timeoutMs);
    // Logs the instance's last DDE error after `context`.
    void DDECheck(std::string_view context);

    void TellServerDisconnects(ServerDisconnect* watcher) { serverDisconnect_ = watcher; }

    // The transport's notification entry: data, disconnect and anything else.
    std::uint32_t Callback(const DdeNotification& notification);

    DdeHandle Conversation() const { return conversation_; }
    std::int32_t Instance() const { return instance_; }

    // Each item's link: the server item, its handle and the newest value text.
    const PerItem<ItemSource>& Sources() const { return sources_; }
    // Another source kind's value text: the cycle reads every kind's values from here.
    void StoreNewestText(int item, std::string text) {
        sources_[item].newestText = std::move(text);
    }
    bool ConnectionLost() const { return connectionLost_; }
    bool ItemsLinked() const { return itemsLinked_; }
    // Set by the acquisition start, cleared by its stop.
    bool AcquisitionStarted() const { return acquisitionStarted_; }
    void MarkAcquisitionStarted() { acquisitionStarted_ = true; }
    // The acquisition's stop: a lost connection is no longer retried.
    void MarkAcquisitionStopped() {
        connectionLost_ = false;
        acquisitionStarted_ = false;
    }
    // The frame's verdicts without the server: links ended, or an incomplete configuration
    // that counts as a lost connection.
    void MarkUnlinked() { itemsLinked_ = false; }
    void MarkUnreachable() {
        itemsLinked_ = false;
        connectionLost_ = true;
    }

private:
    friend struct DdeClientTestAccess;

    bool ShortCut() const;
    DdeHandle OpenConversation();
    void ShowLinkSummary(int linked, int mirrored, int switchedOff);
    // The summary from the links that stand now.
    void ShowStandingLinks();
    void EndItemLink(int item);
    // Failed: the conversation was lost on the way.
    enum class LinkProgress { Yielded, Done, Stopped, Failed };
    // Links items from the set-up's next one on until all are done or the turn has spent
    // its share of time.
    LinkProgress LinkNextItems();
    bool ConversationGone() const;
    LinkProgress FailLinkSetUp();
    void LinkTurn();
    void OnDisconnect();
    void OnData(const DdeNotification& notification);
    void TakeData(int item, const std::string& bytes);
    // The cleaned text as a scaled number; nothing, or the scaled marker, when it is none.
    std::optional<double> ParseScaled(int item, const std::string& text) const;
    double ParseScaled(int item, const std::string& text, double marker) const;
    void WriteLog(std::string_view text);

    DdeTransport* transport_;
    // Written only where an item's link sets up its scaling.
    Configuration& config_;
    SampleIntegrator& integrator_;
    Host& host_;
    ProgramLog& log_;
    const Locale& locale_;
    MainWindowModel& window_;
    ValueExportFiles exports_;
    PerItem<ItemSource> sources_{};
    bool connectionLost_ = false;
    bool itemsLinked_ = false;
    bool acquisitionStarted_ = false;
    std::int32_t instance_ = 0;
    DdeHandle serviceHandle_ = 0;
    DdeHandle topicHandle_ = 0;
    DdeHandle conversation_ = 0;

    struct LinkSetUp {
        int nextItem = 1;
        int linked = 0;
        int mirrored = 0;
        int switchedOff = 0;
        LinkSetUpEnd* end = nullptr;
    };
    std::optional<LinkSetUp> linkSetUp_;
    ServerDisconnect* serverDisconnect_ = nullptr;
    // Made at the first set-up that needs a second turn.
    std::unique_ptr<Timer> linkTimer_;
};

// The name of a DDE error code as the log shows it ("DMLERR_..." or "$" + 8 hex digits).
std::string DdeErrorName(std::uint32_t code);

// "$" and the value as 8 upper-case hexadecimal digits.
std::string DollarHex8(std::uint32_t value);

}  // namespace tarvedde

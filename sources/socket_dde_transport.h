// DdeTransport over the local socket protocol (dde_wire_protocol.h) to a separate server
// process such as plantsim: one socket per conversation, found by service name in the
// DDE directory (dde_socket_io.h). Transactions are synchronous with their time-out;
// while one waits, data that arrives is handed to the callback as DDEML does in its modal
// loop. Otherwise data and the server's end arrive through the event loop's watch, on
// its thread. A server that ends, dies or breaks the protocol (oversized or malformed
// frame: logged, the peer is never trusted again) gives XTYP_DISCONNECT exactly once; a
// conversation the client ends itself gives none.
#pragma once

#include <map>
#include <memory>

#include "platform/event_loop.h"
#include "sources/dde_atom_table.h"
#include "sources/dde_client_instance.h"
#include "sources/dde_socket_io.h"
#include "sources/dde_transport.h"
#include "sources/dde_wire_protocol.h"

namespace tarvedde {

class SocketDdeTransport : public DdeClientInstance {
public:
    // `directory` empty: the default DDE directory. The loop must outlive the transport.
    SocketDdeTransport(EventLoop& loop, std::string directory, DdeLogSink log);
    ~SocketDdeTransport() override;
    SocketDdeTransport(const SocketDdeTransport&) = delete;
    SocketDdeTransport& operator=(const SocketDdeTransport&) = delete;

    DdeHandle Connect(std::int32_t instance, DdeHandle service, DdeHandle topic) override;
    bool Disconnect(DdeHandle conversation) override;
    std::optional<std::string> ClientTransaction(DdeHandle conversation, DdeHandle item,
                                                 std::uint32_t format, std::uint32_t type,
                                                 int timeoutMs) override;

    // How long Connect waits for the server's answer.
    static constexpr int kConnectTimeoutMs = 3000;

private:
    void EndConversations() override;
    struct Conversation;
    using ConversationPtr = std::shared_ptr<Conversation>;

    ConversationPtr Open(const std::string& service, const std::string& topic);
    // Waits for the reply to `request`; nullopt with lastError_ set on failure.
    std::optional<DdeMessage> Transact(const ConversationPtr& conv, DdeMessage request,
                                       int timeoutMs, std::uint32_t timeoutError);
    void OnReadable(const std::weak_ptr<Conversation>& weak);
    // Hands complete frames to the callback; false when the conversation ended meanwhile.
    bool DrainFrames(const ConversationPtr& conv);
    void Dispatch(const ConversationPtr& conv, const DdeMessage& message);
    void ScheduleDrain(const ConversationPtr& conv);
    void Lose(const ConversationPtr& conv, const std::string& why);
    void Close(Conversation& conv);

    EventLoop& loop_;
    std::string directory_;
    DdeLogSink log_;
    std::map<DdeHandle, ConversationPtr> conversations_;
    DdeHandle nextConversation_ = 0x1000;
};

}  // namespace tarvedde

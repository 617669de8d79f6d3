// The DDE operations the client uses, after the Windows DDE Management Library (DDEML):
// an instance, string handles (atoms: the same text, compared without regard to case,
// gives the same handle value), one conversation per service/topic, client
// transactions (advise start/stop, request) and a callback that receives the server's
// data and its disconnect. Transports put an in-memory server, a local socket protocol or
// (on Windows) DDEML itself behind it. Callbacks arrive on the event loop's thread, never
// from another thread, also while a synchronous transaction waits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tarvedde {

using DdeHandle = std::uint32_t;  // 0 = none

// Transaction and notification types, clipboard format and error codes as DDEML has them.
inline constexpr std::uint32_t kXtypAdvStart = 0x1030;
inline constexpr std::uint32_t kXtypAdvStop = 0x8040;
inline constexpr std::uint32_t kXtypRequest = 0x20B0;
inline constexpr std::uint32_t kXtypAdvData = 0x4010;
inline constexpr std::uint32_t kXtypDisconnect = 0x80C2;
inline constexpr std::uint32_t kCfText = 1;
inline constexpr std::uint32_t kDdeFack = 0x8000;

inline constexpr std::uint32_t kDmlErrNoError = 0;
inline constexpr std::uint32_t kDmlErrAdvAckTimeout = 0x4000;
inline constexpr std::uint32_t kDmlErrBusy = 0x4001;
inline constexpr std::uint32_t kDmlErrDataAckTimeout = 0x4002;
inline constexpr std::uint32_t kDmlErrDllNotInitialized = 0x4003;
inline constexpr std::uint32_t kDmlErrInvalidParameter = 0x4006;
inline constexpr std::uint32_t kDmlErrNoConvEstablished = 0x400A;
inline constexpr std::uint32_t kDmlErrNotProcessed = 0x4009;
inline constexpr std::uint32_t kDmlErrServerDied = 0x400E;

struct DdeNotification {
    std::uint32_t type = 0;
    std::uint32_t format = kCfText;
    DdeHandle conversation = 0;
    DdeHandle topic = 0;
    DdeHandle item = 0;
    // The data handle's bytes (Windows-1252 CF_TEXT, usually NUL-terminated), unbounded:
    // the client copies what it needs, as DdeGetData does.
    std::string data;
};

class DdeTransport {
public:
    // Answers a notification (DDE_FACK for accepted data, 0 otherwise).
    using Callback = std::function<std::uint32_t(const DdeNotification&)>;

    virtual ~DdeTransport() = default;

    // DdeInitialize as a client only: sets `instance` (a negative value means failure
    // as well) and returns a DMLERR code.
    virtual std::uint32_t Initialize(std::int32_t& instance, Callback callback) = 0;
    virtual bool Uninitialize(std::int32_t instance) = 0;
    virtual DdeHandle CreateStringHandle(std::int32_t instance, const std::string& text) = 0;
    virtual bool FreeStringHandle(std::int32_t instance, DdeHandle handle) = 0;
    // 0 when no server answers for service and topic.
    virtual DdeHandle Connect(std::int32_t instance, DdeHandle service, DdeHandle topic) = 0;
    virtual bool Disconnect(DdeHandle conversation) = 0;
    // A synchronous client transaction. Advise start/stop: a value (empty text) when the
    // server accepted, nullopt otherwise. Request: the data handle's bytes, or nullopt.
    virtual std::optional<std::string> ClientTransaction(DdeHandle conversation, DdeHandle item,
                                                         std::uint32_t format, std::uint32_t type,
                                                         int timeoutMs) = 0;
    virtual std::uint32_t GetLastError(std::int32_t instance) = 0;
};

}  // namespace tarvedde

// The DDE transport over DDEML; see ddeml_transport.h.
#include "platform/windows_api.h"
// dde.h and ddeml.h need the types of windows.h first.
#include <dde.h>
#include <ddeml.h>

#include <algorithm>
#include <utility>

#include "platform/wide_text_win.h"
#include "sources/ddeml_transport.h"

namespace tarvedde {
namespace {

// DDEML's callback has no user pointer: it finds the transport among those of its thread.
thread_local std::vector<DdemlTransport*> threadTransports;

HDDEDATA CALLBACK OnDdeml(UINT type, UINT format, HCONV conversation, HSZ /*topic*/, HSZ item,
                          HDDEDATA data, ULONG_PTR data1, ULONG_PTR /*data2*/) {
    return reinterpret_cast<HDDEDATA>(
        DdemlTransport::Dispatch(type, format, conversation, item, data, data1));
}

constexpr DWORD kClientFlags =
    APPCMD_CLIENTONLY | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;

HSZ AsHsz(void* handle) {
    return static_cast<HSZ>(handle);
}

HCONV AsHconv(void* handle) {
    return static_cast<HCONV>(handle);
}

std::string DataBytes(HDDEDATA data) {
    const DWORD size = DdeGetData(data, nullptr, 0, 0);
    std::string bytes(size, '\0');
    if (size > 0) {
        DdeGetData(data, reinterpret_cast<LPBYTE>(bytes.data()), size, 0);
    }
    return bytes;
}

std::string QueryString(unsigned long instance, void* hsz) {
    wchar_t text[256];
    const DWORD length = DdeQueryStringW(instance, AsHsz(hsz), text, 256, CP_WINUNICODE);
    return win::Narrow(std::wstring_view(text, std::min<DWORD>(length, 255)));
}

}  // namespace

DdemlTransport::DdemlTransport(EventLoop& loop, DdeLogSink log)
    : loop_(loop),
      log_(std::move(log)),
      watch_(loop.CreateTimer("DDEML conversations", kWatchIntervalMs, [this] { Watch(); })) {
    threadTransports.push_back(this);
}

DdemlTransport::~DdemlTransport() {
    EndConversations();
    std::erase(threadTransports, this);
}

std::uint32_t DdemlTransport::Initialize(std::int32_t& instance, Callback callback) {
    // Only a probe: each conversation opens an instance of its own.
    DWORD probe = 0;
    const UINT result = DdeInitializeW(&probe, OnDdeml, kClientFlags, 0);
    if (result != DMLERR_NO_ERROR) {
        instance = 0;
        return result;
    }
    DdeUninitialize(probe);
    return DdeClientInstance::Initialize(instance, std::move(callback));
}

DdeHandle DdemlTransport::Connect(std::int32_t instance, DdeHandle service, DdeHandle topic) {
    const auto names = ConnectNames(instance, service, topic);
    if (!names) {
        return 0;
    }
    Conversation conv;
    DWORD id = 0;
    const UINT result = DdeInitializeW(&id, OnDdeml, kClientFlags, 0);
    if (result != DMLERR_NO_ERROR) {
        lastError_ = result;
        return 0;
    }
    conv.instance = id;
    HCONV hconv = DdeConnect(id, AsHsz(StringHandle(conv, service)),
                             AsHsz(StringHandle(conv, topic)), nullptr);
    if (hconv == nullptr) {
        const UINT error = DdeGetLastError(id);
        lastError_ = error != DMLERR_NO_ERROR ? error : kDmlErrNoConvEstablished;
        DdeUninitialize(id);
        return 0;
    }
    conv.hconv = hconv;
    conv.topic = topic;
    conv.name = names->first + "|" + names->second;
    const DdeHandle handle = nextConversation_++;
    conversations_.emplace(handle, std::move(conv));
    UpdateWatch();
    return handle;
}

void* DdemlTransport::StringHandle(Conversation& conv, DdeHandle atom) {
    if (auto found = conv.strings.find(atom); found != conv.strings.end()) {
        return found->second;
    }
    const std::wstring text = win::Widen(atoms_.Text(atom).value_or(""));
    HSZ hsz = DdeCreateStringHandleW(conv.instance, text.c_str(), CP_WINUNICODE);
    if (hsz != nullptr) {
        conv.strings[atom] = hsz;  // freed with the instance
    }
    return hsz;
}

bool DdemlTransport::Disconnect(DdeHandle conversation) {
    auto found = conversations_.find(conversation);
    if (found == conversations_.end()) {
        lastError_ = kDmlErrNoConvEstablished;
        return false;
    }
    const Conversation conv = std::move(found->second);
    // Gone from the map first: DdeDisconnect waits for the server, and callbacks meanwhile
    // must not find it.
    conversations_.erase(found);
    if (!conv.lost) {
        DdeDisconnect(AsHconv(conv.hconv));
        Retire(conv.instance);
    }
    UpdateWatch();
    return true;
}

std::optional<std::string> DdemlTransport::ClientTransaction(DdeHandle conversation, DdeHandle item,
                                                             std::uint32_t format,
                                                             std::uint32_t type, int timeoutMs) {
    if (!atoms_.Text(item) || format != kCfText) {
        lastError_ = kDmlErrInvalidParameter;
        return std::nullopt;
    }
    auto found = conversations_.find(conversation);
    if (found == conversations_.end() || found->second.lost) {
        lastError_ = kDmlErrNoConvEstablished;
        return std::nullopt;
    }
    if (type != kXtypAdvStart && type != kXtypAdvStop && type != kXtypRequest) {
        lastError_ = kDmlErrNotProcessed;
        return std::nullopt;
    }
    if (type == kXtypAdvStop && !found->second.links.contains(item)) {
        // Wine's server leaves the end of a link it does not have unanswered.
        lastError_ = kDmlErrNotProcessed;
        return std::nullopt;
    }
    if (pending_) {
        lastError_ = kDmlErrBusy;  // DDEML refuses a transaction from inside another one
        return std::nullopt;
    }
    // Wine's server follows a request's data with an acknowledgement; read before the next
    // transaction starts, it cannot pass for that one's answer.
    PumpDdeMessages();
    found = conversations_.find(conversation);
    if (found == conversations_.end() || found->second.lost) {
        lastError_ = kDmlErrNoConvEstablished;
        return std::nullopt;
    }
    Conversation& conv = found->second;
    DWORD id = 0;
    const HDDEDATA started =
        DdeClientTransaction(nullptr, 0, AsHconv(conv.hconv), AsHsz(StringHandle(conv, item)),
                             CF_TEXT, type, TIMEOUT_ASYNC, &id);
    if (started == nullptr) {
        const UINT error = DdeGetLastError(conv.instance);
        lastError_ = error != DMLERR_NO_ERROR ? error : kDmlErrNotProcessed;
        return std::nullopt;
    }
    pending_.emplace();
    pending_->hconv = conv.hconv;
    pending_->id = id;
    pending_->request = type == kXtypRequest;
    const bool answered = Wait(conversation, timeoutMs);
    Pending pending = std::move(*pending_);
    pending_.reset();
    found = conversations_.find(conversation);
    if (found == conversations_.end() || found->second.lost) {
        lastError_ = kDmlErrServerDied;
        return std::nullopt;
    }
    // Wine keeps a finished asynchronous transaction queued, where it would take the
    // next one's answers.
    DdeAbandonTransaction(found->second.instance, AsHconv(found->second.hconv), 0);
    if (!answered) {
        if (type == kXtypRequest) {
            lastError_ = kDmlErrDataAckTimeout;
            return std::nullopt;
        }
        // A server that leaves a link unanswered is hung: without this each further item of
        // the link setup would wait its full time-out, minutes in all.
        Lose(conversation,
             "no answer to a link request within " + std::to_string(timeoutMs) + " ms");
        lastError_ = kDmlErrAdvAckTimeout;
        return std::nullopt;
    }
    if (!pending.accepted) {
        lastError_ = kDmlErrNotProcessed;
        return std::nullopt;
    }
    if (type == kXtypAdvStart) {
        found->second.links.insert(item);
    } else if (type == kXtypAdvStop) {
        found->second.links.erase(item);
    }
    return std::move(pending.data);
}

void DdemlTransport::PumpDdeMessages() {
    MSG message{};
    while (!(pending_ && pending_->done) &&
           PeekMessageW(&message, nullptr, WM_DDE_FIRST, WM_DDE_LAST, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

bool DdemlTransport::Wait(DdeHandle conversation, int timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
    for (;;) {
        PumpDdeMessages();
        if (pending_->done) {
            return true;
        }
        auto found = conversations_.find(conversation);
        if (found == conversations_.end() || found->second.lost) {
            return false;
        }
        if (!Alive(found->second)) {
            Lose(conversation, "the server ended the conversation");
            return false;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                  QS_POSTMESSAGE | QS_SENDMESSAGE);
    }
}

bool DdemlTransport::Alive(const Conversation& conv) {
    CONVINFO info{};
    info.cb = sizeof(info);
    return DdeQueryConvInfo(AsHconv(conv.hconv), QID_SYNC, &info) != 0 &&
           (info.wStatus & ST_CONNECTED) != 0 && IsWindow(info.hwndPartner);
}

void DdemlTransport::Watch() {
    EndRetired();
    std::vector<DdeHandle> dead;
    for (const auto& [handle, conv] : conversations_) {
        if (!conv.lost && !pending_ && !Alive(conv)) {
            dead.push_back(handle);
        }
    }
    for (DdeHandle handle : dead) {
        Lose(handle, "the server ended the conversation");
    }
    UpdateWatch();
}

DdemlTransport::ConversationMap::iterator DdemlTransport::Find(void* hconv) {
    return std::find_if(conversations_.begin(), conversations_.end(),
                        [hconv](const auto& entry) { return entry.second.hconv == hconv; });
}

std::uintptr_t DdemlTransport::Dispatch(unsigned type, unsigned format, void* conversation,
                                        void* item, void* data, std::uintptr_t data1) {
    // A copy: a callback may end a transport, which edits the list.
    const std::vector<DdemlTransport*> transports = threadTransports;
    for (DdemlTransport* transport : transports) {
        auto found = transport->Find(conversation);
        if (found != transport->conversations_.end()) {
            return transport->OnNotification(type, format, found->second, found->first, item, data,
                                             data1);
        }
    }
    return 0;
}

std::uintptr_t DdemlTransport::OnNotification(unsigned type, unsigned format, Conversation& conv,
                                              DdeHandle handle, void* item, void* data,
                                              std::uintptr_t id) {
    if (conv.lost) {
        return 0;
    }
    if (type == XTYP_XACT_COMPLETE) {
        if (pending_ && pending_->hconv == conv.hconv && pending_->id == id) {
            pending_->done = true;
            pending_->accepted = data != nullptr;
            // An advise's completion carries TRUE, not data.
            if (data != nullptr && pending_->request) {
                pending_->data = DataBytes(static_cast<HDDEDATA>(data));
            }
        }
        return 0;
    }
    if (type == XTYP_DISCONNECT) {
        Lose(handle, "the server ended the conversation");
        return 0;
    }
    if (type != XTYP_ADVDATA || format != CF_TEXT || data == nullptr) {
        return DDE_FNOTPROCESSED;
    }
    // Only names the client holds a handle for, linked on this conversation, are its items.
    const DdeHandle atom = atoms_.Find(QueryString(conv.instance, item));
    if (atom == 0 || !conv.links.contains(atom)) {
        return DDE_FNOTPROCESSED;
    }
    return Notify(
        {kXtypAdvData, kCfText, handle, conv.topic, atom, DataBytes(static_cast<HDDEDATA>(data))});
}

void DdemlTransport::Lose(DdeHandle conversation, const std::string& why) {
    auto found = conversations_.find(conversation);
    if (found == conversations_.end() || found->second.lost) {
        return;
    }
    Conversation& conv = found->second;
    conv.lost = true;
    log_("DDE conversation with " + conv.name + " lost: " + why);
    // Ending the instance later also ends DDEML's side of the conversation; a hung server
    // then costs the wait for its acknowledgement once, outside of any transaction.
    Retire(conv.instance);
    const DdeHandle topic = conv.topic;
    // As in DDEML the handle stays valid until the disconnect callback returns, so the
    // client's own Disconnect inside it succeeds.
    Notify({kXtypDisconnect, 0, conversation, topic, 0, {}});
    conversations_.erase(conversation);
    UpdateWatch();
}

void DdemlTransport::Retire(unsigned long instance) {
    retired_.push_back(instance);
    UpdateWatch();
}

void DdemlTransport::EndRetired() {
    const std::vector<unsigned long> retired = std::exchange(retired_, {});
    for (unsigned long instance : retired) {
        DdeUninitialize(instance);
    }
}

void DdemlTransport::UpdateWatch() {
    const bool needed = !conversations_.empty() || !retired_.empty();
    if (watch_->Enabled() != needed) {
        watch_->SetEnabled(needed);
    }
}

void DdemlTransport::EndConversations() {
    while (!conversations_.empty()) {
        Disconnect(conversations_.begin()->first);
    }
    EndRetired();
    UpdateWatch();
}

}  // namespace tarvedde

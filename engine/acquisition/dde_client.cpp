// The DDE client's connection half: initialise, connect, advise links per item, the link
// summary the operator sees, and the orderly ending of links, conversation and instance.
#include "engine/acquisition/dde_client.h"

#include <cstdio>
#include <exception>
#include <type_traits>

#include "platform/number_format.h"

namespace tarvedde {

// long was 32 bits on Windows and too narrow for the handle's whole range.
static_assert(std::is_same_v<decltype(ItemSource::itemHandle), DdeHandle>);

namespace {

constexpr int kAdviseStartTimeoutMs = 5000;
constexpr int kAdviseStopTimeoutMs = 1000;
// A server that answers at once gets all its items in one turn of the loop, as ever; once
// a turn has spent this long, the next item waits for the next turn, so a turn holds the
// loop for at most this and one request's time-out.
constexpr std::int64_t kLinkTurnShareMs = 50;
// The shortest interval that fires: due timers, signals and posted work come first.
constexpr int kLinkTurnIntervalMs = 1;

}  // namespace

std::string DollarHex8(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", value);
    return text;
}

std::string DdeErrorName(std::uint32_t code) {
    switch (code) {
        case kDmlErrNoError:
            return "DMLERR_NO_ERROR";
        case kDmlErrDllNotInitialized:
            return "DMLERR_DLL_NOT_INITIALIZED";
        case kDmlErrInvalidParameter:
            return "DMLERR_INVALIDPARAMETER";
        case kDmlErrNoConvEstablished:
            return "DMLERR_NO_CONV_ESTABLISHED";
        default:
            return DollarHex8(code);
    }
}

DdeClient::DdeClient(DdeTransport* transport, Configuration& config, SampleIntegrator& integrator,
                     Host& host, ProgramLog& log, const Locale& locale, MainWindowModel& window)
    : transport_(transport),
      config_(config),
      integrator_(integrator),
      host_(host),
      log_(log),
      locale_(locale),
      window_(window),
      exports_(host.files) {}

bool DdeClient::ShortCut() const {
    return transport_ == nullptr || config_.Settings().sourceKind == SourceKind::Opc;
}

void DdeClient::WriteLog(std::string_view text) {
    log_.WriteLog(text);
}

bool DdeClient::InitDDE() {
    if (ShortCut()) {
        return true;
    }
    instance_ = 0;
    const std::uint32_t result = transport_->Initialize(
        instance_, [this](const DdeNotification& notification) { return Callback(notification); });
    if (instance_ < 0) {
        WriteLog("DDE-Instanz=" + std::to_string(instance_));
        WriteLog("DDE wurde NICHT initialisiert !");
        return false;
    }
    if (result == kDmlErrNoError) {
        if (!connectionLost_) {
            WriteLog("DDE initialisiert.");
        }
        return true;
    }
    if (!connectionLost_) {
        DDECheck("InitDDE");
    }
    return false;
}

// The service and topic handles of the previous attempt are released first, so a server
// that stays away for weeks does not pile up handles.
DdeHandle DdeClient::OpenConversation() {
    if (serviceHandle_ != 0) {
        transport_->FreeStringHandle(instance_, serviceHandle_);
    }
    if (topicHandle_ != 0) {
        transport_->FreeStringHandle(instance_, topicHandle_);
    }
    serviceHandle_ = transport_->CreateStringHandle(instance_, config_.Settings().ddeService);
    topicHandle_ = transport_->CreateStringHandle(instance_, config_.Settings().ddeTopic);
    return transport_->Connect(instance_, serviceHandle_, topicHandle_);
}

bool DdeClient::ConnectDDE() {
    if (ShortCut()) {
        return true;
    }
    if (conversation_ != 0) {
        WriteLog("DDEConnect : DDE-Konversation schon vorhanden !");
        return false;
    }
    const std::string& service = config_.Settings().ddeService;
    const std::string& topic = config_.Settings().ddeTopic;
    conversation_ = OpenConversation();
    if (conversation_ != 0) {
        WriteLog("Verbindung zum Server \"" + service + "\" / Topic \"" + topic + "\" aufgebaut.");
        return true;
    }
    if (!connectionLost_) {
        DDECheck("ConnectDDE");
        WriteLog("DDE-Server \"" + service + "\" / \"" + topic + "\" überprüfen. Gestartet ?");
    }
    return false;
}

bool DdeClient::CheckServer() {
    if (ShortCut()) {
        return true;
    }
    conversation_ = OpenConversation();
    if (conversation_ != 0) {
        return true;
    }
    const std::string& service = config_.Settings().ddeService;
    const std::string& topic = config_.Settings().ddeTopic;
    host_.op.ShowMessage("Server/Topic > " + service + " / " + topic +
                         " sind nicht gestartet bzw. nicht korrekt eingestellt !");
    WriteLog(service + " / " + topic + " sind nicht vorhanden !");
    return false;
}

bool DdeClient::AdviseItem(int item) {
    if (ShortCut()) {
        return true;
    }
    ItemSource& source = sources_[item];
    const DdeHandle handle = transport_->CreateStringHandle(instance_, source.sourceName);
    source.itemHandle = handle;
    if (transport_->ClientTransaction(conversation_, handle, kCfText, kXtypAdvStart,
                                      kAdviseStartTimeoutMs)) {
        return true;
    }
    DDECheck("***** Fehler ! Advise Item " + std::to_string(item));
    // A conversation lost during the request (a stalled server) has released the handle
    // with its links, and refused nothing: the retry links the item again.
    if (ConversationGone()) {
        return false;
    }
    // Kept, its text from before the outage would count every cycle as a new value. An
    // item linked again keeps its last one: a server may send only changes, and a pump
    // that runs would stop counting until it switched.
    source.newestText.clear();
    transport_->FreeStringHandle(instance_, handle);
    source.itemHandle = 0;
    integrator_.EndSampleChain(item, host_.clock.Now(), host_.clock.ElapsedMs());
    return false;
}

void DdeClient::ShowLinkSummary(int linked, int mirrored, int switchedOff) {
    const int count = config_.Settings().itemCount;
    MainWindowModel& window = window_;
    if (count - mirrored - switchedOff != linked) {
        window.lbWarnung =
            "Erfasse nur " + std::to_string(linked) + " von " + std::to_string(count) + " Werten !";
        window.lbWarnungColor = "red";
        WriteLog("Achtung ! Nur " + std::to_string(linked) + " von " + std::to_string(count) +
                 " Werten werden übertragen.");
    } else {
        window.lbWarnung = std::to_string(linked) + " Werte werden übertragen.";
        window.lbWarnungColor = "green";
        WriteLog(window.lbWarnung);
    }
    if (mirrored > 0) {
        WriteLog(std::to_string(mirrored) + " Werte werden gespiegelt.");
    }
    if (switchedOff > 0) {
        WriteLog(std::to_string(switchedOff) + " Werte wurden abgeschaltet.");
    }
    window.Changed();
}

bool DdeClient::LinkItems(LinkSetUpEnd* end) {
    if (!ConnectDDE()) {
        itemsLinked_ = false;
        connectionLost_ = true;
        return true;
    }
    connectionLost_ = false;
    linkSetUp_ = LinkSetUp{};
    linkSetUp_->end = end;
    if (LinkNextItems() != LinkProgress::Yielded) {
        return true;
    }
    if (!linkTimer_) {
        linkTimer_ =
            host_.loop.CreateTimer("LinkItems", kLinkTurnIntervalMs, [this] { LinkTurn(); });
    }
    linkTimer_->SetEnabled(true);
    return false;
}

DdeClient::LinkProgress DdeClient::LinkNextItems() {
    const std::int64_t turnStartMs = host_.clock.ElapsedMs();
    for (; linkSetUp_->nextItem <= config_.Settings().itemCount; ++linkSetUp_->nextItem) {
        if (ConversationGone()) {
            return FailLinkSetUp();
        }
        if (host_.clock.ElapsedMs() - turnStartMs >= kLinkTurnShareMs) {
            return LinkProgress::Yielded;
        }
        const int item = linkSetUp_->nextItem;
        config_.UseRawDigitalValue(item);
        switch (integrator_.SetUpItem(item, config_.Item(item))) {
            case ItemSetUp::Mirrored:
                ++linkSetUp_->mirrored;
                break;
            case ItemSetUp::SwitchedOff:
                ++linkSetUp_->switchedOff;
                break;
            case ItemSetUp::Acquire: {
                sources_[item].sourceName = config_.Items()[item].serverItem;
                const bool linked = AdviseItem(item);
                // What ran during the synchronous wait may have stopped the set-up.
                if (!linkSetUp_) {
                    return LinkProgress::Stopped;
                }
                linkSetUp_->linked += linked ? 1 : 0;
                break;
            }
        }
    }
    if (ConversationGone()) {
        return FailLinkSetUp();
    }
    const LinkSetUp done = *linkSetUp_;
    linkSetUp_.reset();
    ShowLinkSummary(done.linked, done.mirrored, done.switchedOff);
    itemsLinked_ = true;
    return LinkProgress::Done;
}

bool DdeClient::ConversationGone() const {
    return !ShortCut() && conversation_ == 0;
}

// Every further item would only log its failed request: the set-up ends as a failed
// connect, and the retry starts afresh.
DdeClient::LinkProgress DdeClient::FailLinkSetUp() {
    linkSetUp_.reset();
    itemsLinked_ = false;
    connectionLost_ = true;
    return LinkProgress::Failed;
}

void DdeClient::LinkTurn() {
    linkTimer_->SetEnabled(false);
    if (!linkSetUp_) {
        return;
    }
    LinkSetUpEnd* end = linkSetUp_->end;
    switch (LinkNextItems()) {
        case LinkProgress::Yielded:
            linkTimer_->SetEnabled(true);
            return;
        case LinkProgress::Done:
        case LinkProgress::Failed:
            if (end != nullptr) {
                end->LinkSetUpEnded();
            }
            return;
        case LinkProgress::Stopped:
            return;
    }
}

void DdeClient::StopLinking() {
    linkSetUp_.reset();
    if (linkTimer_) {
        linkTimer_->SetEnabled(false);
    }
}

bool DdeClient::StopAdvise(int item) {
    if (ShortCut()) {
        return true;
    }
    ItemSource& source = sources_[item];
    const bool conversationStood = conversation_ != 0;
    try {
        const DdeHandle handle = source.itemHandle;
        if (conversationStood && handle != 0) {
            (void)transport_->ClientTransaction(conversation_, handle, kCfText, kXtypAdvStop,
                                                kAdviseStopTimeoutMs);
        }
        // A stop that timed out lost the conversation, whose end released the handle.
        if (handle != 0 && source.itemHandle == handle) {
            if (!transport_->FreeStringHandle(instance_, handle)) {
                DDECheck("StopAdvise");
            }
            source.itemHandle = 0;
        }
    } catch (const std::exception&) {
        WriteLog("Fehler in StopAdvise !");
    }
    return conversationStood;
}

bool DdeClient::RelinkItem(int item) {
    const bool passed = linkSetUp_ ? item < linkSetUp_->nextItem : itemsLinked_;
    if (!passed || ConversationGone()) {
        return false;
    }
    EndItemLink(item);
    // The old server item's last value is no value of the new one.
    sources_[item].newestText.clear();
    config_.UseRawDigitalValue(item);
    if (integrator_.SetUpItem(item, config_.Item(item)) != ItemSetUp::Acquire) {
        return false;
    }
    sources_[item].sourceName = config_.Items()[item].serverItem;
    const bool linked = AdviseItem(item);
    // A red summary may have been mended by this link.
    if (!ShortCut() && !linkSetUp_ && (!linked || window_.lbWarnungColor == "red")) {
        ShowStandingLinks();
    }
    return linked;
}

// Two items on one server item share the server's one link: the other keeps it.
void DdeClient::EndItemLink(int item) {
    const DdeHandle handle = sources_[item].itemHandle;
    for (int other = 1; handle != 0 && other <= config_.Settings().itemCount; ++other) {
        if (other != item && sources_[other].itemHandle == handle) {
            transport_->FreeStringHandle(instance_, handle);
            sources_[item].itemHandle = 0;
            return;
        }
    }
    StopAdvise(item);
}

void DdeClient::ShowStandingLinks() {
    int linked = 0;
    int mirrored = 0;
    int switchedOff = 0;
    for (int item = 1; item <= config_.Settings().itemCount; ++item) {
        const MirrorSetting& mirror = config_.Items()[item].mirror;
        if (mirror.mirrorOn) {
            ++(mirror.sourceItem > 0 ? mirrored : switchedOff);
        } else if (sources_[item].itemHandle != 0) {
            ++linked;
        }
    }
    ShowLinkSummary(linked, mirrored, switchedOff);
}

void DdeClient::UnlinkItems() {
    for (int item = 1; item <= config_.Settings().itemCount; ++item) {
        if (!config_.Items()[item].mirror.mirrorOn) {
            StopAdvise(item);
        }
    }
    DisconnectDDE();
}

void DdeClient::DisconnectDDE() {
    if (transport_ == nullptr) {
        return;
    }
    try {
        if (!transport_->Disconnect(conversation_)) {
            DDECheck("DisconnectDDE");
        } else if (!connectionLost_) {
            WriteLog("Verbindung zum Server abgebaut.");
        }
    } catch (const std::exception&) {
        WriteLog("Fehler DisconnectDDE");
        WriteLog("Programm bitte neu starten !");
    }
    conversation_ = 0;
}

void DdeClient::CloseDDE() {
    StopLinking();
    if (transport_ == nullptr) {
        return;
    }
    try {
        if (!transport_->Uninitialize(instance_)) {
            WriteLog("Fehler DdeUnInitialize");
        }
    } catch (const std::exception&) {
        WriteLog("Fehler CloseDDE");
    }
}

DdeRequestAnswer DdeClient::RequestItem(const std::string& item, int timeoutMs) {
    if (ShortCut()) {
        return {std::nullopt, kDmlErrNotProcessed};
    }
    const DdeHandle handle = transport_->CreateStringHandle(instance_, item);
    DdeRequestAnswer answer;
    answer.data =
        transport_->ClientTransaction(conversation_, handle, kCfText, kXtypRequest, timeoutMs);
    if (!answer.data) {
        answer.error = transport_->GetLastError(instance_);
    }
    transport_->FreeStringHandle(instance_, handle);
    return answer;
}

void DdeClient::DDECheck(std::string_view context) {
    const std::string prefix(context);
    if (transport_ == nullptr) {
        return;
    }
    try {
        WriteLog(prefix + ": DDE-Fehler: " + DdeErrorName(transport_->GetLastError(instance_)));
    } catch (const std::exception&) {
        WriteLog(prefix + ": Fehler in DDECheck !");
    }
}

}  // namespace tarvedde

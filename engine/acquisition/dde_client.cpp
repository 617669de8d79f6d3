// The DDE client's connection half: initialise, connect, advise links per item, the link
// summary the operator sees, and the orderly ending of links, conversation and instance.
#include "engine/acquisition/dde_client.h"

#include <cstdio>
#include <exception>
#include <type_traits>

#include "platform/number_format.h"
#include "platform/text_encoding.h"

namespace tarvedde {

// long was 32 bits on Windows and too narrow for the handle's whole range.
static_assert(std::is_same_v<decltype(ItemRuntime::itemHandle), DdeHandle>);

namespace {

constexpr int kAdviseStartTimeoutMs = 5000;
constexpr int kAdviseStopTimeoutMs = 1000;

// The first `count` characters of a UTF-8 text, counted as the workstation's code page
// counts them.
std::string CutChars(const std::string& utf8, std::size_t count) {
    const std::string bytes = Utf8ToCp1252(utf8);
    return bytes.size() <= count ? utf8 : Cp1252ToUtf8(bytes.substr(0, count));
}

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

DdeClient::DdeClient(DdeTransport* transport, EngineState& state)
    : transport_(transport), state_(state) {}

bool DdeClient::ShortCut() const {
    return transport_ == nullptr || state_.settings.sourceKind == SourceKind::Opc;
}

void DdeClient::WriteLog(std::string_view text) {
    state_.log.WriteLog(text);
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
        if (!state_.connectionLost) {
            WriteLog("DDE initialisiert.");
        }
        return true;
    }
    if (!state_.connectionLost) {
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
    serviceHandle_ = transport_->CreateStringHandle(instance_, state_.settings.ddeService);
    topicHandle_ = transport_->CreateStringHandle(instance_, state_.settings.ddeTopic);
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
    const std::string& service = state_.settings.ddeService;
    const std::string& topic = state_.settings.ddeTopic;
    conversation_ = OpenConversation();
    if (conversation_ != 0) {
        WriteLog("Verbindung zum Server \"" + service + "\" / Topic \"" + topic + "\" aufgebaut.");
        return true;
    }
    if (!state_.connectionLost) {
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
    const std::string& service = state_.settings.ddeService;
    const std::string& topic = state_.settings.ddeTopic;
    state_.host.op.ShowMessage("Server/Topic > " + service + " / " + topic +
                               " sind nicht gestartet bzw. nicht korrekt eingestellt !");
    WriteLog(service + " / " + topic + " sind nicht vorhanden !");
    return false;
}

bool DdeClient::AdviseItem(int item) {
    if (ShortCut()) {
        return true;
    }
    ItemRuntime& runtime = state_.runtime[item];
    const DdeHandle handle = transport_->CreateStringHandle(instance_, runtime.sourceName);
    runtime.itemHandle = handle;
    if (transport_->ClientTransaction(conversation_, handle, kCfText, kXtypAdvStart,
                                      kAdviseStartTimeoutMs)) {
        return true;
    }
    DDECheck("***** Fehler ! Advise Item " + std::to_string(item));
    transport_->FreeStringHandle(instance_, handle);
    runtime.itemHandle = 0;
    return false;
}

void DdeClient::LogItemLimits(int item) {
    const ItemConfig& config = state_.items[item];
    std::string line = CutChars(config.itemName + "[", 31);
    line = CutChars(line + config.unit, 41);
    line = CutChars(line + "] : Grenzwerte = ", 58);
    WriteLog(line + FormatFixed(state_.runtime[item].lowerBound, 12, 2, state_.locale) + " / " +
             FormatFixed(config.effectiveUpLimit, 12, 2, state_.locale));
}

// Per-item set-up before the advise link; `skip` for mirrored and switched-off items.
void DdeClient::SetUpItem(int item, int& mirrored, int& switchedOff, bool& skip) {
    ItemConfig& config = state_.items[item];
    ItemRuntime& runtime = state_.runtime[item];
    if (config.IsDigital()) {
        config.calibrationSlope = 1.0;
        config.calibrationIntercept = 0.0;
        runtime.factor = 1.0;
        runtime.offset = 0.0;
    } else if (config.calibrationSlope > -0.0000001 && config.calibrationSlope < 0.00000001) {
        WriteLog("Warnung für Item " + std::to_string(item) + " : Steigung M ist sehr klein !");
    }
    skip = config.mirror.mirrorOn;
    if (skip) {
        ++(config.mirror.sourceItem > 0 ? mirrored : switchedOff);
        return;
    }
    runtime.sourceName = config.serverItem;
    runtime.factor = config.calibrationSlope;
    runtime.offset = config.calibrationIntercept;
    runtime.isIntegral = config.Integral;
    runtime.lowerBound = config.Integral ? config.IntegralLimit : config.effectiveLoLimit;
    LogItemLimits(item);
}

void DdeClient::ShowLinkSummary(int linked, int mirrored, int switchedOff) {
    const int count = state_.settings.itemCount;
    MainWindowModel& window = state_.window;
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

void DdeClient::LinkItems() {
    if (!ConnectDDE()) {
        state_.itemsLinked = false;
        state_.connectionLost = true;
        return;
    }
    state_.connectionLost = false;
    int linked = 0;
    int mirrored = 0;
    int switchedOff = 0;
    for (int item = 1; item <= state_.settings.itemCount; ++item) {
        bool skip = false;
        SetUpItem(item, mirrored, switchedOff, skip);
        if (!skip && AdviseItem(item)) {
            ++linked;
        }
    }
    ShowLinkSummary(linked, mirrored, switchedOff);
    state_.itemsLinked = true;
}

bool DdeClient::StopAdvise(int item) {
    if (ShortCut()) {
        return true;
    }
    ItemRuntime& runtime = state_.runtime[item];
    const bool conversationStood = conversation_ != 0;
    try {
        const DdeHandle handle = runtime.itemHandle;
        if (conversationStood && handle != 0) {
            (void)transport_->ClientTransaction(conversation_, handle, kCfText, kXtypAdvStop,
                                                kAdviseStopTimeoutMs);
        }
        if (handle != 0) {
            if (!transport_->FreeStringHandle(instance_, handle)) {
                DDECheck("StopAdvise");
            }
            runtime.itemHandle = 0;
        }
    } catch (const std::exception&) {
        WriteLog("Fehler in StopAdvise !");
    }
    return conversationStood;
}

void DdeClient::UnlinkItems() {
    for (int item = 1; item <= state_.settings.itemCount; ++item) {
        if (!state_.items[item].mirror.mirrorOn) {
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
        } else if (!state_.connectionLost) {
            WriteLog("Verbindung zum Server abgebaut.");
        }
    } catch (const std::exception&) {
        WriteLog("Fehler DisconnectDDE");
        WriteLog("Programm bitte neu starten !");
    }
    conversation_ = 0;
}

void DdeClient::CloseDDE() {
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

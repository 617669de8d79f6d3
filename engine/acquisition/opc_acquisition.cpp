#include "engine/acquisition/opc_acquisition.h"

#include <array>
#include <exception>

#include "platform/date_time.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

constexpr char kGroupName[] = "Group0";
constexpr std::uint32_t kUpdateRateMs = 1000;

std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

}  // namespace

// No transport: every server is missing, as on a machine without OPC.
class OpcAcquisition::NoTransport final : public OpcTransport {
public:
    std::string ComputerName() const override { return {}; }
    OpcResult ListServers(const std::string&, std::vector<OpcServerInfo>&) override {
        return kClassNotRegistered;
    }
    OpcResult CreateServer(const std::string&, const std::string&,
                           std::unique_ptr<OpcServer>&) override {
        return kClassNotRegistered;
    }
};

std::string OpcValueListText(const OpcValue& value, const Locale& locale) {
    if (const auto* number = std::get_if<double>(&value)) {
        return FormatGeneral(*number, locale);
    }
    if (const auto* integer = std::get_if<std::int32_t>(&value)) {
        return std::to_string(*integer);
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag ? "True" : "False";
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    return {};
}

std::string DigitalText(const std::string& text) {
    static constexpr std::array<const char*, 6> kOn = {"ON", "EIN", "1", "-1", "TRUE", "WAHR"};
    const std::string upper = AsciiUpper(text);
    for (const char* word : kOn) {
        if (upper == word) {
            return "1";
        }
    }
    return "0";
}

OpcAcquisition::OpcAcquisition(Host& host, Configuration& config, SampleIntegrator& integrator,
                               DdeClient& dde, ProgramLog& log, const Locale& locale,
                               MainWindowModel& window)
    : host_(host),
      config_(config),
      integrator_(integrator),
      dde_(dde),
      log_(log),
      locale_(locale),
      window_(window) {
    OpcTransport* transport = host.opc;
    if (transport == nullptr) {
        noTransport_ = std::make_unique<NoTransport>();
        transport = noTransport_.get();
    }
    client_ = std::make_unique<TOpcSimpleClient>(
        *transport, host.clock, host.localZone ? *host.localZone : TimeZone::Utc());
    // Unsorted, so a data change's item index is the item list's row.
    client_->SortedItemLists = false;
    client_->Groups().Add(kGroupName).SetOnDataChange(this);
}

OpcAcquisition::~OpcAcquisition() = default;

void OpcAcquisition::SetUpAtProgramStart() {
    const GeneralSettings& settings = config_.Settings();
    client_->SetHostName(settings.opcHost);
    client_->SetProgID(settings.opcServer);
    Group().SetUpdateRate(kUpdateRateMs);
}

bool OpcAcquisition::Connected() const {
    const OpcServer* server = client_->Server();
    return server != nullptr && !server->Lost() && client_->Groups()[0].Connected();
}

bool OpcAcquisition::ConnectWithItems(bool testMode) {
    client_->Connect(true);
    log_.WriteLog("Verbunden mit OPC-Server " + client_->ProgID() + " auf Host " +
                  client_->HostName());
    if (testMode) {
        log_.WriteLog("*** Testmode");
    }
    Group().SetItems(RowCaptions());
    if (window_.it1.empty()) {
        return false;
    }
    client_->ConnectGroups();
    ForgetUnlinkedItems();
    return true;
}

// An item the server no longer offers after a reconnect would otherwise show its last
// value for good and its integral count on at it, as a DDE item whose link failed does not.
void OpcAcquisition::ForgetUnlinkedItems() {
    const double now = host_.clock.Now();
    const std::int64_t nowMs = host_.clock.ElapsedMs();
    const int count = static_cast<int>(Group().Items().size());
    for (int line = 0; line < count && line < maxItems; ++line) {
        if (Group().ItemRecord(line) == nullptr) {
            dde_.StoreNewestText(line + 1, std::string());
            integrator_.EndSampleChain(line + 1, now, nowMs);
        }
    }
}

std::vector<std::string> OpcAcquisition::RowCaptions() const {
    std::vector<std::string> ids;
    ids.reserve(window_.it1.size());
    for (const ItemListRow& row : window_.it1) {
        ids.push_back(row.caption);
    }
    return ids;
}

// The group's items are fixed while it is connected, and the server offers no removal of
// one item: the whole group connects anew, the other items only send their values again.
bool OpcAcquisition::RelinkItem(int item) {
    const auto row = static_cast<std::size_t>(item - 1);
    if (!dde_.ItemsLinked() || row >= window_.it1.size()) {
        return false;
    }
    window_.it1[row] = ItemListRow{config_.Items()[item].serverItem, {}};
    window_.Changed();
    if (!Group().Connected()) {
        return false;
    }
    try {
        client_->DisconnectGroups();
        Group().SetItems(RowCaptions());
        client_->ConnectGroups();
        ForgetUnlinkedItems();
    } catch (const std::exception&) {
        log_.WriteLog("*** OPCclient.Connect/ConnectGroups : Fehler !");
        return false;
    }
    if (Group().ItemRecord(item - 1) == nullptr) {
        LogLinkSummary();
        return false;
    }
    return true;
}

// The DDE link summary's texts: the status report and the operator read the linked
// count from the log for either source kind. An item the server rejects gets no record.
void OpcAcquisition::LogLinkSummary() {
    const int count = static_cast<int>(Group().Items().size());
    int linked = 0;
    for (int line = 0; line < count; ++line) {
        linked += Group().ItemRecord(line) != nullptr ? 1 : 0;
    }
    if (linked != count) {
        log_.WriteLog("Achtung ! Nur " + std::to_string(linked) + " von " + std::to_string(count) +
                      " Werten werden übertragen.");
    } else {
        log_.WriteLog(std::to_string(linked) + " Werte werden übertragen.");
    }
}

bool OpcAcquisition::StartOpcAcquisition() {
    try {
        if (!ConnectWithItems(false)) {
            return false;
        }
        log_.WriteLog("OPC-Gruppe verbunden");
        LogLinkSummary();
        log_.WriteLog("OPC-Datenerfassung gestartet.");
        window_.lbWarnungVisible = true;
    } catch (const std::exception&) {
        window_.lbWarnungVisible = false;
        window_.lbAusVisible = true;
        log_.WriteLog("*** OPCclient.Connect/ConnectGroups : Fehler !");
    }
    window_.Changed();
    return true;
}

void OpcAcquisition::StartOpcTest() {
    try {
        if (!ConnectWithItems(true)) {
            return;
        }
        log_.WriteLog("OPC-Gruppe verbunden");
        LogLinkSummary();
        window_.btStartDDEEnabled = false;
        window_.btStoppenEnabled = true;
        window_.Changed();
    } catch (const std::exception&) {
        log_.WriteLog("OPCclient.Connect : Fehler !");
    }
}

Status OpcAcquisition::DisconnectGroups() {
    try {
        client_->DisconnectGroups();
    } catch (const std::exception& e) {
        return Error{e.what()};
    }
    return {};
}

Status OpcAcquisition::Disconnect() {
    try {
        client_->Disconnect();
    } catch (const std::exception& e) {
        return Error{e.what()};
    }
    return {};
}

std::string OpcAcquisition::NewestText(int item, const OpcValue& value) const {
    std::string text = OpcValueListText(value, locale_);
    if (config_.Items()[item].IsDigital()) {
        text = DigitalText(text);
    }
    return text;
}

void OpcAcquisition::OnDataChange(TOpcGroup&, std::int32_t itemIndex, const OpcValue& newValue,
                                  std::uint16_t newQuality, double newTimestamp) {
    deadCountdown_ = config_.Settings().opcDeadSeconds;
    const int item = itemIndex + 1;
    if (itemIndex < 0 || static_cast<std::size_t>(itemIndex) >= window_.it1.size() ||
        item > maxItems) {
        return;
    }
    ItemListRow& row = window_.it1[static_cast<std::size_t>(itemIndex)];
    row.columns = {OpcValueListText(newValue, locale_), OpcQualityText(newQuality),
                   FormatDateTime("hh:nn:ss", newTimestamp, locale_)};
    const double now = host_.clock.Now();
    const std::int64_t nowMs = host_.clock.ElapsedMs();
    // A bad value (a communication failure sends an empty one) is no measurement, nor is
    // the last good one while it lasts: the item has no value until a good one comes, and
    // its integral stops at the failure. The row shows why.
    if ((newQuality & kOpcQualityMask) == kOpcQualityBad) {
        dde_.StoreNewestText(item, std::string());
        integrator_.EndSampleChain(item, now, nowMs);
        window_.Changed();
        return;
    }
    const std::string text = NewestText(item, newValue);
    dde_.StoreNewestText(item, text);
    Integrate(item, text, now, nowMs);
    window_.Changed();
}

// Unlike a DDE sample the text is not cleaned first; a sample that does not parse is left
// out, as on DDE. There is no difference step: it only feeds the difference export,
// which OPC values do not get; a counter's consumption comes from the cycle.
void OpcAcquisition::Integrate(int item, const std::string& text, double now, std::int64_t nowMs) {
    if (!integrator_.States()[item].isIntegral) {
        return;
    }
    const Result<double> parsed = StrToFloat(text, locale_);
    if (!parsed) {
        integrator_.LeaveOut(item);
        return;
    }
    (void)integrator_.Integrate(item, integrator_.Scaled(item, parsed.value()), now, nowMs);
}

}  // namespace tarvedde

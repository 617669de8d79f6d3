// The OPC client component; see opc_client.h.
#include "sources/opc_client.h"

#include <algorithm>
#include <utility>

#include "platform/date_time.h"

namespace tarvedde {
namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameTagText(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool LessText(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return AsciiLower(x) < AsciiLower(y);
    });
}

const std::string kActiveGroup = "Operation not allowed on active group";

}  // namespace

// ---- TOpcGroup ----

TOpcGroup::TOpcGroup(TOpcGroupCollection& collection, std::string name, bool sorted,
                     std::uint32_t clientHandle)
    : collection_(collection),
      name_(std::move(name)),
      sorted_(sorted),
      clientHandle_(clientHandle) {}

TOpcGroup::~TOpcGroup() {
    Disconnect();
}

void TOpcGroup::Check(OpcResult result) const {
    if (!OpcSucceeded(result)) {
        throw EOpcClient(OpcErrorText(result, server_));
    }
}

void TOpcGroup::RequireDisconnected() const {
    if (Connected()) {
        throw EOpcClient(kActiveGroup);
    }
}

void TOpcGroup::SetName(const std::string& name) {
    collection_.RequireUniqueName(name, this);
    if (Connected()) {
        Check(server_->SetName(serverGroup_, name));
    }
    name_ = name;
}

void TOpcGroup::SetUpdateRate(std::uint32_t rate) {
    if (!Connected()) {
        updateRate_ = rate;
        return;
    }
    std::uint32_t revised = rate;
    Check(server_->SetState(serverGroup_, rate, revised, std::nullopt, std::nullopt));
    updateRate_ = revised;
}

void TOpcGroup::SetActive(bool active) {
    if (Connected()) {
        std::uint32_t revised = updateRate_;
        Check(server_->SetState(serverGroup_, std::nullopt, revised, active, std::nullopt));
    }
    active_ = active;
}

void TOpcGroup::SetPercentDeadband(float percent) {
    if (Connected()) {
        std::uint32_t revised = updateRate_;
        Check(server_->SetState(serverGroup_, std::nullopt, revised, std::nullopt, percent));
    }
    percentDeadband_ = percent;
}

int TOpcGroup::AddItem(const std::string& itemId) {
    RequireDisconnected();
    if (!sorted_) {
        items_.push_back(itemId);
        return static_cast<int>(items_.size()) - 1;
    }
    const auto at = std::lower_bound(items_.begin(), items_.end(), itemId, LessText);
    if (at != items_.end() && SameTagText(*at, itemId)) {
        throw EOpcClient("String list does not allow duplicates");
    }
    const auto inserted = items_.insert(at, itemId);
    return static_cast<int>(inserted - items_.begin());
}

void TOpcGroup::SetItems(std::vector<std::string> itemIds) {
    RequireDisconnected();
    if (sorted_) {
        std::stable_sort(itemIds.begin(), itemIds.end(), LessText);
        const auto twin = std::adjacent_find(itemIds.begin(), itemIds.end(), SameTagText);
        if (twin != itemIds.end()) {
            throw EOpcClient("String list does not allow duplicates");
        }
    }
    items_ = std::move(itemIds);
}

void TOpcGroup::SetAccessPath(const std::string& accessPath) {
    RequireDisconnected();
    accessPath_ = accessPath;
}

const TOpcItemRecord* TOpcGroup::ItemRecord(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= records_.size()) {
        return nullptr;
    }
    return records_[static_cast<std::size_t>(index)].get();
}

void TOpcGroup::Connect(OpcServer* server) {
    if (server == nullptr) {
        throw EOpcClient("Opc server is not assigned");
    }
    if (Connected()) {
        throw EOpcClient("Cannot add group to server twice");
    }
    if (collection_.Client() == nullptr) {
        throw EOpcClient("Group cannot find client");
    }
    std::uint32_t serverGroup = 0;
    std::uint32_t revisedRate = updateRate_;
    const OpcResult added =
        server->AddGroup(name_, active_, updateRate_, clientHandle_, percentDeadband_,
                         kLocaleUserDefault, serverGroup, revisedRate);
    if (!OpcSucceeded(added)) {
        throw EOpcClient(OpcErrorText(added, server));
    }
    server_ = server;
    serverGroup_ = serverGroup;
    updateRate_ = revisedRate;
    try {
        ConnectSteps();
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TOpcGroup::ConnectSteps() {
    OpcGroupState state;
    Check(server_->GetState(serverGroup_, state));
    name_ = state.name;
    if (!items_.empty()) {
        AddServerItems();
    }
    Subscribe();
}

void TOpcGroup::AddServerItems() {
    records_.clear();
    records_.resize(items_.size());
    std::vector<OpcItemDef> definitions;
    definitions.reserve(items_.size());
    for (std::size_t line = 0; line < items_.size(); ++line) {
        definitions.push_back(
            {accessPath_, items_[line], true, static_cast<std::uint32_t>(line), kVtEmpty});
    }
    std::vector<OpcItemResult> results;
    Check(server_->AddItems(serverGroup_, definitions, results));
    for (std::size_t line = 0; line < std::min(results.size(), records_.size()); ++line) {
        if (OpcSucceeded(results[line].error)) {
            records_[line] = std::make_unique<TOpcItemRecord>();
            records_[line]->serverHandle = results[line].serverHandle;
        }
    }
    std::vector<OpcItemAttributes> attributes;
    Check(server_->ItemAttributes(serverGroup_, attributes));
    for (const OpcItemAttributes& item : attributes) {
        if (item.clientHandle < records_.size() && records_[item.clientHandle]) {
            records_[item.clientHandle]->euType = item.euType;
            records_[item.clientHandle]->euInfo = item.euInfo;
        }
    }
}

void TOpcGroup::Subscribe() {
    const std::uint32_t offers = server_->GroupInterfaces(serverGroup_);
    if ((offers & kOpcGroupConnectionPoints) != 0) {
        Check(server_->AdviseDataCallback(
            serverGroup_, [this](const OpcDataChange& change) { DataCallback(change); },
            callbackCookie_));
        usesCallback_ = true;
        return;
    }
    if ((offers & kOpcGroupDataObject) != 0) {
        std::uint32_t connection = 0;
        Check(server_->DAdvise(
            serverGroup_, [this](const OpcDataStream& stream) { StreamData(stream); }, connection));
        streamConnection_ = connection;
    }
}

void TOpcGroup::Disconnect() {
    if (!Connected()) {
        return;
    }
    OpcServer* server = std::exchange(server_, nullptr);
    if (usesCallback_) {
        server->UnadviseDataCallback(serverGroup_, callbackCookie_);
    } else if (streamConnection_) {
        server->DUnadvise(serverGroup_, *streamConnection_);
    }
    usesCallback_ = false;
    streamConnection_.reset();
    records_.clear();
    server->RemoveGroup(serverGroup_, false);
    serverGroup_ = 0;
}

void TOpcGroup::DataCallback(const OpcDataChange& change) {
    if (change.groupClientHandle != clientHandle_) {
        return;
    }
    for (std::size_t k = 0; k < change.clientHandles.size() && k < change.values.size(); ++k) {
        std::optional<std::uint16_t> quality;
        if (k < change.qualities.size()) {
            quality = change.qualities[k];
        }
        std::optional<double> timestamp;
        if (k < change.timestamps.size()) {
            timestamp = change.timestamps[k];
        }
        Deliver(change.clientHandles[k], change.values[k], quality, timestamp);
    }
}

void TOpcGroup::StreamData(const OpcDataStream& stream) {
    if (stream.groupClientHandle != clientHandle_) {
        return;
    }
    for (const OpcStreamItemHeader& header : stream.items) {
        if (header.valueOffset < stream.values.size()) {
            Deliver(header.clientHandle, stream.values[header.valueOffset], header.quality,
                    header.timestamp);
        }
    }
}

void TOpcGroup::Deliver(std::uint32_t clientHandle, const OpcValue& value,
                        std::optional<std::uint16_t> quality, std::optional<double> utcTimestamp) {
    if (clientHandle >= records_.size() || !records_[clientHandle]) {
        return;
    }
    const TOpcSimpleClient* client = collection_.Client();
    const double timestamp = client->LocalTime(utcTimestamp);
    const std::uint16_t newQuality = quality.value_or(kOpcQualityGood);
    const auto index = static_cast<std::int32_t>(clientHandle);
    if (onDataChange_ != nullptr) {
        onDataChange_->OnDataChange(*this, index, value, newQuality, timestamp);
    }
    // The handler may have disconnected the group.
    if (clientHandle < records_.size() && records_[clientHandle]) {
        TOpcItemRecord& record = *records_[clientHandle];
        record.value = value;
        record.timestamp = timestamp;
        record.quality = newQuality;
    }
}

// ---- TOpcGroupCollection ----

void TOpcGroupCollection::RequireUniqueName(const std::string& name,
                                            const TOpcGroup* except) const {
    for (const auto& group : groups_) {
        if (group.get() != except && !name.empty() && SameTagText(group->Name(), name)) {
            throw EOpcClient("Duplicate group name not allowed");
        }
    }
}

TOpcGroup& TOpcGroupCollection::Add(const std::string& name) {
    RequireUniqueName(name, nullptr);
    const bool sorted = client_ != nullptr && client_->SortedItemLists;
    groups_.push_back(
        std::unique_ptr<TOpcGroup>(new TOpcGroup(*this, name, sorted, nextClientHandle_++)));
    return *groups_.back();
}

void TOpcGroupCollection::Delete(int index) {
    if (index < 0 || index >= Count()) {
        return;
    }
    const auto at = groups_.begin() + index;
    (*at)->Disconnect();
    groups_.erase(at);
}

// ---- TOpcSimpleClient ----

TOpcSimpleClient::TOpcSimpleClient(OpcTransport& transport, const Clock& clock, TimeZone localZone)
    : transport_(transport), clock_(clock), localZone_(std::move(localZone)) {}

TOpcSimpleClient::~TOpcSimpleClient() {
    events_ = nullptr;
    browser_ = nullptr;
    Disconnect();
}

void TOpcSimpleClient::Check(OpcResult result) const {
    if (!OpcSucceeded(result)) {
        throw EOpcClient(OpcErrorText(result, server_.get()));
    }
}

void TOpcSimpleClient::SetProgID(const std::string& progId) {
    if (Active()) {
        throw EOpcClient("Operation not allowed on active server");
    }
    progId_ = progId;
}

void TOpcSimpleClient::SetActive(bool active) {
    if (active == Active()) {
        return;
    }
    if (active) {
        Connect();
    } else {
        Disconnect();
    }
}

bool TOpcSimpleClient::IsLocalHost() const {
    return hostName_.empty() || SameTagText(hostName_, transport_.ComputerName());
}

std::vector<OpcServerInfo> TOpcSimpleClient::ServerList() const {
    return GetOpcServerList(transport_, hostName_);
}

double TOpcSimpleClient::LocalTime(std::optional<double> utcTimestamp) const {
    if (!utcTimestamp) {
        return clock_.Now();
    }
    return FromUnixMs(localZone_.ToLocalMs(ToUnixMs(*utcTimestamp)));
}

void TOpcSimpleClient::Connect(bool withoutGroups) {
    const bool created = !Active();
    if (created) {
        if (progId_.empty()) {
            throw EOpcClient("Server ProgID must be specified");
        }
        const std::string host = IsLocalHost() ? std::string() : hostName_;
        const std::string onHost = host.empty() ? std::string() : " on " + host;
        const std::vector<OpcServerInfo> servers = GetOpcServerList(transport_, host);
        const auto info = std::find_if(servers.begin(), servers.end(), [&](const auto& s) {
            return SameTagText(s.progId, progId_);
        });
        if (info == servers.end()) {
            throw EOpcEnum("Cannot find server " + progId_ + onHost);
        }
        if (info->classId.empty()) {
            throw EOpcEnum("Class not registered" + onHost);
        }
        std::unique_ptr<OpcServer> server;
        const OpcResult creation = transport_.CreateServer(host, info->classId, server);
        if (!OpcSucceeded(creation) || !server) {
            throw EOpcClient(OpcErrorText(OpcSucceeded(creation) ? kEFail : creation, nullptr));
        }
        serverName_ = info->userType;
        vendor_ = info->vendor;
        server_ = std::move(server);
        if (!hostName_.empty()) {
            // Only a name the server may show; its refusal changes nothing for us.
            server_->SetClientName(hostName_);
        }
        std::uint32_t cookie = 0;
        if (OpcSucceeded(server_->AdviseShutdown(
                [this](const std::string& reason) { ShutdownRequest(reason); }, cookie))) {
            shutdownCookie_ = cookie;
        }
    }
    if (!withoutGroups) {
        try {
            ConnectGroups();
        } catch (...) {
            if (!created) {
                throw;  // a group that failed has disconnected itself
            }
            DisconnectGroups();
            if (shutdownCookie_) {
                server_->UnadviseShutdown(*shutdownCookie_);
                shutdownCookie_.reset();
            }
            server_.reset();
            serverName_.clear();
            throw;
        }
    }
    if (events_ != nullptr) {
        events_->OnConnect(*this);
    }
    Notify();
}

void TOpcSimpleClient::Disconnect() {
    if (!Active()) {
        return;
    }
    if (shutdownCookie_) {
        server_->UnadviseShutdown(*shutdownCookie_);
        shutdownCookie_.reset();
    }
    DisconnectGroups();
    server_.reset();
    serverName_.clear();
    if (events_ != nullptr) {
        events_->OnDisconnect(*this);
    }
    Notify();
}

void TOpcSimpleClient::ConnectGroups() {
    for (int i = 0; i < groups_.Count(); ++i) {
        groups_[i].Connect(server_.get());
    }
}

void TOpcSimpleClient::DisconnectGroups() {
    for (int i = 0; i < groups_.Count(); ++i) {
        groups_[i].Disconnect();
    }
}

void TOpcSimpleClient::ShutdownRequest(const std::string& reason) {
    shutdownReason_ = reason;
    if (events_ != nullptr) {
        events_->OnServerShutdown(*this);
    }
    SetActive(false);
}

void TOpcSimpleClient::Notify() {
    if (browser_ != nullptr) {
        browser_->ClientConnectionChanged();
    }
}

std::vector<TOpcPropertyValue> TOpcSimpleClient::ItemProperties(const std::string& itemId) {
    if (!Active()) {
        throw EOpcClient("Operation requires active server");
    }
    std::vector<OpcItemProperty> available;
    Check(server_->QueryAvailableProperties(itemId, available));
    std::vector<std::uint32_t> ids;
    for (const OpcItemProperty& property : available) {
        ids.push_back(property.id);
    }
    std::vector<OpcValue> values;
    std::vector<OpcResult> errors;
    if (!ids.empty()) {
        Check(server_->GetItemProperties(itemId, ids, values, errors));
    }
    std::vector<TOpcPropertyValue> result;
    for (std::size_t i = 0; i < available.size(); ++i) {
        TOpcPropertyValue row{available[i].id,
                              available[i].description,
                              available[i].dataType,
                              {},
                              i < errors.size() ? errors[i] : kSOk};
        if (i < values.size() && OpcSucceeded(row.error)) {
            row.value = values[i];
        }
        result.push_back(std::move(row));
    }
    return result;
}

std::vector<OpcServerInfo> GetOpcServerList(OpcTransport& transport, const std::string& host) {
    const bool local = host.empty() || SameTagText(host, transport.ComputerName());
    std::vector<OpcServerInfo> servers;
    if (!OpcSucceeded(transport.ListServers(local ? std::string() : host, servers))) {
        throw EOpcEnum("Could not connect to registry on " +
                       (local ? transport.ComputerName() : host));
    }
    return servers;
}

}  // namespace tarvedde

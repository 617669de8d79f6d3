// The in-memory OPC server and its transport; see in_memory_opc_server.h.
#include "sources/in_memory_opc_server.h"

#include <algorithm>
#include <cstddef>
#include <set>
#include <utility>

namespace tarvedde {
namespace {

std::vector<std::string> Split(const std::string& id) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t dot = id.find('.'); dot != std::string::npos; dot = id.find('.', start)) {
        parts.push_back(id.substr(start, dot - start));
        start = dot + 1;
    }
    parts.push_back(id.substr(start));
    return parts;
}

std::string Join(const std::vector<std::string>& parts, std::size_t count) {
    std::string id;
    for (std::size_t i = 0; i < count; ++i) {
        id += (i == 0 ? "" : ".") + parts[i];
    }
    return id;
}

// '*' any run, '?' any one character.
bool Matches(const char* text, const char* pattern) {
    if (*pattern == '\0') {
        return *text == '\0';
    }
    if (*pattern == '*') {
        return Matches(text, pattern + 1) || (*text != '\0' && Matches(text + 1, pattern));
    }
    return *text != '\0' && (*pattern == '?' || *pattern == *text) &&
           Matches(text + 1, pattern + 1);
}

}  // namespace

// One server object: the groups it added and its browse position.
class InMemoryOpcServerObject final : public OpcServer {
public:
    InMemoryOpcServerObject(InMemoryOpcServer& server, int id) : server_(server), id_(id) {
        server_.objects_[id_] = this;
    }
    ~InMemoryOpcServerObject() override { server_.ReleaseObject(id_); }

    OpcResult SetClientName(const std::string& name) override {
        server_.clientName_ = name;
        return server_.Fault("SetClientName");
    }

    OpcResult GetErrorString(OpcResult code, std::string& text) override {
        const auto found = server_.errorTexts_.find(code);
        if (found == server_.errorTexts_.end()) {
            return kEInvalidArg;
        }
        text = found->second;
        return kSOk;
    }

    OpcResult AdviseShutdown(ShutdownSink sink, std::uint32_t& cookie) override {
        if (!server_.shutdownPoint_) {
            return kENoInterface;
        }
        cookie = server_.nextHandle_++;
        server_.shutdownSinks_[cookie] = {id_, std::move(sink)};
        return kSOk;
    }

    OpcResult UnadviseShutdown(std::uint32_t cookie) override {
        return server_.shutdownSinks_.erase(cookie) == 1 ? kSOk : kConnectNoConnection;
    }

    OpcResult AddGroup(const std::string& name, bool active, std::uint32_t requestedRate,
                       std::uint32_t clientGroup, float percentDeadband, std::uint32_t,
                       std::uint32_t& serverGroup, std::uint32_t& revisedRate) override {
        if (const OpcResult fault = server_.Fault("AddGroup"); fault != kSOk) {
            return fault;
        }
        std::string granted = name;
        for (int n = 1; granted.empty() || NameTaken(granted); ++n) {
            if (!name.empty()) {
                return kOpcEDuplicateName;
            }
            granted = "Group" + std::to_string(n);
        }
        revisedRate = requestedRate;
        if (const std::uint32_t step = server_.rateStep_; step != 0) {
            revisedRate = std::max(step, (requestedRate + step - 1) / step * step);
        }
        serverGroup = server_.nextHandle_++;
        InMemoryOpcServer::Group& group = server_.groups_[serverGroup];
        group.object = id_;
        group.state = {granted, active, revisedRate, percentDeadband, clientGroup, serverGroup};
        return revisedRate == requestedRate ? kSOk : kOpcSUnsupportedRate;
    }

    OpcResult RemoveGroup(std::uint32_t serverGroup, bool) override {
        if (Mine(serverGroup) == nullptr) {
            return kEInvalidArg;
        }
        server_.groups_.erase(serverGroup);
        return kSOk;
    }

    OpcResult GetState(std::uint32_t serverGroup, OpcGroupState& state) override {
        if (const OpcResult fault = server_.Fault("GetState"); fault != kSOk) {
            return fault;
        }
        const InMemoryOpcServer::Group* group = Mine(serverGroup);
        if (group == nullptr) {
            return kEInvalidArg;
        }
        state = group->state;
        return kSOk;
    }

    OpcResult SetState(std::uint32_t serverGroup, std::optional<std::uint32_t> rate,
                       std::uint32_t& revisedRate, std::optional<bool> active,
                       std::optional<float> percentDeadband) override {
        InMemoryOpcServer::Group* group = Mine(serverGroup);
        if (group == nullptr) {
            return kEInvalidArg;
        }
        if (rate) {
            const std::uint32_t step = server_.rateStep_;
            group->state.updateRate =
                step == 0 ? *rate : std::max(step, (*rate + step - 1) / step * step);
        }
        group->state.active = active.value_or(group->state.active);
        group->state.percentDeadband = percentDeadband.value_or(group->state.percentDeadband);
        revisedRate = group->state.updateRate;
        return kSOk;
    }

    OpcResult SetName(std::uint32_t serverGroup, const std::string& name) override {
        InMemoryOpcServer::Group* group = Mine(serverGroup);
        if (group == nullptr || name.empty()) {
            return kEInvalidArg;
        }
        if (group->state.name != name && NameTaken(name)) {
            return kOpcEDuplicateName;
        }
        group->state.name = name;
        return kSOk;
    }

    OpcResult AddItems(std::uint32_t serverGroup, const std::vector<OpcItemDef>& items,
                       std::vector<OpcItemResult>& results) override {
        if (const OpcResult fault = server_.Fault("AddItems"); fault != kSOk) {
            return fault;
        }
        InMemoryOpcServer::Group* group = Mine(serverGroup);
        if (group == nullptr) {
            return kEInvalidArg;
        }
        results.clear();
        OpcResult overall = kSOk;
        for (const OpcItemDef& definition : items) {
            OpcItemResult result;
            const auto known = server_.items_.find(definition.itemId);
            if (definition.itemId.empty()) {
                result.error = kOpcEInvalidItemId;
            } else if (known == server_.items_.end()) {
                result.error = kOpcEUnknownItemId;
            } else {
                result.serverHandle = server_.nextHandle_++;
                result.canonicalType = VariantType(known->second.value);
                result.accessRights = known->second.accessRights;
                group->items.push_back({definition.itemId, definition.accessPath,
                                        definition.clientHandle, result.serverHandle, true});
            }
            if (!OpcSucceeded(result.error)) {
                overall = kSFalse;
            }
            results.push_back(result);
        }
        return overall;
    }

    OpcResult ItemAttributes(std::uint32_t serverGroup,
                             std::vector<OpcItemAttributes>& attributes) override {
        if (const OpcResult fault = server_.Fault("ItemAttributes"); fault != kSOk) {
            return fault;
        }
        const InMemoryOpcServer::Group* group = Mine(serverGroup);
        if (group == nullptr) {
            return kEInvalidArg;
        }
        attributes.clear();
        for (const InMemoryOpcServer::GroupItem& held : group->items) {
            const InMemoryOpcServer::Item& item = server_.items_.at(held.itemId);
            attributes.push_back({held.accessPath, held.itemId, true, held.clientHandle,
                                  held.serverHandle, item.accessRights, VariantType(item.value),
                                  item.euType, item.euInfo});
        }
        return kSOk;
    }

    std::uint32_t GroupInterfaces(std::uint32_t serverGroup) override {
        return Mine(serverGroup) == nullptr ? 0 : server_.groupInterfaces_;
    }

    OpcResult AdviseDataCallback(std::uint32_t serverGroup, DataCallback callback,
                                 std::uint32_t& cookie) override {
        if (const OpcResult fault = server_.Fault("AdviseDataCallback"); fault != kSOk) {
            return fault;
        }
        InMemoryOpcServer::Group* group = Mine(serverGroup);
        if (group == nullptr || (server_.groupInterfaces_ & kOpcGroupConnectionPoints) == 0) {
            return kENoInterface;
        }
        if (group->callback || group->stream) {
            return kEFail;  // one subscription per group is all this server keeps
        }
        group->callback = std::move(callback);
        group->cookie = cookie = server_.nextHandle_++;
        return kSOk;
    }

    OpcResult UnadviseDataCallback(std::uint32_t serverGroup, std::uint32_t cookie) override {
        InMemoryOpcServer::Group* group = Mine(serverGroup);
        if (group == nullptr || !group->callback || group->cookie != cookie) {
            return kConnectNoConnection;
        }
        group->callback = nullptr;
        return kSOk;
    }

    OpcResult DAdvise(std::uint32_t serverGroup, StreamSink sink,
                      std::uint32_t& connection) override {
        if (const OpcResult fault = server_.Fault("DAdvise"); fault != kSOk) {
            return fault;
        }
        InMemoryOpcServer::Group* group = Mine(serverGroup);
        if (group == nullptr || (server_.groupInterfaces_ & kOpcGroupDataObject) == 0) {
            return kENoInterface;
        }
        if (group->callback || group->stream) {
            return kEFail;
        }
        group->stream = std::move(sink);
        group->cookie = connection = server_.nextHandle_++;
        return kSOk;
    }

    OpcResult DUnadvise(std::uint32_t serverGroup, std::uint32_t connection) override {
        InMemoryOpcServer::Group* group = Mine(serverGroup);
        if (group == nullptr || !group->stream || group->cookie != connection) {
            return kConnectNoConnection;
        }
        group->stream = nullptr;
        return kSOk;
    }

    OpcResult QueryOrganization(OpcNamespaceType& type) override {
        type = server_.organization_;
        return kSOk;
    }

    OpcResult ChangeBrowsePosition(OpcBrowseDirection direction, const std::string& name) override {
        if (server_.organization_ == OpcNamespaceType::Flat) {
            return kEFail;
        }
        switch (direction) {
            case OpcBrowseDirection::Up:
                if (position_.empty()) {
                    return kEFail;
                }
                position_.pop_back();
                return kSOk;
            case OpcBrowseDirection::Down: {
                std::vector<std::string> down = position_;
                down.push_back(name);
                return SetPosition(down);
            }
            case OpcBrowseDirection::To:
                return name.empty() ? SetPosition({}) : SetPosition(Split(name));
        }
        return kEInvalidArg;
    }

    OpcResult BrowseOpcItemIds(OpcBrowseType type, const std::string& filter,
                               std::vector<std::string>& ids) override {
        if (const OpcResult fault = server_.Fault("BrowseOpcItemIds"); fault != kSOk) {
            return fault;
        }
        const std::string pattern = filter.empty() ? "*" : filter;
        std::set<std::string> found;
        for (const auto& [id, item] : server_.items_) {
            const std::vector<std::string> parts = Split(id);
            const bool flat = server_.organization_ == OpcNamespaceType::Flat;
            if (type == OpcBrowseType::Flat || flat) {
                if (type != OpcBrowseType::Branch && Below(parts, 0)) {
                    found.insert(id);
                }
                continue;
            }
            if (!Below(parts, position_.size()) || parts.size() == position_.size()) {
                continue;
            }
            const bool leaf = parts.size() == position_.size() + 1;
            if (leaf == (type == OpcBrowseType::Leaf)) {
                found.insert(parts[position_.size()]);
            }
        }
        ids.clear();
        for (const std::string& id : found) {
            if (Matches(id.c_str(), pattern.c_str())) {
                ids.push_back(id);
            }
        }
        return ids.empty() ? kSFalse : kSOk;
    }

    OpcResult GetItemId(const std::string& itemDataId, std::string& itemId) override {
        std::vector<std::string> parts = position_;
        parts.push_back(itemDataId);
        const std::string id = server_.organization_ == OpcNamespaceType::Flat
                                   ? itemDataId
                                   : Join(parts, parts.size());
        if (server_.items_.count(id) == 0) {
            return kEInvalidArg;
        }
        itemId = id;
        return kSOk;
    }

    OpcResult QueryAvailableProperties(const std::string& itemId,
                                       std::vector<OpcItemProperty>& properties) override {
        const auto item = server_.items_.find(itemId);
        if (item == server_.items_.end()) {
            return kOpcEUnknownItemId;
        }
        properties = server_.PropertiesOf(itemId, item->second);
        return kSOk;
    }

    OpcResult GetItemProperties(const std::string& itemId,
                                const std::vector<std::uint32_t>& propertyIds,
                                std::vector<OpcValue>& values,
                                std::vector<OpcResult>& errors) override {
        const auto item = server_.items_.find(itemId);
        if (item == server_.items_.end()) {
            return kOpcEUnknownItemId;
        }
        values.clear();
        errors.clear();
        OpcResult overall = kSOk;
        for (const std::uint32_t id : propertyIds) {
            const std::optional<OpcValue> value = server_.PropertyValue(item->second, id);
            values.push_back(value.value_or(OpcValue{}));
            errors.push_back(value ? kSOk : kOpcEInvalidPid);
            overall = value ? overall : kSFalse;
        }
        return overall;
    }

private:
    InMemoryOpcServer::Group* Mine(std::uint32_t serverGroup) {
        InMemoryOpcServer::Group* group = server_.FindGroup(serverGroup);
        return group != nullptr && group->object == id_ ? group : nullptr;
    }

    bool NameTaken(const std::string& name) const {
        return std::any_of(server_.groups_.begin(), server_.groups_.end(), [&](const auto& g) {
            return g.second.object == id_ && g.second.state.name == name;
        });
    }

    // Whether the identifier lies below the first `depth` parts of the position.
    bool Below(const std::vector<std::string>& parts, std::size_t depth) const {
        return parts.size() >= depth &&
               std::equal(position_.begin(), position_.begin() + static_cast<std::ptrdiff_t>(depth),
                          parts.begin());
    }

    OpcResult SetPosition(const std::vector<std::string>& branch) {
        for (const auto& [id, item] : server_.items_) {
            const std::vector<std::string> parts = Split(id);
            if (parts.size() > branch.size() &&
                std::equal(branch.begin(), branch.end(), parts.begin())) {
                position_ = branch;
                return kSOk;
            }
        }
        return kEInvalidArg;
    }

    InMemoryOpcServer& server_;
    const int id_;
    std::vector<std::string> position_;
};

InMemoryOpcServer::InMemoryOpcServer(std::string progId, std::string vendor) {
    info.classId = "{" + progId + "}";
    info.progId = progId;
    info.userType = progId;
    info.vendor = std::move(vendor);
    info.da1 = true;
    info.da2 = true;
    errorTexts_[kOpcEUnknownItemId] =
        "The item ID is not defined in the server address space or no longer exists.";
}

InMemoryOpcServer::~InMemoryOpcServer() = default;

OpcResult InMemoryOpcServer::Fault(const std::string& operation) {
    const auto found = faults_.find(operation);
    if (found == faults_.end()) {
        return kSOk;
    }
    const OpcResult code = found->second;
    faults_.erase(found);
    return code;
}

InMemoryOpcServer::Group* InMemoryOpcServer::FindGroup(std::uint32_t serverGroup) {
    const auto found = groups_.find(serverGroup);
    return found == groups_.end() ? nullptr : &found->second;
}

void InMemoryOpcServer::ReleaseObject(int object) {
    objects_.erase(object);
    std::erase_if(groups_, [&](const auto& g) { return g.second.object == object; });
    std::erase_if(shutdownSinks_, [&](const auto& s) { return s.second.object == object; });
}

void InMemoryOpcServer::SetValue(const std::string& itemId, OpcValue value, std::uint16_t quality,
                                 std::optional<double> utcTimestamp) {
    Item& item = items_[itemId];
    item.value = std::move(value);
    item.quality = quality;
    item.timestamp = utcTimestamp;
    for (auto& [handle, group] : groups_) {
        for (GroupItem& held : group.items) {
            held.owed = held.owed || held.itemId == itemId;
        }
    }
}

void InMemoryOpcServer::RemoveItem(const std::string& itemId) {
    items_.erase(itemId);
    for (auto& [handle, group] : groups_) {
        std::erase_if(group.items, [&](const GroupItem& held) { return held.itemId == itemId; });
    }
}

void InMemoryOpcServer::SetEngineeringUnits(const std::string& itemId, std::uint32_t euType,
                                            std::vector<OpcValue> euInfo) {
    Item& item = items_[itemId];
    item.euType = euType;
    item.euInfo = std::move(euInfo);
}

void InMemoryOpcServer::SetAccessRights(const std::string& itemId, std::uint32_t rights) {
    items_[itemId].accessRights = rights;
}

void InMemoryOpcServer::AddProperty(const std::string& itemId, std::uint32_t id,
                                    const std::string& description, OpcValue value) {
    items_[itemId].vendorProperties.push_back({id, description, std::move(value)});
}

std::vector<OpcItemProperty> InMemoryOpcServer::PropertiesOf(const std::string&,
                                                             const Item& item) const {
    std::vector<OpcItemProperty> properties = {
        {1, "Item Canonical DataType", kVtI2},
        {2, "Item Value", VariantType(item.value)},
        {3, "Item Quality", kVtI2},
        {4, "Item Timestamp", kVtDate},
        {5, "Item Access Rights", kVtI4},
        {6, "Server Scan Rate", kVtR4},
    };
    for (const Property& vendor : item.vendorProperties) {
        properties.push_back({vendor.id, vendor.description, VariantType(vendor.value)});
    }
    return properties;
}

std::optional<OpcValue> InMemoryOpcServer::PropertyValue(const Item& item, std::uint32_t id) const {
    switch (id) {
        case 1:
            return OpcValue{std::int32_t{VariantType(item.value)}};
        case 2:
            return item.value;
        case 3:
            return OpcValue{std::int32_t{item.quality}};
        case 4:
            return item.timestamp ? OpcValue{*item.timestamp} : OpcValue{};
        case 5:
            return OpcValue{static_cast<std::int32_t>(item.accessRights)};
        case 6:
            return OpcValue{static_cast<double>(rateStep_)};
        default:
            for (const Property& vendor : item.vendorProperties) {
                if (vendor.id == id) {
                    return vendor.value;
                }
            }
            return std::nullopt;
    }
}

int InMemoryOpcServer::DeliverChanges() {
    std::vector<std::uint32_t> handles;
    for (const auto& [handle, group] : groups_) {
        handles.push_back(handle);
    }
    int callbacks = 0;
    for (const std::uint32_t handle : handles) {
        callbacks += DeliverChanges(handle) ? 1 : 0;
    }
    return callbacks;
}

bool InMemoryOpcServer::DeliverChanges(std::uint32_t serverGroup) {
    const Group* group = FindGroup(serverGroup);
    if (group == nullptr || !group->state.active || (!group->callback && !group->stream)) {
        return false;
    }
    const bool owed = std::any_of(group->items.begin(), group->items.end(),
                                  [](const GroupItem& held) { return held.owed; });
    if (owed) {
        Deliver(serverGroup);
    }
    return owed;
}

void InMemoryOpcServer::Deliver(std::uint32_t serverGroup) {
    Group& group = *FindGroup(serverGroup);
    OpcDataChange change;
    OpcDataStream stream;
    change.groupClientHandle = stream.groupClientHandle = group.state.clientGroup;
    bool untimed = false;
    for (GroupItem& held : group.items) {
        if (!std::exchange(held.owed, false)) {
            continue;
        }
        const Item& item = items_.at(held.itemId);
        untimed = untimed || !item.timestamp;
        change.clientHandles.push_back(held.clientHandle);
        change.values.push_back(item.value);
        change.qualities.push_back(item.quality);
        change.timestamps.push_back(item.timestamp.value_or(0));
        stream.items.push_back({held.clientHandle, static_cast<std::uint32_t>(stream.values.size()),
                                item.quality, item.timestamp});
        stream.values.push_back(item.value);
    }
    if (omitQualities_) {
        change.qualities.clear();
    }
    if (omitTimestamps_ || untimed) {
        change.timestamps.clear();
    }
    if (group.callback) {
        SendDataChange(serverGroup, change);
    } else {
        SendStream(serverGroup, stream);
    }
}

void InMemoryOpcServer::SendDataChange(std::uint32_t serverGroup, const OpcDataChange& change) {
    const Group* group = FindGroup(serverGroup);
    if (group != nullptr && group->callback) {
        // A copy: the receiver may remove the group and with it the callback.
        const OpcServer::DataCallback callback = group->callback;
        callback(change);
    }
}

void InMemoryOpcServer::SendStream(std::uint32_t serverGroup, const OpcDataStream& stream) {
    const Group* group = FindGroup(serverGroup);
    if (group != nullptr && group->stream) {
        const OpcServer::StreamSink sink = group->stream;
        sink(stream);
    }
}

void InMemoryOpcServer::RequestShutdown(const std::string& reason) {
    std::vector<std::uint32_t> cookies;
    for (const auto& [cookie, subscription] : shutdownSinks_) {
        cookies.push_back(cookie);
    }
    for (const std::uint32_t cookie : cookies) {
        const auto found = shutdownSinks_.find(cookie);
        if (found != shutdownSinks_.end()) {
            const OpcServer::ShutdownSink sink = found->second.sink;
            sink(reason);
        }
    }
}

std::vector<OpcGroupState> InMemoryOpcServer::Groups() const {
    std::vector<OpcGroupState> states;
    for (const auto& [handle, group] : groups_) {
        states.push_back(group.state);
    }
    return states;
}

std::vector<std::string> InMemoryOpcServer::GroupItems(std::uint32_t serverGroup) const {
    std::vector<std::string> ids;
    const auto found = groups_.find(serverGroup);
    if (found != groups_.end()) {
        for (const GroupItem& held : found->second.items) {
            ids.push_back(held.itemId);
        }
    }
    return ids;
}

std::string InMemoryOpcTransport::HostKey(const std::string& host) {
    std::string key = host;
    for (char& c : key) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return key;
}

void InMemoryOpcTransport::AddServer(InMemoryOpcServer& server, const std::string& host) {
    servers_.emplace(HostKey(host), &server);
}

void InMemoryOpcTransport::SetUnreachable(const std::string& host, bool unreachable) {
    unreachable_[HostKey(host)] = unreachable;
}

OpcResult InMemoryOpcTransport::ListServers(const std::string& host,
                                            std::vector<OpcServerInfo>& servers) {
    if (unreachable_[HostKey(host)]) {
        return kRpcServerUnavailable;
    }
    servers.clear();
    const auto [first, last] = servers_.equal_range(HostKey(host));
    for (auto it = first; it != last; ++it) {
        servers.push_back(it->second->info);
    }
    return kSOk;
}

OpcResult InMemoryOpcTransport::CreateServer(const std::string& host, const std::string& classId,
                                             std::unique_ptr<OpcServer>& server) {
    if (unreachable_[HostKey(host)]) {
        return kRpcServerUnavailable;
    }
    const auto [first, last] = servers_.equal_range(HostKey(host));
    for (auto it = first; it != last; ++it) {
        InMemoryOpcServer& found = *it->second;
        if (found.info.classId == classId) {
            if (const OpcResult fault = found.Fault("CreateServer"); fault != kSOk) {
                return fault;
            }
            server = std::make_unique<InMemoryOpcServerObject>(found, found.nextObject_++);
            return kSOk;
        }
    }
    return kClassNotRegistered;
}

}  // namespace tarvedde

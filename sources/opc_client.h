// The OPC client component: a client connected to one OPC DA server with a collection
// of groups, each delivering every data change of its items as an event with the item's
// line index, value, quality and local time stamp. Versions 2.0 (data callback) and 1.0
// (data stream) end in the same delivery; a server offering neither connects but
// delivers nothing.
//
// Failures raise EOpcClient (or EOpcEnum when the server is not listed) with the texts
// of opc_texts.h; nothing here shows a message. A failed group connect leaves the group
// disconnected, a failed client connect leaves the client inactive. Disconnecting never
// raises: a server that has gone away cannot refuse it. One thread; event handlers may
// disconnect the client or the group that calls them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/time_zone.h"
#include "sources/opc_server.h"
#include "sources/opc_texts.h"

namespace tarvedde {

class TOpcGroup;
class TOpcGroupCollection;
class TOpcSimpleClient;

// The client's events; each does nothing unless overridden.
class TOpcClientEvents {
public:
    virtual ~TOpcClientEvents() = default;
    virtual void OnConnect(TOpcSimpleClient&) {}
    virtual void OnDisconnect(TOpcSimpleClient&) {}
    virtual void OnServerShutdown(TOpcSimpleClient&) {}
};

// A group's data-change event: `itemIndex` is the 0-based line of Items, `newTimestamp`
// a local day number.
class TDataChangeEvent {
public:
    virtual ~TDataChangeEvent() = default;
    virtual void OnDataChange(TOpcGroup& sender, std::int32_t itemIndex, const OpcValue& newValue,
                              std::uint16_t newQuality, double newTimestamp) = 0;
};

// The address-space browser joins here: told after every connect and disconnect.
class TOpcClientLink {
public:
    virtual ~TOpcClientLink() = default;
    virtual void ClientConnectionChanged() = 0;
};

// The runtime record of an item the server accepted.
struct TOpcItemRecord {
    std::uint32_t serverHandle = 0;
    std::uint32_t euType = 0;
    std::vector<OpcValue> euInfo;
    OpcValue value;
    double timestamp = 0;
    std::uint16_t quality = 0;
};

class TOpcGroup {
public:
    TOpcGroup(const TOpcGroup&) = delete;
    TOpcGroup& operator=(const TOpcGroup&) = delete;
    ~TOpcGroup();

    // The state setters pass a change on to the server while connected; the server's
    // answer (granted rate, refused name) wins.
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    std::uint32_t UpdateRate() const { return updateRate_; }
    void SetUpdateRate(std::uint32_t rate);
    bool Active() const { return active_; }
    void SetActive(bool active);
    float PercentDeadband() const { return percentDeadband_; }
    void SetPercentDeadband(float percent);

    // Items and AccessPath are locked while connected ("Operation not allowed on active
    // group"). A sorted list keeps its lines in order and refuses a duplicate.
    const std::vector<std::string>& Items() const { return items_; }
    bool SortedItems() const { return sorted_; }
    // The line index the item got.
    int AddItem(const std::string& itemId);
    void SetItems(std::vector<std::string> itemIds);
    const std::string& AccessPath() const { return accessPath_; }
    void SetAccessPath(const std::string& accessPath);
    // Null for a line without a record (not connected, or rejected by the server).
    const TOpcItemRecord* ItemRecord(int index) const;

    void SetOnDataChange(TDataChangeEvent* handler) { onDataChange_ = handler; }

    bool Connected() const { return server_ != nullptr; }
    bool UsesDataCallback() const { return usesCallback_; }
    std::uint32_t ClientHandle() const { return clientHandle_; }
    std::uint32_t ServerHandle() const { return serverGroup_; }

    // Adds the group and its items on the server and subscribes to their changes.
    void Connect(OpcServer* server);
    // Unsubscribes, frees the item records and removes the group on the server.
    void Disconnect();

private:
    friend class TOpcGroupCollection;
    TOpcGroup(TOpcGroupCollection& collection, std::string name, bool sorted,
              std::uint32_t clientHandle);

    void ConnectSteps();
    void AddServerItems();
    void Subscribe();
    void RequireDisconnected() const;
    void Check(OpcResult result) const;
    void DataCallback(const OpcDataChange& change);
    void StreamData(const OpcDataStream& stream);
    void Deliver(std::uint32_t clientHandle, const OpcValue& value,
                 std::optional<std::uint16_t> quality, std::optional<double> utcTimestamp);

    TOpcGroupCollection& collection_;
    std::string name_;
    std::uint32_t updateRate_ = 1000;
    bool active_ = true;
    float percentDeadband_ = 0;
    bool sorted_ = false;
    std::vector<std::string> items_;
    std::vector<std::unique_ptr<TOpcItemRecord>> records_;
    std::string accessPath_;
    TDataChangeEvent* onDataChange_ = nullptr;

    const std::uint32_t clientHandle_;
    OpcServer* server_ = nullptr;
    std::uint32_t serverGroup_ = 0;
    bool usesCallback_ = false;
    std::uint32_t callbackCookie_ = 0;
    std::optional<std::uint32_t> streamConnection_;
};

// The client's groups, in the order they connect. A collection without a client holds
// groups that cannot connect ("Group cannot find client").
class TOpcGroupCollection {
public:
    explicit TOpcGroupCollection(TOpcSimpleClient* client) : client_(client) {}
    TOpcGroupCollection(const TOpcGroupCollection&) = delete;
    TOpcGroupCollection& operator=(const TOpcGroupCollection&) = delete;

    // Names compare without regard to case: "Duplicate group name not allowed".
    TOpcGroup& Add(const std::string& name);
    // Disconnects the group first; an index out of range deletes nothing.
    void Delete(int index);
    int Count() const { return static_cast<int>(groups_.size()); }
    TOpcGroup& operator[](int index) { return *groups_.at(static_cast<std::size_t>(index)); }
    const TOpcGroup& operator[](int index) const {
        return *groups_.at(static_cast<std::size_t>(index));
    }
    TOpcSimpleClient* Client() const { return client_; }

private:
    friend class TOpcGroup;
    void RequireUniqueName(const std::string& name, const TOpcGroup* except) const;

    TOpcSimpleClient* client_;
    std::vector<std::unique_ptr<TOpcGroup>> groups_;
    std::uint32_t nextClientHandle_ = 1;
};

struct TOpcPropertyValue {
    std::uint32_t id = 0;
    std::string description;
    std::uint16_t dataType = kVtEmpty;
    OpcValue value;
    OpcResult error = kSOk;
};

class TOpcSimpleClient {
public:
    // Local time comes from `clock`; server time stamps (UTC) become local in `localZone`.
    TOpcSimpleClient(OpcTransport& transport, const Clock& clock, TimeZone localZone);
    // Disconnects without firing events.
    ~TOpcSimpleClient();
    TOpcSimpleClient(const TOpcSimpleClient&) = delete;
    TOpcSimpleClient& operator=(const TOpcSimpleClient&) = delete;

    TOpcGroupCollection& Groups() { return groups_; }
    const TOpcGroupCollection& Groups() const { return groups_; }
    const std::string& HostName() const { return hostName_; }
    void SetHostName(const std::string& host) { hostName_ = host; }
    const std::string& ProgID() const { return progId_; }
    // "Operation not allowed on active server" while active.
    void SetProgID(const std::string& progId);
    bool Active() const { return server_ != nullptr; }
    void SetActive(bool active);
    // Applies to the groups added afterwards.
    bool SortedItemLists = false;
    bool ConnectIOPCShutdown = false;  // stored only

    void SetEvents(TOpcClientEvents* events) { events_ = events; }
    void SetBrowser(TOpcClientLink* browser) { browser_ = browser; }

    // `withoutGroups` leaves the groups unconnected (ConnectGroups later). On an active
    // client it only connects the groups; a failure then leaves the client connected.
    void Connect(bool withoutGroups = false);
    void Disconnect();
    void ConnectGroups();
    void DisconnectGroups();

    // The properties the server names for the item with their values; "Operation
    // requires active server" on an inactive client.
    std::vector<TOpcPropertyValue> ItemProperties(const std::string& itemId);

    // The connected server object, null while inactive; for the browser.
    OpcServer* Server() const { return server_.get(); }
    // Raises EOpcClient with the result's text when it is a failure.
    void Check(OpcResult result) const;
    const std::string& ServerName() const { return serverName_; }
    const std::string& Vendor() const { return vendor_; }
    const std::string& ShutdownReason() const { return shutdownReason_; }
    bool IsLocalHost() const;
    // The servers of HostName (GetOpcServerList).
    std::vector<OpcServerInfo> ServerList() const;
    // The local time of a server's UTC time stamp; the clock's now when there is none.
    double LocalTime(std::optional<double> utcTimestamp) const;

private:
    void ShutdownRequest(const std::string& reason);
    void Notify();

    OpcTransport& transport_;
    const Clock& clock_;
    TimeZone localZone_;
    TOpcGroupCollection groups_{this};
    std::string hostName_;
    std::string progId_;
    std::unique_ptr<OpcServer> server_;
    std::string serverName_;
    std::string vendor_;
    std::string shutdownReason_;
    std::optional<std::uint32_t> shutdownCookie_;
    TOpcClientEvents* events_ = nullptr;
    TOpcClientLink* browser_ = nullptr;
};

// The OPC servers of a host ("" or the local computer's name = this machine), with the
// DA versions each supports. EOpcEnum "Could not connect to registry on %s" when the
// host's server list cannot be reached.
std::vector<OpcServerInfo> GetOpcServerList(OpcTransport& transport, const std::string& host);

}  // namespace tarvedde

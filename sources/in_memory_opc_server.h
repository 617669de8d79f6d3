// An in-memory OPC DA server for tests and the scenario runner, and the transport that
// creates its server objects. The address space is the set of item identifiers; in the
// hierarchical organization '.' separates branches ("Plant.Inflow.Flow" is the leaf
// "Flow" under the branches "Plant" and "Inflow"), in the flat one every identifier
// stands alone. Values are typed, with quality and UTC time stamp.
//
// Nothing is delivered on its own: DeliverChanges sends every subscribed, active group
// the items that changed since its last delivery (all of them the first time, as the
// prime-first advise asks), over the connection point (2.0) or the data stream (1.0),
// whichever the server offers and the client chose. Receivers may remove groups or
// release their server object while being called; the server copes. The server must
// outlive every server object created from it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sources/opc_server.h"

namespace tarvedde {

class InMemoryOpcServerObject;

class InMemoryOpcServer {
public:
    explicit InMemoryOpcServer(std::string progId, std::string vendor = "tarvedde");
    ~InMemoryOpcServer();
    InMemoryOpcServer(const InMemoryOpcServer&) = delete;
    InMemoryOpcServer& operator=(const InMemoryOpcServer&) = delete;

    // The record the server list shows; classId, userType and the versions may be edited.
    OpcServerInfo info;

    void SetOrganization(OpcNamespaceType organization) { organization_ = organization; }
    // kOpcGroupConnectionPoints and/or kOpcGroupDataObject; both by default.
    void SetGroupInterfaces(std::uint32_t interfaces) { groupInterfaces_ = interfaces; }
    void SetShutdownPoint(bool offered) { shutdownPoint_ = offered; }
    // Granted rates are multiples of `step` ms (at least one step); 0 grants any rate.
    void SetRateStep(std::uint32_t step) { rateStep_ = step; }
    // Data callbacks without the quality or the time stamp array.
    void OmitQualities(bool omit) { omitQualities_ = omit; }
    void OmitTimestamps(bool omit) { omitTimestamps_ = omit; }
    // The server's GetErrorString text for a code.
    void SetErrorText(OpcResult code, const std::string& text) { errorTexts_[code] = text; }
    // The next call of `operation` (the OpcServer member's name, or "CreateServer") fails
    // with `code`.
    void FailNext(const std::string& operation, OpcResult code) { faults_[operation] = code; }

    // Adds or changes an item; a change is owed to every group holding it. A data
    // callback that carries an item without time stamp goes without the time stamp array.
    void SetValue(const std::string& itemId, OpcValue value,
                  std::uint16_t quality = kOpcQualityGood,
                  std::optional<double> utcTimestamp = std::nullopt);
    // The item leaves the address space, as after a server's configuration changed: the
    // groups holding it drop it and a new group is refused it.
    void RemoveItem(const std::string& itemId);
    void SetEngineeringUnits(const std::string& itemId, std::uint32_t euType,
                             std::vector<OpcValue> euInfo);
    void SetAccessRights(const std::string& itemId, std::uint32_t rights);
    // A vendor-specific property (id 5000 and up) of an item.
    void AddProperty(const std::string& itemId, std::uint32_t id, const std::string& description,
                     OpcValue value);

    // Returns how many callbacks it made.
    int DeliverChanges();
    // The same for one group, as a server does at each group's own update rate; whether
    // it made a callback.
    bool DeliverChanges(std::uint32_t serverGroup);
    // Hands a data change or stream, as given, to the subscription of a group.
    void SendDataChange(std::uint32_t serverGroup, const OpcDataChange& change);
    void SendStream(std::uint32_t serverGroup, const OpcDataStream& stream);
    // Asks every client that subscribed to the shutdown notice to disconnect.
    void RequestShutdown(const std::string& reason);

    int ServerObjectCount() const { return static_cast<int>(objects_.size()); }
    std::vector<OpcGroupState> Groups() const;
    // The identifiers the group holds, in the order added.
    std::vector<std::string> GroupItems(std::uint32_t serverGroup) const;
    const std::string& ClientName() const { return clientName_; }

private:
    friend class InMemoryOpcServerObject;
    friend class InMemoryOpcTransport;

    struct Property {
        std::uint32_t id;
        std::string description;
        OpcValue value;
    };
    struct Item {
        OpcValue value;
        std::uint16_t quality = kOpcQualityGood;
        std::optional<double> timestamp;
        std::uint32_t accessRights = kOpcReadable;
        std::uint32_t euType = 0;
        std::vector<OpcValue> euInfo;
        std::vector<Property> vendorProperties;
    };
    struct GroupItem {
        std::string itemId;
        std::string accessPath;
        std::uint32_t clientHandle = 0;
        std::uint32_t serverHandle = 0;
        bool owed = true;
    };
    struct Group {
        int object = 0;
        OpcGroupState state;
        std::vector<GroupItem> items;
        OpcServer::DataCallback callback;
        OpcServer::StreamSink stream;
        std::uint32_t cookie = 0;
    };
    struct ShutdownSubscription {
        int object = 0;
        OpcServer::ShutdownSink sink;
    };

    OpcResult Fault(const std::string& operation);
    Group* FindGroup(std::uint32_t serverGroup);
    void ReleaseObject(int object);
    std::vector<OpcItemProperty> PropertiesOf(const std::string& itemId, const Item& item) const;
    std::optional<OpcValue> PropertyValue(const Item& item, std::uint32_t id) const;
    void Deliver(std::uint32_t serverGroup);

    OpcNamespaceType organization_ = OpcNamespaceType::Hierarchical;
    std::uint32_t groupInterfaces_ = kOpcGroupConnectionPoints | kOpcGroupDataObject;
    bool shutdownPoint_ = true;
    std::uint32_t rateStep_ = 0;
    bool omitQualities_ = false;
    bool omitTimestamps_ = false;
    std::map<OpcResult, std::string> errorTexts_;
    std::map<std::string, OpcResult> faults_;
    std::map<std::string, Item> items_;
    std::map<std::uint32_t, Group> groups_;
    std::map<std::uint32_t, ShutdownSubscription> shutdownSinks_;
    std::map<int, InMemoryOpcServerObject*> objects_;
    std::string clientName_;
    int nextObject_ = 1;
    std::uint32_t nextHandle_ = 1;
};

// Serves InMemoryOpcServers by host ("" = this machine).
class InMemoryOpcTransport : public OpcTransport {
public:
    explicit InMemoryOpcTransport(std::string computerName = "PLANT-PC")
        : computerName_(std::move(computerName)) {}

    void AddServer(InMemoryOpcServer& server, const std::string& host = "");
    // An unreachable host answers neither the server list nor object creation.
    void SetUnreachable(const std::string& host, bool unreachable);

    std::string ComputerName() const override { return computerName_; }
    OpcResult ListServers(const std::string& host, std::vector<OpcServerInfo>& servers) override;
    OpcResult CreateServer(const std::string& host, const std::string& classId,
                           std::unique_ptr<OpcServer>& server) override;

private:
    static std::string HostKey(const std::string& host);

    std::string computerName_;
    std::multimap<std::string, InMemoryOpcServer*> servers_;
    std::map<std::string, bool> unreachable_;
};

}  // namespace tarvedde

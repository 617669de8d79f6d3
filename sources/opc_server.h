// The OPC Data Access operations the OPC client component uses (custom interface 1.0 and
// 2.0, OPC Common, and the COM connection points and data advise they rest on), reduced
// to plain values in and out so that a socket protocol can sit behind them: no call hands
// out or keeps a pointer into the server's memory, and every string the server returns
// is the caller's copy (the task allocator's job on COM). Results are HRESULT values.
//
// An OpcServer is one server object (IOPCServer and what is reached from it); releasing
// it removes its groups and subscriptions on the server. The transport creates server
// objects and lists a host's servers (IOPCServerList in place of the registry).
// Callbacks arrive on the thread that runs the event loop, possibly while a call waits;
// a callback may call back into the server, also to remove the group it is delivering to
// or to release the server object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tarvedde {

using OpcResult = std::uint32_t;  // HRESULT bits; failure when the top bit is set

inline constexpr bool OpcSucceeded(OpcResult result) {
    return (result & 0x8000'0000U) == 0;
}

inline constexpr OpcResult kSOk = 0;
inline constexpr OpcResult kSFalse = 1;
inline constexpr OpcResult kENotImpl = 0x8000'4001;
inline constexpr OpcResult kENoInterface = 0x8000'4002;
inline constexpr OpcResult kEFail = 0x8000'4005;
inline constexpr OpcResult kEOutOfMemory = 0x8007'000E;
inline constexpr OpcResult kEInvalidArg = 0x8007'0057;
inline constexpr OpcResult kClassNotRegistered = 0x8004'0154;  // REGDB_E_CLASSNOTREG
inline constexpr OpcResult kConnectNoConnection = 0x8004'0200;
inline constexpr OpcResult kRpcServerUnavailable = 0x8007'06BA;

inline constexpr OpcResult kOpcEInvalidHandle = 0xC004'0001;
inline constexpr OpcResult kOpcEBadType = 0xC004'0004;
inline constexpr OpcResult kOpcEUnknownItemId = 0xC004'0007;
inline constexpr OpcResult kOpcEInvalidItemId = 0xC004'0008;
inline constexpr OpcResult kOpcEInvalidFilter = 0xC004'0009;
inline constexpr OpcResult kOpcEUnknownPath = 0xC004'000A;
inline constexpr OpcResult kOpcERange = 0xC004'000B;
inline constexpr OpcResult kOpcEDuplicateName = 0xC004'000C;
inline constexpr OpcResult kOpcSUnsupportedRate = 0x0004'000D;
inline constexpr OpcResult kOpcSClamp = 0x0004'000E;
inline constexpr OpcResult kOpcSInUse = 0x0004'000F;
inline constexpr OpcResult kOpcEInvalidConfigFile = 0xC004'0010;
inline constexpr OpcResult kOpcENotFound = 0xC004'0011;
inline constexpr OpcResult kOpcEInvalidPid = 0xC004'0203;

// Variant type codes (VARTYPE) as OPC reports canonical and property data types.
inline constexpr std::uint16_t kVtEmpty = 0;
inline constexpr std::uint16_t kVtI2 = 2;
inline constexpr std::uint16_t kVtI4 = 3;
inline constexpr std::uint16_t kVtR4 = 4;
inline constexpr std::uint16_t kVtR8 = 5;
inline constexpr std::uint16_t kVtDate = 7;
inline constexpr std::uint16_t kVtBstr = 8;
inline constexpr std::uint16_t kVtBool = 11;

// The values the program exchanges: empty, double, integer, boolean, string.
using OpcValue = std::variant<std::monostate, double, std::int32_t, bool, std::string>;
std::uint16_t VariantType(const OpcValue& value);

inline constexpr std::uint16_t kOpcQualityGood = 0xC0;
// The quality's two top bits: good, uncertain (0x40) or bad.
inline constexpr std::uint16_t kOpcQualityMask = 0xC0;
inline constexpr std::uint16_t kOpcQualityBad = 0x00;
inline constexpr std::uint32_t kOpcReadable = 1;  // access rights bits
inline constexpr std::uint32_t kOpcWriteable = 2;
inline constexpr std::uint32_t kLocaleUserDefault = 0x0400;

enum class OpcNamespaceType : std::uint32_t { Hierarchical = 1, Flat = 2 };
enum class OpcBrowseType : std::uint32_t { Branch = 1, Leaf = 2, Flat = 3 };
enum class OpcBrowseDirection : std::uint32_t { Up = 1, Down = 2, To = 3 };

// What a group object answers to QueryInterface: the 2.0 connection point container,
// the 1.0 data object, both or neither.
inline constexpr std::uint32_t kOpcGroupConnectionPoints = 1;
inline constexpr std::uint32_t kOpcGroupDataObject = 2;

struct OpcServerInfo {
    std::string classId;  // empty: the class is not registered
    std::string progId;
    std::string userType;
    std::string vendor;
    bool da1 = false;
    bool da2 = false;
};

struct OpcGroupState {
    std::string name;
    bool active = false;
    std::uint32_t updateRate = 0;
    float percentDeadband = 0;
    std::uint32_t clientGroup = 0;
    std::uint32_t serverGroup = 0;
};

struct OpcItemDef {
    std::string accessPath;
    std::string itemId;
    bool active = true;
    std::uint32_t clientHandle = 0;
    std::uint16_t requestedType = kVtEmpty;
};

struct OpcItemResult {
    OpcResult error = kSOk;
    std::uint32_t serverHandle = 0;
    std::uint16_t canonicalType = kVtEmpty;
    std::uint32_t accessRights = 0;
};

struct OpcItemAttributes {
    std::string accessPath;
    std::string itemId;
    bool active = true;
    std::uint32_t clientHandle = 0;
    std::uint32_t serverHandle = 0;
    std::uint32_t accessRights = 0;
    std::uint16_t canonicalType = kVtEmpty;
    std::uint32_t euType = 0;      // 0 none, 1 analog, 2 enumerated
    std::vector<OpcValue> euInfo;  // analog: low and high; enumerated: the texts
};

struct OpcItemProperty {
    std::uint32_t id = 0;
    std::string description;
    std::uint16_t dataType = kVtEmpty;
};

// IOPCDataCallback::OnDataChange. Time stamps are UTC day numbers. The quality and time
// stamp arrays may be missing (empty); a server may also send arrays of unequal length.
struct OpcDataChange {
    std::uint32_t groupClientHandle = 0;
    std::vector<std::uint32_t> clientHandles;
    std::vector<OpcValue> values;
    std::vector<std::uint16_t> qualities;
    std::vector<double> timestamps;
};

// The 1.0 "OPCSTMFORMATDATATIME" stream: a header per item that points at its value.
struct OpcStreamItemHeader {
    std::uint32_t clientHandle = 0;
    std::uint32_t valueOffset = 0;  // index into OpcDataStream::values
    std::uint16_t quality = 0;
    std::optional<double> timestamp;  // UTC day number; empty for a zero file time
};

struct OpcDataStream {
    std::uint32_t groupClientHandle = 0;
    std::vector<OpcStreamItemHeader> items;
    std::vector<OpcValue> values;
};

class OpcServer {
public:
    using ShutdownSink = std::function<void(const std::string& reason)>;
    using DataCallback = std::function<void(const OpcDataChange&)>;
    using StreamSink = std::function<void(const OpcDataStream&)>;

    virtual ~OpcServer() = default;

    // The connection is gone for good (the server process died): every later call fails.
    // A transport that cannot tell answers false.
    virtual bool Lost() const { return false; }

    // IOPCCommon.
    virtual OpcResult SetClientName(const std::string& name) = 0;
    virtual OpcResult GetErrorString(OpcResult code, std::string& text) = 0;

    // The IOPCShutdown connection point; a failure means the server does not offer it.
    virtual OpcResult AdviseShutdown(ShutdownSink sink, std::uint32_t& cookie) = 0;
    virtual OpcResult UnadviseShutdown(std::uint32_t cookie) = 0;

    // IOPCServer. OPC_S_UNSUPPORTEDRATE is a success with another `revisedRate`.
    virtual OpcResult AddGroup(const std::string& name, bool active, std::uint32_t requestedRate,
                               std::uint32_t clientGroup, float percentDeadband,
                               std::uint32_t localeId, std::uint32_t& serverGroup,
                               std::uint32_t& revisedRate) = 0;
    // Removes the group's items and subscriptions with it.
    virtual OpcResult RemoveGroup(std::uint32_t serverGroup, bool force) = 0;

    // IOPCGroupStateMgt. SetState changes only what is given; `revisedRate` gets the rate
    // in force afterwards.
    virtual OpcResult GetState(std::uint32_t serverGroup, OpcGroupState& state) = 0;
    virtual OpcResult SetState(std::uint32_t serverGroup, std::optional<std::uint32_t> rate,
                               std::uint32_t& revisedRate, std::optional<bool> active,
                               std::optional<float> percentDeadband) = 0;
    virtual OpcResult SetName(std::uint32_t serverGroup, const std::string& name) = 0;

    // IOPCItemMgt::AddItems: S_FALSE when some items failed (see their results).
    virtual OpcResult AddItems(std::uint32_t serverGroup, const std::vector<OpcItemDef>& items,
                               std::vector<OpcItemResult>& results) = 0;
    // IOPCItemMgt::CreateEnumerator for IEnumOPCItemAttributes and one Next for all.
    virtual OpcResult ItemAttributes(std::uint32_t serverGroup,
                                     std::vector<OpcItemAttributes>& attributes) = 0;

    // kOpcGroupConnectionPoints and/or kOpcGroupDataObject; 0 for an unknown group.
    virtual std::uint32_t GroupInterfaces(std::uint32_t serverGroup) = 0;
    // Version 2.0: Advise / Unadvise on the group's IOPCDataCallback connection point.
    virtual OpcResult AdviseDataCallback(std::uint32_t serverGroup, DataCallback callback,
                                         std::uint32_t& cookie) = 0;
    virtual OpcResult UnadviseDataCallback(std::uint32_t serverGroup, std::uint32_t cookie) = 0;
    // Version 1.0: DAdvise with the data-and-time stream format and the prime-first flag.
    virtual OpcResult DAdvise(std::uint32_t serverGroup, StreamSink sink,
                              std::uint32_t& connection) = 0;
    virtual OpcResult DUnadvise(std::uint32_t serverGroup, std::uint32_t connection) = 0;

    // IOPCBrowseServerAddressSpace; the browse position belongs to this server object.
    virtual OpcResult QueryOrganization(OpcNamespaceType& type) = 0;
    virtual OpcResult ChangeBrowsePosition(OpcBrowseDirection direction,
                                           const std::string& name) = 0;
    virtual OpcResult BrowseOpcItemIds(OpcBrowseType type, const std::string& filter,
                                       std::vector<std::string>& ids) = 0;
    virtual OpcResult GetItemId(const std::string& itemDataId, std::string& itemId) = 0;

    // IOPCItemProperties. `errors` holds one result per requested property.
    virtual OpcResult QueryAvailableProperties(const std::string& itemId,
                                               std::vector<OpcItemProperty>& properties) = 0;
    virtual OpcResult GetItemProperties(const std::string& itemId,
                                        const std::vector<std::uint32_t>& propertyIds,
                                        std::vector<OpcValue>& values,
                                        std::vector<OpcResult>& errors) = 0;
};

class OpcTransport {
public:
    virtual ~OpcTransport() = default;

    // The local computer's name: a host name equal to it (any case) is the local machine.
    virtual std::string ComputerName() const = 0;
    // The OPC DA 1.0 and 2.0 servers of a host ("" = this machine).
    virtual OpcResult ListServers(const std::string& host, std::vector<OpcServerInfo>& servers) = 0;
    // Creates the server object of a class on a host ("" = this machine).
    virtual OpcResult CreateServer(const std::string& host, const std::string& classId,
                                   std::unique_ptr<OpcServer>& server) = 0;
};

}  // namespace tarvedde

// The frames of the local OPC socket protocol between SocketOpcTransport and
// SocketOpcServer, and the plain-value encoding of what the OpcServer operations carry.
// A frame is a 4-byte little-endian length, then that many bytes: kind (u8), sequence
// (u32), operation (u16), body. Integers are little-endian, floats their IEEE bits, a
// string or list a u32 count and its elements. Everything read is untrusted: an
// oversized, short or unknown frame is a sticky decoder error, a body that does not
// parse makes the reader fail, and counts are bounded by the bytes left and a list by
// kOpcMaxListBytes in memory, so garbage never allocates more than a few frames' size.
//
// A connection starts with kList (the servers behind the endpoint) or kCreate(classId),
// which makes the connection one server object until it closes. Requests carry a
// sequence the reply repeats; a reply body starts with the operation's OpcResult.
// Pushes (shutdown request, data change, data stream) go from server to client with
// sequence 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sources/opc_server.h"

namespace tarvedde {

inline constexpr std::size_t kOpcMaxFrameBytes = 4 * 1024 * 1024;  // after the length
// A list element takes one byte on the wire at least but sizeof its type in memory.
inline constexpr std::size_t kOpcMaxListBytes = 4 * kOpcMaxFrameBytes;

enum class OpcFrameKind : std::uint8_t { kRequest = 1, kReply = 2, kPush = 3 };

enum class OpcOp : std::uint16_t {
    kList = 1,
    kCreate,
    kSetClientName,
    kGetErrorString,
    kAdviseShutdown,
    kUnadviseShutdown,
    kAddGroup,
    kRemoveGroup,
    kGetState,
    kSetState,
    kSetName,
    kAddItems,
    kItemAttributes,
    kGroupInterfaces,
    kAdviseDataCallback,
    kUnadviseDataCallback,
    kDAdvise,
    kDUnadvise,
    kQueryOrganization,
    kChangeBrowsePosition,
    kBrowseOpcItemIds,
    kGetItemId,
    kQueryAvailableProperties,
    kGetItemProperties,
    kShutdownPush = 100,  // cookie, reason
    kDataChangePush,      // server group, cookie, OpcDataChange
    kStreamPush,          // server group, connection, OpcDataStream
};

struct OpcFrame {
    OpcFrameKind kind = OpcFrameKind::kRequest;
    std::uint32_t sequence = 0;
    OpcOp op = OpcOp::kList;
    std::string body;
};

// The whole frame; empty when it would exceed kOpcMaxFrameBytes.
std::string EncodeOpcFrame(const OpcFrame& frame);

class OpcFrameDecoder {
public:
    enum class Outcome { kNeedMore, kFrame, kError };
    void Feed(std::string_view bytes) { buffer_.append(bytes); }
    Outcome Next(OpcFrame& frame, std::string& error);
    bool HasBufferedBytes() const { return !buffer_.empty(); }

private:
    std::string buffer_;
    bool failed_ = false;
    std::string failure_;
};

class WireWriter {
public:
    WireWriter& U8(std::uint8_t value);
    WireWriter& U16(std::uint16_t value);
    WireWriter& U32(std::uint32_t value);
    WireWriter& F32(float value);
    WireWriter& F64(double value);
    WireWriter& Bool(bool value) { return U8(value ? 1 : 0); }
    WireWriter& Str(std::string_view value);
    const std::string& Bytes() const { return bytes_; }
    std::string Take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

// Reads until the first shortfall; from then on every read gives zero and Ok() is false.
class WireReader {
public:
    explicit WireReader(std::string_view bytes) : bytes_(bytes) {}
    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    float F32();
    double F64();
    bool Bool() { return U8() != 0; }
    std::string Str();
    // A count of elements that take at least `minBytes` each; fails beyond the bytes left.
    std::uint32_t Count(std::size_t minBytes);
    void Fail() { failed_ = true; }
    bool Ok() const { return !failed_; }
    // Ok and nothing left over.
    bool Done() const { return !failed_ && at_ == bytes_.size(); }

private:
    bool Take(std::size_t n);

    std::string_view bytes_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

void Put(WireWriter& out, const OpcValue& value);
void Put(WireWriter& out, const OpcServerInfo& info);
void Put(WireWriter& out, const OpcGroupState& state);
void Put(WireWriter& out, const OpcItemDef& item);
void Put(WireWriter& out, const OpcItemResult& result);
void Put(WireWriter& out, const OpcItemAttributes& attributes);
void Put(WireWriter& out, const OpcItemProperty& property);
void Put(WireWriter& out, const OpcDataChange& change);
void Put(WireWriter& out, const OpcDataStream& stream);
void Put(WireWriter& out, std::uint32_t value);
void Put(WireWriter& out, std::uint16_t value);
void Put(WireWriter& out, double value);
void Put(WireWriter& out, const std::string& value);
template <typename T>
void Put(WireWriter& out, const std::vector<T>& list) {
    out.U32(static_cast<std::uint32_t>(list.size()));
    for (const T& element : list) {
        Put(out, element);
    }
}

void Get(WireReader& in, OpcValue& value);
void Get(WireReader& in, OpcServerInfo& info);
void Get(WireReader& in, OpcGroupState& state);
void Get(WireReader& in, OpcItemDef& item);
void Get(WireReader& in, OpcItemResult& result);
void Get(WireReader& in, OpcItemAttributes& attributes);
void Get(WireReader& in, OpcItemProperty& property);
void Get(WireReader& in, OpcDataChange& change);
void Get(WireReader& in, OpcDataStream& stream);
void Get(WireReader& in, std::uint32_t& value);
void Get(WireReader& in, std::uint16_t& value);
void Get(WireReader& in, double& value);
void Get(WireReader& in, std::string& value);
template <typename T>
void Get(WireReader& in, std::vector<T>& list) {
    // Every element takes at least one byte on the wire.
    const std::uint32_t count = in.Count(1);
    list.clear();
    if (static_cast<std::uint64_t>(count) * sizeof(T) > kOpcMaxListBytes) {
        in.Fail();
        return;
    }
    for (std::uint32_t i = 0; i < count && in.Ok(); ++i) {
        list.emplace_back();
        Get(in, list.back());
    }
}

}  // namespace tarvedde

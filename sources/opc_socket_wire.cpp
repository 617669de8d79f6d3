// Frames and value encoding of the local OPC socket protocol; see opc_socket_wire.h.
#include "sources/opc_socket_wire.h"

#include <bit>

#include "sources/wire_bytes.h"

namespace tarvedde {
namespace {

constexpr std::size_t kOpcHeaderBytes = 1 + 4 + 2;  // kind, sequence, operation

bool KnownKind(std::uint8_t kind) {
    return kind >= static_cast<std::uint8_t>(OpcFrameKind::kRequest) &&
           kind <= static_cast<std::uint8_t>(OpcFrameKind::kPush);
}

}  // namespace

std::string EncodeOpcFrame(const OpcFrame& frame) {
    const std::size_t length = kOpcHeaderBytes + frame.body.size();
    if (length > kOpcMaxFrameBytes) {
        return {};
    }
    WireWriter out;
    out.U32(static_cast<std::uint32_t>(length))
        .U8(static_cast<std::uint8_t>(frame.kind))
        .U32(frame.sequence)
        .U16(static_cast<std::uint16_t>(frame.op));
    std::string bytes = out.Take();
    bytes += frame.body;
    return bytes;
}

OpcFrameDecoder::Outcome OpcFrameDecoder::Next(OpcFrame& frame, std::string& error) {
    auto fail = [&](std::string why) {
        failed_ = true;
        failure_ = std::move(why);
        buffer_.clear();
        error = failure_;
        return Outcome::kError;
    };
    if (failed_) {
        error = failure_;
        return Outcome::kError;
    }
    if (buffer_.size() < 4) {
        return Outcome::kNeedMore;
    }
    const std::uint32_t length = GetLittleU32(buffer_, 0);
    if (length > kOpcMaxFrameBytes) {
        return fail("frame of " + std::to_string(length) + " bytes exceeds the limit");
    }
    if (length < kOpcHeaderBytes) {
        return fail("frame of " + std::to_string(length) + " bytes is too short");
    }
    if (buffer_.size() < 4 + std::size_t{length}) {
        return Outcome::kNeedMore;
    }
    const auto kind = static_cast<std::uint8_t>(buffer_[4]);
    if (!KnownKind(kind)) {
        return fail("unknown frame kind " + std::to_string(kind));
    }
    WireReader header(std::string_view(buffer_).substr(5, 6));
    frame.kind = static_cast<OpcFrameKind>(kind);
    frame.sequence = header.U32();
    frame.op = static_cast<OpcOp>(header.U16());
    frame.body.assign(buffer_, 4 + kOpcHeaderBytes, length - kOpcHeaderBytes);
    buffer_.erase(0, 4 + std::size_t{length});
    return Outcome::kFrame;
}

WireWriter& WireWriter::U8(std::uint8_t value) {
    bytes_.push_back(static_cast<char>(value));
    return *this;
}

WireWriter& WireWriter::U16(std::uint16_t value) {
    return U8(static_cast<std::uint8_t>(value & 0xFFu)).U8(static_cast<std::uint8_t>(value >> 8));
}

WireWriter& WireWriter::U32(std::uint32_t value) {
    PutLittleU32(bytes_, value);
    return *this;
}

WireWriter& WireWriter::F32(float value) {
    return U32(std::bit_cast<std::uint32_t>(value));
}

WireWriter& WireWriter::F64(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
}

WireWriter& WireWriter::Str(std::string_view value) {
    U32(static_cast<std::uint32_t>(value.size()));
    bytes_.append(value);
    return *this;
}

bool WireReader::Take(std::size_t n) {
    if (failed_ || bytes_.size() - at_ < n) {
        failed_ = true;
        return false;
    }
    return true;
}

std::uint8_t WireReader::U8() {
    if (!Take(1)) {
        return 0;
    }
    return static_cast<std::uint8_t>(bytes_[at_++]);
}

std::uint16_t WireReader::U16() {
    const std::uint16_t low = U8();
    return static_cast<std::uint16_t>(low | (U8() << 8));
}

std::uint32_t WireReader::U32() {
    if (!Take(4)) {
        return 0;
    }
    const std::uint32_t value = GetLittleU32(bytes_, at_);
    at_ += 4;
    return value;
}

float WireReader::F32() {
    return std::bit_cast<float>(U32());
}

double WireReader::F64() {
    const std::uint64_t low = U32();
    const std::uint64_t high = U32();
    return std::bit_cast<double>(low | (high << 32));
}

std::string WireReader::Str() {
    const std::uint32_t size = U32();
    if (!Take(size)) {
        return {};
    }
    std::string text(bytes_.substr(at_, size));
    at_ += size;
    return text;
}

std::uint32_t WireReader::Count(std::size_t minBytes) {
    const std::uint32_t count = U32();
    if (!failed_ && (bytes_.size() - at_) / minBytes < count) {
        failed_ = true;
    }
    return failed_ ? 0 : count;
}

void Put(WireWriter& out, const OpcValue& value) {
    out.U8(static_cast<std::uint8_t>(value.index()));
    if (const auto* real = std::get_if<double>(&value)) {
        out.F64(*real);
    } else if (const auto* integer = std::get_if<std::int32_t>(&value)) {
        out.U32(static_cast<std::uint32_t>(*integer));
    } else if (const auto* boolean = std::get_if<bool>(&value)) {
        out.Bool(*boolean);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        out.Str(*text);
    }
}

void Get(WireReader& in, OpcValue& value) {
    switch (in.U8()) {
        case 0:
            value = std::monostate{};
            return;
        case 1:
            value = in.F64();
            return;
        case 2:
            value = static_cast<std::int32_t>(in.U32());
            return;
        case 3:
            value = in.Bool();
            return;
        case 4:
            value = in.Str();
            return;
        default:
            in.Fail();
    }
}

void Put(WireWriter& out, const OpcServerInfo& info) {
    out.Str(info.classId).Str(info.progId).Str(info.userType).Str(info.vendor);
    out.Bool(info.da1).Bool(info.da2);
}

void Get(WireReader& in, OpcServerInfo& info) {
    info.classId = in.Str();
    info.progId = in.Str();
    info.userType = in.Str();
    info.vendor = in.Str();
    info.da1 = in.Bool();
    info.da2 = in.Bool();
}

void Put(WireWriter& out, const OpcGroupState& state) {
    out.Str(state.name).Bool(state.active).U32(state.updateRate).F32(state.percentDeadband);
    out.U32(state.clientGroup).U32(state.serverGroup);
}

void Get(WireReader& in, OpcGroupState& state) {
    state.name = in.Str();
    state.active = in.Bool();
    state.updateRate = in.U32();
    state.percentDeadband = in.F32();
    state.clientGroup = in.U32();
    state.serverGroup = in.U32();
}

void Put(WireWriter& out, const OpcItemDef& item) {
    out.Str(item.accessPath).Str(item.itemId).Bool(item.active).U32(item.clientHandle);
    out.U16(item.requestedType);
}

void Get(WireReader& in, OpcItemDef& item) {
    item.accessPath = in.Str();
    item.itemId = in.Str();
    item.active = in.Bool();
    item.clientHandle = in.U32();
    item.requestedType = in.U16();
}

void Put(WireWriter& out, const OpcItemResult& result) {
    out.U32(result.error).U32(result.serverHandle).U16(result.canonicalType);
    out.U32(result.accessRights);
}

void Get(WireReader& in, OpcItemResult& result) {
    result.error = in.U32();
    result.serverHandle = in.U32();
    result.canonicalType = in.U16();
    result.accessRights = in.U32();
}

void Put(WireWriter& out, const OpcItemAttributes& attributes) {
    out.Str(attributes.accessPath).Str(attributes.itemId).Bool(attributes.active);
    out.U32(attributes.clientHandle).U32(attributes.serverHandle).U32(attributes.accessRights);
    out.U16(attributes.canonicalType).U32(attributes.euType);
    Put(out, attributes.euInfo);
}

void Get(WireReader& in, OpcItemAttributes& attributes) {
    attributes.accessPath = in.Str();
    attributes.itemId = in.Str();
    attributes.active = in.Bool();
    attributes.clientHandle = in.U32();
    attributes.serverHandle = in.U32();
    attributes.accessRights = in.U32();
    attributes.canonicalType = in.U16();
    attributes.euType = in.U32();
    Get(in, attributes.euInfo);
}

void Put(WireWriter& out, const OpcItemProperty& property) {
    out.U32(property.id).Str(property.description).U16(property.dataType);
}

void Get(WireReader& in, OpcItemProperty& property) {
    property.id = in.U32();
    property.description = in.Str();
    property.dataType = in.U16();
}

void Put(WireWriter& out, const OpcDataChange& change) {
    out.U32(change.groupClientHandle);
    Put(out, change.clientHandles);
    Put(out, change.values);
    Put(out, change.qualities);
    Put(out, change.timestamps);
}

void Get(WireReader& in, OpcDataChange& change) {
    change.groupClientHandle = in.U32();
    Get(in, change.clientHandles);
    Get(in, change.values);
    Get(in, change.qualities);
    Get(in, change.timestamps);
}

void Put(WireWriter& out, const OpcDataStream& stream) {
    out.U32(stream.groupClientHandle);
    out.U32(static_cast<std::uint32_t>(stream.items.size()));
    for (const OpcStreamItemHeader& item : stream.items) {
        out.U32(item.clientHandle).U32(item.valueOffset).U16(item.quality);
        out.Bool(item.timestamp.has_value()).F64(item.timestamp.value_or(0));
    }
    Put(out, stream.values);
}

void Get(WireReader& in, OpcDataStream& stream) {
    stream.groupClientHandle = in.U32();
    const std::uint32_t count = in.Count(19);
    stream.items.clear();
    for (std::uint32_t i = 0; i < count && in.Ok(); ++i) {
        OpcStreamItemHeader& item = stream.items.emplace_back();
        item.clientHandle = in.U32();
        item.valueOffset = in.U32();
        item.quality = in.U16();
        const bool timed = in.Bool();
        const double timestamp = in.F64();
        item.timestamp = timed ? std::optional<double>(timestamp) : std::nullopt;
    }
    Get(in, stream.values);
}

void Put(WireWriter& out, std::uint32_t value) {
    out.U32(value);
}
void Get(WireReader& in, std::uint32_t& value) {
    value = in.U32();
}
void Put(WireWriter& out, std::uint16_t value) {
    out.U16(value);
}
void Get(WireReader& in, std::uint16_t& value) {
    value = in.U16();
}
void Put(WireWriter& out, double value) {
    out.F64(value);
}
void Get(WireReader& in, double& value) {
    value = in.F64();
}
void Put(WireWriter& out, const std::string& value) {
    out.Str(value);
}
void Get(WireReader& in, std::string& value) {
    value = in.Str();
}

}  // namespace tarvedde

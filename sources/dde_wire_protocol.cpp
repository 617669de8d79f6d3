// Frame encoding and decoding of the local DDE socket protocol; see dde_wire_protocol.h.
#include "sources/dde_wire_protocol.h"

#include "sources/wire_bytes.h"

namespace tarvedde {
namespace {

constexpr std::size_t kHeaderBytes = 4 + 4 + 2;  // sequence, code, name length

bool KnownType(std::uint8_t type) {
    return type >= static_cast<std::uint8_t>(DdeFrameType::kConnect) &&
           type <= static_cast<std::uint8_t>(DdeFrameType::kDisconnect);
}

}  // namespace

std::string EncodeDdeFrame(const DdeMessage& message) {
    std::size_t body = 1 + kHeaderBytes + message.name.size() + message.data.size();
    if (message.name.size() > kDdeMaxNameBytes || body > kDdeMaxFrameBytes) {
        return {};
    }
    std::string out;
    out.reserve(4 + body);
    PutLittleU32(out, static_cast<std::uint32_t>(body));
    out.push_back(static_cast<char>(message.type));
    PutLittleU32(out, message.sequence);
    PutLittleU32(out, message.code);
    out.push_back(static_cast<char>(message.name.size() & 0xFFu));
    out.push_back(static_cast<char>(message.name.size() >> 8));
    out += message.name;
    out += message.data;
    return out;
}

DdeFrameDecoder::Outcome DdeFrameDecoder::Next(DdeMessage& message, std::string& error) {
    if (failed_) {
        error = failure_;
        return Outcome::kError;
    }
    auto fail = [&](std::string why) {
        failed_ = true;
        failure_ = std::move(why);
        buffer_.clear();
        error = failure_;
        return Outcome::kError;
    };
    if (buffer_.size() < 4) {
        return Outcome::kNeedMore;
    }
    std::uint32_t length = GetLittleU32(buffer_, 0);
    if (length > kDdeMaxFrameBytes) {
        return fail("frame of " + std::to_string(length) + " bytes exceeds the limit");
    }
    if (length < 1 + kHeaderBytes) {
        return fail("frame of " + std::to_string(length) + " bytes is too short");
    }
    if (buffer_.size() < 4 + std::size_t{length}) {
        return Outcome::kNeedMore;
    }
    std::string_view frame(buffer_.data() + 4, length);
    auto type = static_cast<std::uint8_t>(frame[0]);
    if (!KnownType(type)) {
        return fail("unknown frame type " + std::to_string(type));
    }
    std::size_t nameLength = static_cast<unsigned char>(frame[9]) +
                             (std::size_t{static_cast<unsigned char>(frame[10])} << 8);
    if (nameLength > kDdeMaxNameBytes || 1 + kHeaderBytes + nameLength > length) {
        return fail("name of " + std::to_string(nameLength) + " bytes does not fit its frame");
    }
    message.type = static_cast<DdeFrameType>(type);
    message.sequence = GetLittleU32(frame, 1);
    message.code = GetLittleU32(frame, 5);
    message.name.assign(frame.substr(1 + kHeaderBytes, nameLength));
    message.data.assign(frame.substr(1 + kHeaderBytes + nameLength));
    buffer_.erase(0, 4 + std::size_t{length});
    return Outcome::kMessage;
}

}  // namespace tarvedde

// The frames of the local DDE socket protocol between a client transport and a server
// (plantsim). A frame is a 4-byte little-endian length, then that many bytes: a type byte
// and the payload. Every payload has the same layout: sequence number (u32 LE), result
// code (u32 LE, a DMLERR code), name length (u16 LE, at most 255) and name (topic or item),
// then the data bytes to the end of the frame. A frame is at most kDdeMaxFrameBytes long;
// the decoder treats whatever arrives as untrusted: any oversized, short or unknown frame
// is an error after which the stream cannot be trusted, and the peer must be dropped.
//
// Messages: client -> server kConnect(topic), kAdviseStart/kAdviseStop/kRequest(item) with
// a sequence number; server -> client kReply(same sequence, code, data), kData(item, data)
// for a hot link; either side kDisconnect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvedde {

inline constexpr std::size_t kDdeMaxFrameBytes = 64 * 1024;  // type + payload
inline constexpr std::size_t kDdeMaxNameBytes = 255;

enum class DdeFrameType : std::uint8_t {
    kConnect = 1,
    kAdviseStart = 2,
    kAdviseStop = 3,
    kRequest = 4,
    kReply = 5,
    kData = 6,
    kDisconnect = 7,
};

struct DdeMessage {
    DdeFrameType type = DdeFrameType::kDisconnect;
    std::uint32_t sequence = 0;
    std::uint32_t code = 0;
    std::string name;
    std::string data;
};

// The whole frame; empty when the name or the frame would exceed its bound.
std::string EncodeDdeFrame(const DdeMessage& message);

// Cuts frames out of a byte stream as it arrives.
class DdeFrameDecoder {
public:
    enum class Outcome { kNeedMore, kMessage, kError };

    void Feed(std::string_view bytes) { buffer_.append(bytes); }
    // A message, kNeedMore when the next frame is not complete yet, or kError (with
    // `error` saying why) for a frame that breaks the protocol; errors are sticky.
    Outcome Next(DdeMessage& message, std::string& error);
    // Complete or partial frame bytes not taken yet.
    bool HasBufferedBytes() const { return !buffer_.empty(); }

private:
    std::string buffer_;
    bool failed_ = false;
    std::string failure_;
};

}  // namespace tarvedde

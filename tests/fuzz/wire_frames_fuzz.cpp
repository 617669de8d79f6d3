// Frames of the local DDE and OPC socket protocols from a peer that may be broken or
// hostile. The first byte picks the protocol and how the bytes arrive in pieces.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sources/dde_wire_protocol.h"
#include "sources/opc_socket_wire.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace tarvedde;

void DdeFrames(std::string_view bytes, std::size_t piece) {
    DdeFrameDecoder decoder;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        decoder.Feed(bytes.substr(at, piece));
        DdeMessage message;
        std::string error;
        for (;;) {
            const auto outcome = decoder.Next(message, error);
            if (outcome != DdeFrameDecoder::Outcome::kMessage) {
                if (outcome == DdeFrameDecoder::Outcome::kError) {
                    return;
                }
                break;
            }
            // What was read is what a sender of the same message writes.
            DdeFrameDecoder again;
            again.Feed(EncodeDdeFrame(message));
            DdeMessage copy;
            FUZZ_CHECK(again.Next(copy, error) == DdeFrameDecoder::Outcome::kMessage);
            FUZZ_CHECK(copy.type == message.type && copy.name == message.name &&
                       copy.data == message.data && copy.code == message.code);
        }
    }
}

template <class T>
void ReadList(const std::string& body) {
    WireReader in(body);
    std::vector<T> list;
    Get(in, list);
    FUZZ_CHECK(in.Ok() || list.size() <= body.size());
}

// A frame's body as each kind of answer or push the client reads.
void ReadBody(const OpcFrame& frame) {
    switch (static_cast<unsigned>(frame.op) % 8) {
        case 0:
            ReadList<OpcValue>(frame.body);
            break;
        case 1:
            ReadList<OpcServerInfo>(frame.body);
            break;
        case 2:
            ReadList<OpcGroupState>(frame.body);
            break;
        case 3:
            ReadList<OpcItemDef>(frame.body);
            break;
        case 4:
            ReadList<OpcItemResult>(frame.body);
            break;
        case 5:
            ReadList<OpcItemAttributes>(frame.body);
            break;
        case 6:
            ReadList<OpcItemProperty>(frame.body);
            break;
        default: {
            WireReader in(frame.body);
            OpcDataChange change;
            Get(in, change);
            WireReader again(frame.body);
            OpcDataStream stream;
            Get(again, stream);
        }
    }
}

void OpcFrames(std::string_view bytes, std::size_t piece) {
    OpcFrameDecoder decoder;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        decoder.Feed(bytes.substr(at, piece));
        OpcFrame frame;
        std::string error;
        for (;;) {
            const auto outcome = decoder.Next(frame, error);
            if (outcome != OpcFrameDecoder::Outcome::kFrame) {
                if (outcome == OpcFrameDecoder::Outcome::kError) {
                    return;
                }
                break;
            }
            ReadBody(frame);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t piece = 1 + (data[0] >> 1);
    if ((data[0] & 1) == 0) {
        DdeFrames(bytes, piece);
    } else {
        OpcFrames(bytes, piece);
    }
    return 0;
}

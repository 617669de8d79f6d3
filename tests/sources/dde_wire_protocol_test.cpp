#include "sources/dde_wire_protocol.h"

#include <gtest/gtest.h>

namespace tarvedde {
namespace {

std::string Frame(std::uint32_t length, std::string rest) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((length >> (8 * i)) & 0xFFu));
    }
    return out + rest;
}

TEST(DdeWireProtocol, RoundTripsEveryFieldAlsoByteByByte) {
    DdeMessage sent{DdeFrameType::kData, 0x01020304u, 0x4009u, "Zulauf",
                    std::string("1,5\r\n\0", 6)};
    std::string bytes =
        EncodeDdeFrame(sent) + EncodeDdeFrame({DdeFrameType::kDisconnect, 0, 0, {}, {}});
    DdeFrameDecoder decoder;
    DdeMessage got;
    std::string error;
    std::vector<DdeMessage> all;
    for (char c : bytes) {
        decoder.Feed(std::string_view(&c, 1));
        while (decoder.Next(got, error) == DdeFrameDecoder::Outcome::kMessage) {
            all.push_back(got);
        }
    }
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].type, sent.type);
    EXPECT_EQ(all[0].sequence, sent.sequence);
    EXPECT_EQ(all[0].code, sent.code);
    EXPECT_EQ(all[0].name, sent.name);
    EXPECT_EQ(all[0].data, sent.data);
    EXPECT_EQ(all[1].type, DdeFrameType::kDisconnect);
    EXPECT_FALSE(decoder.HasBufferedBytes());
}

TEST(DdeWireProtocol, FrameAndNameBoundsOnBothSides) {
    std::size_t fixed = 1 + 10;
    DdeMessage m{DdeFrameType::kData, 1, 0, "Q", {}};
    m.data.assign(kDdeMaxFrameBytes - fixed - 1, 'x');
    std::string largest = EncodeDdeFrame(m);
    ASSERT_FALSE(largest.empty());
    m.data.push_back('x');
    EXPECT_TRUE(EncodeDdeFrame(m).empty());
    EXPECT_FALSE(EncodeDdeFrame({DdeFrameType::kData, 1, 0, std::string(255, 'n'), {}}).empty());
    EXPECT_TRUE(EncodeDdeFrame({DdeFrameType::kData, 1, 0, std::string(256, 'n'), {}}).empty());

    DdeFrameDecoder ok;
    ok.Feed(largest);
    DdeMessage got;
    std::string error;
    EXPECT_EQ(ok.Next(got, error), DdeFrameDecoder::Outcome::kMessage);
    EXPECT_EQ(got.data.size(), kDdeMaxFrameBytes - fixed - 1);

    // A length one beyond the limit is refused before its bytes arrive.
    DdeFrameDecoder over;
    over.Feed(Frame(static_cast<std::uint32_t>(kDdeMaxFrameBytes + 1), "\x06"));
    EXPECT_EQ(over.Next(got, error), DdeFrameDecoder::Outcome::kError);
    EXPECT_NE(error.find("exceeds"), std::string::npos);
    over.Feed(EncodeDdeFrame({DdeFrameType::kDisconnect, 0, 0, {}, {}}));
    EXPECT_EQ(over.Next(got, error), DdeFrameDecoder::Outcome::kError);  // sticky
}

TEST(DdeWireProtocol, MalformedFramesAreErrors) {
    DdeMessage got;
    std::string error;
    std::string header(10, '\0');
    struct Case {
        const char* why;
        std::string bytes;
    } cases[] = {
        {"too short", Frame(10, "\x06" + std::string(9, '\0'))},
        {"zero length", Frame(0, "")},
        {"unknown type 0", Frame(11, std::string(1, '\0') + header)},
        {"unknown type 8", Frame(11, "\x08" + header)},
        {"name longer than frame",
         Frame(13, "\x06" + std::string(8, '\0') + std::string("\x03\x00", 2) + "ab")},
        {"name over 255", Frame(11 + 256, "\x06" + std::string(8, '\0') +
                                              std::string("\x00\x01", 2) + std::string(256, 'n'))},
    };
    for (const auto& c : cases) {
        DdeFrameDecoder decoder;
        decoder.Feed(c.bytes);
        EXPECT_EQ(decoder.Next(got, error), DdeFrameDecoder::Outcome::kError) << c.why;
    }
    DdeFrameDecoder truncated;
    std::string frame = EncodeDdeFrame({DdeFrameType::kReply, 7, 0, "Q", "12"});
    truncated.Feed(frame.substr(0, frame.size() - 1));
    EXPECT_EQ(truncated.Next(got, error), DdeFrameDecoder::Outcome::kNeedMore);
    EXPECT_TRUE(truncated.HasBufferedBytes());
    truncated.Feed(frame.substr(frame.size() - 1));
    EXPECT_EQ(truncated.Next(got, error), DdeFrameDecoder::Outcome::kMessage);
}

}  // namespace
}  // namespace tarvedde

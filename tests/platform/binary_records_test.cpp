#include "platform/binary_records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>

namespace tarvedde {
namespace {

std::string Hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!out.empty()) {
            out.push_back(' ');
        }
        out.push_back(kDigits[byte >> 4]);
        out.push_back(kDigits[byte & 0x0F]);
    }
    return out;
}

TEST(BinaryWriter, SmallRecordGoldenBytes) {
    BinaryWriter writer;
    writer.Int32(-1);
    writer.Double(1.5);
    writer.Bool(true);
    writer.Bool(false);
    writer.ShortText("Zulauf", 10);
    writer.UInt16(0x1234);
    writer.UInt8(0xAB);
    writer.Extended(1.0);
    writer.Zeros(2);
    EXPECT_EQ(Hex(writer.Data()),
              "FF FF FF FF "
              "00 00 00 00 00 00 F8 3F "
              "01 00 "
              "06 5A 75 6C 61 75 66 00 00 00 00 "
              "34 12 AB "
              "00 00 00 00 00 00 00 80 FF 3F "
              "00 00");
}

TEST(BinaryWriter, ShortTextIsWindows1252CutToCapacityAndPadded) {
    const auto shortText = [](std::string_view text, int capacity) {
        BinaryWriter writer;
        writer.ShortText(text, capacity);
        return Hex(writer.Data());
    };
    EXPECT_EQ(shortText("Größe", 10), "05 47 72 F6 DF 65 00 00 00 00 00");
    EXPECT_EQ(shortText("Zulauf", 6), "06 5A 75 6C 61 75 66");
    EXPECT_EQ(shortText("Zulauf", 5), "05 5A 75 6C 61 75");
    EXPECT_EQ(shortText("", 3), "00 00 00 00");
}

TEST(BinaryReader, ReadsWhatTheWriterWrote) {
    BinaryWriter writer;
    writer.Int32(-123456789);
    writer.UInt16(65535);
    writer.UInt8(7);
    writer.Bool(true);
    writer.Double(-0.1);
    writer.Extended(1e-310);
    writer.ShortText("Nachklärbecken 2", 20);
    const std::string bytes = writer.Take();
    ASSERT_EQ(bytes.size(), 4u + 2 + 1 + 1 + 8 + 10 + 21);

    BinaryReader reader(bytes);
    EXPECT_EQ(reader.Int32(), -123456789);
    EXPECT_EQ(reader.UInt16(), 65535);
    EXPECT_EQ(reader.UInt8(), 7);
    EXPECT_EQ(reader.Bool(), true);
    EXPECT_EQ(reader.Double(), -0.1);
    EXPECT_EQ(reader.Extended(), 1e-310);
    EXPECT_EQ(reader.ShortText(20), "Nachklärbecken 2");
    EXPECT_EQ(reader.Remaining(), 0u);
    EXPECT_FALSE(reader.Failed());
    BinaryReader bools(std::string_view("\x00\x01\x02\xFF", 4));  // any non-zero byte is true
    for (const bool expected : {false, true, true, true}) {
        EXPECT_EQ(bools.Bool(), expected);
    }
}

TEST(BinaryReader, RefusesToReadPastTheEndAndKeepsItsPlace) {
    const std::string bytes("\x01\x02\x03", 3);
    BinaryReader reader(bytes);
    EXPECT_EQ(reader.Int32(), std::nullopt);
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(reader.Position(), 0u);
    EXPECT_EQ(reader.UInt16(), 0x0201);
    EXPECT_EQ(reader.UInt16(), std::nullopt);
    EXPECT_EQ(reader.UInt8(), 3);
    EXPECT_EQ(reader.UInt8(), std::nullopt);
    EXPECT_EQ(reader.Bool(), std::nullopt);
    EXPECT_EQ(reader.Position(), 3u);
    EXPECT_EQ(reader.Remaining(), 0u);

    // A field that ends exactly at the end fits, one byte less does not.
    BinaryWriter writer;
    writer.Extended(2.0);
    const std::string two = writer.Take();
    EXPECT_EQ(BinaryReader(two).Extended(), 2.0);
    EXPECT_EQ(BinaryReader(std::string_view(two).substr(0, 9)).Extended(), std::nullopt);
    EXPECT_EQ(BinaryReader(std::string_view(two).substr(0, 7)).Double(), std::nullopt);

    BinaryReader skipper(two);
    EXPECT_FALSE(skipper.Skip(11));
    EXPECT_EQ(skipper.Position(), 0u);
    EXPECT_TRUE(skipper.Skip(10));
    EXPECT_EQ(skipper.Bytes(0), std::string_view());
    EXPECT_EQ(skipper.Bytes(1), std::nullopt);
}

TEST(BinaryReader, ShortTextLengthByteAboveCapacityIsClamped) {
    std::string bytes =
        "\xFF"
        "ABCDEFGHIJ"
        "XYZ";
    BinaryReader reader(bytes);
    EXPECT_EQ(reader.ShortText(10), "ABCDEFGHIJ");
    EXPECT_EQ(reader.Position(), 11u);
    EXPECT_EQ(reader.Bytes(3), "XYZ");

    bytes[0] = '\x0B';  // one above the capacity
    EXPECT_EQ(BinaryReader(bytes).ShortText(10), "ABCDEFGHIJ");
    bytes[0] = '\x0A';
    EXPECT_EQ(BinaryReader(bytes).ShortText(10), "ABCDEFGHIJ");
    bytes[0] = '\x09';
    EXPECT_EQ(BinaryReader(bytes).ShortText(10), "ABCDEFGHI");
    // The whole capacity must be there, however short the text.
    EXPECT_EQ(BinaryReader(std::string_view(bytes).substr(0, 10)).ShortText(10), std::nullopt);
    EXPECT_EQ(BinaryReader(std::string_view(bytes).substr(0, 10)).ShortText(9), "ABCDEFGHI");
}

// A damaged or truncated state file must never make the reader leave its buffer; the
// sanitizer build turns any stray access into a failure.
TEST(BinaryReader, RandomBytesWithAFixedLayoutStayInBounds) {
    constexpr std::size_t kRecordSize = 4 + 1 + 8 + 10 + 31 + 2 + 3 + 1 + 256;
    std::mt19937 random(4711);
    std::uniform_int_distribution<std::size_t> sizes(0, 3 * kRecordSize);
    std::uniform_int_distribution<int> byteValues(0, 255);
    int completeRecords = 0;
    for (int round = 0; round < 2000; ++round) {
        // A heap buffer of exactly the random size, so ASan sees every byte beyond it.
        const std::size_t size = sizes(random);
        auto buffer = std::make_unique<char[]>(size);
        for (std::size_t i = 0; i < size; ++i) {
            buffer[i] = static_cast<char>(byteValues(random));
        }
        BinaryReader reader(std::string_view(buffer.get(), size));
        while (!reader.Failed()) {
            const std::size_t before = reader.Position();
            std::optional<std::string> text;
            const bool complete = reader.Int32() && reader.Bool() && reader.Double() &&
                                  reader.Extended() && (text = reader.ShortText(30)) &&
                                  reader.UInt16() && reader.Skip(3) && reader.UInt8() &&
                                  reader.ShortText(255);
            ASSERT_EQ(reader.Position() + reader.Remaining(), size);
            ASSERT_EQ(complete, !reader.Failed());
            if (text) {
                ASSERT_LE(text->size(), 3u * 30);
            }
            if (complete) {
                ASSERT_EQ(reader.Position() - before, kRecordSize);
                ++completeRecords;
            }
        }
        EXPECT_LT(reader.Remaining(), kRecordSize);
    }
    EXPECT_GT(completeRecords, 1000);
}

}  // namespace
}  // namespace tarvedde

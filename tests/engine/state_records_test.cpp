// Byte layouts of the state file records, checked against bytes placed by hand at the
// offsets the older Windows build uses.
#include <gtest/gtest.h>

using namespace std::string_literals;

#include <string>
#include <utility>
#include <vector>

#include "engine/persistence/state_records.h"

namespace tarvedde {
namespace {

std::string Hex(std::vector<int> bytes) {
    std::string out;
    for (int b : bytes) {
        out += static_cast<char>(b);
    }
    return out;
}

// Little-endian doubles and 80-bit extended numbers of the values the tests use.
std::string D(double v) {
    if (v == 1.0)
        return Hex({0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
    if (v == -1.0)
        return Hex({0, 0, 0, 0, 0, 0, 0xF0, 0xBF});
    if (v == 2.0)
        return Hex({0, 0, 0, 0, 0, 0, 0x00, 0x40});
    if (v == 0.5)
        return Hex({0, 0, 0, 0, 0, 0, 0xE0, 0x3F});
    if (v == 4.0)
        return Hex({0, 0, 0, 0, 0, 0, 0x10, 0x40});
    if (v == 1.5)
        return Hex({0, 0, 0, 0, 0, 0, 0xF8, 0x3F});
    if (v == 3.0)
        return Hex({0, 0, 0, 0, 0, 0, 0x08, 0x40});
    ADD_FAILURE() << "no hand bytes for " << v;
    return {};
}
std::string X(double v) {
    if (v == 1.0)
        return Hex({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F});
    if (v == 2.0)
        return Hex({0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x40});
    if (v == -3.5)
        return Hex({0, 0, 0, 0, 0, 0, 0, 0xE0, 0x00, 0xC0});
    ADD_FAILURE() << "no hand bytes for " << v;
    return {};
}
std::string I(int v) {
    return Hex({v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, (v >> 24) & 0xFF});
}

// A zeroed record of `size` bytes with the given pieces placed at their offsets.
std::string Golden(std::size_t size, const std::vector<std::pair<std::size_t, std::string>>& at) {
    std::string bytes(size, '\0');
    for (const auto& [offset, piece] : at) {
        bytes.replace(offset, piece.size(), piece);
    }
    EXPECT_EQ(bytes.size(), size);
    return bytes;
}

ConfigRecord SampleConfig() {
    ConfigRecord r;
    r.serverItem = "Zulauf.Q";
    r.itemName = "Zulauf Ä";
    r.unit = "l/s";
    r.GrafikRef = 2;
    r.Grafiktyp = 1;
    r.Integral = true;
    r.Tagesauswahl = 127;
    r.UpLimit = 1.0;
    r.LoLimit = -1.0;
    r.calibrationSlope = 2.0;
    r.calibrationIntercept = 0.0;
    r.minimum = 0.5;
    r.maximum = 4.0;
    r.average = 1.5;
    r.sum = 0.0;
    r.count = 3.0;
    return r;
}

TEST(StateRecords, ConfigRecordLayouts) {
    BinaryWriter out;
    EncodeConfigRecord(out, SampleConfig());
    EXPECT_EQ(out.Data(), Golden(228, {{0, "\x08Zulauf.Q"},
                                       {101, "\x08Zulauf \xC4"},
                                       {132, "\x03l/s"},
                                       {143, I(2)},
                                       {147, I(1)},
                                       {151, "\x01"},
                                       {152, I(127)},
                                       {156, D(1.0)},
                                       {164, D(-1.0)},
                                       {172, D(2.0)},
                                       {188, D(0.5)},
                                       {196, D(4.0)},
                                       {204, D(1.5)},
                                       {220, D(3.0)}}));

    ConfigRecord legacy = SampleConfig();
    legacy.serverItem = std::string(40, 'S');
    BinaryWriter old;
    EncodeLegacyConfigRecord(old, legacy);
    EXPECT_EQ(old.Data(), Golden(158, {{0, "\x1E" + std::string(30, 'S')},
                                       {31, "\x08Zulauf \xC4"},
                                       {62, "\x03l/s"},
                                       {73, I(2)},
                                       {77, I(1)},
                                       {81, "\x01"},
                                       {82, I(127)},
                                       {86, D(1.0)},
                                       {94, D(-1.0)},
                                       {102, D(2.0)},
                                       {118, D(0.5)},
                                       {126, D(4.0)},
                                       {134, D(1.5)},
                                       {150, D(3.0)}}));

    BinaryReader in(old.Data());
    const auto back = DecodeLegacyConfigRecord(in);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->serverItem, std::string(30, 'S'));
    EXPECT_EQ(back->itemName, "Zulauf Ä");
    EXPECT_EQ(back->Tagesauswahl, 127);
    EXPECT_EQ(back->count, 3.0);
    EXPECT_EQ(in.Remaining(), 0U);
}

TEST(StateRecords, NightMirrorAndCounterLayouts) {
    NightSumRecord night;
    night.NTadd = true;
    night.ntMinimum = 0.5;
    night.ntMaximum = 4.0;
    night.ntSum = 2.0;
    night.ntCount = 3.0;
    night.htSum = 1.0;
    night.htCount = 1.5;
    BinaryWriter out;
    EncodeNightSumRecord(out, night);
    EXPECT_EQ(out.Data(), Golden(131, {{0, "\x01"},
                                       {1, D(0.5)},
                                       {9, D(4.0)},
                                       {25, D(2.0)},
                                       {33, D(3.0)},
                                       {41, D(1.0)},
                                       {49, D(1.5)}}));

    BinaryWriter mirror;
    EncodeMirrorRecord(mirror, MirrorRecord{true, 5, 1.0});
    EXPECT_EQ(mirror.Data(), Golden(13, {{0, "\x01"}, {1, I(5)}, {5, D(1.0)}}));

    BinaryWriter counter;
    EncodeCounterRecord(counter, CounterDifferenceState{1.0, 2.0, -1.0, 0.5});
    EXPECT_EQ(counter.Data(),
              Golden(46, {{10, X(1.0)}, {20, X(2.0)}, {30, D(-1.0)}, {38, D(0.5)}}));
}

TEST(StateRecords, WindowBufferLayouts) {
    WindowBufferRecord m15;
    m15.item = 7;
    m15.values = {1.0, 2.0, 0.5};
    m15.index = 2;
    m15.minimum = -3.5;
    m15.maximum = 2.0;
    m15.minimumTime = 0.5;
    m15.maximumTime = 4.0;
    BinaryWriter out;
    EncodeFifteenMinuteRecord(out, m15);
    EXPECT_EQ(out.Data(), Golden(182, {{0, I(7)},
                                       {4, D(1.0)},
                                       {12, D(2.0)},
                                       {20, D(0.5)},
                                       {132, I(2)},
                                       {146, X(-3.5)},
                                       {156, X(2.0)},
                                       {166, D(0.5)},
                                       {174, D(4.0)}}));

    WindowBufferRecord moving;
    moving.item = 180;
    moving.values = {4.0};
    moving.index = 359;
    moving.average = 1.0;
    moving.minimum = -3.5;
    moving.maximum = 2.0;
    BinaryWriter ring;
    EncodeMovingRecord(ring, moving);
    EXPECT_EQ(ring.Data(), Golden(2918, {{0, I(180)},
                                         {4, D(4.0)},
                                         {2884, I(359)},
                                         {2888, X(1.0)},
                                         {2898, X(-3.5)},
                                         {2908, X(2.0)}}));

    BinaryReader in(ring.Data());
    const auto back = DecodeMovingRecord(in);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->values.size(), 360U);
    EXPECT_EQ(back->values[0], 4.0);
    EXPECT_EQ(back->values[1], 0.0);
    EXPECT_EQ(back->index, 359);
    EXPECT_EQ(back->minimum, -3.5);
}

// Extended values carry doubles exactly, also those without a short binary form.
TEST(StateRecords, ValuesSurviveRoundTrip) {
    const CounterDifferenceState counter{0.1, -123456.789e10, 45356.25, 45356.5};
    BinaryWriter out;
    EncodeCounterRecord(out, counter);
    BinaryReader in(out.Data());
    const auto back = DecodeCounterRecord(in);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->lastReading, 0.1);
    EXPECT_EQ(back->difference, -123456.789e10);
    EXPECT_EQ(back->previousReadingTime, 45356.25);
    EXPECT_EQ(back->lastReadingTime, 45356.5);
}

// One byte short of a record: nothing is read, the next reader still sees every byte.
TEST(StateRecords, ShortRecordIsNotRead) {
    BinaryWriter out;
    EncodeNightSumRecord(out, NightSumRecord{});
    const std::string shortRecord = out.Data().substr(0, 130);
    BinaryReader in(shortRecord);
    EXPECT_FALSE(DecodeNightSumRecord(in));
    EXPECT_EQ(in.Position(), 0U);
    BinaryReader cof(std::string(227, '\0'));
    EXPECT_FALSE(DecodeConfigRecord(cof));
    BinaryReader m15(std::string(181, '\0'));
    EXPECT_FALSE(DecodeFifteenMinuteRecord(m15));
}

// A damaged length byte never pulls the next field into the text.
TEST(StateRecords, OverlongLengthByteStaysInItsField) {
    BinaryWriter out;
    EncodeConfigRecord(out, SampleConfig());
    std::string bytes = out.Data();
    bytes[132] = static_cast<char>(200);  // unit: text[10]
    BinaryReader in(bytes);
    const auto back = DecodeConfigRecord(in);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->unit.size(), 10U);
    EXPECT_EQ(back->GrafikRef, 2);
}

}  // namespace
}  // namespace tarvedde

// The binding record's layouts against bytes placed by hand at the offsets the diary
// program and older installations use.
#include "outputs/diary_files.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvedde {
namespace {

std::string I(int v) {
    std::string out;
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((static_cast<unsigned>(v) >> shift) & 0xFF);
    }
    return out;
}

// Every field of a record at its offset; `address` starts at 39 in both layouts and
// `size` tells them apart. Texts as length byte and Windows-1252 bytes.
std::string Record(std::size_t size, const std::string& name, int index, int first) {
    const std::size_t moved = size == kDiaryBindingSize ? 0 : 90;
    const std::string address =
        "\x0A"
        "DDE|FT1011";
    const std::pair<std::size_t, std::string> at[] = {{0, static_cast<char>(name.size()) + name},
                                                      {31, I(index)},
                                                      {35, I(180)},
                                                      {39, address},
                                                      {140 - moved,
                                                       "\x07"
                                                       "Gebl\xE4se"},
                                                      {171 - moved, I(3)},
                                                      {175 - moved, "\1"},
                                                      {176 - moved, I(1)},
                                                      {180 - moved, I(0x41)},
                                                      {184 - moved, I(-2)}};
    std::string bytes(size, '\0');
    for (const auto& [offset, piece] : at) {
        bytes.replace(offset, piece.size(), piece);
    }
    for (std::size_t b = 0; b < 24; ++b) {
        bytes[188 - moved + b] = static_cast<char>(first + static_cast<int>(b));
    }
    return bytes;
}

TEST(DiaryFilesTest, RecordHasTheSharedLayoutAndTheOlderOneConvertsWithEveryField) {
    DiaryBinding binding{"Zulauf", 17, 180, "DDE|FT1011", "Gebläse", 3, true, 1, 0x41, -2, {}};
    for (std::size_t b = 0; b < binding.reserved.size(); ++b) {
        binding.reserved[b] = static_cast<std::uint8_t>(1 + b);
    }
    BinaryWriter out;
    EncodeDiaryBinding(out, binding);
    const std::string golden = Record(kDiaryBindingSize, "Zulauf", 17, 1);
    ASSERT_EQ(out.Data(), golden);
    BinaryReader in(golden);
    EXPECT_EQ(DecodeDiaryBinding(in), binding);

    const std::string old = Record(kLegacyDiaryBindingSize, "Zulauf", 4, 30) +
                            Record(kLegacyDiaryBindingSize, "Ablauf", 9, 60);
    ASSERT_EQ(old.size(), 244u);
    const DecodedBindings decoded = DecodeBindingFile(old);
    EXPECT_TRUE(decoded.legacyLayout && decoded.complete);
    EXPECT_EQ(EncodeBindingFile(decoded.records), Record(kDiaryBindingSize, "Zulauf", 4, 30) +
                                                      Record(kDiaryBindingSize, "Ablauf", 9, 60));
}

}  // namespace
}  // namespace tarvedde

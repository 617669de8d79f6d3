#include "platform/text_encoding.h"

#include <gtest/gtest.h>

namespace tarvedde {
namespace {

TEST(TextEncodingTest, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << "byte " << b;
    }
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(TextEncodingTest, MapsTheSpecialBytesAsWindowsDoes) {
    EXPECT_EQ(Cp1252ToUtf8("Z\xE4hler \x80"), "Zähler €");
    EXPECT_EQ(Cp1252ToUtf8("\x9F\xFF\xDF"), "Ÿÿß");
    EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(Cp1252ToUtf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextEncodingTest, UnrepresentableCodePointsBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1252("Zählerstand € „x“"), "Z\xE4hlerstand \x80 \x84x\x93");
    EXPECT_EQ(Utf8ToCp1252("\u00FF|\u0100"), "\xFF|?");
    // Only the five C1 controls 1252 leaves undefined have a byte.
    EXPECT_EQ(Utf8ToCp1252("\u009D|\u009F|\u0080"), "\x9D|?|?");
    EXPECT_EQ(Utf8ToCp1252("\u2713 \U0001F600"), "? ?");
}

TEST(TextEncodingTest, InvalidUtf8BecomesOneQuestionMarkPerBrokenSequence) {
    EXPECT_EQ(Utf8ToCp1252("a\x80z"), "a?z");             // stray continuation
    EXPECT_EQ(Utf8ToCp1252("a\xE2\x82z"), "a?z");         // truncated, then ASCII
    EXPECT_EQ(Utf8ToCp1252("a\xE2\x82"), "a?");           // truncated at the end
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");            // overlong
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");       // surrogate
    EXPECT_EQ(Utf8ToCp1252("\xF4\x90\x80\x80"), "????");  // above U+10FFFF
    EXPECT_EQ(Utf8ToCp1252("\xF4\x8F\xBF\xBF"), "?");     // U+10FFFF itself is valid
    EXPECT_EQ(Utf8ToCp1252("\xE4"), "?");                 // a 1252 byte is not UTF-8
}

}  // namespace
}  // namespace tarvedde

// Windows-1252 <-> UTF-8 by table lookups; see the header for the guarantees.
#include "platform/text_encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tarvedde {
namespace {

// Code points of 0x80..0x9F; the undefined bytes keep their own value (C1 controls).
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t CodePointOf(unsigned byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char32_t{byte};
}

struct Utf8Sequence {
    std::array<char, 3> bytes{};
    std::uint8_t length = 0;
};

constexpr Utf8Sequence EncodeUtf8(char32_t cp) {
    Utf8Sequence s;
    if (cp < 0x80) {
        s.bytes[0] = static_cast<char>(cp);
        s.length = 1;
    } else if (cp < 0x800) {
        s.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        s.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        s.length = 2;
    } else {
        s.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        s.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        s.length = 3;
    }
    return s;
}

constexpr std::array<Utf8Sequence, 256> MakeToUtf8Table() {
    std::array<Utf8Sequence, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        table[b] = EncodeUtf8(CodePointOf(b));
    }
    return table;
}

constexpr std::array<Utf8Sequence, 256> kToUtf8 = MakeToUtf8Table();

char ToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
        return static_cast<char>(cp);
    }
    const auto* it = std::find(kHighControls.begin(), kHighControls.end(), cp);
    if (it == kHighControls.end()) {
        return '?';
    }
    return static_cast<char>(0x80 + (it - kHighControls.begin()));
}

std::size_t FirstNonAscii(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            return i;
        }
    }
    return text.size();
}

struct Decoded {
    char32_t codePoint = 0;
    std::size_t consumed = 1;
    bool valid = false;
};

// Decodes one sequence at the start of `text` (which starts with a non-ASCII byte). An
// invalid sequence consumes its maximal valid prefix, at least one byte.
Decoded DecodeUtf8(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    unsigned low = 0x80;  // the second byte's range excludes overlongs and surrogates
    unsigned high = 0xBF;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0Fu;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07u;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {};
    }
    Decoded result;
    for (result.consumed = 1; result.consumed < length; ++result.consumed) {
        if (result.consumed >= text.size()) {
            return result;
        }
        const auto next = static_cast<unsigned char>(text[result.consumed]);
        if (next < low || next > high) {
            return result;
        }
        cp = (cp << 6) | (next & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    result.codePoint = cp;
    result.valid = true;
    return result;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
    const std::size_t asciiPrefix = FirstNonAscii(bytes);
    if (asciiPrefix == bytes.size()) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4 + 8);
    out.append(bytes.substr(0, asciiPrefix));
    for (std::size_t i = asciiPrefix; i < bytes.size(); ++i) {
        const Utf8Sequence& s = kToUtf8[static_cast<unsigned char>(bytes[i])];
        out.append(s.bytes.data(), s.length);
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
    std::size_t i = FirstNonAscii(utf8);
    if (i == utf8.size()) {
        return std::string(utf8);
    }
    std::string out;
    out.reserve(utf8.size());
    out.append(utf8.substr(0, i));
    while (i < utf8.size()) {
        const char c = utf8[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        const Decoded d = DecodeUtf8(utf8.substr(i));
        out.push_back(d.valid ? ToCp1252(d.codePoint) : '?');
        i += d.consumed;
    }
    return out;
}

bool IsUtf8WithMultiByte(std::string_view bytes) {
    std::size_t i = FirstNonAscii(bytes);
    if (i == bytes.size()) {
        return false;
    }
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const Decoded d = DecodeUtf8(bytes.substr(i));
        if (!d.valid) {
            return false;
        }
        i += d.consumed;
    }
    return true;
}

}  // namespace tarvedde

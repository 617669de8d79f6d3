// Windows-1252 <-> UTF-8 at the file boundary: every disk text of the program is 1252,
// every string in memory is UTF-8. Runs on every log line and every data row, so both
// directions are table lookups with an ASCII fast path.
//
// Guarantees: Cp1252ToUtf8 maps every byte (the five bytes 1252 leaves undefined, 0x81,
// 0x8D, 0x8F, 0x90 and 0x9D, become the C1 code points of the same value, as Windows
// does), so Utf8ToCp1252(Cp1252ToUtf8(b)) == b for any bytes b.
#pragma once

#include <string>
#include <string_view>

namespace tarvedde {

// Never fails; the result is valid UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);

// A code point 1252 cannot represent becomes '?'. Invalid UTF-8 (stray continuation
// bytes, truncated or overlong sequences, surrogates, values above U+10FFFF) becomes one
// '?' per maximal invalid subsequence, as Unicode recommends for replacement.
std::string Utf8ToCp1252(std::string_view utf8);

// True when the bytes are valid UTF-8 with at least one multi-byte sequence: a file an
// editor saved in UTF-8. 1252 text with umlauts or accents practically never is.
bool IsUtf8WithMultiByte(std::string_view bytes);

}  // namespace tarvedde

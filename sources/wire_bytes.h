// The byte order both local socket protocols use on the wire: little-endian, whatever the
// host's order, so a frame means the same on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvedde {

inline void PutLittleU32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFFu));
    }
}

// The caller has checked that four bytes follow `at`.
inline std::uint32_t GetLittleU32(std::string_view in, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    }
    return value;
}

}  // namespace tarvedde

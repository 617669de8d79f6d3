// The AQASYS year container: whatever its size, the whole records are used.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "outputs/datalog_container.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvedde;
    if (size < 2) {
        return 0;
    }
    const int year = 1990 + data[0] % 80;
    const DecodedDatalog decoded =
        DecodeDatalog(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2), year);
    // Compared as bytes: a damaged day may be a NaN, which equals nothing.
    const std::string written = EncodeDatalog(decoded.records);
    FUZZ_CHECK(EncodeDatalog(DecodeDatalog(written, year).records) == written);
    return 0;
}

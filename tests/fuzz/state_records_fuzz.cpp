// The running day's state files survive crashes, full disks and other builds' writers.
// The first byte picks the record layout; the rest is read as a file of such records.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/persistence/state_records.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

template <class Decode>
void ReadAll(std::string_view bytes, Decode decode) {
    tarvedde::BinaryReader in(bytes);
    std::size_t records = 0;
    while (decode(in)) {
        ++records;
    }
    FUZZ_CHECK(records <= bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    using namespace tarvedde;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 7) {
        case 0:
            ReadAll(bytes, [](BinaryReader& in) { return DecodeConfigRecord(in).has_value(); });
            break;
        case 1:
            ReadAll(bytes,
                    [](BinaryReader& in) { return DecodeLegacyConfigRecord(in).has_value(); });
            break;
        case 2:
            ReadAll(bytes, [](BinaryReader& in) { return DecodeNightSumRecord(in).has_value(); });
            break;
        case 3:
            ReadAll(bytes, [](BinaryReader& in) { return DecodeMirrorRecord(in).has_value(); });
            break;
        case 4:
            ReadAll(bytes, [](BinaryReader& in) { return DecodeCounterRecord(in).has_value(); });
            break;
        case 5:
            ReadAll(bytes, [](BinaryReader& in) {
                const auto record = DecodeFifteenMinuteRecord(in);
                FUZZ_CHECK(!record || record->values.size() <= kFifteenMinuteSlots);
                return record.has_value();
            });
            break;
        default:
            ReadAll(bytes, [](BinaryReader& in) {
                const auto record = DecodeMovingRecord(in);
                FUZZ_CHECK(!record || record->values.size() <= kMovingSlots);
                return record.has_value();
            });
            break;
    }
    return 0;
}

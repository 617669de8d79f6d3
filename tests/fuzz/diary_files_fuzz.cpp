// The diary program writes ONLINE.TVW and the binding files the client reads back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/diary_files.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvedde;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // A binding file that was read once is written and read again unchanged.
    const DecodedBindings decoded = DecodeBindingFile(bytes);
    const DecodedBindings again = DecodeBindingFile(EncodeBindingFile(decoded.records));
    FUZZ_CHECK(again.records == decoded.records && again.complete && !again.legacyLayout);

    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            start = i + 1;
        }
    }
    const OnlineList list = ParseOnlineList(lines);
    FUZZ_CHECK(list.announced >= 0);
    FUZZ_CHECK(list.positions.size() <= static_cast<std::size_t>(kMaxOnlinePositions));
    return 0;
}

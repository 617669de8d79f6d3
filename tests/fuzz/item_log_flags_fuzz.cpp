// ddeLogKonfig.tvw is read at every configuration load and left by older builds and
// crashes. Whatever it holds, the flags it gives survive the save at program end and the
// next load unchanged, and a file that is not whole records (or too many) is reported.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "outputs/item_log_flags.h"
#include "outputs/program_log.h"
#include "platform/locale.h"
#include "platform/memory_file_system.h"
#include "platform/virtual_clock.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr char kDir[] = "/plant/";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvedde;
    MemoryFileSystem files;
    VirtualClock clock;
    ProgramLog log(files, clock, GermanLocale());
    log.SetProgramDir(kDir);
    const std::string path = std::string(kDir) + kItemLogFlagsFile;
    (void)files.WriteAll(path, std::string_view(reinterpret_cast<const char*>(data), size), false);

    // Items the file does not reach keep what they had.
    ItemLogFlagsArray flags{};
    flags.fill({true, false, true, false});
    LoadItemLogFlags(files, path, flags, log);
    const std::size_t whole = size / kItemLogFlagsRecordSize;
    for (std::size_t item = whole + 1; item <= kItemLogFlagsRecords; ++item) {
        FUZZ_CHECK((flags[item] == ItemLogFlags{true, false, true, false}));
    }
    const bool damaged = size % kItemLogFlagsRecordSize != 0 ||
                         whole > static_cast<std::size_t>(kItemLogFlagsRecords);
    FUZZ_CHECK(log.MessageList().Empty() == !damaged);

    FUZZ_CHECK(SaveItemLogFlags(files, path, flags, log));
    const auto saved = files.ReadAll(path);
    FUZZ_CHECK(saved.ok() &&
               saved.value().size() == kItemLogFlagsRecords * kItemLogFlagsRecordSize);
    ItemLogFlagsArray again{};
    LoadItemLogFlags(files, path, again, log);
    for (std::size_t item = 1; item <= kItemLogFlagsRecords; ++item) {
        FUZZ_CHECK(again[item] == flags[item]);
    }
    return 0;
}

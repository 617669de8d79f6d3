// A restart compares the configuration with the header file of the day's data (.AQH) to
// decide whether the day's data goes on in the same file. The input makes a configuration
// (the texts as TARVEDDE.INI can hold them), which the writer puts into the header; the
// permanent mode's header then matches it, and a changed item, interval, item count or
// calibration does not. The input's rest then overwrites part of the file, which is
// compared again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "outputs/day_file_names.h"
#include "platform/memory_file_system.h"
#include "platform/text_encoding.h"
#include "platform/virtual_clock.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace tarvedde;

// One line of a settings file: Windows-1252 without line ends.
std::string Text(FuzzedDataProvider& in) {
    std::string bytes = in.ConsumeRandomLengthString(40);
    std::erase(bytes, '\r');
    std::erase(bytes, '\n');
    return Cp1252ToUtf8(bytes);
}

double Number(FuzzedDataProvider& in) {
    const double value = in.ConsumeBool() ? in.ConsumeIntegralInRange(-20000, 20000) / 64.0
                                          : in.ConsumeFloatingPoint<double>();
    return std::isfinite(value) ? value : 1.0;
}

HeaderData HeaderOf(FuzzedDataProvider& in) {
    HeaderData header;
    header.cycleIntervalMs = in.ConsumeIntegral<int>();
    header.permanentMode = in.ConsumeBool();
    const int count = in.ConsumeIntegralInRange(0, 8);
    for (int n = 0; n < count; ++n) {
        HeaderItem item;
        item.serverItem = Text(in);
        item.calibrationSlope = Number(in);
        item.calibrationIntercept = Number(in);
        item.itemName = Text(in);
        item.Grafiktyp = in.ConsumeIntegral<int>();
        item.GrafikRef = in.ConsumeIntegral<int>();
        item.conversionUnit = Text(in);
        header.items.push_back(item);
    }
    return header;
}

// The header with its first difference the comparison must find, if it has one.
bool ChangedHeadersDiffer(DayFiles& files, const HeaderData& header) {
    HeaderData changed = header;
    changed.cycleIntervalMs = header.cycleIntervalMs ^ 1;
    bool differ = !files.HeaderMatchesConfiguration(changed);
    if (header.items.empty()) {
        return differ;
    }
    changed = header;
    changed.items.pop_back();
    differ = differ && !files.HeaderMatchesConfiguration(changed);
    for (std::size_t i = 0; i < header.items.size(); ++i) {
        changed = header;
        changed.items[i].serverItem += "x";
        differ = differ && !files.HeaderMatchesConfiguration(changed);
        // Beyond half a percent, where that is more than 0.001.
        double& slope = changed.items[i].calibrationSlope;
        slope = header.items[i].calibrationSlope;
        if (std::fabs(slope) > 1.0 && std::fabs(slope) < 1e300) {
            slope *= 1.01;
            differ = differ && !files.HeaderMatchesConfiguration(changed);
        }
    }
    return differ;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    MemoryFileSystem fileSystem;
    VirtualClock clock;
    ProgramLog log(fileSystem, clock, GermanLocale());
    DayFiles files(fileSystem, log, GermanLocale());
    files.SetProgramDir("/plant/");
    files.SetRunningDay({2024, 3, 5});
    FUZZ_CHECK(files.CreateTextFile('H', 0));

    const HeaderData header = HeaderOf(in);
    files.WriteHeaderFile(header);
    if (header.permanentMode) {
        FUZZ_CHECK(files.HeaderMatchesConfiguration(header));
        FUZZ_CHECK(ChangedHeadersDiffer(files, header));
    }

    std::string file = fileSystem.ReadAll(files.HeaderPath()).value();
    const std::size_t offset = in.ConsumeIntegralInRange<std::size_t>(0, file.size());
    file.replace(offset, file.size() - offset, in.ConsumeRemainingBytesAsString());
    (void)fileSystem.WriteAll(files.HeaderPath(), file, false);
    (void)files.HeaderMatchesConfiguration(header);
    return 0;
}

// Conversion table files ("x<TAB>y" per line) are written by hand and named in
// TARVEDDE.INI; a reload of the configuration reads them into the tables of the last
// load. Whatever a file holds, the table has at most 50 points, and every conversion
// through it is 0, a number within the table's y values, or a reported failure; the
// same whether the table was empty before or held another table's points.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/config/config_steps.h"
#include "engine/processing/per_value_processing.h"
#include "outputs/program_log.h"
#include "platform/locale.h"
#include "platform/memory_file_system.h"
#include "platform/text_file.h"
#include "platform/virtual_clock.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace tarvedde;

constexpr char kPath[] = "/plant/tab.txt";

// The earlier table of a reload: 50 points far away from anything a test file holds.
ConversionTable EarlierTable() {
    ConversionTable table;
    table.pointCount = maxTablePoints;
    for (std::size_t j = 1; j <= maxTablePoints; ++j) {
        table.x[j] = -1e12 + static_cast<double>(j);
        table.y[j] = 7e11;
    }
    return table;
}

// Values at, between and beyond the table's points, where the interpolation changes.
std::vector<double> Probes(const ConversionTable& table) {
    std::vector<double> probes{0.0, -1.0, 1.0, 1e300, -1e300, std::nan("")};
    for (int j = 1; j <= table.pointCount; ++j) {
        const double x = table.x[static_cast<std::size_t>(j)];
        probes.insert(probes.end(), {x, std::nextafter(x, 1e308), x + 0.5, x - 0.5});
        if (j > 1) {
            probes.push_back((x + table.x[static_cast<std::size_t>(j - 1)]) / 2.0);
        }
    }
    return probes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryFileSystem files;
    (void)files.WriteAll(kPath, std::string_view(reinterpret_cast<const char*>(data), size), false);
    const auto lines = ReadLines(files, kPath);
    FUZZ_CHECK(lines.ok());

    ConversionTables fresh{};
    ConversionTables reloaded{};
    reloaded[1] = EarlierTable();
    config::ReadConversionTable(lines.value(), GermanLocale(), fresh[1]);
    config::ReadConversionTable(lines.value(), GermanLocale(), reloaded[1]);
    const ConversionTable& table = fresh[1];
    FUZZ_CHECK(table.pointCount >= 0 && table.pointCount <= maxTablePoints);
    FUZZ_CHECK(reloaded[1].pointCount == table.pointCount);
    double low = 0.0;
    double high = 0.0;
    for (int j = 1; j <= table.pointCount; ++j) {
        low = std::min(low, table.y[static_cast<std::size_t>(j)]);
        high = std::max(high, table.y[static_cast<std::size_t>(j)]);
    }
    // The interpolation's rounding, as far as the numbers in the table allow it.
    double scale = high - low;
    for (int j = 1; j <= table.pointCount; ++j) {
        scale = std::max(scale, std::abs(table.x[static_cast<std::size_t>(j)]));
    }
    const double slack = scale * 1e-9;

    VirtualClock clock;
    ProgramLog log(files, clock, GermanLocale());
    log.SetProgramDir("/plant/");
    for (const double probe : Probes(table)) {
        double value = probe;
        double again = probe;
        const bool converted = ConvertByTable({fresh, log, GermanLocale()}, 1, value, 0);
        const bool convertedAgain = ConvertByTable({reloaded, log, GermanLocale()}, 1, again, 0);
        FUZZ_CHECK(converted == convertedAgain);
        if (!converted) {
            continue;
        }
        FUZZ_CHECK(std::isfinite(value));
        FUZZ_CHECK(value == again);
        FUZZ_CHECK(value >= low - slack && value <= high + slack);
    }
    return 0;
}

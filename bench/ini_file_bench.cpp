// Reading keys of a full 180-item settings file: the configuration load reads thousands.
#include <benchmark/benchmark.h>

#include "platform/ini_file.h"
#include "platform/memory_file_system.h"

namespace {

std::string LargeIni() {
    std::string text = "[DDE]\r\nItemcount=180\r\n";
    for (int n = 1; n <= 180; ++n) {
        text += "\r\n[Item_" + std::to_string(n) + "]\r\n";
        for (int k = 0; k < 20; ++k) {
            text += "Key" + std::to_string(k) + "=" + std::to_string(n * k) + "\r\n";
        }
    }
    return text;
}

void BM_IniReadKeys(benchmark::State& state) {
    tarvedde::MemoryFileSystem files;
    (void)files.WriteAll("/plant/TARVEDDE.INI", LargeIni(), false);
    tarvedde::IniFile ini(files, "/plant/TARVEDDE.INI");
    int i = 0;
    for (auto _ : state) {
        const int n = i % 180 + 1;
        benchmark::DoNotOptimize(
            ini.ReadInteger("Item_" + std::to_string(n), "Key" + std::to_string(i % 20), -1));
        ++i;
    }
}
BENCHMARK(BM_IniReadKeys);

}  // namespace

// A 10 MB settings file (a hostile or neglected one): the engine opens an IniFile per
// task and reads a few keys from it, so each opening must not parse the whole file again.
void BM_IniOpenLargeFileAndReadAKey(benchmark::State& state) {
    std::string text = "[DDE]\r\nItemcount=2\r\n";
    for (int n = 0; text.size() < 10'000'000; ++n) {
        text += n % 1000 == 0 ? "[Abschnitt" + std::to_string(n) + "]\r\n"
                              : "Schluessel" + std::to_string(n) + "=Wert " + std::to_string(n) +
                                    " ein wenig Text\r\n";
    }
    tarvedde::MemoryFileSystem files;
    (void)files.WriteAll("/plant/TARVEDDE.INI", text, false);
    for (auto _ : state) {
        const tarvedde::IniFile ini(files, "/plant/TARVEDDE.INI");
        benchmark::DoNotOptimize(ini.ReadInteger("DDE", "Itemcount", 0));
    }
}
BENCHMARK(BM_IniOpenLargeFileAndReadAKey)->Unit(benchmark::kMillisecond);

// What one save of the running day's state costs on this machine's disk with 180 items
// and both buffer sets, once with and once without flushing every file to the disk.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "engine/persistence/state_files.h"
#include "platform/recording_shell.h"
#include "platform/scripted_operator.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_event_loop.h"
#include "tests/engine/state_store_test_access.h"

namespace tarvedde {
namespace {

struct BenchPlant {
    BenchPlant() {
        std::string pattern = "/var/tmp/tarvedde-state-bench-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        config.SetProgramDir(std::string(made != nullptr ? made : "/var/tmp") + "/");
        config.SetItemCount(maxItems);
        config.SetSavedDay("05.03.2024");
        for (int n = 1; n <= maxItems; ++n) {
            m15.items[n].m15Row = n - 1;
            moving.items[n].movingRow = n - 1;
        }
        m15.rows.assign(maxItems, std::vector<double>(16, 1.5));
        moving.rows.assign(maxItems, std::vector<double>(360, 2.5));
        m15.exist = moving.exist = true;
        store.JoinWindowBuffers(m15, moving);
        (void)store.CreateConfigFile(config, integration);
    }

    std::unique_ptr<FileSystem> files = MakeRealFileSystem();
    VirtualClock clock;
    VirtualEventLoop loop{clock};
    ScriptedOperator person;
    RecordingShell shell;
    MemoryInstanceLocks locks;
    Host host{*files, clock, loop, person, shell, locks};
    ProgramLog log{*files, clock, GermanLocale()};
    Configuration config{host, log, GermanLocale()};
    ProcessedValues values;
    IntegrationStates integration;
    StateStore store{host, log, GermanLocale()};
    FifteenMinuteBuffers m15;
    MovingAverageBuffers moving;
};

void BM_SaveState(benchmark::State& run, bool durable) {
    BenchPlant plant;
    for (auto _ : run) {
        // A save is durable when the day it was last flushed for is not the current one.
        StateStoreTestAccess::Stored(plant.store).durableSaveDay =
            durable ? "" : plant.config.Settings().savedDay;
        benchmark::DoNotOptimize(plant.store.SaveIntermediateState(plant.config, plant.values,
                                                                   plant.integration, true, false));
    }
}
BENCHMARK_CAPTURE(BM_SaveState, rename_only, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveState, durable, true)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvedde

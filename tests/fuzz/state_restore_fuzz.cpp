// The running day's state files as a restart finds them after a crash, a full disk or
// another build's writer. A plant of three items (2 integral, 3 mirrored from 1, both
// window buffers in use) saves its state once; each input damages one of those files (or
// puts a TARVEDDE.COF of the older layout in its place) and a restarted store restores
// all of them, saves, and a second restart restores and saves again. What a restore takes
// must survive that: both saves write the same bytes, and an undamaged set comes back as
// it was saved. Input: which file, where the input's bytes overwrite it, whether the file
// ends after them, then the bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <string_view>

#include "engine/persistence/state_files.h"
#include "tests/engine/configuration_test_access.h"
#include "tests/engine/engine_test_host.h"
#include "tests/engine/state_store_test_access.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace tarvedde;

constexpr int kItemCount = 3;
using Files = std::map<std::string, std::string>;

const Configuration& PlantConfiguration() {
    static testing::EngineTestHost env;
    static ProgramLog log(env.files, env.clock, GermanLocale());
    static Configuration config(env.host, log, GermanLocale());
    static const bool set = [] {
        config.SetProgramDir(env.dir);
        GeneralSettings& settings = ConfigurationTestAccess::Settings(config);
        settings.itemCount = kItemCount;
        settings.permanentMode = true;
        settings.savedDay = "05.03.2024";
        ConfigurationTestAccess::Item(config, 2).Integral = true;
        ConfigurationTestAccess::Item(config, 3).mirror = MirrorSetting{true, 1};
        return true;
    }();
    FUZZ_CHECK(set);
    return config;
}

// One program run's store with what it restores into.
struct Engine {
    explicit Engine(testing::EngineTestHost& env)
        : env(env),
          log(env.files, env.clock, GermanLocale()),
          store(env.host, log, GermanLocale()) {
        log.SetProgramDir(env.dir);
        for (int n = 1; n <= kItemCount; ++n) {
            // The configuration load's part of each record.
            store.ConfigRecordsToLoad()[n].serverItem = "Item." + std::to_string(n);
            store.ConfigRecordsToLoad()[n].itemName = "Name " + std::to_string(n);
        }
        m15.items[1].m15Row = 0;
        m15.items[3].m15Row = 1;
        moving.items[2].movingRow = 0;
        m15.rows.assign(2, std::vector<double>(kFifteenMinuteSlots, -999.0));
        moving.rows.assign(1, std::vector<double>(kMovingSlots, -999.0));
        m15.exist = moving.exist = true;
        store.JoinWindowBuffers(m15, moving);
    }

    void RestoreAll() {
        const Configuration& config = PlantConfiguration();
        const StateMarker marker{true, 0};
        store.RestoreMirrorOffsets(config, values.mirrorSumOffsets, marker);
        store.ConvertConfigFile(config);
        store.RestoreCounterDifferences(config, values.counterDifferences, marker);
        store.RestoreDayAccumulators(config, values.statistics, integration, marker);
        store.RestoreNightSums(config, integration, marker);
        store.RestoreMovingAverageBuffers(config, marker);
        store.RestoreFifteenMinuteBuffers(config, marker);
    }

    // The state files after a save, by name.
    Files Save() {
        FUZZ_CHECK(store.SaveIntermediateState(PlantConfiguration(), values, integration, true,
                                               false) == 0);
        Files files;
        for (const std::string& name : env.files.List(env.dir)) {
            if (name != kLogAllFile) {
                files[name] = env.files.ReadAll(env.dir + name).value();
            }
        }
        return files;
    }

    testing::EngineTestHost& env;
    ProgramLog log;
    StateStore store;
    ProcessedValues values;
    IntegrationStates integration;
    FifteenMinuteBuffers m15;
    MovingAverageBuffers moving;
};

// Distinct numbers in every field a file keeps.
void Fill(Engine& plant) {
    for (int n = 1; n <= kItemCount; ++n) {
        const double v = n + 0.125;
        ItemStatistics& s = plant.values.statistics[n];
        s = {0.0, v - 0.5, v + 0.5, v, 10.0 * v, 100.0 * v, 0.0, 0.0, 0.0};
        plant.integration.SetSum(n, 1000.0 * v);
        StateStoreTestAccess::Stored(plant.store).nightSums[n] =
            NightSumRecord{n == 2, v, v + 1, v + 2, v + 3, v + 4, v + 5};
        plant.values.counterDifferences[n] = {v + 0.1, v + 0.2, v + 0.3, v + 0.4};
    }
    plant.values.mirrorSumOffsets[3] = 0.25;
    plant.values.mirrorSumOffsets[maxItems] = 0.75;
    plant.m15.rows[1][14] = 3.25;
    plant.m15.items[3] = {1, 14, 1.5, 9.5, 45356.25, 45356.5};
    plant.moving.rows[0][359] = 0.1;
    plant.moving.items[2] = {0, 359, 4.75, -2.5, 8.0};
}

// The saved set, and under "legacy" a TARVEDDE.COF of the older layout.
const Files& SavedFiles() {
    static const Files files = [] {
        testing::EngineTestHost env;
        Engine plant(env);
        FUZZ_CHECK(plant.store.CreateConfigFile(PlantConfiguration(), plant.integration));
        Fill(plant);
        Files saved = plant.Save();
        BinaryWriter legacy;
        for (int n = 1; n <= kItemCount; ++n) {
            EncodeLegacyConfigRecord(legacy, plant.store.ConfigRecords()[n]);
        }
        saved["legacy"] = legacy.Take();
        FUZZ_CHECK(saved.size() >= 7);
        return saved;
    }();
    return files;
}

Files RestartAndSave(const Files& files) {
    testing::EngineTestHost env;
    for (const auto& [name, bytes] : files) {
        const std::string path = env.dir + (name == "legacy" ? kConfigStateFile : name);
        if (name != "legacy" || !files.contains(kConfigStateFile)) {
            (void)env.files.WriteAll(path, bytes, false);
        }
    }
    Engine plant(env);
    plant.RestoreAll();
    return plant.Save();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    Files files = SavedFiles();
    files.erase(kCleanMarkerFile);
    auto target = files.begin();
    std::advance(target, data[0] % files.size());
    if (target->first == "legacy") {
        files.erase(kConfigStateFile);
    } else {
        files.erase("legacy");
    }
    std::string& file = target->second;
    const std::size_t offset = std::min<std::size_t>(data[1] * 256u + data[2], file.size());
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 4, size - 4);
    const bool cut = (data[3] & 1) != 0;
    const bool intact = !cut && file.compare(offset, bytes.size(), bytes) == 0;
    const std::string tail =
        cut || offset + bytes.size() >= file.size() ? "" : file.substr(offset + bytes.size());
    file = file.substr(0, offset) + std::string(bytes) + tail;

    const Files first = RestartAndSave(files);
    FUZZ_CHECK(RestartAndSave(first) == first);
    if (intact && files.contains(kConfigStateFile)) {
        Files saved = SavedFiles();
        saved.erase("legacy");
        FUZZ_CHECK(first == saved);
    }
    return 0;
}

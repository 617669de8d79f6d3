// Two engines on one in-memory program directory: the first saves the running day's
// state, the second restores it as the program does after a restart.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "engine/state_files.h"
#include "platform/text_file.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {

inline std::size_t At(int n) {
    return static_cast<std::size_t>(n);
}

// An engine of three items in permanent mode with its items linked; item 2 is an
// integral item, item 3 mirrored.
struct Plant {
    explicit Plant(testing::EngineTestHost& hostRef) : host(hostRef) {
        state.programDir = host.dir;
        log.SetProgramDir(host.dir);
        state.settings.itemCount = 3;
        state.itemsLinked = true;
        state.settings.savedDay = "05.03.2024";
        state.items[2].Integral = true;
        state.items[3].mirror = MirrorSetting{true, 1, 0.0};
        state.items[3].itemName = "Ablauf";
        for (int n = 1; n <= 3; ++n) {
            state.configRecords[At(n)].serverItem = "Item." + std::to_string(n);
        }
    }

    // Distinct values in every restored field; `base` tells two sets apart.
    void Fill(double base) {
        for (int n = 1; n <= 3; ++n) {
            const double v = base + n;
            ItemStatistics& s = state.statistics[At(n)];
            s.minimum = v - 0.5;
            s.maximum = v + 0.5;
            s.average = v;
            s.count = 10.0 * v;
            s.sum = 100.0 * v;
            state.runtime[At(n)].runningSum = 1000.0 * v;
            state.nightSums[At(n)] = NightSumRecord{n == 2, v, v + 1, v + 2, v + 3, v + 4, v + 5};
        }
        state.items[3].mirror.mirrorSumOffset = base + 0.25;
        state.items[180].mirror.mirrorSumOffset = base + 0.75;
        state.counterDifferences[1] = {base + 0.1, base + 0.2, base + 0.3, base + 0.4};
        state.counterDifferences[180] = {base + 1.1, base + 1.2, base + 1.3, base + 1.4};
    }

    std::string LogText() const { return host.ReadText(kLogAllFile); }
    std::string Clean() const { return host.ReadText(kCleanMarkerFile); }

    testing::EngineTestHost& host;
    ProgramLog log{host.files, host.clock, GermanLocale()};
    EngineState state{host.host, log, GermanLocale()};
};

class StateFilesTest : public ::testing::Test {
protected:
    StateFilesTest() {
        EXPECT_TRUE(CreateConfigFile(before_.state));
        EXPECT_TRUE(CreateNightFile(before_.state));
    }

    // Saves `base` through the first engine and restores it into the second, as after
    // a restart.
    int SaveFilled(double base, bool finalSave = false) {
        before_.Fill(base);
        return SaveIntermediateState(before_.state, finalSave);
    }
    void RestoreAll(StateMarker marker) {
        RestoreMirrorOffsets(after_.state, marker);
        RestoreCounterDifferences(after_.state, marker);
        RestoreDayAccumulators(after_.state, marker);
        RestoreNightSums(after_.state, marker);
    }
    void PutBytes(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(host_.files.WriteAll(host_.dir + name, bytes, false));
    }
    std::size_t SizeOf(const std::string& name) const {
        const auto bytes = host_.files.ReadAll(host_.dir + name);
        return bytes ? bytes.value().size() : 0;
    }

    // Whether the second engine holds the values Fill(base) gave the first.
    void ExpectRestored(double base, bool accumulators, bool night, bool mirror, bool counter) {
        const EngineState& s = after_.state;
        const double v1 = base + 1;
        EXPECT_EQ(s.statistics[1].average == v1, accumulators) << base;
        EXPECT_EQ(s.runtime[2].runningSum == 1000.0 * (base + 2), accumulators) << base;
        EXPECT_EQ(s.nightSums[1].ntSum == v1 + 2, night) << base;
        EXPECT_EQ(s.items[3].mirror.mirrorSumOffset == base + 0.25, mirror) << base;
        EXPECT_EQ(s.counterDifferences[180].lastReading == base + 1.1, counter) << base;
    }

    testing::EngineTestHost host_;
    Plant before_{host_};
    Plant after_{host_};
};

}  // namespace tarvedde

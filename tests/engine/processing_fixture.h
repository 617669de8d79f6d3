// An engine state on the in-memory host for the per-value processing tests: three items,
// a live grid with three rolling rows, and an end of cycle that does what the acquisition
// cycle does after the last item (previous cycle time, lbDT).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "engine/per_value_processing.h"
#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde::testing {

class ProcessingFixture : public ::testing::Test {
protected:
    static constexpr int kBufferRows = 3;

    ProcessingFixture() {
        log_.SetProgramDir(env_.dir);
        state_.programDir = env_.dir;
        SetItemCount(3);
        state_.hooks.endOfCycle = [this] {
            state_.previousCycleTime = state_.cycleTime;
            state_.previousCycleElapsedMs = state_.cycleElapsedMs;
            state_.window.lbDT = FormatDateTime("hh:nn:ss", state_.cycleTime);
            ++cyclesEnded_;
        };
    }

    void SetItemCount(int count) {
        state_.settings.itemCount = count;
        state_.grid.Resize(count + 1, kBufferRows + 6);
    }

    ItemConfig& Item(int n) { return state_.items[static_cast<std::size_t>(n)]; }
    ItemStatistics& Stats(int n) { return state_.statistics[static_cast<std::size_t>(n)]; }
    ItemRuntime& Runtime(int n) { return state_.runtime[static_cast<std::size_t>(n)]; }
    CounterDifferenceState& Counter(int n) {
        return state_.counterDifferences[static_cast<std::size_t>(n)];
    }
    // Validity limits live in the statistics record, as the configuration loader puts them.
    void SetLimits(int n, double lower, double upper) {
        Stats(n).LoLimit = lower;
        Stats(n).UpLimit = upper;
    }

    // One cycle `stepMs` after the previous one; every item gets its text first.
    void RunCycle(const std::vector<std::string>& texts, std::int64_t stepMs = 10000) {
        for (std::size_t n = 0; n < texts.size(); ++n) {
            Runtime(static_cast<int>(n) + 1).newestText = texts[n];
        }
        env_.clock.AdvanceMs(stepMs);
        state_.cycleTime = env_.clock.Now();
        state_.cycleElapsedMs = env_.clock.ElapsedMs();
        state_.currentItem = 0;
        const int endedBefore = cyclesEnded_;
        for (int call = 0; call <= maxItems; ++call) {
            if (ProcessNextItem(state_)) {
                break;
            }
        }
        ASSERT_EQ(cyclesEnded_, endedBefore + 1) << "the cycle did not end";
    }

    // Current-row text of an item's column.
    std::string Shown(int n) const { return state_.grid.Cell(n, state_.grid.CurrentRow()); }
    std::string Row(int n, int row) const { return state_.grid.Cell(n, row); }

    // Log lines written since the last call, without their time stamps.
    std::vector<std::string> NewLogLines() {
        const std::string text = env_.ReadText("_DDE_OPC_LOGALL.TXT");
        std::vector<std::string> lines;
        if (text == "<missing>") {
            return lines;
        }
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                end = text.size();
            }
            const std::string line = text.substr(start, end - start);
            const std::size_t stamp = line.find(" > ");
            lines.push_back(stamp == std::string::npos ? line : line.substr(stamp + 3));
            start = end + 2;
        }
        std::vector<std::string> fresh(lines.begin() + static_cast<std::ptrdiff_t>(seenLines_),
                                       lines.end());
        seenLines_ = lines.size();
        return fresh;
    }

    EngineTestHost env_;
    ProgramLog log_{env_.files, env_.clock, GermanLocale()};
    EngineState state_{env_.host, log_, GermanLocale()};
    int cyclesEnded_ = 0;
    std::size_t seenLines_ = 0;
};

}  // namespace tarvedde::testing

// The time frames and the day statistics on a bare configuration whose items a test sets,
// with the per-item state they work on and a host that records what the frame is asked.
#pragma once

#include <string>
#include <vector>

#include "engine/statistics/day_change_statistics.h"
#include "platform/instance_locks.h"
#include "platform/recording_shell.h"
#include "platform/scripted_operator.h"
#include "platform/virtual_event_loop.h"
#include "tests/engine/configuration_test_access.h"
#include "tests/statistics/statistics_fixture.h"

namespace tarvedde::testing {

class IntermediateStatisticsTest : public StatisticsFixture,
                                   public TimeFrameHost,
                                   public DayChangeHost {
protected:
    IntermediateStatisticsTest() {
        config_.SetProgramDir(kDir);
        Settings().itemCount = 3;
        for (int n = 1; n <= 3; ++n) {
            Item(n).itemName = "Item" + std::to_string(n);
            Item(n).M15_berechnen = false;
            ConfigurationTestAccess::Order(config_)[static_cast<std::size_t>(n)] = n;
        }
        dayFiles_.SetProgramDir(kDir);
    }
    GeneralSettings& Settings() { return ConfigurationTestAccess::Settings(config_); }
    ItemConfig& Item(int n) { return ConfigurationTestAccess::Item(config_, n); }

    // The next cycle at h:n:s of 2024-03-05 (Tuesday), or of the next day with `day` 6.
    void Cycle(int h, int n, int s, int day = 5) {
        previousCycle_ = cycle_;
        cycle_ = EncodeDateTime(2024, 3, day, h, n, s, 0);
        clock_.SetLocalTime(cycle_);
    }
    // The log's lines without their stamps.
    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        const std::string all = LogAll();
        for (std::size_t at = 0, end; (end = all.find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            const std::string line = all.substr(at, end - at);
            lines.push_back(line.substr(line.find("> ") + 2));
        }
        return lines;
    }
    std::vector<double> Day(int n) const {
        const ItemStatistics& s = stats_[n];
        return {s.count, s.sum, s.minimum, s.maximum};
    }
    std::vector<std::string> Memo2() const {
        std::vector<std::string> lines;
        for (const RichParagraph& p : memo2_.Paragraphs()) {
            lines.push_back(p.text);
        }
        return lines;
    }

    double CycleTime() const override { return cycle_; }
    double PreviousCycleTime() const override { return previousCycle_; }
    double RunningDay() const override { return DateOf(cycle_); }
    double StatisticsDay() const override { return RunningDay(); }
    void PrintStatistics(double /*tickTime*/) override { ++printed_; }
    void ClearDiaryValues() override { ++diaryCleared_; }
    void WriteEndedDayDiary(double) override {}

    double cycle_ = EncodeDateTime(2024, 3, 5, 0, 0, 0, 0);
    double previousCycle_ = cycle_;
    int printed_ = 0;
    int diaryCleared_ = 0;

    VirtualEventLoop loop_{clock_};
    ScriptedOperator op_;
    RecordingShell shell_;
    MemoryInstanceLocks locks_;
    Host host_{fs_, clock_, loop_, op_, shell_, locks_};
    Configuration config_{host_, log_, GermanLocale()};

    PerItem<ItemStatistics> stats_;
    IntegrationStates integration_;
    PerItem<FifteenMinuteState> m15_;
    PerItem<MovingAverageState> moving_;
    PerItem<double> offsets_;
    PerItem<NightSumRecord> night_;
    RichTextModel memo2_;
    ExtraneousWater water_{fs_, log_, GermanLocale()};
    DayFiles dayFiles_{fs_, log_, GermanLocale()};
    DiaryNightSums diary_;
    StatisticsState state_{stats_, integration_, m15_, moving_, offsets_, night_};
    StatisticsOutputs outputs_{memo2_, log_, water_, dayFiles_, fs_, clock_, GermanLocale()};
    TimeFrameStatistics frames_{config_, state_, outputs_, *this, diary_};
    DayStatistics day_{config_, state_, outputs_, frames_, *this};
};

}  // namespace tarvedde::testing

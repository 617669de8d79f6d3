// Six hours of 10-s cycles; the program is killed at a random moment of every 40 minutes
// and started again up to 3 min later. Its day figures must equal those of a run without
// kills that sees only what the killed program saw: the killed run's timeline with each
// down time (from the last cycle before the kill to the start) cut out. A start's first
// cycle reads an empty text, no value yet: the value the server sends as the link starts
// arrives after it, and the next value before the second cycle. The reference's items read
// an empty text there too. A meter's first difference after a start spans the down time, in
// both runs alike. (The flow integral across starts is the start sample chain's test.)
//
// A failure names the seed; TARVEDDE_RESTART_SEED=<seed> repeats schedule and values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "app/scenario_runner.h"
#include "platform/date_time.h"
#include "tests/app/scenario_test_files.h"

namespace tarvedde {
namespace {

constexpr std::int64_t kCycleMs = 10'000;
constexpr std::int64_t kRunMs = 6 * 3'600'000;
constexpr std::int64_t kKillEveryMs = 40 * 60'000;
constexpr std::int64_t kPublishPhaseMs = 5'000;  // never at a cycle's moment

constexpr int kStart = 0;
constexpr int kKill = -1;
constexpr int kAnalog = 1;
constexpr int kCounter = 2;
constexpr int kPump = 3;
constexpr int kItemCount = 3;
const char* const kServerItems[] = {"", "T_Zulauf", "Z_Strom", "P_Geblaese"};

const char kRestartIni[] =
    "[DDE]\nAutoStart=1\nIntervall=10\nEinheit=0\nItemcount=3\n"
    "[Items]\nItem1=T_Zulauf\nItem2=Z_Strom\nItem3=P_Geblaese\n"
    "[Itemnames]\nItem1=Temperatur\nItem2=Strom\nItem3=Gebl\xC3\xA4se\n"
    "[Differenz]\nItem2=1\n[Grafiktyp]\nItem3=2\n";

// A server value (item 1 to 3), a kill or a start.
struct Event {
    std::int64_t atMs = 0;
    int item = kStart;
    std::string text;
};

// Hundredths as the server's German text: -307 is "-3,07".
Event Value(std::int64_t atMs, int item, std::int64_t hundredths) {
    const std::int64_t magnitude = std::abs(hundredths);
    const std::int64_t cents = magnitude % 100;
    return {atMs, item,
            (hundredths < 0 ? "-" : "") + std::to_string(magnitude / 100) + "," +
                (cents < 10 ? "0" : "") + std::to_string(cents)};
}

// One value per item between every two cycles: a temperature that swings below zero, a
// meter that only climbs, a blower that switches now and then.
std::vector<Event> PlantFeed(std::mt19937_64& random) {
    std::uniform_int_distribution<std::int64_t> noise(-800, 800);
    std::uniform_int_distribution<std::int64_t> consumption(0, 250);
    std::bernoulli_distribution switches(1.0 / 30.0);
    std::vector<Event> feed;
    std::int64_t meter = 4'821'300;
    bool blowerOn = true;
    for (std::int64_t at = kPublishPhaseMs; at < kRunMs; at += kCycleMs) {
        const double wave = std::sin(2.0 * std::numbers::pi * static_cast<double>(at) / 5.4e6);
        feed.push_back(Value(at, kAnalog, std::llround(1500.0 + 3000.0 * wave) + noise(random)));
        meter += consumption(random);
        feed.push_back(Value(at, kCounter, meter));
        blowerOn = blowerOn != switches(random);
        feed.push_back(Value(at, kPump, blowerOn ? 100 : 0));
    }
    return feed;
}

// A start runs its first cycle at once; cycles follow every 10 s up to the kill.
struct Life {
    std::int64_t startMs = 0;
    std::int64_t endMs = kRunMs;  // the kill; kRunMs for the life that sees the end
    std::int64_t LastCycleMs() const { return startMs + (endMs - startMs) / kCycleMs * kCycleMs; }
};

// A kill at a random millisecond of each 40 minutes, then a start after 1 to 18 cycle
// times on the cycle grid of the first start: the killed run's cycles are a subset of an
// uninterrupted run's.
std::vector<Life> KillSchedule(std::mt19937_64& random) {
    std::uniform_int_distribution<std::int64_t> offset(1, kKillEveryMs - 4 * 60'000);
    std::uniform_int_distribution<std::int64_t> downCycles(1, 18);
    std::vector<Life> lives{Life{0, 0}};
    for (std::int64_t window = 0; window + kKillEveryMs <= kRunMs; window += kKillEveryMs) {
        std::int64_t kill = window + offset(random);
        kill += kill % 1000 == 0 ? 1 : 0;  // never at a cycle's or a value's moment
        lives.back().endMs = kill;
        lives.push_back(Life{(kill / kCycleMs + downCycles(random)) * kCycleMs, kRunMs});
    }
    return lives;
}

// A value sent while no program runs reaches nobody and is left out.
std::vector<Event> KilledRun(const std::vector<Event>& feed, const std::vector<Life>& lives) {
    std::vector<Event> events;
    for (const Life& life : lives) {
        for (const Event& value : feed) {
            if (life.startMs < value.atMs && value.atMs < life.endMs) {
                events.push_back(value);
            }
        }
        events.push_back({life.startMs, kStart, ""});
        if (life.endMs < kRunMs) {
            events.push_back({life.endMs, kKill, ""});
        }
    }
    return events;
}

// The killed run with the down times cut out: each life's cycles follow the previous
// life's at once, the first of them on empty texts. Values after a life's last cycle
// never count.
std::vector<Event> CutRun(const std::vector<Event>& feed, const std::vector<Life>& lives) {
    std::vector<Event> events{{0, kStart, ""}};
    std::int64_t lifeStart = 0;  // in the reference's time
    for (const Life& life : lives) {
        if (lifeStart > 0) {
            for (int item = 1; item <= kItemCount; ++item) {
                events.push_back({lifeStart - kPublishPhaseMs, item, ""});
            }
        }
        for (const Event& value : feed) {
            if (life.startMs < value.atMs && value.atMs < life.LastCycleMs()) {
                events.push_back({value.atMs + lifeStart - life.startMs, value.item, value.text});
            }
        }
        lifeStart += life.LastCycleMs() - life.startMs + kCycleMs;
    }
    return events;
}

using Figures = std::vector<std::vector<double>>;  // per item: count, sum, minimum, maximum

class RestartScenario : public testing::ScenarioFixture {
protected:
    // Runs the events in time order on a fresh directory; the day saved at `endMs`.
    Figures RunEvents(std::vector<Event> events, std::int64_t endMs) {
        std::stable_sort(events.begin(), events.end(),
                         [](const Event& a, const Event& b) { return a.atMs < b.atMs; });
        dir_.Clear();
        dir_.WriteText("TARVEDDE.INI", kRestartIni);
        ScenarioRunner runner(Options());
        Execute(runner, ClockCommand{EncodeDateTime(2024, 3, 5, 8, 0, 0, 0)});
        const auto advanceTo = [&](std::int64_t atMs) {
            Execute(runner, AdvanceCommand{atMs - runner.Clock().ElapsedMs()});
        };
        for (const Event& event : events) {
            advanceTo(event.atMs);
            if (event.item == kStart) {
                Execute(runner, StartCommand{});
            } else if (event.item == kKill) {
                Execute(runner, KillCommand{});
            } else {
                Execute(runner, SetCommand{kServerItems[event.item], event.text, false, {}});
            }
        }
        advanceTo(endMs);
        EXPECT_NE(runner.Engine(), nullptr) << "the program is not running at the end";
        return testing::SavedDayFigures(dir_.Bytes("TARVEDDE.COF"));
    }
};

std::uint64_t Seed() {
    if (const char* text = std::getenv("TARVEDDE_RESTART_SEED")) {
        return std::strtoull(text, nullptr, 10);
    }
    return std::random_device{}();
}

TEST_F(RestartScenario, KillsEveryFortyMinutesLoseOnlyTheCyclesTheProgramWasDown) {
    const std::uint64_t seed = Seed();
    SCOPED_TRACE("TARVEDDE_RESTART_SEED=" + std::to_string(seed));
    std::mt19937_64 random(seed);
    const std::vector<Event> feed = PlantFeed(random);
    const std::vector<Life> lives = KillSchedule(random);
    ASSERT_EQ(lives.size(), 10u);
    std::int64_t cycles = 0;
    for (const Life& life : lives) {
        cycles += (life.LastCycleMs() - life.startMs) / kCycleMs + 1;
    }
    const Figures killed = RunEvents(KilledRun(feed, lives), kRunMs);
    const Figures expected = RunEvents(CutRun(feed, lives), (cycles - 1) * kCycleMs);
    ASSERT_EQ(expected.size(), std::size_t(kItemCount));
    ASSERT_EQ(killed.size(), expected.size());
    // Every life's first cycle has no value yet.
    EXPECT_EQ(killed[kAnalog - 1][0],
              static_cast<double>(cycles) - static_cast<double>(lives.size()));
    EXPECT_LT(expected[kAnalog - 1][2], 0.0);
    EXPECT_GT(expected[kCounter - 1][1], 0.0);
    EXPECT_GT(expected[kPump - 1][0], 0.0);
    EXPECT_EQ(killed, expected);  // count, sum, minimum and maximum of every item exactly
}

}  // namespace
}  // namespace tarvedde

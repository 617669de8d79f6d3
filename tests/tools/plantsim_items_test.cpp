// plantsim's generators tick by tick, and its INI reader.
#include "tools/plantsim/plantsim_items.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory_file_system.h"
#include "platform/number_format.h"

namespace tarvedde::plantsim {
namespace {

using Texts = std::vector<std::string>;

// Ticks 1 s apart, periods of 4 s; whole numbers without a delimiter unless asked for.
ItemConfig Item(GeneratorKind kind, double min, double max, double value = 0, bool wrap = true,
                const char* pattern = "01", int decimals = 0, bool delimiter = false) {
    ItemConfig item;
    item.kind = kind;
    item.intervalMs = 1000;
    item.periodMs = 4000;
    item.min = min;
    item.max = max;
    item.value = value;
    item.wrap = wrap;
    item.pattern = pattern;
    item.decimals = decimals;
    item.delimiter = delimiter;
    return item;
}

Texts Ticks(const ItemConfig& item, std::size_t count, std::uint32_t seed = 1) {
    Generator generator(item, seed);
    Texts texts;
    while (texts.size() < count) {
        texts.push_back(generator.Next());
    }
    return texts;
}

TEST(PlantsimGenerator, EachKindTickByTick) {
    using K = GeneratorKind;
    const std::pair<ItemConfig, Texts> cases[] = {
        // A sine starts in the middle and spans min to max over one period.
        {Item(K::kSine, 20, 80), {"50", "80", "50", "20", "50"}},
        // A ramp restarts at the period; without wrap it turns back.
        {Item(K::kRamp, 0, 100), {"0", "25", "50", "75", "0", "25"}},
        {Item(K::kRamp, 0, 100, 0, false), {"0", "50", "100", "50", "0", "50"}},
        // A counter restarts at min only above max and only with wrap.
        {Item(K::kCounter, 0, 10, 8), {"8", "9", "10", "0", "1"}},
        {Item(K::kCounter, 0, 10, 8, false), {"8", "9", "10", "11", "12"}},
        // A digital item cycles through its pattern; anything but 0 is on.
        {Item(K::kDigital, 0, 1, 0, true, "1x0"), {"1", "1", "0", "1", "1", "0", "1"}},
        {Item(K::kDigital, 0, 1, 0, true, ""), {"0", "0", "0"}},
        // The decimal comma, and CR LF unless the delimiter is off.
        {Item(K::kConstant, 0, 100, -12.5, true, "", 2, true), {"-12,50\r\n", "-12,50\r\n"}},
        {Item(K::kConstant, 0, 100, 12.4), {"12"}},
    };
    for (const auto& [item, ticks] : cases) {
        EXPECT_EQ(Ticks(item, ticks.size()), ticks);
    }
}

TEST(PlantsimGenerator, RandomWalkStartsAtValueStaysWithinBoundsAndRepeatsPerSeed) {
    ItemConfig item = Item(GeneratorKind::kRandomWalk, 0, 1, 0.5, true, "", 3);
    item.step = 0.4;
    const Texts walk = Ticks(item, 2000);
    EXPECT_EQ(walk.front(), "0,500");
    bool reachedMin = false;
    bool reachedMax = false;
    for (const std::string& text : walk) {
        const double value = StrToFloat(text).value();
        ASSERT_GE(value, 0.0) << text;
        ASSERT_LE(value, 1.0) << text;
        reachedMin |= text == "0,000";
        reachedMax |= text == "1,000";
    }
    // Steps that overshoot are clamped onto the bound, not dropped.
    EXPECT_TRUE(reachedMin && reachedMax);
    EXPECT_EQ(Ticks(item, 2000), walk);
    EXPECT_NE(Ticks(item, 2000, 2), walk);
}

class PlantsimConfig : public ::testing::Test {
protected:
    Result<PlantConfig> Load(const std::string& text) {
        (void)files_.WriteAll("/plant.ini", text, false);
        return LoadPlantConfig(IniFile(files_, "/plant.ini"));
    }

    MemoryFileSystem files_;
};

TEST_F(PlantsimConfig, ReadsCommaNumbersRequestTextAndDefaults) {
    const auto config = Load(
        "[Service]\r\nName=plantsim\r\nTopic=Klaeranlage\r\n[Service2]\r\nName=zwei\r\n"
        "[Items]\r\nCount=2\r\n"
        "[Item1]\r\nName=Q\r\nGenerator=RandomWalk\r\nMin=0,5\r\nMax=3.5\r\nStep=0,1\r\n"
        "RequestText=1,00\r\nDelimiter=0\r\nIntervalMs=1\r\n"
        "[Item2]\r\nName=P\r\nService=2\r\n");
    ASSERT_TRUE(config) << config.error().message;
    ASSERT_EQ(config.value().services.size(), 2u);
    const ItemConfig& q = config.value().items[0];
    EXPECT_EQ(q.kind, GeneratorKind::kRandomWalk);
    EXPECT_DOUBLE_EQ(q.min, 0.5);
    EXPECT_DOUBLE_EQ(q.max, 3.5);
    EXPECT_DOUBLE_EQ(q.step, 0.1);
    EXPECT_EQ(q.requestText, "1,00");
    EXPECT_FALSE(q.delimiter);
    EXPECT_EQ(q.intervalMs, 10);  // a faster timer would starve the loop
    const ItemConfig& p = config.value().items[1];
    EXPECT_EQ(p.service, 2);
    EXPECT_EQ(p.kind, GeneratorKind::kConstant);
    EXPECT_EQ(p.requestText, "");
    EXPECT_TRUE(p.delimiter);
}

TEST_F(PlantsimConfig, RefusesWhatItCannotServe) {
    const std::string service = "[Service]\r\nName=plantsim\r\nTopic=T\r\n";
    EXPECT_FALSE(Load("[Items]\r\nCount=1\r\n[Item1]\r\nName=Q\r\n"));
    EXPECT_FALSE(Load(service + "[Items]\r\nCount=0\r\n"));
    EXPECT_FALSE(Load(service + "[Items]\r\nCount=1\r\n[Item1]\r\nGenerator=sine\r\n"));
    EXPECT_FALSE(Load(service + "[Items]\r\nCount=1\r\n[Item1]\r\nName=Q\r\nGenerator=saw\r\n"));
    EXPECT_FALSE(Load(service + "[Items]\r\nCount=1\r\n[Item1]\r\nName=Q\r\nService=2\r\n"));
}

// A restarted plantsim goes on with the reading its counters had, not with Value.
TEST_F(PlantsimConfig, CountersResumeTheirSavedReadingsOtherItemsStartAsConfigured) {
    auto config = Load(
        "[Service]\r\nName=plantsim\r\n[Items]\r\nCount=2\r\n"
        "[Item1]\r\nName=Strom\r\nGenerator=counter\r\nValue=100\r\nStep=0,25\r\n"
        "Wrap=0\r\nDelimiter=0\r\n"
        "[Item2]\r\nName=O2\r\nGenerator=randomwalk\r\nValue=2\r\n");
    ASSERT_TRUE(config) << config.error().message;
    IniFile readings(files_, "/readings.ini");
    Generator meter(config.value().items[0], 1);
    Generator walk(config.value().items[1], 1);
    EXPECT_EQ(meter.Reading(), 100.0);
    for (int i = 0; i < 3; ++i) {
        (void)meter.Next();
        (void)walk.Next();
    }
    ASSERT_TRUE(SaveReading(readings, config.value().items[0], meter.Reading()));
    ASSERT_TRUE(SaveReading(readings, config.value().items[1], walk.Reading()));
    EXPECT_EQ(readings.ReadSection("Readings"), (Texts{"Strom"}));

    ResumeReadings(IniFile(files_, "/readings.ini"), config.value());
    EXPECT_EQ(Generator(config.value().items[0], 1).Next(), "100,50");
    EXPECT_EQ(config.value().items[1].value, 2.0);
}

}  // namespace
}  // namespace tarvedde::plantsim

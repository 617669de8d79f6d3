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

ItemConfig Item(GeneratorKind kind, double min, double max, int decimals = 0) {
    ItemConfig item;
    item.kind = kind;
    item.intervalMs = 1000;
    item.periodMs = 4000;
    item.min = min;
    item.max = max;
    item.decimals = decimals;
    item.delimiter = false;
    return item;
}

Texts Ticks(const ItemConfig& item, int count, std::uint32_t seed = 1) {
    Generator generator(item, seed);
    Texts texts;
    for (int i = 0; i < count; ++i) {
        texts.push_back(generator.Next());
    }
    return texts;
}

TEST(PlantsimGenerator, ValueTextHasTheDecimalCommaAndCrLfUnlessTheDelimiterIsOff) {
    ItemConfig item = Item(GeneratorKind::kConstant, 0, 100, 2);
    item.value = -12.5;
    item.delimiter = true;
    EXPECT_EQ(Ticks(item, 2), (Texts{"-12,50\r\n", "-12,50\r\n"}));
    item.delimiter = false;
    item.decimals = 0;
    item.value = 12.4;
    EXPECT_EQ(Ticks(item, 1), (Texts{"12"}));
}

TEST(PlantsimGenerator, SineStartsInTheMiddleAndSpansMinToMaxOverOnePeriod) {
    EXPECT_EQ(Ticks(Item(GeneratorKind::kSine, 20, 80), 5), (Texts{"50", "80", "50", "20", "50"}));
}

TEST(PlantsimGenerator, RampSawtoothRestartsAtThePeriodAndTriangleTurnsBack) {
    ItemConfig item = Item(GeneratorKind::kRamp, 0, 100);
    EXPECT_EQ(Ticks(item, 6), (Texts{"0", "25", "50", "75", "0", "25"}));
    item.wrap = false;
    EXPECT_EQ(Ticks(item, 6), (Texts{"0", "50", "100", "50", "0", "50"}));
}

TEST(PlantsimGenerator, CounterRestartsAtMinOnlyAboveMaxAndOnlyWithWrap) {
    ItemConfig item = Item(GeneratorKind::kCounter, 0, 10);
    item.value = 8;
    item.step = 1;
    EXPECT_EQ(Ticks(item, 5), (Texts{"8", "9", "10", "0", "1"}));
    item.wrap = false;
    EXPECT_EQ(Ticks(item, 5), (Texts{"8", "9", "10", "11", "12"}));
}

TEST(PlantsimGenerator, RandomWalkStartsAtValueStaysWithinBoundsAndRepeatsPerSeed) {
    ItemConfig item = Item(GeneratorKind::kRandomWalk, 0, 1, 3);
    item.value = 0.5;
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

TEST(PlantsimGenerator, DigitalCyclesThroughThePatternAndAnythingButZeroIsOn) {
    ItemConfig item = Item(GeneratorKind::kDigital, 0, 1);
    item.pattern = "1x0";
    EXPECT_EQ(Ticks(item, 7), (Texts{"1", "1", "0", "1", "1", "0", "1"}));
    item.pattern.clear();
    EXPECT_EQ(Ticks(item, 3), (Texts{"0", "0", "0"}));
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

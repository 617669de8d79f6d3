#include "engine/statistics/item_statistics_report.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <functional>

#include "engine/acquisition/sample_integrator.h"
#include "tests/statistics/statistics_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::ElementsAreArray;

double At(int h, int n, int s) {
    return EncodeDateTime(2024, 3, 5, h, n, s, 0);
}
std::int64_t MsAt(int h, int n, int s) {
    return ((h * 60 + n) * 60 + s) * 1000LL;
}

class ItemStatisticsTest : public StatisticsFixture {
public:
    ItemStatisticsTest() {
        for (int n = 1; n <= 8; ++n) {
            items_[n].itemName = "Item" + std::to_string(n);
            items_[n].M15_berechnen = false;
        }
    }

    void Build(int item) {
        BuildItemStatistics(
            item, {items_[item], stats_[item], m15_[item], moving_[item], integration_}, run_);
    }
    std::vector<std::string> Memo2() const {
        std::vector<std::string> lines;
        for (const RichParagraph& p : memo2_.Paragraphs()) {
            lines.push_back(p.text);
        }
        return lines;
    }
    void Sample(int item, double value, int h, int n, int s) {
        ASSERT_TRUE(integrator_.Integrate(item, value, At(h, n, s), MsAt(h, n, s)));
    }

    PerItem<ItemConfig> items_;
    PerItem<ItemStatistics> stats_;
    PerItem<FifteenMinuteState> m15_;
    PerItem<MovingAverageState> moving_;
    IntegrationStates integration_;
    ConversionTables tables_{};
    SampleIntegrator integrator_{items_, tables_, log_, GermanLocale(), integration_};
    RichTextModel memo2_;
    LinesModel memoStat_;
    ExtraneousWater water_{fs_, log_, GermanLocale()};
    StatisticsRun run_{memo2_,      memoStat_,     water_,      GermanLocale(),
                       At(7, 8, 9), MsAt(7, 8, 9), At(7, 8, 9), 8};
};

struct BlockCase {
    const char* name;
    std::function<void(ItemStatisticsTest&, ItemConfig&, ItemStatistics&)> setUp;
    std::vector<std::string> memo2;     // after the heading
    std::vector<std::string> memoStat;  // after the "************  " line
};

class BlockVariants : public ItemStatisticsTest {
protected:
    void Check(const BlockCase& c) {
        SCOPED_TRACE(c.name);
        memo2_.Clear();
        memoStat_.Clear();
        ItemConfig& config = items_[1];
        ItemStatistics& statistics = stats_[1];
        config = ItemConfig{};
        config.itemName = "Zulauf";
        config.M15_berechnen = false;
        statistics.count = 3;
        statistics.average = 2.5;
        statistics.minimum = 1;
        statistics.maximum = 4;
        config.unit = "m3/h";
        integration_.ClearForStart(1);
        c.setUp(*this, config, statistics);
        Build(1);
        std::vector<std::string> memo2{"Zulauf"};
        memo2.insert(memo2.end(), c.memo2.begin(), c.memo2.end());
        EXPECT_THAT(Memo2(), ElementsAreArray(memo2));
        std::vector<std::string> plain{"************  Zulauf"};
        plain.insert(plain.end(), c.memoStat.begin(), c.memoStat.end());
        EXPECT_THAT(memoStat_.Lines(), ElementsAreArray(plain));
    }
};

TEST_F(BlockVariants, EveryKindOfItemPrintsItsLines) {
    const std::string count = "3 Meßwerte :    Mittel=2,50   Min.=1,00   Max.=4,00";
    const std::vector<BlockCase> cases = {
        {"analog", [](auto&, auto&, auto&) {}, {count + " [m3/h]"}, {count + " [m3/h]"}},
        {"analog with 15-minute values, integral up to now, total counter, moving average",
         [](ItemStatisticsTest& t, ItemConfig& c, ItemStatistics&) {
             c.M15_berechnen = true;
             c.Integral = true;
             c.Fortlaufend_summieren = true;
             c.counterReading = 1000;
             c.sumUnit = "m³";
             c.Gleitend = true;
             c.valueConversion = {true, "", "l/s", 1, 1, 0};
             t.m15_[1] = {-1, 0, 1.5, 3.5, At(3, 0, 0), At(14, 30, 0)};
             t.moving_[1] = {-1, 0, 2.4, 2.0, 3.0};
             t.Sample(1, 0.5, 7, 7, 59);  // held 10 s until the block: +5
             t.integration_.SetSum(1, 12.5);
         },
         {"3 Meßwerte :    Mittel=2,50   Min.(15min)=1,50 um 03:00:00  /   Max.(15min)=3,50 um "
          "14:30:00",
          "Tagesmenge=17,50 m³   /   Gesamtzählerstand : 1017,50 m³",
          "Gleitendes Mittel=2,40  Min.=2,00  Max.=3,00 [l/s]"},
         {count + " [l/s]", "Summe=17,50 m³",
          "Gleitendes Mittel=2,40  Min.=2,00  Max.=3,00 [l/s]"}},
        {"mirrored integral",
         [](auto&, ItemConfig& c, ItemStatistics& s) {
             c.Integral = true;
             c.mirror = {true, 2, 0.0};
             c.sumDivisor = 1000;
             c.sumUnit = "m³";
             s.sum = 250;
         },
         {count + " [m3/h]", "Summe (gespiegelt)=0,25 m³"},
         {count + " [m3/h]", "Summe (gespiegelt)=0,25 m³"}},
        {"counter with total counter",
         [](auto&, ItemConfig& c, ItemStatistics& s) {
             c.Differenz = true;
             c.Fortlaufend_summieren = true;
             c.counterReading = 1000;
             c.sumUnit = "kWh";
             s.sum = 12.5;
         },
         {count + " [m3/h]",
          "Zählerdifferenz/Verbrauch=12,50 kWh   /   Gesamtzählerstand : 1012,50 kWh"},
         {count + " [m3/h]", "Zählerdifferenz/Verbrauch=12,50 kWh"}},
        {"digital integral with off times, on since 07:00",
         [](ItemStatisticsTest& t, ItemConfig& c, auto&) {
             c.Grafiktyp = 2;
             c.Integral = true;
             c.MaxAusZeit_anzeigen = true;
             c.sumDivisor = 3600;
             c.sumUnit = "h";
             t.Sample(1, 1.0, 5, 0, 0);
             t.Sample(1, 0.0, 6, 0, 0);  // 3600 s on
             t.Sample(1, 1.0, 7, 0, 0);  // on again: 489 s until the block
         },
         {"Max. Auszeit : 01:00:00", "Ausgeschaltet : 06:00:00", "Eingeschaltet : 07:00:00",
          "Summe/Betriebszeit=1,14 h   /    "},
         {"Summe/Betriebszeit=1,14 h", "Max. Auszeit : 01:00:00", "Ausgeschaltet : 06:00:00",
          "Eingeschaltet : 07:00:00"}},
        {"digital operating hours with total counter",
         [](auto&, ItemConfig& c, ItemStatistics& s) {
             c.Grafiktyp = 2;
             c.Fortlaufend_summieren = true;
             c.counterReading = 100;
             s.count = 5.5;
         },
         {"Betriebszeit=5,50 h   /   Gesamtzählerstand : 105,50 h"},
         {"Betriebszeit=5,50 h"}},
        {"digital without day quantity or total counter",
         [](auto&, ItemConfig& c, ItemStatistics& s) {
             c.Grafiktyp = 2;
             c.Tagesmengen_protokollieren = false;
             s.count = 5.5;
         },
         {},
         {"Betriebszeit=5,50 h"}},
    };
    for (const BlockCase& c : cases) {
        Check(c);
    }
}

TEST_F(ItemStatisticsTest, HeadingIsBoldAtFortyAndLinesPlainAtEighty) {
    Build(3);
    ASSERT_EQ(memo2_.Paragraphs().size(), 2u);
    const TextAttributes& heading = memo2_.Paragraphs()[0].attributes;
    const TextAttributes& line = memo2_.Paragraphs()[1].attributes;
    EXPECT_TRUE(heading.bold);
    EXPECT_EQ(heading.indent, 40);
    EXPECT_EQ(heading.color, "black");
    EXPECT_FALSE(line.bold);
    EXPECT_EQ(line.indent, 80);
}

TEST_F(ItemStatisticsTest, ItemsOutsideTheCountAndMirrorsWithoutSourceHaveNoBlock) {
    items_[4].mirror = {true, 0, 0.0};
    items_[5].mirror = {true, 9, 0.0};
    for (const int item : {0, 4, 5, 9}) {
        Build(item);
    }
    EXPECT_TRUE(memo2_.Paragraphs().empty());
    EXPECT_TRUE(memoStat_.Empty());
}

// Inflow minimum 50 l/s (item 1), day volume 10000 m³ (item 2, without a sample time, so
// nothing is added up to now), EW+Ind 3 l/s: 47 x 8640 / 10000 = 40.608.
TEST_F(ItemStatisticsTest, ExtraneousWaterLineComesOncePerRunInTheBlockThatCompletesIt) {
    water_.SetProgramDir(kDir);
    water_.SetSettings({1, 2, 3.0});
    stats_[1].minimum = 50;
    items_[2].Integral = true;
    integration_.SetSum(2, 10000);
    const std::string line = "Fremdwasser bei 3,00 l/s EW+Ind: 40,61 %";
    for (const int item : {1, 2, 3}) {
        Build(item);
    }
    EXPECT_THAT(
        Memo2(),
        ElementsAreArray(std::vector<std::string>{
            "Item1", "0 Meßwerte :    Mittel=0,00   Min.=50,00   Max.=-999999,90 []", "Item2", line,
            "0 Meßwerte :    Mittel=0,00   Min.=999999,90   Max.=-999999,90 []",
            "Tagesmenge=10000,00    /   ", "Item3",
            "0 Meßwerte :    Mittel=0,00   Min.=999999,90   Max.=-999999,90 []"}));
    EXPECT_EQ(File(kExtraneousWaterFile),
              "04.03.2024 : Fremdwasser = 40,6 %, Min.Zulauf = 50,0 l/s, EW+Ind = 3,0 l/s, "
              "Gesamtzulauf = 10000,0 m³\r\n");
    EXPECT_EQ(water_.MinimumInflow(), -1.0);
    EXPECT_EQ(water_.InflowVolume(), -1.0);

    // Without the volume there is nothing to compute.
    stats_[2] = {};
    integration_.SetSum(2, 0);
    for (const int item : {1, 2, 3}) {
        Build(item);
    }
    const auto lines = Memo2();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1);
}

}  // namespace
}  // namespace tarvedde::testing

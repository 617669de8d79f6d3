#include "engine/statistics/item_statistics_report.h"

#include <gmock/gmock.h>

#include "engine/acquisition/sample_integrator.h"
#include "engine/statistics/day_protocol.h"
#include "tests/statistics/statistics_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

double At(int h, int n, int s) {
    return EncodeDateTime(2024, 3, 5, h, n, s, 0);
}
std::int64_t MsAt(int h, int n, int s) {
    return ((h * 60 + n) * 60 + s) * 1000LL;
}

class ItemStatisticsTest : public StatisticsFixture {
public:
    ItemStatisticsTest() {
        for (int n = 1; n <= 7; ++n) {
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
    ConversionTables tables_{};
    SampleIntegrator integrator_{items_, tables_, log_, GermanLocale()};
    IntegrationStates& integration_ = integrator_.StatesToRestore();
    RichTextModel memo2_;
    LinesModel memoStat_;
    ExtraneousWater water_{fs_, log_, GermanLocale()};
    StatisticsRun run_{memo2_,      memoStat_,     water_,      GermanLocale(),
                       At(7, 8, 9), MsAt(7, 8, 9), At(7, 8, 9), 7};
};

// One statistics run over an item of every kind, in item order (the lines' styles are the
// day-protocol scenario's). Item 1 is the inflow minimum (50 l/s), item 2 the inflow
// volume (10005 m³ up to the block), EW+Ind 3 l/s: the extraneous-water line,
// 47 x 8640 / 10005 = 40.588, comes once, in the block that completes the inputs.
TEST_F(ItemStatisticsTest, RunOverEveryKindOfItemPrintsEachVariantOnce) {
    water_.SetProgramDir(kDir);
    water_.SetSettings({1, 2, 3.0});
    for (int n = 1; n <= 6; ++n) {
        stats_[n] = {0, 50, 60, 55, 3, 0, 0, 0, 0};
        items_[n].unit = "l/s";
    }
    ItemConfig& volume = items_[2];
    volume.M15_berechnen = volume.Integral = volume.Gleitend = volume.Fortlaufend_summieren = true;
    volume.counterReading = 1000;
    volume.sumUnit = "m³";
    volume.valueConversion = {true, "", "m³/h", 1, 1, 0};
    m15_[2] = {-1, 0, 1.5, 3.5, At(3, 0, 0), At(14, 30, 0)};
    moving_[2] = {-1, 0, 2.4, 2.0, 3.0};
    Sample(2, 0.5, 7, 7, 59);  // held 10 s until the block: +5
    integration_.SetSum(2, 10000);
    items_[3].Integral = true;
    items_[3].mirror = {true, 2};
    items_[3].sumDivisor = 1000;
    stats_[3].sum = 250;
    items_[4].Differenz = items_[4].Fortlaufend_summieren = true;
    items_[4].counterReading = 1000;
    items_[4].sumUnit = "kWh";
    stats_[4].sum = 12.5;
    items_[5].Grafiktyp = 2;
    items_[5].Integral = items_[5].MaxAusZeit_anzeigen = true;
    items_[5].sumDivisor = 3600;
    items_[5].sumUnit = "h";
    Sample(5, 1.0, 5, 0, 0);
    Sample(5, 0.0, 6, 0, 0);  // 3600 s on
    Sample(5, 1.0, 7, 0, 0);  // on again: 489 s until the block
    items_[6].Grafiktyp = 2;
    items_[6].Fortlaufend_summieren = true;
    items_[6].counterReading = 100;
    items_[7].mirror = {true, 0};
    for (int item = 0; item <= 9; ++item) {
        Build(item);
    }

    const std::string count = "3 Meßwerte :    Mittel=55,00   Min.=50,00   Max.=60,00";
    EXPECT_THAT(Memo2(),
                ElementsAreArray(std::vector<std::string>{
                    "Item1",
                    count + " [l/s]",
                    "Item2",
                    "Fremdwasser bei 3,00 l/s EW+Ind: 40,59 %",
                    "3 Meßwerte :    Mittel=55,00   Min.(15min)=1,50 um 03:00:00  /   "
                    "Max.(15min)=3,50 um 14:30:00",
                    "Tagesmenge=10005,00 m³   /   Gesamtzählerstand : 11005,00 m³",
                    "Gleitendes Mittel=2,40  Min.=2,00  Max.=3,00 [m³/h]",
                    "Item3",
                    count + " [l/s]",
                    "Summe (gespiegelt)=0,25 ",
                    "Item4",
                    count + " [l/s]",
                    "Zählerdifferenz/Verbrauch=12,50 kWh   /   Gesamtzählerstand : 1012,50 kWh",
                    "Item5",
                    "Max. Auszeit : 01:00:00",
                    "Ausgeschaltet : 06:00:00",
                    "Eingeschaltet : 07:00:00",
                    "Summe/Betriebszeit=1,14 h   /    ",
                    "Item6",
                    "Betriebszeit=3,00 h   /   Gesamtzählerstand : 103,00 h"}));
    EXPECT_THAT(
        memoStat_.Lines(),
        ElementsAreArray(std::vector<std::string>{
            "************  Item1", count + " [l/s]", "************  Item2",
            "3 Meßwerte :    Mittel=55,00   Min.=50,00   Max.=60,00 [m³/h]", "Summe=10005,00 m³",
            "Gleitendes Mittel=2,40  Min.=2,00  Max.=3,00 [m³/h]", "************  Item3",
            count + " [l/s]", "Summe (gespiegelt)=0,25 ", "************  Item4", count + " [l/s]",
            "Zählerdifferenz/Verbrauch=12,50 kWh", "************  Item5",
            "Summe/Betriebszeit=1,14 h", "Max. Auszeit : 01:00:00", "Ausgeschaltet : 06:00:00",
            "Eingeschaltet : 07:00:00", "************  Item6", "Betriebszeit=3,00 h"}));
    EXPECT_EQ(File(kExtraneousWaterFile),
              "04.03.2024 : Fremdwasser = 40,6 %, Min.Zulauf = 50,0 l/s, EW+Ind = 3,0 l/s, "
              "Gesamtzulauf = 10005,0 m³\r\n");

    // A minimum still at its reset value was never taken: no result from it.
    const std::string results = File(kExtraneousWaterFile);
    stats_[1].minimum = kMinimumReset;
    Build(1);
    Build(2);
    EXPECT_EQ(File(kExtraneousWaterFile), results);
}

class DayProtocolTest : public StatisticsFixture {
protected:
    DayProtocolFiles files_{fs_, log_, kDir, 10};
    UnsavedDayProtocols unsaved_;
    RichTextModel memo2_;
    const double today_ = EncodeDateTime(2024, 3, 5, 0, 0, 10, 0);
};

// Saved at the day change under yesterday's name, 5000 lines load back as they were; a
// longer protocol is saved whole and logged, a failed save logged.
TEST_F(DayProtocolTest, FiveThousandLinesLoadBackALongerProtocolIsSavedTooAndAFailureLogged) {
    memo2_.SetAttributes({true, true, "blue", TextAlignment::Center, 0, 0});
    memo2_.Append("Neustart: Übersicht für {Dienstag} \\ 5. März");
    memo2_.SetAttributes({false, false, "black", TextAlignment::Left, 80, 14});
    for (int n = 1; n < 5000; ++n) {
        memo2_.Append(n % 2 ? "3 Meßwerte :\tMittel=2,50" : "");
    }
    ASSERT_TRUE(SaveDayProtocol(memo2_, today_, files_, unsaved_));
    RichTextModel loaded;
    LoadDayProtocol(loaded, EncodeDate(2024, 3, 4), 100000, files_);
    ASSERT_EQ(loaded.Paragraphs().size(), 5000u);
    for (std::size_t n = 0; n < 5000; ++n) {
        ASSERT_EQ(loaded.Paragraphs()[n].text, memo2_.Paragraphs()[n].text) << n;
        ASSERT_EQ(loaded.Paragraphs()[n].attributes, memo2_.Paragraphs()[n].attributes) << n;
    }
    EXPECT_EQ(LogAll().find("5000 Zeilen"), std::string::npos);

    memo2_.Append("Statistik für Montag");
    EXPECT_TRUE(SaveDayProtocol(memo2_, today_, files_, unsaved_));
    RichTextModel longer;
    LoadDayProtocol(longer, EncodeDate(2024, 3, 4), 100000, files_);
    EXPECT_EQ(longer.Paragraphs().back().text, "Statistik für Montag");
    EXPECT_NE(LogAll().find("*** Mehr als 5000 Zeilen im Statistik-Memo !"), std::string::npos);

    fs_.SetFailurePolicy(
        [](FileOp, const std::string& path) { return path.find(".RTF") != std::string::npos; });
    EXPECT_FALSE(SaveDayProtocol(memo2_, today_, files_, unsaved_));
    EXPECT_NE(LogAll().find("Statistik 20240304.RTF konnte nicht gesichert werden !"),
              std::string::npos);
}

// Below one 128-byte unit (an empty file) or above MaxRTF units the file is not loaded; it
// is kept under another name, for the day's next save would replace it.
TEST_F(DayProtocolTest, EmptyOrOversizedProtocolIsSetAsideAtStart) {
    const std::string path = std::string(kDir) + "20240305.RTF";
    for (const auto& [bytes, maxRtf] :
         {std::pair{std::string(), 100000}, std::pair{std::string(256, 'x'), 1}}) {
        ASSERT_TRUE(fs_.WriteAll(path, bytes, false));
        memo2_.Append("bleibt");
        LoadDayProtocol(memo2_, today_, maxRtf, files_);
        EXPECT_FALSE(fs_.Exists(path));
        EXPECT_EQ(memo2_.Paragraphs().back().text, "bleibt");
    }
    EXPECT_EQ(fs_.ReadAll(path + ".defekt").value_or("?"), "");
    EXPECT_EQ(fs_.ReadAll(path + ".2.defekt").value_or("?"), std::string(256, 'x'));
    EXPECT_THAT(LogAll(), HasSubstr("RTF-Datei defekt ! Umbenannt in 20240305.RTF.2.defekt."));
}

}  // namespace
}  // namespace tarvedde::testing

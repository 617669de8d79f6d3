#include "tests/engine/loader_fixture.h"

namespace tarvedde {
namespace {

class CalibrationTest : public LoaderTest {
protected:
    // Items 1..names.size() named as given, with `more` lines appended.
    void PutItems(const Lines& names, const Lines& more, bool scaling = false) {
        Lines ini = {"[DDE]", "Itemcount=" + std::to_string(names.size()),
                     scaling ? "varini-Skalierung=1" : "varini-Skalierung=0", "[Items]"};
        for (std::size_t i = 0; i < names.size(); ++i) {
            ini.push_back("Item" + std::to_string(i + 1) + "=S" + std::to_string(i + 1));
        }
        ini.push_back("[Itemnames]");
        for (std::size_t i = 0; i < names.size(); ++i) {
            ini.push_back("Item" + std::to_string(i + 1) + "=" + names[i]);
        }
        ini.insert(ini.end(), more.begin(), more.end());
        PutIni(ini);
    }
    // The log lines of the scaling step, from its heading on.
    Lines ScalingLog() {
        const Lines texts = LogTexts();
        const auto heading = std::find(texts.begin(), texts.end(), kHeading);
        return Lines(heading, texts.end());
    }
    static constexpr char kHeading[] =
        "Eichkonstanten werden aus Sektion [Item_x] MinForUser..MaxForSPS (bzw. var.ini) "
        "berechnet.";
};

TEST_F(CalibrationTest, ConstantsComeFromEichIniByItemName) {
    PutItems({"Zulauf", "Ablauf", "Rest"}, {});
    Put(kCalibrationIniFile, {"[Zulauf]", "M=2.5", "T=-1,25", "D=4", "[Ablauf]", "T=3", "M=steil",
                              "D=9", "[Rest]", "D=0,5"});
    Load();
    EXPECT_EQ(Item(1).calibrationSlope, 2.5);
    EXPECT_EQ(Item(1).calibrationIntercept, -1.25);
    EXPECT_EQ(Item(1).calibrationDivisor, 4.0);
    EXPECT_EQ(Record(1).calibrationSlope, 2.5);
    EXPECT_EQ(Record(1).calibrationIntercept, -1.25);
    // The failing item keeps what was read before the bad key, and the next item loads.
    EXPECT_EQ(Item(2).calibrationIntercept, 3.0);
    EXPECT_EQ(Item(2).calibrationSlope, 1.0);
    EXPECT_EQ(Item(2).calibrationDivisor, 1.0);
    EXPECT_EQ(Item(3).calibrationDivisor, 0.5);
    EXPECT_EQ(Shown(), Lines{"MESSAGE Fehler bei Verarbeitung der EICH.INI ! Item : Ablauf"});
}

TEST_F(CalibrationTest, NoCalibrationWhenTheItemListIsIncomplete) {
    PutItems({"Zulauf", ""}, {});
    Put(kCalibrationIniFile, {"[Zulauf]", "M=2"});
    Load();
    EXPECT_FALSE(state_.settings.configValid);
    EXPECT_EQ(Item(1).calibrationSlope, 1.0);
}

TEST_F(CalibrationTest, ScalingRangesGiveTheCalibrationConstants) {
    PutItems({"Zulauf", "Ablauf", "pH", "Sauerstoff", "Pumpe"},
             {"[Item_1]", "MinForUser=0", "MaxForUser=100", "MinForSPS=0", "MaxForSPS=27648",
              "[Grafiktyp]", "Item5=2"},
             true);
    Put(kScalingIniFile,
        {"[Ablauf]", "MinForUser=10", "MaxForUser=50", "MinForSPS=4000", "MaxForSPS=20000", "[pH]",
         "MinForSPS=0", "MaxForSPS=1000", "[Sauerstoff]", "MinForUser=x", "MaxForUser=10",
         "[Pumpe]", "MinForUser=?"});
    Put(kCalibrationIniFile, {"[pH]", "M=3", "T=1"});
    Load();
    EXPECT_EQ(ScalingLog(), (Lines{kHeading, "Item_1 / Zulauf : Min/MaxForUser = 0/100",
                                   "***** var.ini : Parameter fehlt : pH",
                                   "***** var.ini : Fehler bei Parameter Sauerstoff"}));
    EXPECT_DOUBLE_EQ(Item(1).calibrationSlope, 100.0 / 27648);
    EXPECT_EQ(Item(1).calibrationIntercept, 0.0);
    EXPECT_EQ(Read(kCalibrationIniFile, "Zulauf", "M"), "0,0036168981");
    EXPECT_EQ(Read(kCalibrationIniFile, "Zulauf", "T"), "0,0000000000");
    EXPECT_DOUBLE_EQ(Item(2).calibrationSlope, 0.0025);
    EXPECT_DOUBLE_EQ(Item(2).calibrationIntercept, 0.0);
    EXPECT_DOUBLE_EQ(Record(2).calibrationSlope, 0.0025);
    // pH: engineering range 0..99999 from the defaults.
    EXPECT_EQ(Item(3).MaxForUser, 99999.0);
    EXPECT_DOUBLE_EQ(Item(3).calibrationSlope, 99.999);
    EXPECT_EQ(Item(4).MinForUser, 0.0);
    EXPECT_EQ(Item(4).MaxForUser, 99998.0);
    // Raw range 0..0: EICH.INI's constants stay.
    EXPECT_EQ(Item(4).calibrationSlope, 1.0);
    // The digital pump has no scale to complain about.
    EXPECT_EQ(Item(5).MaxForUser, 99998.0);
    EXPECT_EQ(Read(kMainIniFile, "SummenEinheiten", "Item1"), "");
    EXPECT_EQ(Read(kMainIniFile, "Items", "Item2"), "S2");
}

TEST_F(CalibrationTest, RawRangeNeedsMoreThanOneStep) {
    PutItems({"A", "B"},
             {"[Item_1]", "MinForUser=0", "MaxForUser=10", "MinForSPS=0", "MaxForSPS=1", "[Item_2]",
              "MinForUser=0", "MaxForUser=10", "MinForSPS=0", "MaxForSPS=2"},
             true);
    Load();
    EXPECT_EQ(Item(1).calibrationSlope, 1.0);
    EXPECT_EQ(Read(kCalibrationIniFile, "A", "M"), "<none>");
    EXPECT_EQ(Item(2).calibrationSlope, 5.0);
    EXPECT_EQ(Read(kCalibrationIniFile, "B", "M"), "5,0000000000");
}

TEST_F(CalibrationTest, MirroredItemWithoutSourceIsNotLogged) {
    PutItems({"A", "B"},
             {"[Item_1]", "MinForUser=0", "MaxForUser=10", "[Item_2]", "MinForUser=0",
              "MaxForUser=10", "[Spiegelung]", "Item1=1|0", "Item2=1|1"},
             true);
    Load();
    EXPECT_EQ(ScalingLog(), (Lines{kHeading, "Item_2 / B : Min/MaxForUser = 0/10"}));
}

TEST_F(CalibrationTest, OpcTakesUnitIdentifierAndLimitsFromTheScaling) {
    PutItems({"Zulauf"}, {"[Einheiten]", "Item1=l/s"}, true);
    Put(kScalingIniFile, {"[Zulauf]", "MinForUser=-5", "MaxForUser=250", "SPSUserEinheit=m3/h",
                          "Komkey=ns=2;s=Zulauf.PV"});
    Load(SourceKind::Opc);
    EXPECT_EQ(Item(1).unit, "m3/h");
    EXPECT_EQ(Item(1).serverItem, "ns=2;s=Zulauf.PV");
    EXPECT_EQ(state_.window.it1[0].caption, "ns=2;s=Zulauf.PV");
    EXPECT_EQ(Record(1).serverItem, "ns=2;s=Zulauf.PV");
    EXPECT_EQ(Statistics(1).LoLimit, -5.0);
    EXPECT_EQ(Record(1).UpLimit, 250.0);
    EXPECT_EQ(Read(kMainIniFile, "Items", "Item1"), "ns=2;s=Zulauf.PV");
    // The sum units were read before the unit changed, from the INI unit.
    EXPECT_EQ(Read(kMainIniFile, "SummenEinheiten", "Item1"), "l/s");

    Load(SourceKind::Dde);
    EXPECT_EQ(Item(1).unit, "l/s");
    EXPECT_EQ(Statistics(1).LoLimit, -100000.0);
}

TEST_F(CalibrationTest, ScalingIsOffWithoutTheSwitch) {
    PutItems({"A"}, {"[Item_1]", "MinForUser=0", "MaxForUser=10", "MinForSPS=0", "MaxForSPS=5"});
    Load();
    EXPECT_TRUE(ScalingLog().empty());
    EXPECT_EQ(Item(1).calibrationSlope, 1.0);
}

}  // namespace
}  // namespace tarvedde

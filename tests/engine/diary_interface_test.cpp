// The diary binding's load from ONLINE.TVW and the binding files, and the transfer of the
// bound values into the day's .TVI file.
#include "engine/diary/diary_interface.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "tests/engine/engine_test_host.h"
#include "tests/outputs/diary_binding_builder.h"

namespace tarvedde::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr char kNewPositions[] =
    "MESSAGE Neue Tagebuch-Parameter gefunden. Sie müssen\\r\\ndie Tagebuch-Schnittstelle neu "
    "konfigurieren !";
constexpr char kDamaged[] =
    "MESSAGE Die Bindungsdatei ist fehlerhaft ! Sie müssen\\r\\ndie Tagebuch-Schnittstelle neu "
    "konfigurieren !";

class DiaryInterfaceTest : public ::testing::Test {
protected:
    DiaryInterfaceTest() {
        log_.SetProgramDir(env_.dir);
        log_.Settings().logLevel = 5;
        dayFiles_.SetProgramDir(env_.dir);
        dayFiles_.SetRunningDay({2024, 3, 5});  // a Tuesday
        grid_.Resize(4, 8);
        items_[1].timeFrame = {true, EncodeTime(6, 0, 0, 0), EncodeTime(22, 0, 0, 0)};
    }

    void Load(bool permanent = true, bool nullStart = false) {
        diary_.LoadDiaryBinding({env_.dir, permanent, nullStart});
    }
    void Transfer(int hour, int minute, int second) {
        diary_.TransferDiaryData(
            dayFiles_, {items_, 3, grid_, statistics_, integration_, moving_, GermanLocale(),
                        EncodeDateTime(2024, 3, 5, hour, minute, second, 0),
                        EncodeDateTime(2024, 3, 5, 8, 9, 10, 11)});
    }
    std::string Tvi() const { return env_.ReadText("20240305.TVI"); }
    // The log's lines since the last call, without their time stamps.
    Lines LogLines() {
        Lines lines;
        for (const std::string& line : log_.MessageList().Lines()) {
            lines.push_back(line.substr(line.find(" > ") + 3));
        }
        log_.MessageList().Clear();
        return lines;
    }
    const std::vector<std::string>& Messages() const { return env_.person.Transcript(); }
    std::vector<DiaryBinding> StoredBindings() const {
        return DecodeBindingFile(env_.files.ReadAll(env_.dir + "BINDUNG.TVW").value_or("")).records;
    }

    EngineTestHost env_;
    ProgramLog log_{env_.files, env_.clock, GermanLocale()};
    DiaryInterface diary_{env_.files, env_.person, log_};
    DayFiles dayFiles_{env_.files, log_, GermanLocale()};
    PerItem<ItemConfig> items_{};
    LiveGrid grid_;
    PerItem<ItemStatistics> statistics_{};
    IntegrationStates integration_;
    PerItem<MovingAverageState> moving_{};
};

TEST_F(DiaryInterfaceTest, LoadTakesAnnouncedPositionsAndKeepsStoredBindingsByIndex) {
    env_.WriteText("ONLINE.TVW", "2\n4\nZulauf  \n9\nAblauf\n12\nDritter\n");
    Load();
    EXPECT_EQ(Messages(), Lines{"MESSAGE Fehler(1) beim Lesen der ONLINE.TVW !"});
    EXPECT_EQ(diary_.OnlineCount(), 2);
    EXPECT_EQ(diary_.PositionNames(), (Lines{"Zulauf", "Ablauf"}));
    EXPECT_EQ(StoredBindings(), diary_.Bindings());  // created from the positions

    // The operator bound index 9; TARVEGET then publishes a new position 5.
    std::vector<DiaryBinding> edited = diary_.Bindings();
    edited[1] = BoundPosition("Ablauf alt", 9, 3, 2);
    diary_.ReplaceBindings(edited);
    ASSERT_TRUE(diary_.RewriteBindingFile().ok());
    env_.WriteText("ONLINE.TVW", "3\n9\nAblauf\n5\nNeu\n4\nZulauf\n");
    Load();
    EXPECT_EQ(Messages().back(), kNewPositions);
    ASSERT_EQ(diary_.Bindings().size(), 3u);
    EXPECT_EQ(diary_.Bindings()[0], edited[1]);  // the stored record, its name included
    EXPECT_EQ(StoredBindings(), diary_.Bindings());

    // Nothing new: no word and the file stays; a zero start never asks.
    const std::size_t shown = Messages().size();
    Load();
    EXPECT_EQ(Messages().size(), shown);
    env_.WriteText("ONLINE.TVW", "4\n9\nAblauf\n5\nNeu\n4\nZulauf\n8\nNoch\n");
    Load(true, /*nullStart=*/true);
    EXPECT_EQ(Messages().size(), shown);
    EXPECT_EQ(StoredBindings().size(), 4u);

    // Without ONLINE.TVW the interface is off, and said so only while the transfer is on.
    (void)env_.files.Remove(env_.dir + "ONLINE.TVW");
    diary_.LoadDiaryBinding({env_.dir, true, false, /*transferOn=*/false});
    EXPECT_EQ(diary_.OnlineCount(), 0);
    EXPECT_EQ(Messages().size(), shown);
    Load();
    EXPECT_EQ(Messages().back(),
              "MESSAGE Beenden Sie das Programm und starten Sie erst TARVEGET\\r\\ndamit die "
              "Datei > ONLINE.TVW < erzeugt wird. Sonst werden\\r\\nkeine Online-Werte an "
              "TARVEGET übergeben !");
    // The bindings kept for the positions stay: a renamed item has none to follow.
    const std::vector<DiaryBinding> kept = StoredBindings();
    EXPECT_TRUE(diary_.RenameBoundItem("TI55", "TI56", "Temperatur").ok());
    EXPECT_FALSE(diary_.RewriteBindingFile().ok());
    EXPECT_EQ(StoredBindings(), kept);
}

// AQASYS mode: record n belongs to index n; what changed since the file was written is
// logged, a record at another index ends the load, a short file is rewritten.
TEST_F(DiaryInterfaceTest, AqasysBindingFollowsTheListedPositionsByIndex) {
    const auto aqabind = [&] {
        return DecodeBindingFile(env_.files.ReadAll(env_.dir + "AQABIND.TVW").value_or("")).records;
    };
    const auto store = [&](const std::vector<DiaryBinding>& records) {
        ASSERT_TRUE(
            env_.files.WriteAll(env_.dir + "AQABIND.TVW", EncodeBindingFile(records), false).ok());
    };
    env_.WriteText("ONLINE.TVW", "2\n5\nRegen\n7\nTemperatur\n");
    Load(/*permanent=*/false);
    std::vector<DiaryBinding> stored = aqabind();
    ASSERT_EQ(stored.size(), 300u);
    stored[4].itemNumber = 2;
    stored[6].itemNumber = 1;
    store(stored);

    env_.WriteText("ONLINE.TVW", "2\n5\nRegen Tag\n9\nNeu\n");
    LogLines();
    Load(false);
    EXPECT_EQ(LogLines(),
              (Lines{"Tagebuchindex 5 : Name wurde von \"Regen\" in \"Regen Tag\" geändert.",
                     "Online-Parameter mit Index 7 wurde entfernt."}));
    EXPECT_EQ(Messages().back(), kNewPositions);
    EXPECT_EQ(diary_.Bindings()[4].itemNumber, 2);
    EXPECT_EQ(diary_.Bindings()[6], DiaryBinding{});
    EXPECT_EQ(aqabind()[8].name, "Neu");

    stored = aqabind();
    stored[4].diaryIndex = 6;
    store(stored);
    Load(false);
    EXPECT_EQ(Messages().back(),
              "MESSAGE Achtung : Fehler in Bindungsdatei !\\r\\nBenachrichtigen Sie Tarvewater "
              "Systems.");

    stored.resize(10);
    stored[4].diaryIndex = 5;
    store(stored);
    Load(false);
    EXPECT_EQ(aqabind().size(), 300u);
    EXPECT_THAT(Messages(),
                ::testing::Contains(::testing::HasSubstr("Die Bindungsdatei ist zu klein !")));
}

// Files from other programs and damaged disks: each is refused or repaired with the
// operator's message and the load never reads outside the data.
TEST_F(DiaryInterfaceTest, DamagedFilesAreRefusedOrRepaired) {
    BinaryWriter record;
    EncodeDiaryBinding(record, BoundPosition("Zulauf", 4, 2, 0));
    std::string longName = record.Data();
    longName[0] = '\xFF';
    BinaryWriter hostile;
    EncodeDiaryBinding(hostile, BoundPosition("Weit", 7, 100000, 0));
    EncodeDiaryBinding(hostile, BoundPosition("Neg", 4, -3, 1));
    const std::string one = "1\r\n4\r\nZulauf\r\n";
    const std::string hugeOnline = one + std::string(kMaxDiaryFileBytes, 'x');
    const std::string badIndexes = "3\r\n-5\r\nA\r\n99999999999\r\nB\r\n301\r\nC\r\n";
    const struct {
        std::string online;
        std::string binding;  // "": no binding file
        Lines messages;
        int positions;
    } cases[] = {
        {one, record.Data().substr(0, 200), {kDamaged}, 1},  // truncated
        {one, std::string(13, '\x05'), {kDamaged}, 1},
        {one, std::string(212 * 4947, '\0'), {kDamaged}, 1},  // above 1 MiB
        {hugeOnline, "", {"MESSAGE Fehler(1) beim Lesen der ONLINE.TVW !"}, 0},
        {badIndexes, "", Lines(3, "MESSAGE Ungültiger Index in ONLINE.TVW !"), 3},
        {one, longName, {}, 1},
        {"2\r\n4\r\nZulauf\r\n7\r\nB\r\n", hostile.Data(), {}, 2},  // wild item numbers
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.online.substr(0, 20) + " / " + std::to_string(c.binding.size()));
        EngineTestHost env;
        DiaryInterface diary{env.files, env.person, log_};
        (void)env.files.WriteAll(env.dir + "ONLINE.TVW", c.online, false);
        if (!c.binding.empty()) {
            (void)env.files.WriteAll(env.dir + "BINDUNG.TVW", c.binding, false);
        }
        diary.LoadDiaryBinding({env.dir, true, false});
        EXPECT_EQ(env.person.Transcript(), c.messages);
        EXPECT_EQ(diary.OnlineCount(), c.positions);
        // Whatever was taken, a transfer stays inside the tables.
        diary.TransferDiaryData(dayFiles_, {items_, 3, grid_, statistics_, integration_, moving_,
                                            GermanLocale(), 45356.5, 0.0});
    }
}

TEST_F(DiaryInterfaceTest, TransferWritesActivePositionsAndKeepsTheLastValueOfInactiveOnes) {
    auto restricted = [](const std::string& name, int index, int mode, int allDay, int never) {
        DiaryBinding binding = BoundPosition(name, index, 1, 0);
        binding.timeRestricted = true;
        binding.timeFrameMode = mode;
        binding.allDayMask = allDay;
        binding.neverMask = never;
        return binding;
    };
    constexpr int kTuesday = 1 << 2;
    diary_.ReplaceBindings({restricted("Tag", 1, 0, 0, 0), restricted("Nacht", 2, 1, 0, 0),
                            BoundPosition("Ungebunden", 3, 0, 0),
                            restricted("Beide", 4, 0, kTuesday, kTuesday),
                            restricted("Nie", 5, 0, 0, kTuesday)});
    const struct {
        int hour, minute, second;
        const char* cell;
        const char* tvi;
    } steps[] = {
        {5, 59, 59, "1,5", "2\r\n1,5\r\n4\r\n1,5\r\n"},
        {6, 0, 0, "2,5", "1\r\n2,5\r\n4\r\n2,5\r\n"},
        {21, 59, 59, "3,5", "1\r\n3,5\r\n4\r\n3,5\r\n"},
        {22, 0, 0, "4,5", "2\r\n4,5\r\n4\r\n4,5\r\n"},
    };
    statistics_[1].count = 1.0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.cell);
        grid_.SetCell(1, 1, step.cell);
        Transfer(step.hour, step.minute, step.second);
        EXPECT_EQ(Tvi(), step.tvi);
    }
    EXPECT_EQ(diary_.Value(1) + " " + diary_.Value(3) + " " + diary_.Value(5), "3,5 -999.0 -999.0");
    const Lines lines = LogLines();
    EXPECT_EQ(Lines(lines.end() - 4, lines.end()),
              (Lines{"Tagebuchwert NICHT geschrieben für: Tag=3,5",
                     "Tagebuchwert gesetzt: Nacht=4,5", "Tagebuchwert gesetzt: Beide=4,5",
                     "Tagebuchwert NICHT geschrieben für: Nie=-999.0"}));
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("Ungebunden"), std::string::npos) << line;
    }
}

TEST_F(DiaryInterfaceTest, EachKindOfValueComesFromItsSourceAndAFailedFileHasAReplacement) {
    items_[2].Integral = true;
    items_[3].Grafiktyp = 2;
    grid_.SetCell(1, 1, "10,0");
    grid_.SetCell(1, 2, "2,0");
    grid_.SetCell(3, 4, "7,25");
    statistics_[1].minimum = 2.0;
    statistics_[1].count = 3.0;
    integration_.SetSum(2, 1234.5);
    moving_[1].movingMinimum = 0.125;
    moving_[2].movingMaximum = -3.0;
    // Item 2's day and item 1's moving extremes stand at their reset values.
    const std::pair<int, int> bound[] = {{1, -1}, {1, 0}, {1, 1}, {2, 1}, {2, 2},   {2, 3}, {3, 3},
                                         {1, 4},  {1, 5}, {2, 5}, {1, 9}, {170, 0}, {2, 0}};
    std::vector<DiaryBinding> bindings;
    for (const auto& [item, type] : bound) {
        bindings.push_back(BoundPosition("P" + std::to_string(bindings.size() + 1),
                                         static_cast<int>(bindings.size()) + 1, item, type));
    }
    diary_.ReplaceBindings(bindings);
    Transfer(12, 0, 0);
    EXPECT_EQ(Tvi(),
              "1\r\n-999.0\r\n2\r\n10,0\r\n3\r\n2,0\r\n4\r\n-999.0\r\n5\r\n-999.0\r\n6\r\n"
              "1234,5\r\n7\r\n7,25\r\n8\r\n0,125\r\n9\r\n-999.0\r\n10\r\n-3\r\n11\r\n-999.0\r\n"
              "12\r\n-999.0\r\n13\r\n-999.0\r\n");

    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Write && path.ends_with(".TVI");
    });
    LogLines();
    Transfer(12, 0, 1);
    EXPECT_EQ(LogLines().front(),
              "Ersatzdatei $$BTB_Daten_20240305_080910_011.log für Tagebuchdaten !");
    EXPECT_EQ(env_.ReadText("$$BTB_Daten_20240305_080910_011.log"), Tvi());
}

}  // namespace
}  // namespace tarvedde::testing

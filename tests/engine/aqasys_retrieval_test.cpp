// The AQASYS retrieval as the program runs it: in virtual time against the in-memory
// DDE server, from the start button or the request file to the day's diary data files
// and the container's read flags.
#include "engine/acquisition/aqasys_retrieval.h"

#include "outputs/datalog_container.h"
#include "outputs/diary_files.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

class AqasysRetrievalTest : public EngineFixture {
protected:
    // Parameters A12, A13 and the test parameter iA5, bound to diary indexes 1, 2 and 5;
    // every day read but the days `first` to `last` of March 2024.
    void Install(int first, int last) {
        WriteIni("[DDE]\nAutoStart=0\nServer=Kestrom\nTopic=AQASYS\nFirstRun=0\n");
        Write("AQASYSITEMS.TXT", "A12;\nA13;\niA5;\n");
        Write("ONLINE.TVW", "3\n1\nRegen\n2\nTemperatur\n5\nTest\n");
        std::vector<DiaryBinding> records(kDiaryValueCount);
        for (const auto& [index, parameter] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{5, 3}}) {
            records[static_cast<std::size_t>(index - 1)].diaryIndex = index;
            records[static_cast<std::size_t>(index - 1)].itemNumber = parameter;
        }
        ASSERT_TRUE(
            env_.files.WriteAll(env_.dir + "AQABIND.TVW", EncodeBindingFile(records), false).ok());
        auto days = NewDatalogYear(2024, true);
        for (int d = first; d <= last; ++d) {
            days[static_cast<std::size_t>(59 + d)].read = false;
        }
        ASSERT_TRUE(Container().Write(days).ok());
    }
    void Answer(const std::string& request, const std::string& text) {
        env_.ddeServer.SetRequestText("Kestrom", "AQASYS", request, text);
    }
    DatalogContainer Container() { return DatalogContainer(env_.files, env_.dir, 2024); }
    // The container's unread days of March.
    std::vector<int> Unread() {
        std::vector<int> days;
        const auto records = Container().Read().value().records;
        for (const DatalogRecord& r : records) {
            if (!r.read) {
                days.push_back(DecodeDate(r.day).day);
            }
        }
        return days;
    }
    using Days = std::vector<int>;
};

// The whole path: one day per tick into its .TVI file with the bound indexes, the day's
// flag after its file, then the stop.
TEST_F(AqasysRetrievalTest, FetchesOneDayPerTickIntoTheDiaryFileAndStopsWhenNoneIsLeft) {
    Install(3, 5);
    Answer("A12;03.24;03", "12.5\r\n");
    Answer("A13;03.24;03", "");
    Answer("iA5", "7,25");
    Answer("A12;03.24;04", "garbage");
    Answer("A12;03.24;05", std::string(10000, '9'));
    Start(SourceKind::Aqasys);
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_EQ(Read("20240303.TVI"), "1\r\n12,5\r\n2\r\n-999.0\r\n5\r\n7,25\r\n");
    EXPECT_EQ(Unread(), (Days{4, 5}));
    EXPECT_EQ(Window().lbDT, "3.3.2024");
    EXPECT_THAT(env_.ddeCalls, Contains("Request iA5 1000"));
    EXPECT_THAT(LogLines(), Contains("Test-Item gefunden : iA5;03.24;03"));
    EXPECT_THAT(LogLines(), Contains("A12;03.24;03=>12.5"));

    Advance(499);
    EXPECT_EQ(Read("20240304.TVI"), "<missing>");
    Advance(1);
    // Unknown to the logger: logged and left out, the day is read all the same.
    EXPECT_EQ(Read("20240304.TVI"), "1\r\n-999.0\r\n5\r\n7,25\r\n");
    EXPECT_THAT(LogLines(), Contains("A13;03.24;04 : Nicht definiert !"));
    EXPECT_THAT(LogLines(), Contains("Fehler im Zahlenstring : garbage"));
    Advance(500);
    // Only the first 201 bytes of a 10 000-byte text are read.
    EXPECT_THAT(Read("20240305.TVI"), HasSubstr("1\r\n" + std::string(201, '9') + "\r\n"));
    EXPECT_EQ(Window().pb1Position, 3);
    EXPECT_EQ(Main().Diary().Value(5), "7,25");
    EXPECT_FALSE(Main().Stopped());
    Advance(500);
    EXPECT_TRUE(Main().Stopped());
    EXPECT_FALSE(Main().TimerAqasys1().Enabled());
    EXPECT_EQ(Window().pb1Position, 0);
    EXPECT_EQ(env_.ddeServer.ConversationCount(), 0u);
}

TEST_F(AqasysRetrievalTest, TheContainerTellsTheFirstUnreadDayUpToToday) {
    struct NoFrame final : AqasysRetrievalHost {
        void StopRetrieval() override {}
        void StartRetrieval() override {}
    } frame;
    AqasysRetrieval retrieval(config_, bare_.diary, dde_, env_.host, log_, GermanLocale(),
                              state_.window, frame);
    const auto readExcept = [](std::size_t index, bool cut) {
        auto records = NewDatalogYear(2024, true);
        records[index].read = false;
        std::string bytes = EncodeDatalog(records);
        return cut ? bytes.substr(0, bytes.size() - 1) : bytes;
    };
    const std::string created = "Container > DATALOG2024.DLG < neu erzeugt.";
    const std::string damaged = "DATALOG.DLG ist fehlerhaft !";
    struct Case {
        bool firstRun;
        std::optional<std::string> bytes;
        double now;
        int index;
        double day;
        Lines log;
    } cases[] = {
        // A new year: all unread, or all read on a first run.
        {false, std::nullopt, EncodeDate(2024, 3, 5), 0, EncodeDate(2024, 1, 1), {created}},
        {true,
         readExcept(0, false),
         EncodeDate(2024, 3, 5),
         kNothingToFetch,
         0.0,
         {created, "Datenabruf-Container für Kestrom-AQASYS neu erzeugt."}},
        {false,
         readExcept(59 + 6, false),
         EncodeDate(2024, 3, 5),
         kNothingToFetch,
         EncodeDate(2024, 3, 6),
         {}},
        {false,
         readExcept(365, false),
         EncodeDate(2024, 12, 31),
         365,
         EncodeDate(2024, 12, 31),
         {}},
        // Cut short, its whole records count; told once.
        {false,
         readExcept(59 + 4, true),
         EncodeDate(2024, 3, 5),
         59 + 4,
         EncodeDate(2024, 3, 4),
         {damaged}},
        // A day of no calendar: told at each look, and the size once.
        {false, std::string(8, '\xFF') + '\0', EncodeDate(2024, 3, 5), kNothingToFetch, 0.0,
         Lines(3, damaged)},
    };
    for (const Case& c : cases) {
        (void)env_.files.Remove(Container().Path());
        if (c.bytes) {
            ASSERT_TRUE(env_.files.WriteAll(Container().Path(), *c.bytes, false).ok());
        }
        settings_.firstRun = c.firstRun;
        env_.clock.SetLocalTime(c.now + 0.5);
        NewLogLines();
        for (int pass = 0; pass < 2; ++pass) {
            double day = 0.0;
            EXPECT_EQ(retrieval.OpenDatalogContainer(day), c.index) << c.now;
            EXPECT_EQ(day, c.day) << c.now;
            settings_.firstRun = false;
        }
        EXPECT_EQ(NewLogLines(), c.log) << c.now;
    }
    for (const auto& [in, out] : {std::pair{"", "-999.0"}, std::pair{"12.5", "12,5"},
                                  std::pair{"12,5", "12,5"}, std::pair{"1.2.3", "-999.0"}}) {
        std::string text = in;
        retrieval.NormalizeNumberText(text);
        EXPECT_EQ(text, out) << in;
    }
}

// Bad input: the day keeps its flag and is fetched again; nothing waits longer than one
// request's time-out.
TEST_F(AqasysRetrievalTest, AFailedDayKeepsItsFlagAndIsFetchedAgain) {
    Install(4, 5);
    Answer("A12;03.24;04", "1");
    Answer("A13;03.24;04", "2");
    Write("20240304.TVI", "1\n7\n2\n8\n");  // fetched whole before
    Start(SourceKind::Aqasys);
    // The server goes away between the first and the second parameter.
    env_.dde.WatchCalls([&](const std::string& call) {
        env_.ddeCalls.push_back(call);
        if (call.starts_with("Request A13")) {
            env_.ddeServer.SetDown(true);
        }
    });
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_EQ(Unread(), (Days{4, 5}));
    EXPECT_THAT(LogLines(), Contains("A13;03.24;04 : Nicht definiert !"));
    EXPECT_THAT(env_.ddeCalls, Not(Contains(HasSubstr("Request iA5"))));
    EXPECT_TRUE(Main().Stopped());
    EXPECT_EQ(Read("20240304.TVI"), "1\r\n7\r\n2\r\n8\r\n");

    // A silent server: the conversation stands, the same day is tried at the next tick.
    env_.dde.WatchCalls([](const std::string&) {});
    env_.ddeServer.SetDown(false);
    env_.ddeServer.SetStalled(true);
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    Advance(500);
    EXPECT_EQ(Unread(), (Days{4, 5}));
    EXPECT_FALSE(Main().Stopped());
    // The third attempt gives up, so the transfer does not hang on that day.
    Advance(500);
    EXPECT_EQ(Unread(), (Days{4, 5}));
    EXPECT_TRUE(Main().Stopped());
    EXPECT_EQ(LogLines().back(),
              "AQASYS-Abruf für 04.03.2024 nach 3 Versuchen abgebrochen, "
              "der Tag bleibt ungelesen.");

    // The day's file cannot be written: tried three times ten seconds apart (the diary
    // program may hold it a moment), the old file untouched.
    env_.ddeServer.SetStalled(false);
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Rename && path.find(".TVI") != std::string::npos;
    });
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    Advance(15000);
    EXPECT_FALSE(Main().Stopped());
    Advance(10000);
    EXPECT_TRUE(Main().Stopped());
    EXPECT_EQ(Unread(), (Days{4, 5}));
    const Lines failed = LogLines();
    EXPECT_EQ(std::count(failed.begin(), failed.end(), "Fehler beim Schreiben der Tagebuchdaten !"),
              3);
    EXPECT_EQ(Read("20240304.TVI"), "1\r\n7\r\n2\r\n8\r\n");

    env_.files.SetFailurePolicy({});
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_EQ(Unread(), (Days{5}));
    EXPECT_EQ(Read("20240304.TVI"), "1\r\n1\r\n2\r\n2\r\n");

    // Bound nowhere (no ONLINE.TVW, a damaged binding file): the day and its file stay.
    Main().Diary().ReplaceBindings(std::vector<DiaryBinding>(kDiaryValueCount));
    Advance(500);
    EXPECT_TRUE(Main().Stopped());
    EXPECT_EQ(Unread(), (Days{5}));
    EXPECT_EQ(Read("20240305.TVI"), "<missing>");
    Advance(1000);
    const Lines log = LogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         "Keine Tagebuch-Bindung: AQASYS-Daten werden nicht abgerufen."),
              1);
}

TEST_F(AqasysRetrievalTest, TheRequestFileAsksForTheDaysFromItsDateOfTheCurrentYear) {
    Install(1, 0);
    Start(SourceKind::Aqasys);
    const auto request = [&](const std::string& date) {
        Write("$AQASYS_HOLEN", date + "\n");
        Advance(2000);
        return Exists("$AQASYS_HOLEN");
    };
    EXPECT_TRUE(request("06.03.2024"));  // tomorrow: left until that day
    EXPECT_FALSE(request("03.03.2023"));
    EXPECT_THAT(LogLines(),
                Contains("Automatischer AQASYS-Datenabruf nur für das AKTUELLE Jahr möglich !"));
    EXPECT_TRUE(Main().Stopped());

    EXPECT_FALSE(request("04.03.2024"));
    EXPECT_THAT(LogLines(), Contains("Automatischer AQASYS-Datenabruf angefordert."));
    EXPECT_EQ(Unread(), (Days{5}));  // the start fetched the 4th at once
    EXPECT_EQ(Window().pb1Max, 2);

    // No date: the file stays and is told once; written again with a date, it is taken.
    EXPECT_TRUE(request("morgen"));
    Advance(10000);
    const Lines log = LogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Fehlerhaftes Datum in $AQASYS_HOLEN !"), 1);
    EXPECT_FALSE(request("05.03.2024"));
}

// A transfer that runs over New Year's midnight finishes the old year's days, then goes on
// with the new year's container.
TEST_F(AqasysRetrievalTest, ATransferOverNewYearFinishesTheOldYear) {
    Install(1, 0);
    auto days = NewDatalogYear(2024, true);
    days[364].read = days[365].read = false;  // 30 and 31 December
    ASSERT_TRUE(Container().Write(days).ok());
    Answer("A12;12.24;31", "31");
    Start(SourceKind::Aqasys);
    env_.clock.SetLocalTime(EncodeDateTime(2024, 12, 31, 23, 59, 59, 800));
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    Advance(500);
    EXPECT_EQ(Read("20241231.TVI"), "1\r\n31\r\n");
    EXPECT_EQ(Unread(), Days{});
    Advance(1000);
    const auto next = DatalogContainer(env_.files, env_.dir, 2025).Read();
    ASSERT_TRUE(next.ok());
    EXPECT_TRUE(next.value().records.front().read);
    EXPECT_NE(Read("20250101.TVI"), "<missing>");
}

// A program started in the old year makes the new year's container with the new days.
TEST_F(AqasysRetrievalTest, ARequestOfTheNextYearMakesItsContainerWithItsOwnDays) {
    Install(1, 0);
    Start(SourceKind::Aqasys);
    env_.clock.SetLocalTime(EncodeDateTime(2025, 1, 3, 10, 0, 0, 0));
    Write("$AQASYS_HOLEN", "02.01.2025\n");
    Advance(2000);
    const auto next = DatalogContainer(env_.files, env_.dir, 2025).Read();
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(DecodeDate(next.value().records.front().day).year, 2025);
}

}  // namespace
}  // namespace tarvedde::testing

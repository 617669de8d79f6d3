// The AQASYS retrieval as the program runs it: in virtual time against the in-memory
// DDE server, from the date field, the start button or the request file to the day's
// diary data files and the container's read flags.
#include "engine/acquisition/aqasys_retrieval.h"

#include "outputs/datalog_container.h"
#include "outputs/diary_files.h"
#include "platform/operator_transcript.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kService[] = "Kestrom";
constexpr char kTopic[] = "AQASYS";

class AqasysRetrievalTest : public EngineFixture {
protected:
    // Parameters A12, A13 and the test parameter iA5, bound to diary indexes 1, 2 and 5.
    void Install(const std::string& extraIni = "FirstRun=0\n") {
        WriteIni("[DDE]\nAutoStart=0\nServer=Kestrom\nTopic=AQASYS\n" + extraIni);
        Write("AQASYSITEMS.TXT", "A12;\nA13;\niA5;\n");
        Write("AQASYSNAMES.TXT", "Regen\nTemperatur\nTest\n");
        Write("ONLINE.TVW", "3\n1\nRegen\n2\nTemperatur\n5\nTest\n");
        std::vector<DiaryBinding> records(kDiaryValueCount);
        for (const auto& [index, parameter] :
             std::initializer_list<std::pair<int, int>>{{1, 1}, {2, 2}, {5, 3}}) {
            records[static_cast<std::size_t>(index - 1)].diaryIndex = index;
            records[static_cast<std::size_t>(index - 1)].itemNumber = parameter;
        }
        ASSERT_TRUE(
            env_.files.WriteAll(env_.dir + "AQABIND.TVW", EncodeBindingFile(records), false).ok());
    }
    void Answer(const std::string& request, const std::string& text) {
        env_.ddeServer.SetRequestText(kService, kTopic, request, text);
    }
    DatalogContainer Container(int year = 2024) {
        return DatalogContainer(env_.files, env_.dir, year);
    }
    // The container's unread days as "d.m".
    Lines Unread(int year = 2024) {
        Lines days;
        const auto records = Container(year).Read().value().records;
        for (const DatalogRecord& r : records) {
            if (!r.read) {
                const DateParts d = DecodeDate(r.day);
                days.push_back(std::to_string(d.day) + "." + std::to_string(d.month));
            }
        }
        return days;
    }
    // Every day read but those from `first` to `last` of March 2024.
    void MarchUnread(int first, int last) {
        auto records = NewDatalogYear(2024, true);
        for (int d = first; d <= last; ++d) {
            records[static_cast<std::size_t>(59 + d)].read = false;
        }
        ASSERT_TRUE(Container().Write(records).ok());
    }
    AqasysRetrieval& Aqasys() { return Main().Aqasys(); }
};

// The whole path: the date field marks the days up to today, the start fetches one day
// per tick into its .TVI file with the bound indexes and sets its flag, then stops.
TEST_F(AqasysRetrievalTest, FetchesOneDayPerTickIntoTheDiaryFileAndStopsWhenNoneIsLeft) {
    Install();
    ASSERT_TRUE(Container().Create(true).ok());
    Answer("A12;03.24;03", "12.5\r\n");
    Answer("A13;03.24;03", "");
    Answer("iA5", "7,25");
    Answer("A12;03.24;04", "garbage");
    Answer("A12;03.24;05", std::string(10000, '9'));
    Start(SourceKind::Aqasys);
    Aqasys().piDate1CloseUp(EncodeDate(2024, 3, 3));
    EXPECT_EQ(Unread(), (Lines{"3.3", "4.3", "5.3"}));
    EXPECT_EQ(Window().pb1Max, 3);

    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_EQ(Read("20240303.TVI"), "1\r\n12,5\r\n2\r\n-999.0\r\n5\r\n7,25\r\n");
    EXPECT_EQ(Unread(), (Lines{"4.3", "5.3"}));
    EXPECT_EQ(Window().pb1Position, 1);
    EXPECT_EQ(Window().lbDT, "3.3.2024");
    EXPECT_EQ(Window().piDate1, EncodeDate(2024, 3, 3));
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
    EXPECT_EQ(Main().Diary().Value(5), "7,25");
    EXPECT_TRUE(Unread().empty());
    EXPECT_FALSE(Main().Stopped());

    Advance(500);
    EXPECT_TRUE(Main().Stopped());
    EXPECT_FALSE(Main().TimerAqasys1().Enabled());
    EXPECT_EQ(Window().pb1Position, 0);
    EXPECT_EQ(env_.ddeServer.ConversationCount(), 0u);
    EXPECT_TRUE(Transcript().empty()) << Transcript().front();
}

// The retrieval without a main window: the container alone.
struct NoFrame final : AqasysRetrievalHost {
    void StopRetrieval() override {}
    void StartRetrieval() override {}
};

TEST_F(AqasysRetrievalTest, TheContainerTellsTheFirstUnreadDayUpToToday) {
    NoFrame frame;
    AqasysRetrieval retrieval(config_, bare_.diary, dde_, env_.host, log_, GermanLocale(),
                              state_.window, frame);
    const auto write = [&](std::string bytes) {
        ASSERT_TRUE(env_.files.WriteAll(Container().Path(), bytes, false).ok());
    };
    const auto readExcept = [](std::size_t index, bool cut) {
        auto records = NewDatalogYear(2024, true);
        records[index].read = false;
        std::string bytes = EncodeDatalog(records);
        if (cut) {
            bytes.pop_back();
        }
        return bytes;
    };
    struct Case {
        const char* what;
        bool firstRun;
        std::optional<std::string> container;
        double now;
        int index;
        double day;
        Lines log;
    } cases[] = {
        {"new year",
         false,
         std::nullopt,
         EncodeDate(2024, 3, 5),
         0,
         EncodeDate(2024, 1, 1),
         {"Container > DATALOG2024.DLG < neu erzeugt."}},
        {"first run",
         true,
         readExcept(0, false),
         EncodeDate(2024, 3, 5),
         kNothingToFetch,
         0.0,
         {"Container > DATALOG2024.DLG < neu erzeugt.",
          "Datenabruf-Container für Kestrom-AQASYS neu erzeugt."}},
        {"after today",
         false,
         readExcept(59 + 6, false),
         EncodeDate(2024, 3, 5),
         kNothingToFetch,
         EncodeDate(2024, 3, 6),
         {}},
        {"day 366",
         false,
         readExcept(365, false),
         EncodeDate(2024, 12, 31),
         365,
         EncodeDate(2024, 12, 31),
         {}},
        {"all read",
         false,
         EncodeDatalog(NewDatalogYear(2024, true)),
         EncodeDate(2024, 12, 31),
         kNothingToFetch,
         0.0,
         {}},
        // Its whole records still count; the damage is told once.
        {"cut short",
         false,
         readExcept(59 + 4, true),
         EncodeDate(2024, 3, 5),
         59 + 4,
         EncodeDate(2024, 3, 4),
         {"DATALOG.DLG ist fehlerhaft !"}},
        // Told once as the wrong size, and at each look as a day of no calendar.
        {"garbage day", false, std::string(8, '\xFF') + '\0', EncodeDate(2024, 3, 5),
         kNothingToFetch, 0.0, Lines(3, "DATALOG.DLG ist fehlerhaft !")},
    };
    for (const Case& c : cases) {
        (void)env_.files.Remove(Container().Path());
        if (c.container) {
            write(*c.container);
        }
        settings_.firstRun = c.firstRun;
        env_.clock.SetLocalTime(c.now + 0.5);
        NewLogLines();
        for (int pass = 0; pass < 2; ++pass) {
            double day = 0.0;
            EXPECT_EQ(retrieval.OpenDatalogContainer(day), c.index) << c.what;
            EXPECT_EQ(day, c.day) << c.what;
            settings_.firstRun = false;
        }
        EXPECT_EQ(NewLogLines(), c.log) << c.what;
    }
    EXPECT_EQ(Container().Read().value().records.size(), 1u);
}

TEST_F(AqasysRetrievalTest, TheFirstRunMakesTheContainerAllReadOnceAndWritesTheFlag) {
    Install("FirstRun=1\n");
    Start(SourceKind::Aqasys);
    EXPECT_TRUE(Unread().empty());
    EXPECT_EQ(IniValue("TARVEDDE.INI", "DDE", "FirstRun"), "0");
    EXPECT_THAT(Transcript(), Contains(HasSubstr("Datenabruf-Container für Kestrom-AQASYS")));
    EXPECT_TRUE(Aqasys().TimerAqasys2().Enabled());
    // A later transfer finds the flags it set, not a new container.
    Aqasys().piDate1CloseUp(EncodeDate(2024, 3, 5));
    double day = 0.0;
    EXPECT_EQ(Aqasys().OpenDatalogContainer(day), 59 + 5);
}

TEST_F(AqasysRetrievalTest, NumberTextsBecomeTheLocalesDecimalOrTheMissingMarker) {
    Install();
    Start(SourceKind::Aqasys);
    const std::pair<std::string, std::string> cases[] = {
        {"", "-999.0"},      {"12.5", "12,5"},  {"12,5", "12,5"}, {"-3", "-3"},
        {"1.2.3", "-999.0"}, {"abc", "-999.0"}, {" 4,5", " 4,5"},
    };
    for (const auto& [in, out] : cases) {
        std::string text = in;
        Aqasys().NormalizeNumberText(text);
        EXPECT_EQ(text, out) << in;
    }
    EXPECT_THAT(LogLines(), Contains("Fehler im Zahlenstring : 1,2,3"));
}

// Bad input: the day keeps its flag and is fetched again; nothing waits longer than one
// request's time-out.
TEST_F(AqasysRetrievalTest, AFailedDayKeepsItsFlagAndIsFetchedAgain) {
    Install();
    MarchUnread(4, 5);
    Answer("A12;03.24;04", "1");
    Answer("A13;03.24;04", "2");
    Start(SourceKind::Aqasys);
    // The server goes away between the first and the second parameter.
    env_.dde.WatchCalls([&](const std::string& call) {
        env_.ddeCalls.push_back(call);
        if (call.starts_with("Request A13")) {
            env_.ddeServer.SetDown(true);
        }
    });
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    EXPECT_EQ(Unread(), (Lines{"4.3", "5.3"}));
    EXPECT_THAT(LogLines(), Contains("A13;03.24;04 : Nicht definiert !"));
    EXPECT_THAT(env_.ddeCalls, Not(Contains(HasSubstr("Request iA5"))));
    EXPECT_TRUE(Main().Stopped());
    EXPECT_FALSE(Main().TimerAqasys1().Enabled());

    // A silent server: the conversation stands, the same day is tried at the next tick.
    env_.dde.WatchCalls([](const std::string&) {});
    env_.ddeServer.SetDown(false);
    env_.ddeServer.SetStalled(true);
    ASSERT_TRUE(Main().ButtonClick("btStartDDE"));
    Advance(500);
    EXPECT_EQ(Unread(), (Lines{"4.3", "5.3"}));
    EXPECT_FALSE(Main().Stopped());

    // The day's file cannot be written.
    env_.ddeServer.SetStalled(false);
    env_.files.SetFailurePolicy([](FileOp op, const std::string& path) {
        return op == FileOp::Write && path.ends_with(".TVI");
    });
    Advance(500);
    EXPECT_EQ(Unread(), (Lines{"4.3", "5.3"}));
    EXPECT_THAT(LogLines(), Contains("Fehler beim Schreiben der Tagebuchdaten !"));

    env_.files.SetFailurePolicy({});
    Advance(500);
    EXPECT_EQ(Unread(), (Lines{"5.3"}));
    EXPECT_EQ(Read("20240304.TVI"), "1\r\n1\r\n2\r\n2\r\n");
}

TEST_F(AqasysRetrievalTest, TheRequestFileAsksForTheDaysFromItsDateOfTheCurrentYear) {
    Install();
    ASSERT_TRUE(Container().Create(true).ok());
    Start(SourceKind::Aqasys);
    // Tomorrow: left in place until that day.
    Write("$AQASYS_HOLEN", "06.03.2024\n");
    Advance(2000);
    EXPECT_TRUE(Exists("$AQASYS_HOLEN"));
    EXPECT_TRUE(Main().Stopped());
    // Another year: taken away, nothing marked.
    Write("$AQASYS_HOLEN", "03.03.2023\n");
    Advance(2000);
    EXPECT_FALSE(Exists("$AQASYS_HOLEN"));
    EXPECT_THAT(LogLines(),
                Contains("Automatischer AQASYS-Datenabruf nur für das AKTUELLE Jahr möglich !"));
    EXPECT_TRUE(Unread().empty());

    Write("$AQASYS_HOLEN", "04.03.2024\n");
    Advance(2000);
    EXPECT_FALSE(Exists("$AQASYS_HOLEN"));
    EXPECT_THAT(LogLines(), Contains("Automatischer AQASYS-Datenabruf angefordert."));
    EXPECT_FALSE(Main().Stopped());
    EXPECT_EQ(Unread(), (Lines{"5.3"}));  // the start fetched the 4th at once

    // No date: the file stays, the request timer stops.
    Write("$AQASYS_HOLEN", "morgen\n");
    Advance(2000);
    EXPECT_TRUE(Exists("$AQASYS_HOLEN"));
    EXPECT_FALSE(Aqasys().TimerAqasys2().Enabled());
    EXPECT_THAT(LogLines(), Contains("Fehlerhaftes Datum in $AQASYS_HOLEN !"));
}

TEST_F(AqasysRetrievalTest, TheDateFieldTakesOnlyTheCurrentYear) {
    Install();
    Start(SourceKind::Aqasys);
    Aqasys().piDate1CloseUp(EncodeDate(2023, 12, 30));
    EXPECT_EQ(Transcript().back(),
              MessageLine("Sie können hier nur den Datenabruf für das AKTUELLE Jahr einstellen "
                          "!\r\n    Wählen Sie den Menüpunkt <Daten> <AQASYS-Daten neu abrufen>."));
    EXPECT_FALSE(Container().Exists());
    // A missing container comes with every day of the year unread.
    Aqasys().piDate1CloseUp(EncodeDate(2024, 3, 1));
    EXPECT_THAT(LogLines(), Contains("DATALOG2024.DLG in AQASYS-Abruf neu erzeugt."));
    EXPECT_EQ(Unread().size(), 366u);
    EXPECT_EQ(Window().pb1Max, 5);
}

}  // namespace
}  // namespace tarvedde::testing

// The fifteen-minute windows and moving averages in the running program: filled by the
// cycle and the moving-average timer, saved every cycle, restored after a crash, and shown
// in the grid and in the statistics at the program's end.
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::HasSubstr;

// Item 1 keeps a window of 7 cycles (one minute at 10 s), item 2 a ring of 6 samples taken
// every 15 s.
constexpr char kWindowValuesIni[] =
    "[DDE]\nItemcount=2\nIntervall=10\nEinheit=0\nAutoStart=1\nAktuTag=05.03.2024\nt_M15=1\n"
    "[Items]\nItem1=Q\nItem2=P\n[Itemnames]\nItem1=Zulauf\nItem2=Druck\n"
    "[Gleitend]\nPuffer=6\nIntervall=15\nItem2=1\n[Item_2]\nM15_berechnen=0\n";

class WindowValuesRunTest : public EngineFixture {
protected:
    // Q alternates 20 and 10 each cycle, P climbs by one.
    void RunCycles(int from, int to) {
        for (int k = from; k <= to; ++k) {
            env_.Publish("Q", k % 2 == 1 ? "20" : "10");
            env_.Publish("P", std::to_string(k));
            Advance(10000);
        }
    }
};

TEST_F(WindowValuesRunTest, BuffersSurviveACrashAndReachTheProtocol) {
    SetClock(7, 0, 0);
    WriteIni(kWindowValuesIni);
    Start();
    EXPECT_EQ(Main().TimerGleitM().Interval(), 15000);
    RunCycles(1, 17);  // the last cycle 07:02:50 saves after the last tick 07:02:45
    const FifteenMinuteBuffers m15Saved = Main().FifteenMinuteValuesOf().BuffersToStore();
    const MovingAverageBuffers movingSaved = Main().MovingAveragesOf().BuffersToStore();
    EXPECT_EQ(movingSaved.rows[0], (std::vector<double>{11, 12, 14, 15, 17, 9}));
    EXPECT_EQ(At(movingSaved.items, 2).movingMinimum, 5.5);  // 2, 3, 5, 6, 8, 9 at 07:01:30
    EXPECT_EQ(Row(1, 2), "10,000");  // the fifteen-minute maximum, shown below the minimum
    EXPECT_EQ(Shown(2), "13,000");

    main_.reset();  // a crash: the files stay as the last cycle saved them
    Start();
    // The first cycle after the restart has no value of Q yet: the window stays as saved.
    const FifteenMinuteBuffers& m15 = Main().FifteenMinuteValuesOf().BuffersToStore();
    EXPECT_EQ(m15.rows[0], m15Saved.rows[0]);
    EXPECT_EQ(At(m15.items, 1).m15Index, At(m15Saved.items, 1).m15Index);
    const MovingAverageBuffers& moving = Main().MovingAveragesOf().BuffersToStore();
    EXPECT_EQ(moving.rows[0], movingSaved.rows[0]);
    EXPECT_EQ(At(moving.items, 2).ringIndex, At(movingSaved.items, 2).ringIndex);
    EXPECT_EQ(At(moving.items, 2).movingMaximum, At(movingSaved.items, 2).movingMaximum);

    RunCycles(18, 23);
    Main().StopAcquisition();
    EXPECT_FALSE(Main().TimerGleitM().Enabled());
    ASSERT_TRUE(Main().FormClose());
    std::string protocol;
    for (const RichParagraph& line : Main().StatisticsText().Paragraphs()) {
        protocol += line.text + "\n";
    }
    // The start's first cycle had no value, so the first full window is 07:01:10's; the
    // 23 values of Q alternate 20 and 10. The ring after the restart: 20, 22, 23, 15, 17, 19.
    EXPECT_THAT(protocol, HasSubstr("23 Meßwerte :    Mittel=15,65   Min.(15min)=20,00 um "
                                    "07:01:10  /   Max.(15min)=10,00 um 07:01:10"));
    EXPECT_THAT(protocol, HasSubstr("Gleitendes Mittel=19,33  Min.=5,50  Max.=19,33 []"));
}

}  // namespace
}  // namespace tarvedde::testing

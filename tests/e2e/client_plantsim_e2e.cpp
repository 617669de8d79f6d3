// The client against plantsim as a real process: values reach the live grid and the day
// file, a killed plant is noticed and a restarted one linked again within 2 s, and none
// of plantsim's faults (on request or on its own schedule) crashes or hangs the client:
// it logs, retries and goes on by itself when the fault is over.
#include <filesystem>
#include <fstream>

#include "tests/e2e/client_e2e_support.h"

namespace tarvedde::testing {
namespace {

std::string DayFileText(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".DAT") {
            std::ifstream file(entry.path(), std::ios::binary);
            return std::string((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        }
    }
    return "<no day file>";
}

using ClientPlantsimE2e = ClientE2e;

TEST_F(ClientPlantsimE2e, ValuesFlowAndAKilledPlantIsLinkedAgainWithinTwoSecondsOfItsRestart) {
    StartPlantsim();
    ASSERT_TRUE(WaitForSocket());
    StartClient();
    EXPECT_EQ(LogCount("Datenerfassung gestartet."), 1) << LogText();
    EXPECT_EQ(LogCount("***** Fehler ! Advise Item 3: DDE-Fehler: $00004009"), 1);
    EXPECT_EQ(LogCount("Achtung ! Nur 2 von 3 Werten werden übertragen."), 1);
    ASSERT_TRUE(WaitForFreshValues(10000)) << LogText();
    EXPECT_EQ(GridValue(2), "3,500");
    EXPECT_EQ(GridValue(3), "0,000");  // never linked: no text, which counts as 0
    // The day file takes its texts from the grid.
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::string row = ";" + GridValue(1) + ";3,500;0,000\r\n";
            return DayFileText(plantDir_).find(row) != std::string::npos;
        },
        5000))
        << DayFileText(plantDir_);

    StopPlantsim(SIGKILL);
    ASSERT_TRUE(WaitForLogCount(kLost, 1, 5000)) << LogText();
    ASSERT_TRUE(WaitForLogCount("Es wird versucht, die Verbindung wiederherzustellen...", 1, 1000));
    // TimerAuto tries once a second, each try a failed link and a beep.
    const int beeps = client_->Beeps();
    const auto outage = SteadyClock::now();
    PumpFor(3500);
    const int tries = client_->Beeps() - beeps;
    EXPECT_GE(tries, 2) << "in " << MsSince(outage) << " ms";
    EXPECT_LE(tries, 4) << "in " << MsSince(outage) << " ms";
    EXPECT_EQ(LogCount(kRelinked), 0);

    // The plant comes back just after a failed try: the worst case for the next one.
    const int beepsBefore = client_->Beeps();
    ASSERT_TRUE(PumpUntil([&] { return client_->Beeps() > beepsBefore; }, 3000));
    EXPECT_EQ(LogCount("BEEP"), 0);
    const auto restart = SteadyClock::now();
    // Faults on plantsim's own schedule: refused from 4.5 s to 6 s, dropped at 5 s.
    StartPlantsim({"--fault", "refuse@4500:1500", "--fault", "drop@5000"});
    ASSERT_TRUE(WaitForLogCount(kRelinked, 1, 10000)) << LogText();
    EXPECT_LT(MsSince(restart), 2000);
    EXPECT_EQ(LogCount("Datenerfassung gestartet."), 2);
    EXPECT_TRUE(WaitForFreshValues(10000)) << LogText();
    EXPECT_EQ(LogCount(kLost), 1);
    ASSERT_TRUE(WaitForLogCount(kRelinked, 2, 15000)) << LogText();
    EXPECT_GE(MsSince(restart), 6000);
    EXPECT_EQ(LogCount(kLost), 2);
}

TEST_F(ClientPlantsimE2e, FaultsAreLoggedAndAcquisitionResumesByItselfAfterEach) {
    StartPlantsim();
    ASSERT_TRUE(WaitForSocket());
    StartClient();
    ASSERT_TRUE(WaitForFreshValues(10000)) << LogText();

    // A 10 000-byte value is cut to its first 201 bytes and goes through the cycle.
    Inject("oversize\n");
    ASSERT_TRUE(PumpUntil([&] { return NewestText(2) == std::string(201, '9'); }, 5000));
    ASSERT_TRUE(PumpUntil([&] { return GridValue(2) == "100000,000"; }, 5000));  // clamped
    ASSERT_TRUE(WaitForFreshValues(10000));

    // A frame that announces 4 GiB: the conversation is dropped, then linked again.
    Inject("garbage\n");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 1, 10000)) << LogText();
    EXPECT_EQ(LogCount(kLost), 1);
    EXPECT_EQ(LogCount("malformed frame: frame of 4294967295 bytes exceeds the limit"), 1);
    ASSERT_TRUE(WaitForFreshValues(10000));

    // While the plant says nothing the cycles go on with the last values.
    Inject("stall 3000\n");
    const std::string cycleTime = State().window.lbDT;
    ASSERT_TRUE(PumpUntil([&] { return State().window.lbDT != cycleTime; }, 5000));
    ASSERT_TRUE(WaitForFreshValues(10000));

    // A dropped conversation whose reconnects meet a silent plant (each attempt ends by
    // its time-out), then one whose reconnects are refused: the link comes back after both.
    Inject("stall 4000\ndrop\n");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 2, 20000)) << LogText();
    ASSERT_TRUE(WaitForFreshValues(10000));
    Inject("refuse 2500\ndrop\n");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 3, 20000)) << LogText();
    ASSERT_TRUE(WaitForFreshValues(10000));
    EXPECT_EQ(LogCount(kLost), 3);
    EXPECT_EQ(LogCount("*** TimeOut"), 0);
}

}  // namespace
}  // namespace tarvedde::testing

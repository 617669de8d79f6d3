// The client as the headless program wires it (real clock, poll loop, socket DDE
// transport) against plantsim as a real process, all under one temporary directory:
// values reach the day file, a killed plant is noticed and a restarted one linked again
// within 2 s, and none of plantsim's faults (on request or on its own schedule) crashes or
// hangs the client: it logs, retries and goes on by itself when the fault is over.
// An end the system will not wait for stops it without the countdown.
#include "tests/e2e/plantsim_fixture.h"

namespace tarvedde::testing {
namespace {

// Three items; the plant serves the first two ("Fehlt" is unknown to it). Cycle 1 s.
constexpr char kClientIni[] =
    "[DDE]\nItemcount=3\nIntervall=1\nEinheit=0\nAutoStart=1\nServer=PlantSim\nTopic=Werte\n"
    "[Items]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n"
    "[Itemnames]\nItem1=Zulauf\nItem2=Pegel\nItem3=Fehlt\n";

// A counter that changes every 200 ms, so a fresh value always shows, and a constant.
constexpr char kPlantIni[] =
    "[Service]\nName=PlantSim\nTopic=Werte\n[Items]\nCount=2\n"
    "[Item1]\nName=Zulauf\nGenerator=counter\nIntervalMs=200\nValue=1\nStep=1\nDecimals=1\n"
    "Wrap=0\n"
    "[Item2]\nName=Pegel\nGenerator=constant\nValue=3,5\n";

constexpr char kLost[] = "Callback : Konversation abgebrochen !";
constexpr char kRelinked[] = "Verbindung zum Server hergestellt.";

class ClientPlantsimE2e : public PlantsimClientTest {
protected:
    // plantsim and the client both run when a test begins.
    void SetUp() override {
        PlantsimClientTest::SetUp();
        root_.WriteText("plant/TARVEDDE.INI", kClientIni);
        root_.WriteText("plant.ini", kPlantIni);
        StartPlantsim({"--control", ControlPath()});
        ASSERT_TRUE(WaitForDdeSocket(ddeDir_, "PlantSim"));
        StartClient();
    }

    std::string ControlPath() const { return root_.Path() + "control"; }
    // One fault command of plantsim's control file ("KIND [DURATION_MS]" lines).
    void Inject(const std::string& commands) {
        const std::string fresh = ControlPath() + ".new";
        std::ofstream(fresh) << commands;
        std::filesystem::rename(fresh, ControlPath());
    }
};

// One plant life after another: faults on request, a killed plant, faults on plantsim's
// own schedule.
TEST_F(ClientPlantsimE2e, ValuesFlowAndTheClientRecoversByItselfFromEveryFaultAndAKill) {
    ASSERT_TRUE(WaitForFreshValues(10000)) << LogText();
    // The item the plant does not know was never linked: no text, which counts as 0.
    EXPECT_TRUE(DayValues(plantDir_).back().ends_with(";3,500;0,000"));
    // A 10 000-byte value is cut to its first 201 bytes, which the validity limit clamps.
    Inject("oversize\n");
    ASSERT_TRUE(PumpUntil(
        [&] { return DayValues(plantDir_).back().ends_with(";100000,000;0,000"); }, 5000));
    // A frame that announces 4 GiB: the conversation is dropped, then linked again.
    Inject("garbage\n");
    ASSERT_TRUE(WaitForLogCount(kRelinked, 1, 10000)) << LogText();
    EXPECT_EQ(LogCount("malformed frame: frame of 4294967295 bytes exceeds the limit"), 1);
    ASSERT_TRUE(WaitForFreshValues(10000));
    // While the plant says nothing the cycles go on with the last values.
    Inject("stall 3000\n");
    const std::size_t rows = DayValues(plantDir_).size();
    ASSERT_TRUE(PumpUntil([&] { return DayValues(plantDir_).size() > rows + 1; }, 2500));
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

    StopPlantsim(SIGKILL);
    ASSERT_TRUE(WaitForLogCount(kLost, 4, 5000)) << LogText();
    // TimerAuto tries once a second, each try a failed link and a beep.
    const int beeps = client_->Beeps();
    PumpFor(3500);
    EXPECT_GE(client_->Beeps() - beeps, 2);
    EXPECT_LE(client_->Beeps() - beeps, 4);
    EXPECT_EQ(LogCount(kRelinked), 3);
    // The plant comes back just after a failed try: the worst case for the next one.
    const int beepsBefore = client_->Beeps();
    ASSERT_TRUE(PumpUntil([&] { return client_->Beeps() > beepsBefore; }, 3000));
    EXPECT_EQ(LogCount("BEEP"), 0);
    const auto restart = SteadyClock::now();
    // Refused from 4.5 s to 6 s, dropped at 5 s.
    StartPlantsim(
        {"--control", ControlPath(), "--fault", "refuse@4500:1500", "--fault", "drop@5000"});
    ASSERT_TRUE(WaitForLogCount(kRelinked, 4, 10000)) << LogText();
    EXPECT_LT(MsSince(restart), 2000);
    EXPECT_TRUE(WaitForFreshValues(10000)) << LogText();
    ASSERT_TRUE(WaitForLogCount(kRelinked, 5, 15000)) << LogText();
    EXPECT_GE(MsSince(restart), 6000);
    EXPECT_EQ(LogCount(kLost), 5);

    // Windows ends the process about 5 s after a console close: no 8 s countdown then.
    client_->RequestStopAtOnce();
    client_->RunUntilClosed();
    EXPECT_EQ(LogCount("Stop-Aufforderung"), 0) << LogText();
    EXPECT_EQ(LogCount("Sitzung wird beendet: Datenerfassung wird sofort beendet."), 1);
    EXPECT_FALSE(std::filesystem::exists(plantDir_ + "$dde_activ"));
}

}  // namespace
}  // namespace tarvedde::testing

// The data notification: newest text, the integral and digital steps, the difference
// step, the markers of unparseable texts and the exports each writes; the disconnect.
#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/acquisition/dde_client.h"
#include "platform/number_format.h"
#include "platform/operator_transcript.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::int64_t kHourMs = 3600000;

class DdeCallbackTest : public EngineFixture {
protected:
    DdeCallbackTest() {
        SetItemCount(3);
        for (int n = 1; n <= 3; ++n) {
            Item(n).serverItem = "Item" + std::to_string(n);
            SetLimits(n, -1000.0, 100000.0);
        }
        log_.Settings().debugLog = true;
        env_.Serve(state_.settings.ddeService, state_.settings.ddeTopic,
                   {"Item1", "Item2", "Item3"});
    }

    // Links the items as configured now and forgets the log lines of linking.
    void Link() {
        ASSERT_TRUE(client_.InitDDE());
        client_.LinkItems();
        ASSERT_TRUE(state_.itemsLinked);
        NewLogLines();
    }

    // The server's new value for item n; how many links acknowledged it.
    int Send(int n, const std::string& text, std::int64_t afterMs = 0) {
        env_.clock.AdvanceMs(afterMs);
        return env_.Publish("Item" + std::to_string(n), text);
    }

    std::string Export(const std::string& kind, int n) {
        return env_.ReadText("20240305_" + kind + "_" + std::to_string(n) + ".txt");
    }
    std::string Stamp() const { return FormatGeneral(env_.clock.Now()); }

    DdeClient client_{&env_.dde, state_};
};

TEST_F(DdeCallbackTest, TextIsCutAt201BytesAndAtTheFirstNul) {
    Link();
    EXPECT_EQ(Send(1, std::string(201, '7') + "89"), 1);
    EXPECT_EQ(Runtime(1).newestText, std::string(201, '7'));
    Send(1, std::string(200, '5') + "6");
    EXPECT_EQ(Runtime(1).newestText.size(), 201u);
    Send(1, std::string("12,5\0 99", 8));
    EXPECT_EQ(Runtime(1).newestText, "12,5");
    Send(1, std::string("\r\n4\r\n"));
    EXPECT_EQ(Runtime(1).newestText, "\r\n4\r\n");  // raw, cleaned only when parsed
}

// A server sends only what is linked, so these notifications go to the callback directly.
TEST_F(DdeCallbackTest, UnknownHandleAndNoConversationChangeNothing) {
    Link();
    Runtime(1).newestText = "alt";
    const DdeHandle other = env_.dde.CreateStringHandle(client_.Instance(), "Fremd");
    EXPECT_EQ(client_.Callback({kXtypAdvData, kCfText, client_.Conversation(), 0, other, "5"}),
              kDdeFack);
    EXPECT_EQ(client_.Callback({kXtypAdvData, kCfText, 0, 0,
                                static_cast<DdeHandle>(Runtime(1).itemHandle), "5"}),
              0u);
    EXPECT_EQ(Runtime(1).newestText, "alt");
    EXPECT_THAT(NewLogLines(), IsEmpty());
}

TEST_F(DdeCallbackTest, OtherNotificationsAreLoggedInHex) {
    Link();
    EXPECT_EQ(client_.Callback({0x10A2, kCfText, client_.Conversation(), 0, 0, ""}), 0u);
    EXPECT_THAT(NewLogLines(), ElementsAre("Callback : Nachricht=$000010A2"));
}

class IntegralTest : public DdeCallbackTest {
protected:
    void SetUpIntegral(int bezug) {
        Item(1).Integral = true;
        Item(1).IntegralLimit = 0.0;
        Item(1).IntegralBezug = bezug;
        Flags(1).logIntegral = true;
        Link();
    }
};

TEST_F(IntegralTest, ConstantOverOneHourPerHourAddsTheValue) {
    SetUpIntegral(3600);
    Send(1, "36");
    EXPECT_EQ(Runtime(1).runningSum, 0.0);
    const std::string first = Stamp() + ";36,00;0,00\r\n";
    Send(1, "36", kHourMs);
    EXPECT_DOUBLE_EQ(Runtime(1).runningSum, 36.0);
    EXPECT_EQ(Export("Integral", 1), first + Stamp() + ";36,00;36,00\r\n");
}

TEST_F(IntegralTest, PreviousValueHoldsUntilTheNextSample) {
    SetUpIntegral(1);
    Send(1, "10");
    Send(1, "20", 30000);
    Send(1, "0", 10000);
    EXPECT_DOUBLE_EQ(Runtime(1).runningSum, 10.0 * 30 + 20.0 * 10);
}

TEST_F(IntegralTest, ClockStepsAndDaylightSavingAddOnlyRealTime) {
    SetUpIntegral(3600);
    Send(1, "36");
    env_.clock.StepWallClock(kHourMs);  // clocks go forward: one hour passes in none
    Send(1, "36", kHourMs / 2);
    env_.clock.StepWallClock(-2 * kHourMs);  // and back
    Send(1, "36", kHourMs / 2);
    EXPECT_DOUBLE_EQ(Runtime(1).runningSum, 36.0);
}

TEST_F(IntegralTest, RestoredSampleTimeIsMeasuredByTheWallClock) {
    SetUpIntegral(3600);
    Send(1, "36");
    // A restore from the state file puts a wall time without an elapsed reading.
    Runtime(1).lastSampleTime = env_.clock.Now() - 2.0 / 24.0;
    Send(1, "36");
    EXPECT_NEAR(Runtime(1).runningSum, 72.0, 1e-6);
}

TEST_F(IntegralTest, ValueIsLimitedScaledAndHeldInMaintenance) {
    Item(1).calibrationSlope = 2.0;
    Item(1).calibrationIntercept = 1.0;
    SetLimits(1, -1000.0, 50.0);
    SetUpIntegral(1);
    Runtime(1).lowerBound = 5.0;
    Send(1, "1");  // 3 -> lower bound 5
    EXPECT_EQ(Runtime(1).lastSampleValue, 5.0);
    Send(1, "40", 1000);  // 81 -> upper limit 50
    EXPECT_EQ(Runtime(1).lastSampleValue, 50.0);
    Item(1).maintenanceOn = true;
    Send(1, "10", 1000);
    EXPECT_EQ(Runtime(1).lastSampleValue, 50.0);
    EXPECT_DOUBLE_EQ(Runtime(1).runningSum, 5.0 + 50.0);
}

TEST_F(IntegralTest, UnparseableTextEntersAsMarkerAfterScaling) {
    Item(1).calibrationSlope = 2.0;
    Item(1).calibrationIntercept = 1.0;
    SetUpIntegral(1);
    Send(1, "   ");
    EXPECT_EQ(Runtime(1).lastSampleValue, 8888.0 * 2 + 1);
    EXPECT_EQ(Export("Integral", 1), Stamp() + ";17777,00;0,00\r\n");
}

TEST_F(IntegralTest, IntegralExportNeedsTheIntegralSetting) {
    Flags(2).logIntegral = true;
    SetUpIntegral(1);
    Send(2, "5");
    EXPECT_EQ(Export("Integral", 2), "<missing>");
}

class DigitalTest : public IntegralTest {
protected:
    DigitalTest() { Item(1).Grafiktyp = 2; }
};

TEST_F(DigitalTest, OnTimeIsSummedAndSwitchingLogged) {
    SetUpIntegral(1);
    Send(1, "0");  // first sample: time and value only
    Send(1, "1", 10000);
    EXPECT_EQ(Runtime(1).runningSum, 0.0);
    Send(1, "1", 20000);
    EXPECT_DOUBLE_EQ(Runtime(1).runningSum, 20.0);
    Send(1, "0,5", 10000);  // neither: nothing changes
    EXPECT_EQ(Runtime(1).lastSampleValue, 1.0);
    Send(1, "0", 5000);  // the 0,5 time counts as ON, the signal was ON before
    EXPECT_DOUBLE_EQ(Runtime(1).runningSum, 35.0);
    EXPECT_EQ(Runtime(1).switchOffTime, env_.clock.Now());
    const auto lines = NewLogLines();
    EXPECT_THAT(lines, ElementsAre("Dig.Item 1 ein. = 1", "Dig.Item 1 aus. = 0"));
}

TEST_F(DigitalTest, SwitchingThresholdsAreExclusive) {
    SetUpIntegral(1);
    Send(1, "0");
    Send(1, "0,55", 1000);  // not ON
    Send(1, "0,56", 1000);
    EXPECT_EQ(Runtime(1).lastSampleValue, 0.56);
    Send(1, "0,45", 1000);  // not OFF
    EXPECT_EQ(Runtime(1).lastSampleValue, 0.56);
    Send(1, "0,44", 1000);
    EXPECT_EQ(Runtime(1).lastSampleValue, 0.44);
    EXPECT_DOUBLE_EQ(Runtime(1).runningSum, 2.0);
}

TEST_F(DigitalTest, LongestOffPeriodIsLoggedOnlyWhenItGrows) {
    SetUpIntegral(1);
    Send(1, "0");
    Send(1, "1", 60000);  // the first OFF period has no switch-off time: not measured
    EXPECT_EQ(Runtime(1).maxOffDuration, 0.0);
    Send(1, "0", 1000);
    const double offAt = env_.clock.Now();
    Send(1, "1", 90000);
    EXPECT_DOUBLE_EQ(Runtime(1).lastOffDuration * 86400.0, 90.0);
    EXPECT_EQ(Runtime(1).maxOffStart, offAt);
    EXPECT_EQ(Runtime(1).maxOffEnd, env_.clock.Now());
    Send(1, "0", 1000);
    Send(1, "1", 30000);  // shorter: no new maximum
    EXPECT_DOUBLE_EQ(Runtime(1).maxOffDuration * 86400.0, 90.0);
    EXPECT_DOUBLE_EQ(Runtime(1).lastOffDuration * 86400.0, 30.0);
    const auto lines = NewLogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Neue max. Auszeit für Item 1 :00:01:30"), 1);
    EXPECT_EQ(lines.size(), 6u);
}

TEST_F(DigitalTest, OffPeriodIgnoresAClockStep) {
    SetUpIntegral(1);
    Send(1, "1");
    Send(1, "0", 1000);
    env_.clock.StepWallClock(kHourMs);
    Send(1, "1", 60000);
    EXPECT_DOUBLE_EQ(Runtime(1).lastOffDuration * 86400.0, 60.0);
}

class DifferenceTest : public DdeCallbackTest {
protected:
    DifferenceTest() {
        Flags(1).logCounterDifference = true;
        SetLimits(1, 0.0, 1000.0);
    }
};

TEST_F(DifferenceTest, RisingCounterAddsFallingCounterRestarts) {
    Link();
    std::string expected;
    auto sendAndExpect = [&](const std::string& text, const std::string& tail) {
        Send(1, text, 10000);
        expected += Stamp() + ";" + tail + "\r\n";
    };
    sendAndExpect("100", "100,00;0,00");
    sendAndExpect("150", "150,00;50,00");
    sendAndExpect("120", "120,00;50,00");    // reset: nothing added
    sendAndExpect("130", "130,00;60,00");    // continues from the new value
    sendAndExpect("2000", "2000,00;60,00");  // out of range: written, not counted
    sendAndExpect("x", "8889,00;60,00");     // marker is out of range here as well
    EXPECT_EQ(Export("Differenz", 1), expected);
    EXPECT_EQ(Runtime(1).lastSampleValue, 130.0);
}

TEST_F(DifferenceTest, FirstSampleOutOfRangeDoesNotStartTheCounter) {
    Link();
    Send(1, "-5");
    EXPECT_LT(Runtime(1).lastSampleTime, 0.0);
    Send(1, "7", 1000);
    EXPECT_EQ(Runtime(1).lastSampleValue, 7.0);
    EXPECT_EQ(Runtime(1).runningSum, 0.0);
}

TEST_F(DdeCallbackTest, SingleValuesAreScaledAndWrittenUnlimited) {
    Item(1).calibrationSlope = 2.0;
    Item(1).calibrationIntercept = 1.0;
    SetLimits(1, 0.0, 10.0);
    Flags(1).logSingleValues = true;
    Link();
    Send(1, "Wert 12,5\r\n");
    const std::string first = Stamp() + ";26,00\r\n";
    Send(1, "", 1000);
    EXPECT_EQ(Export("Einzelwerte", 1), first + Stamp() + ";17775,00\r\n");
}

TEST_F(DdeCallbackTest, FactorZeroWritesNeitherDifferenceNorSingleValues) {
    Item(1).calibrationSlope = 0.0;
    Flags(1).logSingleValues = true;
    Flags(1).logCounterDifference = true;
    Item(2).calibrationSlope = 0.01;
    Flags(2).logSingleValues = true;
    Link();
    Send(1, "5");
    Send(2, "5");
    EXPECT_EQ(Export("Einzelwerte", 1), "<missing>");
    EXPECT_EQ(Export("Differenz", 1), "<missing>");
    EXPECT_EQ(Runtime(1).newestText, "5");
    EXPECT_EQ(Export("Einzelwerte", 2), Stamp() + ";0,05\r\n");
}

TEST_F(DdeCallbackTest, FailedExportIsLoggedAndTheNextStillRuns) {
    Flags(1).logCounterDifference = true;
    Flags(1).logSingleValues = true;
    Link();
    env_.files.SetFailurePolicy([](FileOp, const std::string& path) {
        return path.find("_Differenz_") != std::string::npos;
    });
    Send(1, "5");
    EXPECT_THAT(NewLogLines(), ElementsAre("Fehler beim Speichern der Differenz-Daten !"));
    EXPECT_EQ(Export("Einzelwerte", 1), Stamp() + ";5,00\r\n");
}

TEST_F(DdeCallbackTest, ServerDisconnectUnlinksAndMarksTheLoss) {
    Link();
    state_.acquisitionStarted = true;
    env_.ddeServer.SetDown(true);
    EXPECT_TRUE(state_.connectionLost);
    EXPECT_EQ(Runtime(1).itemHandle, 0u);
    EXPECT_EQ(client_.Conversation(), 0u);
    EXPECT_THAT(env_.person.Transcript(), ElementsAre(BeepLine()));
    EXPECT_THAT(
        NewLogLines(),
        ElementsAre("Callback : Konversation abgebrochen !", "Verbindung zum Server abgebaut.",
                    "Es wird versucht, die Verbindung wiederherzustellen..."));
}

}  // namespace
}  // namespace tarvedde::testing

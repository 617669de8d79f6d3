// The data notification: newest text, the parsed value handed to the sample integrator,
// the markers of unparseable texts and the exports each writes; the disconnect.
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
        env_.Serve(settings_.ddeService, settings_.ddeTopic, {"Item1", "Item2", "Item3"});
    }

    // Links the items as configured now and forgets the log lines of linking.
    void Link() {
        ASSERT_TRUE(client_.InitDDE());
        client_.LinkItems();
        ASSERT_TRUE(client_.ItemsLinked());
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

    DdeClient& client_ = dde_;
};

TEST_F(DdeCallbackTest, TextIsCutAt201BytesAndAtTheFirstNul) {
    Link();
    EXPECT_EQ(Send(1, std::string(201, '7') + "89"), 1);
    EXPECT_EQ(Source(1).newestText, std::string(201, '7'));
    Send(1, std::string(200, '5') + "6");
    EXPECT_EQ(Source(1).newestText.size(), 201u);
    Send(1, std::string("12,5\0 99", 8));
    EXPECT_EQ(Source(1).newestText, "12,5");
    Send(1, std::string("\r\n4\r\n"));
    EXPECT_EQ(Source(1).newestText, "\r\n4\r\n");  // raw, cleaned only when parsed
}

// A server sends only what is linked, so these notifications go to the callback directly;
// other notifications are logged in hex.
TEST_F(DdeCallbackTest, UnknownHandleAndNoConversationChangeNothingOthersAreLogged) {
    Link();
    Source(1).newestText = "alt";
    const DdeHandle other = env_.dde.CreateStringHandle(client_.Instance(), "Fremd");
    EXPECT_EQ(client_.Callback({kXtypAdvData, kCfText, client_.Conversation(), 0, other, "5"}),
              kDdeFack);
    EXPECT_EQ(client_.Callback(
                  {kXtypAdvData, kCfText, 0, 0, static_cast<DdeHandle>(Source(1).itemHandle), "5"}),
              0u);
    EXPECT_EQ(Source(1).newestText, "alt");
    EXPECT_THAT(NewLogLines(), IsEmpty());
    EXPECT_EQ(client_.Callback({0x10A2, kCfText, client_.Conversation(), 0, 0, ""}), 0u);
    EXPECT_THAT(NewLogLines(), ElementsAre("Callback : Nachricht=$000010A2"));
}

// The integrator gets the scaled number, an unparseable text as the integral's marker; the
// export holds the value it took and the sum, and needs the item to be an integral one.
TEST_F(DdeCallbackTest, IntegralExportHoldsTheTakenValueAndTheSum) {
    Item(1).calibrationSlope = 2.0;
    Item(1).calibrationIntercept = 1.0;
    Item(1).Integral = true;
    Item(1).IntegralBezug = 3600;
    SetLimits(1, -1000.0, 20000.0);
    Flags(1).logIntegral = true;
    Flags(2).logIntegral = true;
    Link();
    Send(1, "   ");
    const std::string first = Stamp() + ";17777,00;0,00\r\n";
    Send(1, "40", kHourMs);
    Send(2, "5");
    EXPECT_EQ(Export("Integral", 1), first + Stamp() + ";81,00;17777,00\r\n");
    EXPECT_EQ(Export("Integral", 2), "<missing>");
}

TEST_F(DdeCallbackTest, DifferenceExportHoldsEveryReadingAndTheSum) {
    Flags(1).logCounterDifference = true;
    SetLimits(1, 0.0, 1000.0);
    Link();
    std::string expected;
    for (const auto& [text, tail] : {std::pair{"100", "100,00;0,00"},
                                     {"150", "150,00;50,00"},
                                     {"2000", "2000,00;50,00"},
                                     {"x", "8889,00;50,00"}}) {
        Send(1, text, 10000);
        expected += Stamp() + ";" + tail + "\r\n";
    }
    EXPECT_EQ(Export("Differenz", 1), expected);
}

// A factor of zero writes neither difference nor single values.
TEST_F(DdeCallbackTest, SingleValuesAreScaledAndWrittenUnlimitedUnlessTheFactorIsZero) {
    Item(1).calibrationSlope = 2.0;
    Item(1).calibrationIntercept = 1.0;
    SetLimits(1, 0.0, 10.0);
    Flags(1).logSingleValues = true;
    Item(2).calibrationSlope = 0.0;
    Flags(2).logSingleValues = true;
    Flags(2).logCounterDifference = true;
    Link();
    Send(1, "Wert 12,5\r\n");
    const std::string first = Stamp() + ";26,00\r\n";
    Send(1, "", 1000);
    EXPECT_EQ(Export("Einzelwerte", 1), first + Stamp() + ";17775,00\r\n");
    Send(2, "5");
    EXPECT_EQ(Export("Einzelwerte", 2), "<missing>");
    EXPECT_EQ(Export("Differenz", 2), "<missing>");
    EXPECT_EQ(Source(2).newestText, "5");
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
    client_.MarkAcquisitionStarted();
    env_.ddeServer.SetDown(true);
    EXPECT_TRUE(client_.ConnectionLost());
    EXPECT_EQ(Source(1).itemHandle, 0u);
    EXPECT_EQ(client_.Conversation(), 0u);
    EXPECT_THAT(env_.person.Transcript(), ElementsAre(BeepLine()));
    EXPECT_THAT(
        NewLogLines(),
        ElementsAre("Callback : Konversation abgebrochen !", "Verbindung zum Server abgebaut.",
                    "Es wird versucht, die Verbindung wiederherzustellen..."));
}

}  // namespace
}  // namespace tarvedde::testing

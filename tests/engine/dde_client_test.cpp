// The DDE client's connection half against the in-memory server: initialise, connect,
// link summary and log lines, unlink and close, the OPC short cuts and error names.
#include "engine/acquisition/dde_client.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/number_format.h"
#include "platform/operator_transcript.h"
#include "tests/engine/engine_fixture.h"

namespace tarvedde::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class DdeClientTest : public EngineFixture {
protected:
    DdeClientTest() {
        SetItemCount(3);
        settings_.ddeService = "PLS";
        settings_.ddeTopic = "Werte";
        for (int n = 1; n <= 3; ++n) {
            Item(n).serverItem = "Item" + std::to_string(n);
            Item(n).itemName = "Zulauf" + std::to_string(n);
            Item(n).unit = "l/s";
            SetLimits(n, 0.0, 500.0);
        }
        env_.Serve("PLS", "Werte", {"Item1", "Item2", "Item3"});
    }

    // Initialises and links the items as configured now; the log lines of the linking.
    Lines Link() {
        EXPECT_TRUE(client_.InitDDE());
        NewLogLines();
        client_.LinkItems();
        return NewLogLines();
    }

    DdeClient& client_ = dde_;
};

TEST_F(DdeClientTest, InitialiseLogsOnceAndReportsFailures) {
    EXPECT_TRUE(client_.InitDDE());
    EXPECT_THAT(NewLogLines(), ElementsAre("DDE initialisiert."));

    // Without an instance, the last error is that DDE is not initialised.
    env_.dde.FailInitialize(kDmlErrInvalidParameter);
    EXPECT_FALSE(client_.InitDDE());
    EXPECT_THAT(NewLogLines(), ElementsAre("InitDDE: DDE-Fehler: DMLERR_DLL_NOT_INITIALIZED"));

    client_.MarkUnreachable();  // retries stay quiet
    EXPECT_FALSE(client_.InitDDE());
    EXPECT_THAT(NewLogLines(), IsEmpty());

    env_.dde.FailInitialize(kDmlErrInvalidParameter, -5);
    EXPECT_FALSE(client_.InitDDE());
    EXPECT_THAT(NewLogLines(), ElementsAre("DDE-Instanz=-5", "DDE wurde NICHT initialisiert !"));
}

// Each item's calibration and limits reach the integrator as it is linked, a digital item's
// fixed; its limit line cuts name and unit so the text always fits in 58 characters, an
// umlaut counting as one.
TEST_F(DdeClientTest, LinkingSetsUpEachItemAndAllLinkedTurnTheLabelGreen) {
    Item(1).itemName = std::string(35, 'N');
    Item(1).calibrationSlope = 2.0;
    Item(1).calibrationIntercept = 3.0;
    Item(1).Integral = true;
    Item(1).IntegralLimit = 0.5;
    Item(2).itemName = "Ablauf";
    Item(2).unit = std::string(40, 'E');
    Item(2).Grafiktyp = 2;
    Item(2).calibrationSlope = 4.0;
    Item(2).calibrationIntercept = 1.0;
    Item(3).itemName = "Äußerer Zulauf";
    Item(3).unit = std::string(30, 'u');
    Item(3).calibrationSlope = 0.000000005;  // inside the "very small" band
    client_.MarkUnreachable();
    std::string shown;
    state_.window.onChanged = [&] { shown = state_.window.lbWarnung; };
    const Lines lines = Link();
    EXPECT_EQ(shown, "3 Werte werden übertragen.");
    EXPECT_TRUE(client_.ItemsLinked());
    EXPECT_FALSE(client_.ConnectionLost());
    EXPECT_THAT(env_.ddeCalls, ElementsAre("Connect PLS Werte", "AdvStart Item1 5000",
                                           "AdvStart Item2 5000", "AdvStart Item3 5000"));
    EXPECT_EQ(state_.window.lbWarnungColor, "green");
    EXPECT_NE(Source(1).itemHandle, 0u);
    EXPECT_EQ(Source(1).sourceName, "Item1");
    EXPECT_EQ(Integration(1).factor, 2.0);
    EXPECT_EQ(Integration(1).offset, 3.0);
    EXPECT_TRUE(Integration(1).isIntegral);
    EXPECT_EQ(Integration(1).lowerBound, 0.5);
    EXPECT_EQ(Item(2).calibrationSlope, 1.0);
    EXPECT_EQ(Item(2).calibrationIntercept, 0.0);
    EXPECT_EQ(Integration(2).factor, 1.0);
    EXPECT_FALSE(Integration(2).isIntegral);
    EXPECT_EQ(Integration(2).lowerBound, 0.0);
    EXPECT_THAT(
        Lines(lines.begin() + 1, lines.end()),
        ElementsAre(std::string(31, 'N') + "l/s] : Grenzwerte = 0,50 / 500,00",
                    "Ablauf[" + std::string(34, 'E') + "] : Grenzwerte = 0,00 / 500,00",
                    "Warnung für Item 3 : Steigung M ist sehr klein !",
                    "Äußerer Zulauf[" + std::string(26, 'u') + "] : Grenzwerte = 0,00 / 500,00",
                    "3 Werte werden übertragen."));
}

TEST_F(DdeClientTest, UnknownItemStaysUnlinkedAndTurnsTheLabelRed) {
    Item(2).serverItem = "Unbekannt";
    const Lines lines = Link();
    EXPECT_TRUE(client_.ItemsLinked());
    EXPECT_EQ(Source(2).itemHandle, 0u);
    EXPECT_EQ(env_.dde.LiveStringHandle("Unbekannt"), 0u);  // released, not leaked
    EXPECT_NE(env_.dde.LiveStringHandle("Item3"), 0u);
    EXPECT_EQ(lines[3], "***** Fehler ! Advise Item 2: DDE-Fehler: $00004009");
    EXPECT_EQ(lines.back(), "Achtung ! Nur 2 von 3 Werten werden übertragen.");
    EXPECT_EQ(state_.window.lbWarnung, "Erfasse nur 2 von 3 Werten !");
    EXPECT_EQ(state_.window.lbWarnungColor, "red");
}

TEST_F(DdeClientTest, MirroredAndSwitchedOffItemsAreCountedNotLinked) {
    Item(2).mirror.mirrorOn = true;
    Item(2).mirror.sourceItem = 1;
    Item(3).mirror.mirrorOn = true;
    const Lines lines = Link();
    EXPECT_THAT(env_.ddeCalls, ElementsAre("Connect PLS Werte", "AdvStart Item1 5000"));
    EXPECT_THAT(Lines(lines.end() - 3, lines.end()),
                ElementsAre("1 Werte werden übertragen.", "1 Werte werden gespiegelt.",
                            "1 Werte wurden abgeschaltet."));
    EXPECT_EQ(state_.window.lbWarnungColor, "green");
}

TEST_F(DdeClientTest, SmallSlopeBandHasBoundsOfDifferentSize) {
    Item(1).calibrationSlope = -0.0000001;  // on the lower bound: not warned
    Item(2).calibrationSlope = -0.00000009;
    Item(3).calibrationSlope = 0.00000001;  // on the upper bound: not warned
    int warnings = 0;
    for (const std::string& line : Link()) {
        warnings += line.starts_with("Warnung für Item ") ? 1 : 0;
        EXPECT_NE(line, "Warnung für Item 1 : Steigung M ist sehr klein !");
    }
    EXPECT_EQ(warnings, 1);
}

TEST_F(DdeClientTest, ServerNotRunningMarksTheConnectionLost) {
    env_.ddeServer.SetDown(true);
    const Lines lines = Link();
    EXPECT_FALSE(client_.ItemsLinked());
    EXPECT_TRUE(client_.ConnectionLost());
    EXPECT_THAT(lines, ElementsAre("ConnectDDE: DDE-Fehler: DMLERR_NO_CONV_ESTABLISHED",
                                   "DDE-Server \"PLS\" / \"Werte\" überprüfen. Gestartet ?"));
    client_.LinkItems();  // retries are quiet
    EXPECT_THAT(NewLogLines(), IsEmpty());
}

TEST_F(DdeClientTest, SecondConnectIsRefusedAndCheckServerShowsItsOwnMessages) {
    ASSERT_TRUE(client_.InitDDE());
    ASSERT_TRUE(client_.ConnectDDE());
    NewLogLines();
    EXPECT_FALSE(client_.ConnectDDE());
    EXPECT_THAT(NewLogLines(), ElementsAre("DDEConnect : DDE-Konversation schon vorhanden !"));
    client_.DisconnectDDE();
    NewLogLines();
    EXPECT_TRUE(client_.CheckServer());
    EXPECT_THAT(NewLogLines(), IsEmpty());
    client_.DisconnectDDE();
    NewLogLines();
    env_.ddeServer.SetDown(true);
    EXPECT_FALSE(client_.CheckServer());
    EXPECT_THAT(NewLogLines(), ElementsAre("PLS / Werte sind nicht vorhanden !"));
    EXPECT_THAT(env_.person.Transcript(),
                ElementsAre(MessageLine("Server/Topic > PLS / Werte sind nicht gestartet bzw. "
                                        "nicht korrekt eingestellt !")));
}

TEST_F(DdeClientTest, UnlinkStopsLinksOfUnmirroredItemsAndDisconnects) {
    Item(3).mirror.mirrorOn = true;
    ASSERT_TRUE(client_.InitDDE());
    client_.LinkItems();
    NewLogLines();
    env_.ddeCalls.clear();
    client_.UnlinkItems();
    EXPECT_THAT(env_.ddeCalls,
                ElementsAre("AdvStop Item1 1000", "AdvStop Item2 1000", "Disconnect"));
    EXPECT_EQ(env_.ddeServer.LinkCount("PLS", "Werte", "Item1"), 0);
    EXPECT_EQ(Source(1).itemHandle, 0u);
    EXPECT_EQ(client_.Conversation(), 0u);
    EXPECT_THAT(NewLogLines(), ElementsAre("Verbindung zum Server abgebaut."));
    // Without a conversation nothing is stopped, and the result says so.
    EXPECT_FALSE(client_.StopAdvise(1));
}

TEST_F(DdeClientTest, FailedReleasesAndCloseAreLogged) {
    ASSERT_TRUE(client_.InitDDE());
    client_.LinkItems();
    NewLogLines();
    // The instance ends under the client: every release and the close fail.
    ASSERT_TRUE(env_.dde.Uninitialize(client_.Instance()));
    EXPECT_TRUE(client_.StopAdvise(1));
    EXPECT_EQ(Source(1).itemHandle, 0u);
    client_.DisconnectDDE();
    EXPECT_EQ(client_.Conversation(), 0u);
    client_.CloseDDE();
    EXPECT_THAT(NewLogLines(), ElementsAre("StopAdvise: DDE-Fehler: DMLERR_DLL_NOT_INITIALIZED",
                                           "DisconnectDDE: DDE-Fehler: DMLERR_DLL_NOT_INITIALIZED",
                                           "Fehler DdeUnInitialize"));
}

// A server that leaves a link request unanswered has lost the conversation: the set-up
// ends as a failed connect, without asking for the other items on no conversation.
// A timed-out request refused nothing: the item keeps its value for the retry.
TEST_F(DdeClientTest, ConversationLostDuringTheSetUpEndsItAsAFailedConnect) {
    ASSERT_TRUE(client_.InitDDE());
    Source(1).newestText = "7";
    env_.ddeServer.SetStalled(true);
    EXPECT_TRUE(client_.LinkItems());
    EXPECT_EQ(std::count(env_.ddeCalls.begin(), env_.ddeCalls.end(), "AdvStart Item2 5000"), 0);
    EXPECT_TRUE(client_.ConnectionLost());
    EXPECT_FALSE(client_.ItemsLinked());
    EXPECT_EQ(Source(1).newestText, "7");
}

// The stop's time-out loses the conversation, whose end already released the handle.
TEST_F(DdeClientTest, StopThatTimesOutReleasesTheHandleOnce) {
    Link();
    env_.ddeServer.SetStalled(true);
    client_.UnlinkItems();
    EXPECT_THAT(NewLogLines(), Not(Contains(HasSubstr("StopAdvise"))));
}

// The OPC kind and a client without transport never touch a DDE transport.
TEST_F(DdeClientTest, OpcKindAndAMissingTransportShortCutTheLinks) {
    settings_.sourceKind = SourceKind::Opc;
    EXPECT_TRUE(client_.InitDDE());
    EXPECT_TRUE(client_.ConnectDDE());
    EXPECT_TRUE(client_.ConnectDDE());
    EXPECT_TRUE(client_.AdviseItem(1));
    EXPECT_TRUE(client_.StopAdvise(1));
    client_.LinkItems();
    EXPECT_THAT(env_.ddeCalls, IsEmpty());
    EXPECT_TRUE(client_.ItemsLinked());
    EXPECT_EQ(state_.window.lbWarnung, "3 Werte werden übertragen.");
    EXPECT_EQ(Source(2).sourceName, "Item2");
    settings_.sourceKind = SourceKind::Dde;
    DdeClient bare(nullptr, config_, integrator_, env_.host, log_, GermanLocale(), state_.window);
    EXPECT_TRUE(bare.InitDDE());
    bare.LinkItems();
    bare.UnlinkItems();
    bare.CloseDDE();
    EXPECT_TRUE(bare.ItemsLinked());
    EXPECT_FALSE(bare.ConnectionLost());
}

// Other named codes are in the failures' log lines above.
TEST(DdeErrorNameTest, KnownCodesByNameOthersAsHex) {
    EXPECT_EQ(DdeErrorName(0), "DMLERR_NO_ERROR");
    EXPECT_EQ(DdeErrorName(0x4006), "DMLERR_INVALIDPARAMETER");
    EXPECT_EQ(DdeErrorName(0x400E), "$0000400E");
    EXPECT_EQ(DdeErrorName(0xDEADBEEF), "$DEADBEEF");
}

// The data notification: newest text, the parsed value handed to the sample integrator,
// the markers of unparseable texts and the exports each writes; the disconnect.
constexpr std::int64_t kHourMs = 3600000;

// The client's items with wide limits; the log's debug lines on.
class DdeCallbackTest : public DdeClientTest {
protected:
    DdeCallbackTest() {
        for (int n = 1; n <= 3; ++n) {
            SetLimits(n, -1000.0, 100000.0);
        }
        log_.Settings().debugLog = true;
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
};

// Items naming one server item each take its value.
TEST_F(DdeCallbackTest, TextIsCutAt201BytesAndAtTheFirstNul) {
    Item(3).serverItem = "Item1";
    Link();
    EXPECT_EQ(Send(1, std::string(201, '7') + "89"), 1);
    EXPECT_EQ(Source(1).newestText, std::string(201, '7'));
    EXPECT_EQ(Source(3).newestText, std::string(201, '7'));
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

// The integrator gets the scaled number; an unparseable text is left out (the previous
// value holds) and its export line shows the marker. The export holds the value it took
// and the sum, and needs the item to be an integral one.
TEST_F(DdeCallbackTest, IntegralExportHoldsTheTakenValueAndTheSum) {
    Item(1).calibrationSlope = 2.0;
    Item(1).calibrationIntercept = 1.0;
    Item(1).Integral = true;
    Item(1).IntegralBezug = 3600;
    SetLimits(1, -1000.0, 20000.0);
    Flags(1).logIntegral = true;
    Flags(2).logIntegral = true;
    Link();
    Send(1, "40");
    std::string expected = Stamp() + ";81,00;0,00\r\n";
    Send(1, "   ", kHourMs);
    Send(1, "abc");
    expected += Stamp() + ";17777,00;0,00\r\n" + Stamp() + ";17777,00;0,00\r\n";
    Send(1, "40", kHourMs);
    Send(2, "5");
    EXPECT_EQ(Export("Integral", 1), expected + Stamp() + ";81,00;162,00\r\n");
    EXPECT_EQ(Export("Integral", 2), "<missing>");
    EXPECT_THAT(NewLogLines(),
                ElementsAre("Integral für Item 1 : Wert ist keine Zahl und wird ausgelassen.",
                            "Integral für Item 1 : wieder gültige Werte."));
}

// A text that is no number shows as its marker and leaves the counter as it was.
TEST_F(DdeCallbackTest, DifferenceExportHoldsEveryReadingAndTheSum) {
    Flags(1).logCounterDifference = true;
    SetLimits(1, 0.0, 10000.0);
    Link();
    std::string expected;
    for (const auto& [text, tail] : {std::pair{"100", "100,00;0,00"},
                                     {"150", "150,00;50,00"},
                                     {"20000", "20000,00;50,00"},
                                     {"x", "8889,00;50,00"},
                                     {"170", "170,00;70,00"}}) {
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

// An item the server refuses after a reconnect has no value, and its integral stops at the
// refusal; an item linked again keeps its last value until the server sends a change.
TEST_F(DdeCallbackTest, ItemRefusedAfterAReconnectHasNoValue) {
    Item(2).Integral = true;
    Link();
    Send(1, "7");
    Send(2, "4");
    env_.ddeServer.SetDown(true);
    env_.ddeServer.SetDown(false);
    Item(2).serverItem = "Unbekannt";
    client_.LinkItems();
    EXPECT_EQ(Source(2).newestText, "");
    EXPECT_LT(integrator_.States()[2].lastSampleTime, 0.0);
    EXPECT_EQ(Source(1).newestText, "7");
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

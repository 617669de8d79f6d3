// One contract for every DDE transport: the in-memory one (what engine and scenario tests
// talk to) must answer as the socket one does with a server process behind it, and on
// Windows as DDEML does with our DDEML test server behind it.
#include <gtest/gtest.h>

#include <vector>

#include "sources/in_memory_dde_server.h"
#ifdef _WIN32
#include "platform/message_event_loop.h"
#include "tests/sources/ddeml_test_support_win.h"
#else
#include "sources/socket_dde_transport.h"
#include "tests/sources/socket_dde_test_support.h"
#endif

namespace tarvedde {
namespace {

using testing::PumpUntil;

using Text = const std::string&;

// The server side of a transport: service PlantSim, topic Werte.
class InMemorySide {
public:
    static constexpr bool kProcess = false;
    InMemorySide() { server.AddTopic("PlantSim", "Werte"); }
    std::unique_ptr<DdeTransport> MakeTransport(EventLoop& loop, DdeLogSink) {
        return std::make_unique<InMemoryDdeTransport>(server, &loop);
    }
    void Publish(Text item, Text text) { server.Publish("PlantSim", "Werte", item, text); }
    void SetRequestText(Text item, Text text) {
        server.SetRequestText("PlantSim", "Werte", item, text);
    }
    void SetStalled(bool stalled) { server.SetStalled(stalled); }
    void DropAll() {
        server.SetDown(true);
        server.SetDown(false);
    }
    void Stop() { server.SetDown(true); }
    bool ConversationCountReaches(std::size_t n) { return server.ConversationCount() == n; }

    InMemoryDdeServer server;
};

#ifdef _WIN32
using testing::DdemlSide;
using TestEventLoop = MessageEventLoop;
#else
using TestEventLoop = PollEventLoop;

class SocketSide {
public:
    static constexpr bool kProcess = true;
    std::unique_ptr<DdeTransport> MakeTransport(EventLoop& loop, DdeLogSink log) {
        return std::make_unique<SocketDdeTransport>(loop, dir.path(), std::move(log));
    }
    void Publish(Text item, Text text) {
        Do([&](auto& s) { s.Publish(item, text); });
    }
    void SetRequestText(Text item, Text text) {
        Do([&](auto& s) { s.SetRequestText(item, text); });
    }
    void SetStalled(bool stalled) {
        Do([&](auto& s) { s.SetStalled(stalled); });
    }
    void DropAll() {
        Do([](auto& s) { s.DropAll(); });
    }
    void Stop() { server.Stop(); }
    bool ConversationCountReaches(std::size_t n) {
        std::size_t now = n + 1;
        for (int i = 0; i < 200 && now != n; ++i) {
            Do([&](auto& s) { now = s.ConversationCount(); });
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return now == n;
    }
    void Do(const std::function<void(SocketDdeServer&)>& work) { server.Do(work); }

    testing::TempDdeDirectory dir;
    testing::ServerThread server{dir.path(), "PlantSim", "Werte"};
};
#endif

template <typename Side>
class DdeTransportContract : public ::testing::Test {
protected:
    void SetUp() override {
        loop = TestEventLoop::Create(*clock).value();
        transport =
            side.MakeTransport(*loop, [this](const std::string& line) { log += line + "\n"; });
        ASSERT_EQ(transport->Initialize(instance,
                                        [this](const DdeNotification& n) {
                                            seen.push_back(n);
                                            if (n.type == kXtypDisconnect) {
                                                // As DDEML allows: the handle is still valid.
                                                disconnectedInCallback +=
                                                    transport->Disconnect(n.conversation);
                                            }
                                            if (onNotify) {
                                                onNotify(n);
                                            }
                                            return n.type == kXtypAdvData ? kDdeFack : 0u;
                                        }),
                  kDmlErrNoError);
        ASSERT_GT(instance, 0);
        side.Publish("Q", "12,5\r\n");
        side.Publish("T", "8\r\n");
        side.SetRequestText("T", "Temperatur");
        side.SetRequestText("R", "");  // known, without a value
    }
    DdeHandle Atom(const std::string& text) {
        return transport->CreateStringHandle(instance, text);
    }
    DdeHandle Open(const std::string& service = "plantsim", const std::string& topic = "WERTE") {
        return transport->Connect(instance, Atom(service), Atom(topic));
    }
    std::optional<std::string> Transact(DdeHandle conv, const std::string& item, std::uint32_t type,
                                        int timeoutMs = 2000) {
        return transport->ClientTransaction(conv, Atom(item), kCfText, type, timeoutMs);
    }
    std::uint32_t LastError() { return transport->GetLastError(instance); }
    int Count(std::uint32_t type) const {
        int count = 0;
        for (const auto& n : seen) {
            count += n.type == type ? 1 : 0;
        }
        return count;
    }
    bool Pump(const std::function<bool()>& done, int limitMs = 3000) {
        return PumpUntil(*loop, done, limitMs);
    }
    // Nothing more arrives within a while.
    bool Quiet(std::size_t seenBefore) {
        return !Pump([&] { return seen.size() > seenBefore; }, 200);
    }

    Side side;
    std::unique_ptr<Clock> clock = MakeSystemClock();
    std::unique_ptr<TestEventLoop> loop;
    std::unique_ptr<DdeTransport> transport;
    std::int32_t instance = 0;
    std::vector<DdeNotification> seen;
    std::function<void(const DdeNotification&)> onNotify;
    std::string log;
    int disconnectedInCallback = 0;
};

#ifdef _WIN32
using Sides = ::testing::Types<InMemorySide, DdemlSide>;
#else
using Sides = ::testing::Types<InMemorySide, SocketSide>;
#endif
TYPED_TEST_SUITE(DdeTransportContract, Sides);

TYPED_TEST(DdeTransportContract, StringHandlesAreAtoms) {
    DdeHandle a = this->Atom("Zulauf");
    EXPECT_NE(a, 0u);
    EXPECT_EQ(this->Atom("ZULAUF"), a);
    EXPECT_NE(this->Atom("Ablauf"), a);
    EXPECT_EQ(this->Atom(""), 0u);
    auto& t = *this->transport;
    // Two references: the first free keeps the atom, the second ends it.
    EXPECT_TRUE(t.FreeStringHandle(this->instance, a));
    EXPECT_TRUE(t.FreeStringHandle(this->instance, a));
    EXPECT_FALSE(t.FreeStringHandle(this->instance, a));
    EXPECT_NE(this->Atom("zulauf"), a);
    EXPECT_FALSE(t.FreeStringHandle(this->instance + 1, this->Atom("Ablauf")));
}

TYPED_TEST(DdeTransportContract, ConnectAnswersOnlyTheServedServiceAndTopic) {
    EXPECT_EQ(this->Open("plantsim", "Andere"), 0u);
    EXPECT_EQ(this->LastError(), kDmlErrNoConvEstablished);
    EXPECT_EQ(this->LastError(), kDmlErrNoError);  // reading resets it
    EXPECT_EQ(this->Open("Anderer"), 0u);
    EXPECT_EQ(this->LastError(), kDmlErrNoConvEstablished);
    EXPECT_NE(this->Open(), 0u);
    EXPECT_EQ(this->LastError(), kDmlErrNoError);
    EXPECT_TRUE(this->log.empty()) << this->log;  // everyday outcomes the client reports
}

TYPED_TEST(DdeTransportContract, AHotLinkGetsTheCurrentValueAfterItsStartThenEveryChange) {
    const DdeHandle conv = this->Open();
    ASSERT_NE(this->Open(), 0u);  // a second conversation links nothing
    ASSERT_EQ(this->Transact(conv, "q", kXtypAdvStart), std::string());
    EXPECT_TRUE(this->seen.empty());  // the value follows the server's answer
    ASSERT_TRUE(this->Pump([&] { return this->seen.size() == 1; }));
    const DdeNotification& first = this->seen[0];
    EXPECT_EQ(first.type, kXtypAdvData);
    EXPECT_EQ(first.format, kCfText);
    EXPECT_EQ(first.conversation, conv);
    EXPECT_EQ(first.item, this->Atom("Q"));
    EXPECT_EQ(first.data, std::string("12,5\r\n\0", 7));
    ASSERT_EQ(this->Transact(conv, "R", kXtypAdvStart), std::string());  // no value: no data

    this->side.Publish("Q", "13\r\n");
    this->side.Publish("T", "9\r\n");  // not linked
    this->side.Publish("Q", "14\r\n");
    ASSERT_TRUE(this->Pump([&] { return this->seen.size() == 3; }));
    EXPECT_EQ(this->seen[1].data, std::string("13\r\n\0", 5));
    EXPECT_EQ(this->seen[2].data, std::string("14\r\n\0", 5));
    EXPECT_EQ(this->seen[2].conversation, conv);
    EXPECT_TRUE(this->Quiet(3));

    EXPECT_FALSE(this->Transact(conv, "Unbekannt", kXtypAdvStart));
    EXPECT_EQ(this->LastError(), kDmlErrNotProcessed);
    EXPECT_FALSE(this->transport->ClientTransaction(conv, this->Atom("T"), 7, kXtypAdvStart, 10));
    EXPECT_EQ(this->LastError(), kDmlErrInvalidParameter);
    EXPECT_EQ(this->Transact(conv, "Q", kXtypAdvStop), std::string());
    EXPECT_FALSE(this->Transact(conv, "Q", kXtypAdvStop));
    EXPECT_EQ(this->LastError(), kDmlErrNotProcessed);
    this->side.Publish("Q", "15\r\n");
    EXPECT_TRUE(this->Quiet(3));
}

TYPED_TEST(DdeTransportContract, RequestAnswersTheRequestTextOrTheValue) {
    const DdeHandle conv = this->Open();
    EXPECT_EQ(this->Transact(conv, "T", kXtypRequest), std::string("Temperatur\0", 11));
    EXPECT_EQ(this->Transact(conv, "q", kXtypRequest), std::string("12,5\r\n\0", 7));
    EXPECT_FALSE(this->Transact(conv, "Unbekannt", kXtypRequest));
    EXPECT_EQ(this->LastError(), kDmlErrNotProcessed);
    EXPECT_FALSE(this->Transact(conv, "Q", kXtypAdvData));
    EXPECT_EQ(this->LastError(), kDmlErrNotProcessed);
    EXPECT_TRUE(this->seen.empty());
}

TYPED_TEST(DdeTransportContract, TheServersEndGivesOneDisconnectPerConversation) {
    const DdeHandle first = this->Open();
    const DdeHandle second = this->Open();
    ASSERT_TRUE(this->Transact(first, "R", kXtypAdvStart));
    this->side.DropAll();
    ASSERT_TRUE(this->Pump([&] { return this->Count(kXtypDisconnect) == 2; }));
    EXPECT_EQ(this->disconnectedInCallback, 2);
    EXPECT_NE(this->seen[0].conversation, this->seen[1].conversation);
    EXPECT_TRUE(this->Quiet(2));
    EXPECT_FALSE(this->transport->Disconnect(first));
    EXPECT_FALSE(this->Transact(second, "Q", kXtypRequest));
    EXPECT_EQ(this->LastError(), kDmlErrNoConvEstablished);

    const DdeHandle again = this->Open();  // a new conversation, without the old links
    ASSERT_NE(again, 0u);
    EXPECT_NE(again, first);
    EXPECT_NE(again, second);
    this->side.Publish("R", "10\r\n");
    EXPECT_TRUE(this->Quiet(2));
}

TYPED_TEST(DdeTransportContract, TheClientsEndGivesNoCallbackAndEndsItsLinks) {
    const DdeHandle conv = this->Open();
    ASSERT_TRUE(this->Transact(conv, "T", kXtypAdvStart));
    ASSERT_TRUE(this->Pump([&] { return this->seen.size() == 1; }));
    EXPECT_TRUE(this->transport->Disconnect(conv));
    EXPECT_FALSE(this->transport->Disconnect(conv));
    EXPECT_EQ(this->LastError(), kDmlErrNoConvEstablished);
    EXPECT_TRUE(this->side.ConversationCountReaches(0));
    this->side.Publish("T", "10\r\n");
    this->side.DropAll();
    EXPECT_TRUE(this->Quiet(1));
    // Uninitialising the instance ends its conversations the same way.
    ASSERT_NE(this->Open(), 0u);
    EXPECT_TRUE(this->transport->Uninitialize(this->instance));
    EXPECT_TRUE(this->side.ConversationCountReaches(0));
    EXPECT_TRUE(this->Quiet(1));
}

TYPED_TEST(DdeTransportContract, ADeadServerGivesOneDisconnectAndNoConnect) {
    ASSERT_TRUE(this->Transact(this->Open(), "Q", kXtypAdvStart));
    this->side.Stop();
    ASSERT_TRUE(this->Pump([&] { return this->Count(kXtypDisconnect) == 1; }));
    EXPECT_TRUE(this->Quiet(this->seen.size()));
    EXPECT_EQ(this->Open(), 0u);
    EXPECT_EQ(this->LastError(), kDmlErrNoConvEstablished);
}

TYPED_TEST(DdeTransportContract, ACallbackMayEndTheOtherConversationDuringDelivery) {
    const DdeHandle first = this->Open();
    const DdeHandle second = this->Open();
    ASSERT_TRUE(this->Transact(first, "R", kXtypAdvStart));
    ASSERT_TRUE(this->Transact(second, "R", kXtypAdvStart));
    this->onNotify = [&](const DdeNotification& n) {
        this->transport->Disconnect(n.conversation == first ? second : first);
    };
    this->side.Publish("R", "2\r\n");
    ASSERT_TRUE(this->Pump([&] { return this->seen.size() == 1; }));
    EXPECT_TRUE(this->Quiet(1));
    EXPECT_TRUE(this->side.ConversationCountReaches(1));
}

// A stalled server: a request times out and leaves the conversation; the late answers
// never pass for a later transaction's.
TYPED_TEST(DdeTransportContract, AnUnansweredRequestTimesOut) {
    const DdeHandle conv = this->Open();
    this->side.SetStalled(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(this->Transact(conv, "T", kXtypRequest, 150));
    if (TypeParam::kProcess) {
        // Windows timers may end up to a tick early against the steady clock.
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    }
    EXPECT_EQ(this->LastError(), kDmlErrDataAckTimeout);
    EXPECT_FALSE(this->Transact(conv, "Q", kXtypRequest, 50));
    this->side.SetStalled(false);
    EXPECT_EQ(this->Transact(conv, "T", kXtypRequest), std::string("Temperatur\0", 11));
    EXPECT_EQ(this->Count(kXtypDisconnect), 0);
}

// Links are set up item by item: a hung server must cost one time-out, not one per item.
TYPED_TEST(DdeTransportContract, AnUnansweredLinkRequestEndsTheConversation) {
    const DdeHandle conv = this->Open();
    ASSERT_TRUE(this->Transact(conv, "Q", kXtypAdvStart));
    for (std::uint32_t type : {kXtypAdvStart, kXtypAdvStop}) {
        const DdeHandle other = type == kXtypAdvStart ? conv : this->Open();
        // A link to end: DDEML's server never answers the end of a link it does not have.
        ASSERT_TRUE(type == kXtypAdvStart || this->Transact(other, "Q", kXtypAdvStart));
        this->side.SetStalled(true);
        EXPECT_FALSE(this->Transact(other, "Q", type, 100));
        EXPECT_EQ(this->LastError(), kDmlErrAdvAckTimeout);
        ASSERT_EQ(this->Count(kXtypDisconnect), type == kXtypAdvStart ? 1 : 2);
        EXPECT_EQ(this->seen.back().conversation, other);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(this->Transact(other, "T", kXtypAdvStart, 5000));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
        EXPECT_EQ(this->LastError(), kDmlErrNoConvEstablished);
        this->side.SetStalled(false);
    }
    EXPECT_EQ(this->disconnectedInCallback, 2);
    if (TypeParam::kProcess) {
        EXPECT_NE(this->log.find("no answer to a link request within 100 ms"), std::string::npos)
            << this->log;
    }
}

// What only the in-memory server offers engine tests.
TEST(InMemoryDdeServerTest,
     CountsAcknowledgedDataLinksAndCallsAndSendsALinksValueAtOnceWithoutLoop) {
    InMemoryDdeServer server;
    server.Publish("PlantSim", "Werte", "Q", "1\r\n");
    InMemoryDdeTransport transport(server);
    std::vector<std::string> calls;
    transport.WatchCalls([&](const std::string& call) { calls.push_back(call); });
    std::int32_t instance = 0;
    std::vector<DdeNotification> seen;
    transport.Initialize(instance, [&](const DdeNotification& n) {
        seen.push_back(n);
        return kDdeFack;
    });
    const auto atom = [&](const char* text) {
        return transport.CreateStringHandle(instance, text);
    };
    const DdeHandle conv = transport.Connect(instance, atom("PlantSim"), atom("Werte"));
    ASSERT_TRUE(transport.ClientTransaction(conv, atom("Q"), kCfText, kXtypAdvStart, 10));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].data, std::string("1\r\n\0", 4));
    EXPECT_EQ(server.LinkCount("plantsim", "WERTE", "q"), 1);
    EXPECT_EQ(server.LinkCount("PlantSim", "Werte", "T"), 0);
    EXPECT_EQ(server.Publish("PlantSim", "Werte", "Q", "2\r\n"), 1);
    transport.FailInitialize(kDmlErrBusy, 7);
    EXPECT_TRUE(transport.Disconnect(transport.Connect(instance, atom("PlantSim"), atom("Werte"))));
    transport.Uninitialize(instance);
    EXPECT_EQ(server.LinkCount("PlantSim", "Werte", "Q"), 0);
    EXPECT_EQ(server.ConversationCount(), 0u);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"Connect PlantSim Werte", "AdvStart Q 10",
                                        "Connect PlantSim Werte", "Disconnect", "Uninitialize"}));
    EXPECT_EQ(transport.Initialize(instance, nullptr), kDmlErrBusy);
    EXPECT_EQ(instance, 7);
}

}  // namespace
}  // namespace tarvedde

#include "sources/socket_dde_transport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "tests/sources/socket_dde_test_support.h"

namespace tarvedde {
namespace {

using testing::PumpUntil;
using testing::RawPeer;
using testing::ServerThread;
using testing::TempDdeDirectory;

class SocketDdeTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = MakeSystemClock();
        loop = PollEventLoop::Create(*clock).value();
        transport = std::make_unique<SocketDdeTransport>(
            *loop, dir.path(), [this](const std::string& line) { log += line + "\n"; });
        ASSERT_EQ(transport->Initialize(instance,
                                        [this](const DdeNotification& n) {
                                            seen.push_back(n);
                                            if (n.type == kXtypDisconnect) {
                                                disconnectInCallback =
                                                    transport->Disconnect(n.conversation);
                                            }
                                            return 0u;
                                        }),
                  kDmlErrNoError);
    }
    std::unique_ptr<ServerThread> StartServer() {
        auto server = std::make_unique<ServerThread>(dir.path(), "PlantSim", "Werte");
        EXPECT_TRUE(server->started());
        server->Do([](SocketDdeServer& s) {
            s.Publish("Q", "12,5\r\n");
            s.Publish("T", "8\r\n");
            s.SetRequestText("T", "Temperatur");
        });
        return server;
    }
    DdeHandle Atom(const std::string& text) {
        return transport->CreateStringHandle(instance, text);
    }
    DdeHandle Open(const std::string& topic = "WERTE") {
        return transport->Connect(instance, Atom("plantsim"), Atom(topic));
    }
    std::optional<std::string> Transact(DdeHandle conv, const std::string& item, std::uint32_t type,
                                        int timeoutMs = 2000) {
        return transport->ClientTransaction(conv, Atom(item), kCfText, type, timeoutMs);
    }
    int Count(std::uint32_t type) const {
        int count = 0;
        for (const auto& n : seen) {
            count += n.type == type ? 1 : 0;
        }
        return count;
    }
    std::string RawPath() {
        return DdeSocketPath(PrepareDdeDirectory(dir.path()).value(), "PlantSim").value();
    }

    TempDdeDirectory dir;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<PollEventLoop> loop;
    std::unique_ptr<SocketDdeTransport> transport;
    std::int32_t instance = 0;
    std::vector<DdeNotification> seen;
    std::string log;
    bool disconnectInCallback = false;  // the client ends a lost conversation, as DDEML allows
};

TEST_F(SocketDdeTest, ConnectAdviseDataAndRequest) {
    auto server = StartServer();
    EXPECT_EQ(Open("Andere"), 0u);
    EXPECT_EQ(transport->GetLastError(instance), kDmlErrNoConvEstablished);
    DdeHandle conv = Open();
    ASSERT_NE(conv, 0u);
    EXPECT_EQ(transport->GetLastError(instance), kDmlErrNoError);

    ASSERT_EQ(Transact(conv, "q", kXtypAdvStart), std::string());
    ASSERT_TRUE(PumpUntil(*loop, [&] { return seen.size() == 1; }));  // the current value
    EXPECT_EQ(seen[0].type, kXtypAdvData);
    EXPECT_EQ(seen[0].conversation, conv);
    EXPECT_EQ(seen[0].item, Atom("Q"));
    EXPECT_EQ(seen[0].data, std::string("12,5\r\n\0", 7));
    server->Do([](SocketDdeServer& s) {
        s.Publish("Q", "13\r\n");
        s.Publish("T", "9\r\n");  // not advised: never sent
        s.Publish("Q", "14\r\n");
    });
    ASSERT_TRUE(PumpUntil(*loop, [&] { return seen.size() == 3; }));
    EXPECT_EQ(seen[1].data, std::string("13\r\n\0", 5));
    EXPECT_EQ(seen[2].data, std::string("14\r\n\0", 5));

    EXPECT_FALSE(Transact(conv, "Unbekannt", kXtypAdvStart));
    EXPECT_EQ(transport->GetLastError(instance), kDmlErrNotProcessed);
    EXPECT_EQ(Transact(conv, "T", kXtypRequest), std::string("Temperatur\0", 11));
    EXPECT_EQ(Transact(conv, "Q", kXtypRequest), std::string("14\r\n\0", 5));
    EXPECT_EQ(Transact(conv, "Q", kXtypAdvStop), std::string());
    EXPECT_FALSE(Transact(conv, "Q", kXtypAdvStop));
    server->Do([](SocketDdeServer& s) { s.Publish("Q", "15\r\n"); });
    EXPECT_FALSE(PumpUntil(
        *loop, [&] { return seen.size() > 3; }, 200));
}

TEST_F(SocketDdeTest, NoServerNoConversation) {
    EXPECT_EQ(Open(), 0u);
    EXPECT_EQ(transport->GetLastError(instance), kDmlErrNoConvEstablished);
    EXPECT_TRUE(log.empty());
}

TEST_F(SocketDdeTest, ServerEndGivesOneDisconnectClientEndGivesNone) {
    auto server = StartServer();
    DdeHandle first = Open();
    ASSERT_NE(first, 0u);
    server->Do([](SocketDdeServer& s) { s.DropAll(); });
    ASSERT_TRUE(PumpUntil(*loop, [&] { return Count(kXtypDisconnect) == 1; }));
    EXPECT_EQ(seen.back().conversation, first);
    EXPECT_TRUE(disconnectInCallback);
    EXPECT_FALSE(Transact(first, "Q", kXtypRequest));
    EXPECT_EQ(transport->GetLastError(instance), kDmlErrNoConvEstablished);

    DdeHandle second = Open();
    ASSERT_NE(second, 0u);
    EXPECT_TRUE(transport->Disconnect(second));
    EXPECT_FALSE(transport->Disconnect(second));
    std::size_t left = 1;
    for (int i = 0; i < 100 && left != 0; ++i) {
        server->Do([&](SocketDdeServer& s) { left = s.ConversationCount(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(left, 0u);
    EXPECT_FALSE(PumpUntil(
        *loop, [&] { return Count(kXtypDisconnect) > 1; }, 200));
}

TEST_F(SocketDdeTest, DeadServerGivesDisconnectExactlyOnce) {
    auto server = StartServer();
    DdeHandle conv = Open();
    ASSERT_TRUE(Transact(conv, "Q", kXtypAdvStart));
    server->Stop();
    ASSERT_TRUE(PumpUntil(*loop, [&] { return Count(kXtypDisconnect) == 1; }));
    EXPECT_FALSE(PumpUntil(
        *loop, [&] { return Count(kXtypDisconnect) > 1; }, 200));
    EXPECT_EQ(Open(), 0u);
}

TEST_F(SocketDdeTest, StalledServerTimesOutAndTheLateAnswerIsIgnored) {
    auto server = StartServer();
    DdeHandle conv = Open();
    server->Do([](SocketDdeServer& s) { s.SetStalled(true); });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Transact(conv, "T", kXtypRequest, 150));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    EXPECT_EQ(transport->GetLastError(instance), kDmlErrDataAckTimeout);
    EXPECT_FALSE(Transact(conv, "T", kXtypRequest, 50));
    server->Do([](SocketDdeServer& s) { s.SetStalled(false); });
    // Both late answers arrive first; the transaction takes only its own.
    EXPECT_EQ(Transact(conv, "T", kXtypRequest), std::string("Temperatur\0", 11));
    EXPECT_EQ(Count(kXtypDisconnect), 0);
}

// Link setup goes item by item: a hung server must cost one time-out, not one per item.
TEST_F(SocketDdeTest, AnUnansweredLinkRequestEndsTheConversation) {
    auto server = StartServer();
    DdeHandle conv = Open();
    server->Do([](SocketDdeServer& s) { s.SetStalled(true); });
    EXPECT_FALSE(Transact(conv, "Q", kXtypAdvStart, 100));
    EXPECT_EQ(transport->GetLastError(instance), kDmlErrAdvAckTimeout);
    EXPECT_EQ(Count(kXtypDisconnect), 1);
    EXPECT_NE(log.find("no answer to a link request within 100 ms"), std::string::npos) << log;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Transact(conv, "T", kXtypAdvStart, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(transport->GetLastError(instance), kDmlErrNoConvEstablished);
}

TEST_F(SocketDdeTest, GarbageFromTheServerEndsTheConversationWithALogLine) {
    auto server = StartServer();
    DdeHandle conv = Open();
    ASSERT_NE(conv, 0u);
    server->Do([](SocketDdeServer& s) { s.SendGarbage(); });
    ASSERT_TRUE(PumpUntil(*loop, [&] { return Count(kXtypDisconnect) == 1; }));
    EXPECT_NE(log.find("exceeds the limit"), std::string::npos) << log;
}

TEST_F(SocketDdeTest, DataDuringATransactionReachesTheCallbackBeforeItReturns) {
    RawPeer peer(RawPath(), [](int fd) {
        DdeFrameDecoder decoder;
        DdeMessage m;
        if (!RawPeer::ReadFrame(fd, decoder, m))
            return;
        RawPeer::Write(fd, RawPeer::ReplyFrame(m.sequence));
        if (!RawPeer::ReadFrame(fd, decoder, m))
            return;
        RawPeer::Write(fd, EncodeDdeFrame({DdeFrameType::kData, 0, 0, "Q", "7\r\n"}) +
                               RawPeer::ReplyFrame(m.sequence, "x") +
                               EncodeDdeFrame({DdeFrameType::kData, 0, 0, "Q", "8\r\n"}));
        RawPeer::ReadFrame(fd, decoder, m);  // until the client goes
    });
    DdeHandle conv = Open();
    ASSERT_NE(conv, 0u);
    EXPECT_EQ(Transact(conv, "Q", kXtypRequest), "x");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].data, "7\r\n");
    // The frame read behind the reply comes without the socket turning readable again.
    ASSERT_TRUE(PumpUntil(*loop, [&] { return seen.size() == 2; }));
    EXPECT_EQ(seen[1].data, "8\r\n");
    transport->Disconnect(conv);
}

TEST_F(SocketDdeTest, OversizedFrameDuringATransactionEndsTheConversation) {
    RawPeer peer(RawPath(), [](int fd) {
        DdeFrameDecoder decoder;
        DdeMessage m;
        if (!RawPeer::ReadFrame(fd, decoder, m))
            return;
        RawPeer::Write(fd, RawPeer::ReplyFrame(m.sequence));
        if (!RawPeer::ReadFrame(fd, decoder, m))
            return;
        std::string header("\x01\x00\x01\x00\x06", 5);  // 65537 bytes announced
        RawPeer::Write(fd, header + std::string(100, 'x'));
        RawPeer::ReadFrame(fd, decoder, m);
    });
    DdeHandle conv = Open();
    ASSERT_NE(conv, 0u);
    EXPECT_FALSE(Transact(conv, "Q", kXtypAdvStart));
    EXPECT_EQ(transport->GetLastError(instance), kDmlErrServerDied);
    EXPECT_EQ(Count(kXtypDisconnect), 1);
    EXPECT_NE(log.find("65537 bytes exceeds"), std::string::npos) << log;
    EXPECT_FALSE(transport->Disconnect(conv));
}

TEST_F(SocketDdeTest, ServerDropsAClientThatSendsGarbage) {
    auto server = StartServer();
    auto fd = ConnectDdeSocket(RawPath());
    ASSERT_TRUE(fd.ok());
    RawPeer::Write(fd.value(), std::string("\x0b\x00\x00\x00\x09", 5) + std::string(10, 'z'));
    ASSERT_TRUE(WaitReadable(fd.value(), 2000));
    std::string bytes;
    std::string error;
    EXPECT_EQ(ReadSome(fd.value(), bytes, error), ReadOutcome::kClosed);
    close(fd.value());
    EXPECT_NE(server->Log().find("unknown frame type 9"), std::string::npos) << server->Log();
}

// A hung server listens but accepts nothing: once its queue is full, a connect fails at
// once instead of waiting for it, and the server still counts as live for a second one.
TEST_F(SocketDdeTest, AHungServerWithAFullQueueFailsConnectsAtOnceAndKeepsItsSocket) {
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = RawPath();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    auto queued = ConnectDdeSocket(path);  // the one connection the queue holds
    ASSERT_TRUE(queued.ok());
    EXPECT_FALSE(ConnectDdeSocket(path).ok());
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(Open(), 0u);
    auto second = SocketDdeServer::Create(*loop, dir.path(), "PlantSim", "Werte", nullptr);
    ASSERT_FALSE(second.ok());
    EXPECT_NE(second.error().message.find("already listens"), std::string::npos);
    close(queued.value());
    close(listener);
}

TEST(DdeDirectory, RefusesADirectoryOthersMayWrite) {
    TempDdeDirectory dir;
    ASSERT_TRUE(PrepareDdeDirectory(dir.path()).ok());
    ASSERT_TRUE(PrepareDdeDirectory(dir.path()).ok());  // existing and private: fine
    chmod(dir.path().c_str(), 0720);
    EXPECT_FALSE(PrepareDdeDirectory(dir.path()).ok());
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(DdeSocketPath("/d", "Plant Sim/1").value(), "/d/PLANT_SIM_1.dde");
    EXPECT_FALSE(DdeSocketPath("/d", "").ok());
    EXPECT_TRUE(DdeSocketPath("/d", std::string(100, 'a')).ok());
    EXPECT_FALSE(DdeSocketPath("/d", std::string(101, 'a')).ok());
}

}  // namespace
}  // namespace tarvedde

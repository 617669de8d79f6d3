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

// A raw peer that answers the connect, runs `then` on the client's next frame and stays
// until the client goes.
RawPeer PeerAfterConnect(const std::string& path,
                         std::function<void(int fd, const DdeMessage&)> then) {
    return RawPeer(path, [then = std::move(then)](int fd) {
        DdeFrameDecoder decoder;
        DdeMessage m;
        if (!RawPeer::ReadFrame(fd, decoder, m))
            return;
        RawPeer::Write(fd, RawPeer::ReplyFrame(m.sequence));
        if (!RawPeer::ReadFrame(fd, decoder, m))
            return;
        then(fd, m);
        RawPeer::ReadFrame(fd, decoder, m);
    });
}

// What only the socket transport has: frames, their limits and the DDE directory. The
// behaviour both transports share is in dde_transport_contract_test.cpp.
class SocketDdeTest : public ::testing::Test {
protected:
    void SetUp() override {
        transport.Initialize(instance, [this](const DdeNotification& n) {
            seen.push_back(n);
            return 0u;
        });
    }
    DdeHandle Open() {
        return transport.Connect(instance, transport.CreateStringHandle(instance, "plantsim"),
                                 transport.CreateStringHandle(instance, "Werte"));
    }
    std::optional<std::string> Transact(DdeHandle conv, std::uint32_t type) {
        return transport.ClientTransaction(conv, transport.CreateStringHandle(instance, "Q"),
                                           kCfText, type, 2000);
    }
    std::string RawPath() {
        return DdeSocketPath(PrepareDdeDirectory(dir.path()).value(), "PlantSim").value();
    }

    TempDdeDirectory dir;
    std::unique_ptr<Clock> clock = MakeSystemClock();
    std::unique_ptr<PollEventLoop> loop = PollEventLoop::Create(*clock).value();
    std::string log;
    SocketDdeTransport transport{*loop, dir.path(),
                                 [this](const std::string& line) { log += line + "\n"; }};
    std::int32_t instance = 0;
    std::vector<DdeNotification> seen;
};

TEST_F(SocketDdeTest, GarbageFromTheServerEndsTheConversationWithALogLine) {
    ServerThread server(dir.path(), "PlantSim", "Werte");
    ASSERT_NE(Open(), 0u);
    server.Do([](SocketDdeServer& s) { s.SendGarbage(); });
    ASSERT_TRUE(PumpUntil(*loop, [&] { return seen.size() == 1; }));
    EXPECT_EQ(seen[0].type, kXtypDisconnect);
    EXPECT_NE(log.find("exceeds the limit"), std::string::npos) << log;
}

TEST_F(SocketDdeTest, DataDuringATransactionReachesTheCallbackBeforeItReturns) {
    RawPeer peer = PeerAfterConnect(RawPath(), [](int fd, const DdeMessage& m) {
        RawPeer::Write(fd, EncodeDdeFrame({DdeFrameType::kData, 0, 0, "Q", "7\r\n"}) +
                               RawPeer::ReplyFrame(m.sequence, "x") +
                               EncodeDdeFrame({DdeFrameType::kData, 0, 0, "Q", "8\r\n"}));
    });
    DdeHandle conv = Open();
    ASSERT_NE(conv, 0u);
    EXPECT_EQ(Transact(conv, kXtypRequest), "x");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].data, "7\r\n");
    // The frame read behind the reply comes without the socket turning readable again.
    ASSERT_TRUE(PumpUntil(*loop, [&] { return seen.size() == 2; }));
    EXPECT_EQ(seen[1].data, "8\r\n");
    transport.Disconnect(conv);
}

TEST_F(SocketDdeTest, OversizedFrameDuringATransactionEndsTheConversation) {
    RawPeer peer = PeerAfterConnect(RawPath(), [](int fd, const DdeMessage&) {
        std::string header("\x01\x00\x01\x00\x06", 5);  // 65537 bytes announced
        RawPeer::Write(fd, header + std::string(100, 'x'));
    });
    DdeHandle conv = Open();
    ASSERT_NE(conv, 0u);
    EXPECT_FALSE(Transact(conv, kXtypAdvStart));
    EXPECT_EQ(transport.GetLastError(instance), kDmlErrServerDied);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, kXtypDisconnect);
    EXPECT_NE(log.find("65537 bytes exceeds"), std::string::npos) << log;
    EXPECT_FALSE(transport.Disconnect(conv));
}

TEST_F(SocketDdeTest, ServerDropsAClientThatSendsGarbage) {
    ServerThread server(dir.path(), "PlantSim", "Werte");
    auto fd = ConnectDdeSocket(RawPath());
    ASSERT_TRUE(fd.ok());
    RawPeer::Write(fd.value(), std::string("\x0b\x00\x00\x00\x09", 5) + std::string(10, 'z'));
    ASSERT_TRUE(WaitReadable(fd.value(), 2000));
    std::string bytes;
    std::string error;
    EXPECT_EQ(ReadSome(fd.value(), bytes, error), ReadOutcome::kClosed);
    close(fd.value());
    EXPECT_NE(server.Log().find("unknown frame type 9"), std::string::npos) << server.Log();
}

// A hung server listens but accepts nothing: a connect its queue takes waits out its
// time-out; once the queue is full, a connect fails at once instead of waiting, and the
// server still counts as live for a second one.
TEST_F(SocketDdeTest, AHungServerCostsAConnectItsTimeOutAtMostAndKeepsItsSocket) {
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = RawPath();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    using std::chrono::milliseconds;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Open(), 0u);  // the one connection the queue holds
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              milliseconds(SocketDdeTransport::kConnectTimeoutMs));
    EXPECT_FALSE(ConnectDdeSocket(path).ok());
    EXPECT_EQ(errno, EAGAIN);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(Open(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1000));
    auto second = SocketDdeServer::Create(*loop, dir.path(), "PlantSim", "Werte", nullptr);
    ASSERT_FALSE(second.ok());
    EXPECT_NE(second.error().message.find("already listens"), std::string::npos);
    close(listener);
}

// Whoever may enter the directory could put a socket of their own in a server's place.
TEST(DdeDirectory, AnyGroupOrOtherBitRefusesTheDirectory) {
    TempDdeDirectory dir;
    ASSERT_TRUE(PrepareDdeDirectory(dir.path()).ok());
    for (const mode_t mode : {0720u, 0755u, 0750u, 0701u, 0710u}) {
        chmod(dir.path().c_str(), mode);
        EXPECT_FALSE(PrepareDdeDirectory(dir.path()).ok()) << std::oct << mode;
    }
    chmod(dir.path().c_str(), 0700);
    EXPECT_TRUE(PrepareDdeDirectory(dir.path()).ok());  // existing and private: fine
    EXPECT_EQ(DdeSocketPath("/d", "Plant Sim/1").value(), "/d/PLANT_SIM_1.dde");
    EXPECT_FALSE(DdeSocketPath("/d", "").ok());
    EXPECT_TRUE(DdeSocketPath("/d", std::string(100, 'a')).ok());
    EXPECT_FALSE(DdeSocketPath("/d", std::string(101, 'a')).ok());
}

}  // namespace
}  // namespace tarvedde

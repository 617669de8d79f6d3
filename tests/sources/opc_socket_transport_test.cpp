// The OPC socket transport against servers that break the protocol, stall or die, and
// the socket server against clients that do: every failure is an OpcResult within the
// call time-out, never a hang or a crash. What a well-behaved server answers is the
// contract suite's part (tests/tools/opc_contract_test.cpp).
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>

#include "sources/in_memory_opc_server.h"
#include "sources/opc_socket_server.h"
#include "sources/opc_socket_transport.h"
#include "sources/opc_socket_wire.h"
#include "tests/sources/socket_dde_test_support.h"

namespace tarvedde {
namespace {

using testing::PumpUntil;
using testing::RawPeer;
using testing::TempDdeDirectory;

constexpr int kTimeoutMs = 200;

bool ReadOpcFrame(int fd, OpcFrameDecoder& decoder, OpcFrame& frame) {
    std::string error;
    while (decoder.Next(frame, error) == OpcFrameDecoder::Outcome::kNeedMore) {
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got <= 0) {
            return false;
        }
        decoder.Feed(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
    return true;
}

void Write(int fd, const std::string& bytes) {
    (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::string Reply(const OpcFrame& request, OpcResult result, const std::string& outputs = {}) {
    return EncodeOpcFrame({OpcFrameKind::kReply, request.sequence, request.op,
                           WireWriter().U32(result).Take() + outputs});
}

// Waits until the client closes the connection.
void Linger(int fd) {
    char byte;
    while (read(fd, &byte, 1) > 0) {
    }
}

class OpcSocketTransportTest : public ::testing::Test {
protected:
    std::unique_ptr<OpcServer> Create(OpcResult expected) {
        std::unique_ptr<OpcServer> server;
        EXPECT_EQ(transport.CreateServer("", "{Evil}", server), expected);
        return server;
    }
    std::string Path() { return PrepareDdeDirectory(dir.path()).value() + "/EVIL.opc"; }

    TempDdeDirectory dir;
    std::unique_ptr<Clock> clock = MakeSystemClock();
    std::unique_ptr<PollEventLoop> loop = PollEventLoop::Create(*clock).value();
    std::string log;
    SocketOpcTransport transport{*loop,
                                 {dir.path(), "PLANT-PC", 1, kTimeoutMs},
                                 [this](const std::string& line) { log += line + "\n"; }};
};

struct Misbehaviour {
    const char* name;
    std::function<void(int fd, const OpcFrame& request)> answer;
    OpcResult expected;
};

// A frame of one-byte empty values would decode into a list forty times its size.
TEST(OpcSocketWire, AListLargerInMemoryThanTheBoundIsRefused) {
    const std::uint32_t count = kOpcMaxFrameBytes - 4;
    std::string frame(4 + count, '\0');
    for (int b = 0; b < 4; ++b) {
        frame[static_cast<std::size_t>(b)] = static_cast<char>(count >> (8 * b));
    }
    WireReader in(frame);
    std::vector<OpcValue> values;
    Get(in, values);
    EXPECT_FALSE(in.Ok());
    EXPECT_TRUE(values.empty());
    const std::string three("\3\0\0\0\0\0\0", 7);
    WireReader few(three);
    Get(few, values);
    EXPECT_TRUE(few.Done());
    EXPECT_EQ(values.size(), 3U);
}

class OpcHostileServer : public OpcSocketTransportTest,
                         public ::testing::WithParamInterface<Misbehaviour> {};

// The server object's creation meets each misbehaviour: an error within the time-out.
TEST_P(OpcHostileServer, CreateFailsWithinTheTimeOut) {
    RawPeer peer(Path(), [](int fd) {
        OpcFrameDecoder decoder;
        OpcFrame request;
        if (ReadOpcFrame(fd, decoder, request)) {
            GetParam().answer(fd, request);
        }
        Linger(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Create(GetParam().expected), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4 * kTimeoutMs));
    EXPECT_NE(log.find("dropped"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OpcHostileServer,
    ::testing::Values(
        Misbehaviour{"Silent", [](int, const OpcFrame&) {}, kRpcETimeout},
        Misbehaviour{"Late",
                     [](int fd, const OpcFrame& request) {
                         std::this_thread::sleep_for(std::chrono::milliseconds(2 * kTimeoutMs));
                         Write(fd, Reply(request, kSOk));
                     },
                     kRpcETimeout},
        Misbehaviour{
            "HugeLength",
            [](int fd, const OpcFrame&) { Write(fd, std::string("\xFF\xFF\xFF\x7F\x02", 5)); },
            kRpcProtocolError},
        Misbehaviour{"UnknownKind",
                     [](int fd, const OpcFrame&) {
                         Write(fd, std::string("\x07\x00\x00\x00\x09\x01\x00\x00\x00\x02\x00", 11));
                     },
                     kRpcProtocolError},
        Misbehaviour{"TruncatedThenClosed",
                     [](int fd, const OpcFrame& request) {
                         Write(fd, Reply(request, kSOk).substr(0, 9));
                         shutdown(fd, SHUT_WR);
                     },
                     kRpcServerUnavailable},
        Misbehaviour{"ReplyWithoutResult",
                     [](int fd, const OpcFrame& request) {
                         Write(fd, EncodeOpcFrame({OpcFrameKind::kReply, request.sequence,
                                                   request.op, "\x01"}));
                     },
                     kRpcProtocolError},
        Misbehaviour{"SuccessWithStrayBytes",
                     [](int fd, const OpcFrame& request) { Write(fd, Reply(request, kSOk, "x")); },
                     kRpcProtocolError},
        Misbehaviour{"RequestFromTheServer",
                     [](int fd, const OpcFrame& request) {
                         Write(fd, EncodeOpcFrame({OpcFrameKind::kRequest, 1, OpcOp::kList, {}}));
                         Write(fd, Reply(request, kSOk));
                     },
                     kRpcProtocolError}),
    [](const auto& kind) { return std::string(kind.param.name); });

// A server that accepts the object and then breaks: the broken call fails at once, and
// so does every later one instead of waiting its time-out again.
TEST_F(OpcSocketTransportTest, BrokenAnswerDropsTheObjectAndLaterCallsFailAtOnce) {
    RawPeer peer(Path(), [](int fd) {
        OpcFrameDecoder decoder;
        OpcFrame request;
        ReadOpcFrame(fd, decoder, request);
        Write(fd, Reply(request, kSOk));
        ReadOpcFrame(fd, decoder, request);
        // AddItems results announcing four thousand million entries.
        Write(fd, Reply(request, kSOk, WireWriter().U32(0xFFFF'FFFF).U32(1).Take()));
        Linger(fd);
    });
    std::unique_ptr<OpcServer> server = Create(kSOk);
    ASSERT_NE(server, nullptr);
    std::vector<OpcItemResult> results;
    EXPECT_EQ(server->AddItems(7, {{"", "Q"}}, results), kRpcProtocolError);
    const auto start = std::chrono::steady_clock::now();
    OpcGroupState state;
    EXPECT_EQ(server->GetState(7, state), kRpcServerUnavailable);
    EXPECT_EQ(server->GroupInterfaces(7), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kTimeoutMs / 2));
}

// A push that arrives before the answer to its advise is not lost: it runs once the call
// has returned and the cookie is known. A malformed push afterwards drops the server.
TEST_F(OpcSocketTransportTest, PushBeforeItsAdviseAnswerRunsAfterTheCall) {
    RawPeer peer(Path(), [](int fd) {
        OpcFrameDecoder decoder;
        OpcFrame request;
        ReadOpcFrame(fd, decoder, request);
        Write(fd, Reply(request, kSOk));
        ReadOpcFrame(fd, decoder, request);  // AdviseDataCallback for group 7
        WireWriter push;
        push.U32(7).U32(42);
        Put(push, OpcDataChange{3, {11}, {OpcValue{2.5}}, {kOpcQualityGood}, {45356.25}});
        Write(fd, EncodeOpcFrame({OpcFrameKind::kPush, 0, OpcOp::kDataChangePush, push.Take()}));
        Write(fd, Reply(request, kSOk, WireWriter().U32(42).Take()));
        Write(fd, EncodeOpcFrame({OpcFrameKind::kPush, 0, OpcOp::kDataChangePush, "\x07"}));
        Linger(fd);
    });
    std::unique_ptr<OpcServer> server = Create(kSOk);
    ASSERT_NE(server, nullptr);
    std::vector<OpcDataChange> changes;
    std::uint32_t cookie = 0;
    ASSERT_EQ(server->AdviseDataCallback(
                  7, [&](const OpcDataChange& change) { changes.push_back(change); }, cookie),
              kSOk);
    EXPECT_EQ(cookie, 42u);
    EXPECT_TRUE(changes.empty());  // never inside the call
    ASSERT_TRUE(PumpUntil(*loop, [&] { return log.find("malformed push") != std::string::npos; }));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].clientHandles, std::vector<std::uint32_t>{11});
    EXPECT_EQ(changes[0].values, std::vector<OpcValue>{2.5});
    EXPECT_EQ(changes[0].timestamps, std::vector<double>{45356.25});
    OpcNamespaceType type{};
    EXPECT_EQ(server->QueryOrganization(type), kRpcServerUnavailable);
}

TEST_F(OpcSocketTransportTest, ListSkipsAHungEndpointAndAnUnreachableHostFails) {
    RawPeer hung(Path(), [](int fd) { Linger(fd); });
    RawPeer good(PrepareDdeDirectory(dir.path()).value() + "/GOOD.opc", [](int fd) {
        OpcFrameDecoder decoder;
        OpcFrame request;
        ReadOpcFrame(fd, decoder, request);
        WireWriter servers;
        Put(servers,
            std::vector<OpcServerInfo>{{"{G}", "Good.Sim", "Good", "Vendor", true, false}});
        Write(fd, Reply(request, kSOk, servers.Take()));
        Linger(fd);
    });
    std::vector<OpcServerInfo> servers;
    EXPECT_EQ(transport.ListServers("plant-pc", servers), kSOk);  // this machine, any case
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].progId, "Good.Sim");
    EXPECT_TRUE(servers[0].da1);
    EXPECT_FALSE(servers[0].da2);
    // Port 1 of the loopback address: nothing listens there.
    EXPECT_EQ(transport.ListServers("127.0.0.1", servers), kRpcServerUnavailable);
    std::unique_ptr<OpcServer> server;
    EXPECT_EQ(transport.CreateServer("127.0.0.1", "{G}", server), kRpcServerUnavailable);
}

// The server side: a client that breaks the protocol loses its connection, with a log
// line, and the server goes on serving the others.
class OpcSocketServerTest : public ::testing::TestWithParam<std::pair<const char*, std::string>> {
protected:
    void SetUp() override {
        backend.AddServer(sim);
        sim.SetValue("Q", 1.0);
        std::promise<bool> ready;
        thread = std::thread([&] {
            serverLoop = PollEventLoop::Create(*clock).value();
            OpcSocketServerOptions options;
            options.directory = dir.path();
            auto created = SocketOpcServer::Create(*serverLoop, backend, options,
                                                   [this](const std::string& line) {
                                                       std::lock_guard lock(mutex);
                                                       log += line + "\n";
                                                   });
            ready.set_value(created.ok());
            if (created) {
                server = std::move(created).value();
                serverLoop->Run();
                server.reset();
            }
        });
        ASSERT_TRUE(ready.get_future().get());
    }
    void TearDown() override {
        serverLoop->Post([this] { serverLoop->Quit(); });
        thread.join();
    }
    std::string Log() {
        std::lock_guard lock(mutex);
        return log;
    }

    TempDdeDirectory dir;
    std::unique_ptr<Clock> clock = MakeSystemClock();
    InMemoryOpcServer sim{"Tarvedde.Sim"};
    InMemoryOpcTransport backend;
    std::unique_ptr<PollEventLoop> serverLoop;
    std::unique_ptr<SocketOpcServer> server;
    std::thread thread;
    std::mutex mutex;
    std::string log;
};

TEST_P(OpcSocketServerTest, DropsTheClientAndServesTheNext) {
    const std::string path = PrepareDdeDirectory(dir.path()).value() + "/PLANTSIM.opc";
    int fd = ConnectDdeSocket(path).value();
    Write(fd, GetParam().second);
    ASSERT_TRUE(WaitReadable(fd, 2000));
    std::string bytes;
    std::string error;
    while (ReadSome(fd, bytes, error) == ReadOutcome::kData) {
        WaitReadable(fd, 2000);
    }
    close(fd);
    EXPECT_TRUE(bytes.empty()) << "answered a broken request";
    EXPECT_NE(Log().find("OPC client dropped: " + std::string(GetParam().first)), std::string::npos)
        << Log();

    auto clientLoop = PollEventLoop::Create(*clock).value();
    OpcSocketOptions options;
    options.directory = dir.path();
    SocketOpcTransport transport(*clientLoop, options, [](const std::string&) {});
    std::unique_ptr<OpcServer> object;
    EXPECT_EQ(transport.CreateServer("", "{Tarvedde.Sim}", object), kSOk);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OpcSocketServerTest,
    ::testing::Values(
        std::make_pair("malformed frame", std::string("\xFF\xFF\xFF\xFF\x01", 5)),
        std::make_pair("malformed request 7",  // a call before the server object exists
                       EncodeOpcFrame({OpcFrameKind::kRequest, 1, OpcOp::kAddGroup, {}})),
        std::make_pair("malformed request 2",  // a class id cut short
                       EncodeOpcFrame({OpcFrameKind::kRequest, 1, OpcOp::kCreate, "\x09\x00"})),
        std::make_pair("a frame of the server's kind",
                       EncodeOpcFrame({OpcFrameKind::kPush, 0, OpcOp::kShutdownPush, {}}))));

}  // namespace
}  // namespace tarvedde

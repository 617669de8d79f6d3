// plantsim as a real process: the socket transport connects to it, receives generated
// values on a hot link, gets REQUEST answers, survives its fault injection and sees a
// disconnect when the process is killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/poll_event_loop.h"
#include "sources/socket_dde_transport.h"
#include "tests/e2e/exec_child.h"

namespace tarvedde {
namespace {

bool PumpUntil(EventLoop& loop, const std::function<bool()>& done, int limitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        loop.ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

class PlantsimE2e : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/plantsim-e2e-XXXXXX";
        root = mkdtemp(pattern);
        std::ofstream(root + "/plant.ini")
            << "[Service]\r\nName=PlantSim\r\nTopic=Werte\r\n[Items]\r\nCount=2\r\n"
            << "[Item1]\r\nName=Zulauf\r\nGenerator=counter\r\nIntervalMs=100\r\nValue=1\r\n"
            << "Step=0,5\r\nDecimals=1\r\nWrap=0\r\n"
            << "[Item2]\r\nName=Pumpe\r\nGenerator=digital\r\nRequestText=AUS\r\n";
        clock = MakeSystemClock();
        loop = PollEventLoop::Create(*clock).value();
        transport =
            std::make_unique<SocketDdeTransport>(*loop, root + "/dde", [](const std::string&) {});
        ASSERT_EQ(transport->Initialize(instance,
                                        [this](const DdeNotification& n) {
                                            seen.push_back(n);
                                            return 0u;
                                        }),
                  kDmlErrNoError);
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::system(("rm -rf '" + root + "'").c_str());
    }
    void Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {
            PLANTSIM_PATH, "--config", root + "/plant.ini", "--dde-dir", root + "/dde",
            "--seed",      "7"};
        args.insert(args.end(), extra.begin(), extra.end());
        pid = fork();
        if (pid == 0) {
            testing::ExecChild(args);
        }
    }
    DdeHandle ConnectWithin(int limitMs) {
        DdeHandle service = transport->CreateStringHandle(instance, "plantsim");
        DdeHandle topic = transport->CreateStringHandle(instance, "werte");
        DdeHandle conv = 0;
        PumpUntil(
            *loop,
            [&] {
                if (conv == 0) {
                    conv = transport->Connect(instance, service, topic);
                }
                return conv != 0;
            },
            limitMs);
        return conv;
    }
    std::optional<std::string> Transact(DdeHandle conv, const char* item, std::uint32_t type) {
        return transport->ClientTransaction(conv, transport->CreateStringHandle(instance, item),
                                            kCfText, type, 5000);
    }
    int Count(std::uint32_t type) const {
        int count = 0;
        for (const auto& n : seen) {
            count += n.type == type ? 1 : 0;
        }
        return count;
    }

    std::string root;
    pid_t pid = -1;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<PollEventLoop> loop;
    std::unique_ptr<SocketDdeTransport> transport;
    std::int32_t instance = 0;
    std::vector<DdeNotification> seen;
};

TEST_F(PlantsimE2e, ValuesArriveAndKillingThePlantGivesADisconnect) {
    Start();
    DdeHandle conv = ConnectWithin(5000);
    ASSERT_NE(conv, 0u);
    ASSERT_TRUE(Transact(conv, "ZULAUF", kXtypAdvStart));
    EXPECT_EQ(Transact(conv, "Pumpe", kXtypRequest), std::string("AUS\0", 4));
    ASSERT_TRUE(PumpUntil(
        *loop, [&] { return Count(kXtypAdvData) >= 4; }, 5000));
    // A counter from 1 in steps of 0,5: the texts rise with a decimal comma and CR LF.
    std::vector<double> values;
    for (const auto& n : seen) {
        ASSERT_GE(n.data.size(), 4u);
        EXPECT_EQ(n.data.substr(n.data.size() - 3), std::string("\r\n\0", 3));
        EXPECT_NE(n.data.find(','), std::string::npos) << n.data;
        values.push_back(std::strtod(n.data.substr(0, n.data.find(',')).c_str(), nullptr) +
                         (n.data[n.data.find(',') + 1] - '0') / 10.0);
    }
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_DOUBLE_EQ(values[i] - values[i - 1], 0.5);
    }

    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
    ASSERT_TRUE(PumpUntil(
        *loop, [&] { return Count(kXtypDisconnect) == 1; }, 5000));
    EXPECT_EQ(seen.back().conversation, conv);
    EXPECT_FALSE(PumpUntil(
        *loop, [&] { return Count(kXtypDisconnect) > 1; }, 300));
}

TEST_F(PlantsimE2e, DropAndRefuseThenReconnectAndSigtermEndsCleanly) {
    Start({"--fault", "drop@800", "--fault", "refuse@700:800", "--control", root + "/control"});
    DdeHandle conv = ConnectWithin(5000);
    ASSERT_NE(conv, 0u);
    ASSERT_TRUE(PumpUntil(
        *loop, [&] { return Count(kXtypDisconnect) == 1; }, 5000));
    DdeHandle service = transport->CreateStringHandle(instance, "PlantSim");
    DdeHandle topic = transport->CreateStringHandle(instance, "Werte");
    EXPECT_EQ(transport->Connect(instance, service, topic), 0u);  // refused until 1500 ms
    DdeHandle again = ConnectWithin(5000);
    ASSERT_NE(again, 0u);
    ASSERT_TRUE(Transact(again, "Zulauf", kXtypAdvStart));
    std::ofstream(root + "/control.new") << "oversize\r\n";
    std::rename((root + "/control.new").c_str(), (root + "/control").c_str());
    ASSERT_TRUE(PumpUntil(
        *loop, [&] { return seen.back().data.size() == 10001; }, 5000));
    EXPECT_EQ(seen.back().data.substr(9996), std::string("99\r\n\0", 5));

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(access((root + "/dde/PLANTSIM.dde").c_str(), F_OK), 0);  // socket removed
    ASSERT_TRUE(PumpUntil(
        *loop, [&] { return Count(kXtypDisconnect) == 2; }, 5000));
}

}  // namespace
}  // namespace tarvedde

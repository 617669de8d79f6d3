// The OPC client component against plantsim as a real process: its command line, OPC
// section and control file. A counter's changes arrive at the group's rate, the control
// file's shutdown request disconnects the client, and once plantsim has ended its servers
// are gone from the list.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/poll_event_loop.h"
#include "platform/virtual_clock.h"
#include "sources/opc_client.h"
#include "sources/opc_socket_transport.h"
#include "tests/e2e/exec_child.h"
#include "tests/sources/pump_until.h"

namespace tarvedde::testing {
namespace {

constexpr char kPlantIni[] =
    "[OpcServer]\nProgID=Plantsim.Klaeranlage.1\nVendor=Tarvedde E2E\nRateStep=250\n"
    "[OpcItems]\nCount=2\n"
    "[OpcItem1]\nId=Anlage.Zulauf.Zaehler\nType=integer\nGenerator=counter\nIntervalMs=50\n"
    "Value=1\nMax=1000000\n"
    "[OpcItem2]\nId=Anlage.Pumpe\nType=boolean\nGenerator=digital\nPattern=1\n";

class Recorder : public TOpcClientEvents, public TDataChangeEvent {
public:
    void OnServerShutdown(TOpcSimpleClient& c) override { shutdown = c.ShutdownReason(); }
    void OnDataChange(TOpcGroup&, std::int32_t index, const OpcValue& value, std::uint16_t,
                      double) override {
        (index == 0 ? counts : pumps).push_back(value);
    }
    std::vector<OpcValue> counts;
    std::vector<OpcValue> pumps;
    std::string shutdown;
};

TEST(OpcPlantsimE2e, ValuesAtTheGroupRateShutdownRequestAndEnd) {
    char pattern[] = "/tmp/opc-e2e-XXXXXX";
    const std::string root = mkdtemp(pattern);
    const std::string dde = root + "/dde";
    std::ofstream(root + "/plant.ini") << kPlantIni;
    const pid_t plantsim = fork();
    if (plantsim == 0) {
        ExecChild({PLANTSIM_PATH, "--config", root + "/plant.ini", "--dde-dir", dde, "--control",
                   root + "/control", "--opc-endpoint", "E2E"});
    }
    ASSERT_GT(plantsim, 0);
    auto clock = MakeSystemClock();
    auto loop = PollEventLoop::Create(*clock).value();
    OpcSocketOptions options;
    options.directory = dde;
    SocketOpcTransport transport(*loop, options, [](const std::string&) {});
    std::vector<OpcServerInfo> servers;
    for (int i = 0; i < 500 && servers.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(transport.ListServers("", servers), kSOk);
    }
    VirtualClock virtualClock;
    Recorder recorder;
    {
        TOpcSimpleClient client(transport, virtualClock, TimeZone::Utc());
        client.SetEvents(&recorder);
        client.SetProgID("Plantsim.Klaeranlage.1");
        TOpcGroup& group = client.Groups().Add("Zulauf");
        group.SetUpdateRate(500);
        group.SetItems({"Anlage.Zulauf.Zaehler", "Anlage.Pumpe"});
        group.SetOnDataChange(&recorder);
        ASSERT_NO_THROW(client.Connect());
        EXPECT_EQ(client.Vendor(), "Tarvedde E2E");

        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(PumpUntil(
            *loop, [&] { return recorder.counts.size() >= 4; }, 5000));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        // The counter changes every 50 ms; at a 500-ms rate four deliveries take 1.5 s.
        EXPECT_GE(elapsed, std::chrono::milliseconds(1400));
        for (std::size_t i = 1; i < recorder.counts.size(); ++i) {
            EXPECT_GT(std::get<std::int32_t>(recorder.counts[i]),
                      std::get<std::int32_t>(recorder.counts[i - 1]));
        }
        EXPECT_EQ(recorder.pumps, std::vector<OpcValue>{true});  // it never changes

        std::ofstream(root + "/control") << "opc-shutdown Wartung\n";
        ASSERT_TRUE(PumpUntil(
            *loop, [&] { return !client.Active(); }, 3000));
        EXPECT_EQ(recorder.shutdown, "Wartung");
    }

    kill(plantsim, SIGTERM);
    int status = 0;
    waitpid(plantsim, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(transport.ListServers("", servers), kSOk);
    EXPECT_TRUE(servers.empty());
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace tarvedde::testing

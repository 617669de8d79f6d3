// The OPC client component against plantsim as a real process: its command line, OPC
// section and control file. A counter's changes arrive at the group's rate, the control
// file's shutdown request disconnects the client, and once plantsim has ended its servers
// are gone from the list. The client as the headless program wires it finds the same
// server through the DDE directory and writes the counter's values into its day file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/headless_runner.h"
#include "platform/poll_event_loop.h"
#include "platform/virtual_clock.h"
#include "sources/opc_client.h"
#include "sources/opc_socket_transport.h"
#include "tests/app/scenario_test_files.h"
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

TEST(OpcPlantsimE2e, TheHeadlessClientAcquiresOverOpc) {
    char pattern[] = "/tmp/opc-client-e2e-XXXXXX";
    const std::string root = mkdtemp(pattern);
    const std::string dde = root + "/dde";
    std::filesystem::create_directories(root + "/plant");
    std::ofstream(root + "/plant.ini") << kPlantIni;
    std::ofstream(root + "/plant/TARVEDDE.INI")
        << "[DDE]\nItemcount=1\nIntervall=1\nEinheit=0\nAutoStart=1\nTarveget=0\n"
           "[Items]\nItem1=Anlage.Zulauf.Zaehler\n[Itemnames]\nItem1=Zulauf\n"
           "[OPC]\nServer=Plantsim.Klaeranlage.1\n";
    const pid_t plantsim = fork();
    if (plantsim == 0) {
        ExecChild({PLANTSIM_PATH, "--config", root + "/plant.ini", "--dde-dir", dde,
                   "--opc-endpoint", "E2E"});
    }
    ASSERT_GT(plantsim, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // plantsim's start
    StartOptions options;
    options.programDir = root + "/plant/";
    options.sourceKind = SourceKind::Opc;
    auto client = HeadlessClient::Create(options, dde, root).value();
    ASSERT_TRUE(client->Engine().FormCreate());
    client->Engine().FormShow();
    // Rows whose counter value is above zero: the OPC values reached the cycle.
    const auto counted = [&] {
        std::vector<std::string> rows;
        for (const auto& entry : std::filesystem::directory_iterator(root + "/plant")) {
            if (entry.path().extension() == ".DAT") {
                std::ifstream file(entry.path(), std::ios::binary);
                for (const std::string& row :
                     CrLfLines(std::string(std::istreambuf_iterator<char>(file), {}))) {
                    if (row.substr(row.rfind(';') + 1) != "0,000") {
                        rows.push_back(row);
                    }
                }
            }
        }
        return rows;
    };
    const auto start = SteadyClock::now();
    while (counted().size() < 3 && MsSince(start) < 10000) {
        client->Loop().ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::vector<std::string> rows = counted();
    ASSERT_GE(rows.size(), 3U);
    EXPECT_NE(rows[0].substr(rows[0].rfind(';')), rows[2].substr(rows[2].rfind(';')));
    client.reset();
    kill(plantsim, SIGTERM);
    waitpid(plantsim, nullptr, 0);
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace tarvedde::testing

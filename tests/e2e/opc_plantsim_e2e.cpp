// OPC against plantsim as a real process. The client component: a counter's changes
// arrive at the group's rate, the control file's shutdown request disconnects the client,
// and once plantsim has ended its servers are gone from the list. The operator's whole
// path with the headless wiring: choose the server, browse, save [OPC_Neu], configure the
// items from it, acquire; a killed plantsim makes the watchdog start DDE-Wache.exe, which
// brings plantsim back, and acquisition goes on.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "dialogs/opc_session_dialogs.h"
#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "platform/poll_event_loop.h"
#include "platform/virtual_clock.h"
#include "sources/opc_client.h"
#include "sources/opc_socket_endpoint.h"
#include "sources/opc_socket_transport.h"
#include "tests/e2e/plantsim_fixture.h"

namespace tarvedde::testing {
namespace {

constexpr char kPlantIni[] =
    "[OpcServer]\nProgID=Plantsim.Klaeranlage.1\nVendor=Tarvedde E2E\nRateStep=250\n"
    "[OpcItems]\nCount=3\n"
    "[OpcItem1]\nId=Anlage.Zulauf.Zaehler\nType=integer\nGenerator=counter\nIntervalMs=50\n"
    "Value=1\nMax=1000000\n"
    "[OpcItem2]\nId=Anlage.Pumpe\nType=boolean\nGenerator=digital\nPattern=1\n"
    "[OpcItem3]\nId=Anlage.Ablauf.Q\nGenerator=sine\n";

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

class OpcPlantsimE2e : public PlantsimClientTest {
protected:
    void SetUp() override {
        PlantsimClientTest::SetUp();
        root_.WriteText("plant.ini", kPlantIni);
    }
    void TearDown() override {
        PlantsimClientTest::TearDown();
        // plantsim as the outside watchdog started it.
        const pid_t pid = std::atoi(root_.Bytes("wache.pid").c_str());
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0 && kill(pid, SIGKILL) == 0) {
            waitpid(pid, nullptr, 0);
        }
    }
    bool WaitForPlantsim() { return WaitForSocket(OpcSocketPath(ddeDir_, "plantsim").value()); }
    std::string MainIni(const std::string& section, const std::string& key) {
        return IniFile(*files_, plantDir_ + "TARVEDDE.INI").ReadString(section, key, "<none>");
    }
    std::unique_ptr<FileSystem> files_ = MakeRealFileSystem();
};

TEST_F(OpcPlantsimE2e, ValuesAtTheGroupRateShutdownRequestAndEnd) {
    StartPlantsim({"--control", root_.Path() + "control"});
    ASSERT_TRUE(WaitForPlantsim());
    auto clock = MakeSystemClock();
    auto loop = PollEventLoop::Create(*clock).value();
    OpcSocketOptions options;
    options.directory = ddeDir_;
    SocketOpcTransport transport(*loop, options, [](const std::string&) {});
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
        ASSERT_TRUE(tarvedde::testing::PumpUntil(
            *loop, [&] { return recorder.counts.size() >= 4; }, 5000));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        // The counter changes every 50 ms; at a 500-ms rate four deliveries take 1.5 s.
        EXPECT_GE(elapsed, std::chrono::milliseconds(1400));
        for (std::size_t i = 1; i < recorder.counts.size(); ++i) {
            EXPECT_GT(std::get<std::int32_t>(recorder.counts[i]),
                      std::get<std::int32_t>(recorder.counts[i - 1]));
        }
        EXPECT_EQ(recorder.pumps, std::vector<OpcValue>{true});  // it never changes

        std::ofstream(root_.Path() + "control") << "opc-shutdown Wartung\n";
        ASSERT_TRUE(tarvedde::testing::PumpUntil(
            *loop, [&] { return !client.Active(); }, 3000));
        EXPECT_EQ(recorder.shutdown, "Wartung");
    }

    kill(plantsim_, SIGTERM);
    int status = 0;
    waitpid(plantsim_, &status, 0);
    plantsim_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<OpcServerInfo> servers;
    EXPECT_EQ(transport.ListServers("", servers), kSOk);
    EXPECT_TRUE(servers.empty());
}

// The browser's node path from the root to the node whose text path is `path`.
std::vector<int> NodePath(const std::vector<TOpcNode>& nodes,
                          const std::vector<std::string>& path) {
    std::vector<int> indices;
    const std::vector<TOpcNode>* level = &nodes;
    for (const std::string& text : path) {
        const auto at = std::find_if(level->begin(), level->end(),
                                     [&](const TOpcNode& node) { return node.text == text; });
        if (at == level->end()) {
            return {};
        }
        indices.push_back(static_cast<int>(at - level->begin()));
        level = &at->children;
    }
    return indices;
}

// The watchdog's time is the configured 3 s instead of the default 180 s: the same code
// path, in real time.
TEST_F(OpcPlantsimE2e, TheOperatorsPathFromBrowsingToAcquisitionThroughAWatchdogRestart) {
    const std::string wache = plantDir_ + "DDE-Wache.exe";
    const std::string pidFile = root_.Path() + "wache.pid";
    std::ofstream(wache) << "#!/bin/sh\nkill -0 \"$(cat " << pidFile
                         << " 2>/dev/null)\" 2>/dev/null && exit 0\necho $$ > " << pidFile
                         << "\nexec " << PLANTSIM_PATH << " --config " << root_.Path()
                         << "plant.ini --dde-dir " << ddeDir_ << "\n";
    chmod(wache.c_str(), 0755);
    root_.WriteText("plant/TARVEDDE.INI",
                    "[DDE]\nIntervall=1\nEinheit=0\nAutoStart=0\nTarveget=0\n"
                    "[Grafiktyp]\nItem2=2\n[OPC]\nOPC_tot-Sekunden=3\n");
    StartPlantsim();
    ASSERT_TRUE(WaitForPlantsim());
    StartClient(SourceKind::Opc);
    {
        OpcSessionDialogs dialogs(client_->Engine());
        dialogs.showServerSelect = [](TServerSelectDlg& dialog) {
            for (std::size_t i = 0; i < dialog.lvServers.size(); ++i) {
                if (dialog.lvServers[i].caption == "Plantsim.Klaeranlage.1") {
                    dialog.selected = {static_cast<int>(i)};
                }
            }
            return dialog.btOKClick();
        };
        dialogs.showBrowser = [](TBrowseDlg& dialog) {
            for (const auto& path : {std::vector<std::string>{"Anlage", "Zulauf", "Zaehler"},
                                     std::vector<std::string>{"Anlage", "Pumpe"}}) {
                dialog.itb1Selected = NodePath(dialog.itb1.Nodes(), path);
                dialog.itb1MouseDown();
                dialog.itb1DblClick();
            }
            dialog.btSpeichernClick();
        };
        client_->Engine().SetOpcDialogs(&dialogs);
        ASSERT_TRUE(client_->Engine().MenuClick("Servereinstellen1"));
        ASSERT_TRUE(client_->Engine().MenuClick("Browser1"));
        ASSERT_TRUE(client_->Engine().FormClose());
        client_.reset();
    }
    EXPECT_EQ(MainIni("OPC", "Server"), "Plantsim.Klaeranlage.1");
    EXPECT_EQ(MainIni("OPC_Neu", "Server"), "Plantsim.Klaeranlage.1");
    ASSERT_EQ(MainIni("OPC_Neu", "Itemcount"), "2") << LogText();
    EXPECT_EQ(MainIni("OPC_Neu", "Item1"), "Anlage.Zulauf.Zaehler");
    EXPECT_EQ(MainIni("OPC_Neu", "Item2"), "Anlage.Pumpe");

    // The operator copies the saved items into [Items] and starts again.
    {
        IniFile ini(*files_, plantDir_ + "TARVEDDE.INI");
        ASSERT_TRUE(ini.WriteString("DDE", "Itemcount", "2").ok());
        ASSERT_TRUE(ini.WriteString("DDE", "AutoStart", "1").ok());
        ASSERT_TRUE(ini.WriteString("Items", "Item1", MainIni("OPC_Neu", "Item1")).ok());
        ASSERT_TRUE(ini.WriteString("Items", "Item2", MainIni("OPC_Neu", "Item2")).ok());
    }
    StartClient(SourceKind::Opc);
    ASSERT_TRUE(WaitForFreshValues(10000)) << LogText();
    // The counter rises; the boolean true of the digital item is "1".
    EXPECT_TRUE(DayValues(plantDir_).back().ends_with(";1,000")) << DayValues(plantDir_).back();
    EXPECT_EQ(LogCount("OPC_tot !"), 0);

    StopPlantsim(SIGKILL);
    ASSERT_TRUE(WaitForLogCount("OPC_tot ! Neustart der OPC-Verbindung...", 1, 10000)) << LogText();
    // The dropped link stops the cycles at once, not only the watchdog's silence.
    const std::string log = LogText();
    EXPECT_LT(log.find("*** OPC-Verbindung unterbrochen !"), log.find("OPC_tot !")) << log;
    ASSERT_TRUE(PumpUntil([&] { return root_.Bytes("wache.pid") != "<missing>"; }, 5000));
    ASSERT_TRUE(WaitForFreshValues(20000)) << LogText();
    EXPECT_EQ(client_->Engine().WarningWindow().lb1().Lines().front(),
              "Achtung! Die Verbindung zum OPC-Server ist unterbrochen.");
    // Each failure counted once, and none closed the program.
    const int failures = LogCount("OPC_tot !");
    EXPECT_EQ(MainIni("OPC", "OPC_Close_Count"), std::to_string(5 - failures));
    EXPECT_FALSE(client_->Engine().CloseRequested());
}

}  // namespace
}  // namespace tarvedde::testing

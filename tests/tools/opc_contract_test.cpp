// One contract for every OPC transport the client component runs on: the in-memory
// server (what engine and scenario tests talk to) must answer as plantsim's OPC face does
// over the local socket and over its loopback TCP port, driven through TOpcSimpleClient.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/civil_time.h"
#include "platform/date_time.h"
#include "platform/file_system.h"
#include "platform/virtual_clock.h"
#include "sources/in_memory_opc_server.h"
#include "sources/opc_client.h"
#include "sources/opc_socket_transport.h"
#include "tests/sources/opc_test_support.h"
#include "tests/sources/socket_dde_test_support.h"
#include "tools/plantsim/plantsim_opc.h"

namespace tarvedde {
namespace {

using testing::PumpUntil;

// Both sides serve this plant: values stamped 2024-03-05 07:00:00 UTC.
constexpr char kPlantIni[] = R"([OpcServer]
ProgID=Tarvedde.Sim
Vendor=Tarvedde Test
RateStep=250
[OpcServer2]
ProgID=Tarvedde.Flat
Vendor=Tarvedde Flach
DA2=0
Organization=flat
[OpcItems]
Count=6
[OpcItem1]
Id=Anlage.Zulauf.Q
Value=12,5
Min=0
Max=400
Unit=m3/h
[OpcItem2]
Id=Anlage.Zulauf.Pumpe
Type=boolean
Value=1
[OpcItem3]
Id=Anlage.Becken1.Zaehler
Type=integer
Value=42
Min=0
Max=100
[OpcItem4]
Id=Anlage.Status
Type=string
Text=Betrieb
Quality=64
[OpcItem5]
Server=2
Id=FIC101
Value=3
[OpcItem6]
Server=2
Id=TIC202
Value=4
)";

double StampUtc() {
    return VirtualClock().Now();  // the virtual clock's zone is UTC
}

class Side {
public:
    virtual ~Side() = default;
    virtual OpcTransport& Transport() = 0;
    virtual std::string Host() const { return ""; }
    // Lets the server deliver what is due.
    virtual void Pump() = 0;
    virtual void SetDelivery(std::uint32_t interfaces) = 0;
    virtual void RequestShutdown(const std::string& reason) = 0;
};

class InMemorySide : public Side {
public:
    InMemorySide() {
        sim.SetRateStep(250);
        flat.info.da2 = false;
        flat.SetOrganization(OpcNamespaceType::Flat);
        const double stamp = StampUtc();
        sim.SetValue("Anlage.Zulauf.Q", 12.5, kOpcQualityGood, stamp);
        sim.SetEngineeringUnits("Anlage.Zulauf.Q", 1, {0.0, 400.0});
        sim.AddProperty("Anlage.Zulauf.Q", 5000, "Einheit", std::string("m3/h"));
        sim.SetValue("Anlage.Zulauf.Pumpe", true, kOpcQualityGood, stamp);
        sim.SetValue("Anlage.Becken1.Zaehler", std::int32_t{42}, kOpcQualityGood, stamp);
        sim.SetEngineeringUnits("Anlage.Becken1.Zaehler", 1, {0.0, 100.0});
        sim.SetValue("Anlage.Status", std::string("Betrieb"), 64, stamp);
        flat.SetValue("FIC101", 3.0, kOpcQualityGood, stamp);
        flat.SetValue("TIC202", 4.0, kOpcQualityGood, stamp);
        for (const char* id : {"Anlage.Zulauf.Q", "Anlage.Zulauf.Pumpe", "Anlage.Becken1.Zaehler",
                               "Anlage.Status"}) {
            sim.AddProperty(id, 5002, "Generator", std::string("constant"));
        }
        transport.AddServer(sim);
        transport.AddServer(flat);
    }
    OpcTransport& Transport() override { return transport; }
    void Pump() override { sim.DeliverChanges(); }
    void SetDelivery(std::uint32_t interfaces) override { sim.SetGroupInterfaces(interfaces); }
    void RequestShutdown(const std::string& reason) override { sim.RequestShutdown(reason); }

    InMemoryOpcServer sim{"Tarvedde.Sim", "Tarvedde Test"};
    InMemoryOpcServer flat{"Tarvedde.Flat", "Tarvedde Flach"};
    InMemoryOpcTransport transport{"PLANT-PC"};
};

// plantsim's OPC face on a thread of its own, as in its process.
class PlantsimSide : public Side {
public:
    PlantsimSide(EventLoop& clientLoop, bool tcp) : tcp_(tcp), clock_(MakeSystemClock()) {
        const std::string ini = dir_.path() + ".ini";
        std::ofstream(ini) << kPlantIni;
        std::promise<bool> ready;
        thread_ = std::thread([&, ini] {
            loop_ = PollEventLoop::Create(*clock_).value();
            auto fs = MakeRealFileSystem();
            auto config = plantsim::LoadOpcPlantConfig(IniFile(*fs, ini)).value();
            OpcSocketServerOptions socket;
            socket.directory = dir_.path();
            if (tcp_) {
                socket.tcpPort = 0;
            }
            auto face = plantsim::PlantOpcFace::Start(
                *loop_, *clock_, wallClock_, TimeZone::Utc(), std::move(config), socket,
                [](const std::string&) {}, 1);
            if (!face) {
                ready.set_value(false);
                return;
            }
            face_ = std::move(face).value();
            ready.set_value(true);
            loop_->Run();
            face_.reset();
        });
        const bool started = ready.get_future().get();
        EXPECT_TRUE(started) << "plantsim's OPC face did not start";
        const std::uint16_t port = started ? face_->Socket().TcpPort() : 0;
        OpcSocketOptions options{dir_.path(), "PLANT-PC", port, 2000};
        transport_ =
            std::make_unique<SocketOpcTransport>(clientLoop, options, [](const std::string&) {});
    }
    ~PlantsimSide() override {
        if (face_) {
            loop_->Post([this] { loop_->Quit(); });
        }
        thread_.join();
    }
    OpcTransport& Transport() override { return *transport_; }
    std::string Host() const override { return tcp_ ? "127.0.0.1" : ""; }
    void Pump() override {}  // plantsim delivers on its own
    void SetDelivery(std::uint32_t interfaces) override {
        Do([&] { face_->SetDelivery(interfaces); });
    }
    void RequestShutdown(const std::string& reason) override {
        Do([&] { face_->RequestShutdown(reason); });
    }

private:
    void Do(const std::function<void()>& work) {
        std::promise<void> done;
        loop_->Post([&] {
            work();
            done.set_value();
        });
        done.get_future().wait();
    }

    bool tcp_;
    testing::TempDdeDirectory dir_;
    std::unique_ptr<Clock> clock_;
    VirtualClock wallClock_;
    std::unique_ptr<PollEventLoop> loop_;
    std::unique_ptr<plantsim::PlantOpcFace> face_;
    std::thread thread_;
    std::unique_ptr<SocketOpcTransport> transport_;
};

enum class SideKind { kInMemory, kPlantsimSocket, kPlantsimTcp };

class OpcContract : public ::testing::TestWithParam<SideKind>, public OpcEventRecorder {
protected:
    OpcContract() : OpcEventRecorder("dd.mm.yyyy hh:nn:ss") {}
    void SetUp() override {
        loop = PollEventLoop::Create(*systemClock).value();
        if (GetParam() == SideKind::kInMemory) {
            side = std::make_unique<InMemorySide>();
        } else {
            side = std::make_unique<PlantsimSide>(*loop, GetParam() == SideKind::kPlantsimTcp);
        }
        client = std::make_unique<TOpcSimpleClient>(side->Transport(), clock,
                                                    TimeZone::Fixed(60, "CET"));
        client->SetHostName(side->Host());
        client->SetProgID("Tarvedde.Sim");
        client->SetEvents(this);
    }
    void TearDown() override { client.reset(); }

    // Pumps client and server until `count` events are there.
    bool AwaitEvents(std::size_t count) {
        return PumpUntil(*loop, [&] {
            side->Pump();
            return events.size() >= count;
        });
    }

    std::unique_ptr<Clock> systemClock = MakeSystemClock();
    std::unique_ptr<PollEventLoop> loop;
    std::unique_ptr<Side> side;
    VirtualClock clock;
    std::unique_ptr<TOpcSimpleClient> client;
};

TEST_P(OpcContract, ListsServersWithVendorAndVersionsAndConnects) {
    std::vector<OpcServerInfo> servers = client->ServerList();
    std::sort(servers.begin(), servers.end(),
              [](const auto& a, const auto& b) { return a.progId < b.progId; });
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].progId, "Tarvedde.Flat");
    EXPECT_EQ(servers[0].vendor, "Tarvedde Flach");
    EXPECT_TRUE(servers[0].da1);
    EXPECT_FALSE(servers[0].da2);
    EXPECT_EQ(servers[1].progId, "Tarvedde.Sim");
    EXPECT_EQ(servers[1].classId, "{Tarvedde.Sim}");
    EXPECT_TRUE(servers[1].da1 && servers[1].da2);

    client->Connect();
    EXPECT_TRUE(client->Active());
    EXPECT_EQ(client->Vendor(), "Tarvedde Test");
    client->Disconnect();
    EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect"}));

    client->SetProgID("Tarvedde.Nirgends");
    EXPECT_THROW(client->Connect(), EOpcEnum);
    EXPECT_FALSE(client->Active());
}

// Every type with its quality and time stamp, the rejected line delivering nothing, the
// granted rate, through the 2.0 callback and the 1.0 stream.
TEST_P(OpcContract, TypedValuesByLineThroughBothPaths) {
    for (const bool callback : {true, false}) {
        SCOPED_TRACE(callback ? "2.0" : "1.0");
        events.clear();
        side->SetDelivery(callback ? kOpcGroupConnectionPoints : kOpcGroupDataObject);
        TOpcGroup& group =
            client->Groups().Count() == 0 ? client->Groups().Add("Becken") : client->Groups()[0];
        group.SetUpdateRate(300);
        group.SetItems({"Anlage.Zulauf.Q", "Anlage.Gibtsnicht", "Anlage.Zulauf.Pumpe",
                        "Anlage.Becken1.Zaehler", "Anlage.Status"});
        group.SetOnDataChange(this);
        client->Connect();
        ASSERT_TRUE(group.Connected());
        EXPECT_EQ(group.UsesDataCallback(), callback);
        EXPECT_EQ(group.UpdateRate(), 500u);  // rounded up to the server's 250-ms step
        EXPECT_EQ(group.ItemRecord(1), nullptr);
        ASSERT_NE(group.ItemRecord(0), nullptr);
        EXPECT_EQ(group.ItemRecord(0)->euType, 1u);
        EXPECT_EQ(group.ItemRecord(0)->euInfo, (std::vector<OpcValue>{0.0, 400.0}));

        ASSERT_TRUE(AwaitEvents(5));
        std::sort(events.begin() + 1, events.end());
        EXPECT_EQ(events, (std::vector<std::string>{
                              "connect",
                              "Becken 0 12,5 192 05.03.2024 08:00:00",
                              "Becken 2 True 192 05.03.2024 08:00:00",
                              "Becken 3 42 192 05.03.2024 08:00:00",
                              "Becken 4 Betrieb 64 05.03.2024 08:00:00",
                          }));
        group.SetUpdateRate(600);
        EXPECT_EQ(group.UpdateRate(), 750u);
        group.SetUpdateRate(300);
        client->Disconnect();
    }
}

TEST_P(OpcContract, BrowsesHierarchicalAndFlatAddressSpaces) {
    client->Connect();
    OpcServer& server = *client->Server();
    OpcNamespaceType organization{};
    ASSERT_EQ(server.QueryOrganization(organization), kSOk);
    EXPECT_EQ(organization, OpcNamespaceType::Hierarchical);
    std::vector<std::string> ids;
    EXPECT_EQ(server.BrowseOpcItemIds(OpcBrowseType::Branch, "", ids), kSOk);
    EXPECT_EQ(ids, std::vector<std::string>{"Anlage"});
    EXPECT_EQ(server.ChangeBrowsePosition(OpcBrowseDirection::Down, "Anlage"), kSOk);
    EXPECT_EQ(server.BrowseOpcItemIds(OpcBrowseType::Branch, "", ids), kSOk);
    EXPECT_EQ(ids, (std::vector<std::string>{"Becken1", "Zulauf"}));
    EXPECT_EQ(server.BrowseOpcItemIds(OpcBrowseType::Leaf, "", ids), kSOk);
    EXPECT_EQ(ids, std::vector<std::string>{"Status"});
    std::string itemId;
    EXPECT_EQ(server.GetItemId("Status", itemId), kSOk);
    EXPECT_EQ(itemId, "Anlage.Status");
    EXPECT_EQ(server.ChangeBrowsePosition(OpcBrowseDirection::Down, "Nirgends"), kEInvalidArg);
    EXPECT_EQ(server.BrowseOpcItemIds(OpcBrowseType::Flat, "*.Z*", ids), kSOk);
    EXPECT_EQ(ids, (std::vector<std::string>{"Anlage.Becken1.Zaehler", "Anlage.Zulauf.Pumpe",
                                             "Anlage.Zulauf.Q"}));
    client->Disconnect();

    client->SetProgID("Tarvedde.Flat");
    client->Connect();
    OpcServer& flat = *client->Server();
    ASSERT_EQ(flat.QueryOrganization(organization), kSOk);
    EXPECT_EQ(organization, OpcNamespaceType::Flat);
    EXPECT_EQ(flat.BrowseOpcItemIds(OpcBrowseType::Flat, "", ids), kSOk);
    EXPECT_EQ(ids, (std::vector<std::string>{"FIC101", "TIC202"}));
    EXPECT_EQ(flat.BrowseOpcItemIds(OpcBrowseType::Flat, "T*", ids), kSOk);
    EXPECT_EQ(ids, std::vector<std::string>{"TIC202"});
}

TEST_P(OpcContract, ItemPropertiesOneToSixAndVendorOnes) {
    client->Connect();
    const std::vector<TOpcPropertyValue> properties = client->ItemProperties("Anlage.Zulauf.Q");
    std::vector<std::string> seen;
    for (const TOpcPropertyValue& p : properties) {
        seen.push_back(std::to_string(p.id) + " " + p.description + " " +
                       VariantTypeName(p.dataType) + " = " + OpcValueText(p.value) +
                       (p.error == kSOk ? "" : " failed"));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "1 Item Canonical DataType VT_I2 = 5",
                        "2 Item Value VT_R8 = 12,5",
                        "3 Item Quality VT_I2 = 192",
                        "4 Item Timestamp VT_DATE = " + OpcValueText(StampUtc()),
                        "5 Item Access Rights VT_I4 = 1",
                        "6 Server Scan Rate VT_R4 = 250",
                        "5000 Einheit VT_BSTR = m3/h",
                        "5002 Generator VT_BSTR = constant",
                    }));
    EXPECT_THROW(client->ItemProperties("Anlage.Nirgends"), EOpcClient);
}

TEST_P(OpcContract, ShutdownRequestDisconnectsTheClient) {
    TOpcGroup& group = client->Groups().Add("Becken");
    group.SetItems({"Anlage.Zulauf.Q"});
    client->Connect();
    side->RequestShutdown("Wartung");
    ASSERT_TRUE(PumpUntil(*loop, [&] { return !client->Active(); }));
    EXPECT_EQ(events, (std::vector<std::string>{"connect", "shutdown Wartung", "disconnect"}));
    EXPECT_FALSE(group.Connected());
}

const auto kSides =
    ::testing::Values(SideKind::kInMemory, SideKind::kPlantsimSocket, SideKind::kPlantsimTcp);
std::string SideName(const ::testing::TestParamInfo<SideKind>& info) {
    const char* names[] = {"InMemory", "PlantsimSocket", "PlantsimTcp"};
    return names[static_cast<int>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(Sides, OpcContract, kSides, SideName);

}  // namespace
}  // namespace tarvedde

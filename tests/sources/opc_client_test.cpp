#include "sources/opc_client.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/sources/opc_test_support.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const double kUtc0630 = EncodeDateTime(2024, 3, 5, 6, 30, 15, 0);

// The text of what `call` throws, or "no exception".
std::string Thrown(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no exception";
}

struct OpcClientTest : ::testing::Test, OpcClientFixture {
    // Group0 with four lines, the third unknown to the server.
    TOpcGroup& AddPlantGroup() {
        server.SetValue("Plant.Inflow.Flow", 12.5, 192, kUtc0630);
        server.SetValue("Plant.Pump1.Running", true, 0xD8, kUtc0630);
        server.SetValue("Plant.Level", std::int32_t{7}, 0x56, kUtc0630);
        server.SetEngineeringUnits("Plant.Level", 1, {0.0, 10.0});
        TOpcGroup& group = client.Groups().Add("Group0");
        group.SetItems(
            {"Plant.Inflow.Flow", "Plant.Pump1.Running", "Plant.Missing", "Plant.Level"});
        group.SetOnDataChange(this);
        return group;
    }
};

struct DeliveryPath {
    const char* name;
    std::uint32_t interfaces;
    bool usesCallback;
};

struct OpcDeliveryTest : OpcClientTest, ::testing::WithParamInterface<DeliveryPath> {};

TEST_P(OpcDeliveryTest, ConnectGroupsItemsDataChangeDisconnect) {
    server.SetGroupInterfaces(GetParam().interfaces);
    server.SetRateStep(250);
    TOpcGroup& group = AddPlantGroup();
    group.SetUpdateRate(1100);

    client.SetActive(true);
    ASSERT_TRUE(group.Connected());
    EXPECT_EQ(group.UsesDataCallback(), GetParam().usesCallback);
    EXPECT_EQ(group.UpdateRate(), 1250u);  // the granted rate, not the one asked for
    EXPECT_EQ(client.Vendor(), "Tarvedde Test");
    EXPECT_EQ(
        server.GroupItems(group.ServerHandle()),
        (std::vector<std::string>{"Plant.Inflow.Flow", "Plant.Pump1.Running", "Plant.Level"}));
    EXPECT_EQ(group.ItemRecord(2), nullptr);
    ASSERT_NE(group.ItemRecord(3), nullptr);
    EXPECT_EQ(group.ItemRecord(3)->euType, 1u);
    EXPECT_EQ(group.ItemRecord(3)->euInfo, (std::vector<OpcValue>{0.0, 10.0}));

    EXPECT_EQ(server.DeliverChanges(), 1);
    server.SetValue("Plant.Level", std::int32_t{8}, 192, kUtc0630 + 1.0 / 86400);
    EXPECT_EQ(server.DeliverChanges(), 1);
    EXPECT_EQ(server.DeliverChanges(), 0);
    EXPECT_EQ(group.ItemRecord(3)->value, OpcValue{std::int32_t{8}});
    EXPECT_EQ(group.ItemRecord(3)->quality, 192);
    EXPECT_EQ(group.ItemRecord(1)->value, OpcValue{true});

    client.SetActive(false);
    EXPECT_FALSE(group.Connected());
    EXPECT_EQ(group.ItemRecord(0), nullptr);
    EXPECT_THAT(server.Groups(), IsEmpty());
    EXPECT_EQ(server.ServerObjectCount(), 0);
    EXPECT_THAT(events,
                ElementsAre("connect", "Group0 0 12,5 192 07:30:15", "Group0 1 True 216 07:30:15",
                            "Group0 3 7 86 07:30:15", "Group0 3 8 192 07:30:16", "disconnect"));
}

INSTANTIATE_TEST_SUITE_P(Paths, OpcDeliveryTest,
                         ::testing::Values(DeliveryPath{"Callback20", 3, true},
                                           DeliveryPath{"Stream10", kOpcGroupDataObject, false}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(OpcClientTest, MissingQualityAndTimeStampBecomeGoodAndNow) {
    server.SetValue("A", 1.5);  // no time stamp
    server.SetValue("B", 2.5, 0x40, kUtc0630);
    TOpcGroup& stream = client.Groups().Add("Stream");
    stream.SetItems({"A"});
    stream.SetOnDataChange(this);
    server.SetGroupInterfaces(kOpcGroupDataObject);
    client.Connect();
    server.SetGroupInterfaces(kOpcGroupConnectionPoints);
    TOpcGroup& callback = client.Groups().Add("Callback");
    callback.SetItems({"B"});
    callback.SetOnDataChange(this);
    callback.Connect(client.Server());
    server.OmitQualities(true);
    clock.AdvanceMs(2000);

    server.DeliverChanges();
    EXPECT_THAT(events,
                ElementsAre("connect", "Stream 0 1,5 192 07:00:02", "Callback 0 2,5 192 07:30:15"));
    events.clear();
    server.OmitTimestamps(true);
    server.SetValue("B", 3.5, 0x40, kUtc0630);
    server.DeliverChanges();
    EXPECT_THAT(events, ElementsAre("Callback 0 3,5 192 07:00:02"));
}

TEST_F(OpcClientTest, DeliveryTakesOnlyItsGroupAndKnownLines) {
    TOpcGroup& group = AddPlantGroup();
    TOpcGroup& other = client.Groups().Add("Other");
    other.SetItems({"Plant.Level"});
    other.SetOnDataChange(this);
    client.Connect();
    events.clear();
    const std::uint32_t mine = group.ClientHandle();

    // Lines 2 (rejected) and 9 (no such line) are skipped; a short value array ends it.
    server.SendDataChange(group.ServerHandle(),
                          {mine, {2, 9, 1, 0}, {1.0, 2.0, false}, {192, 192, 0}, {}});
    // The other group's handle on this group's callback, and this group's on the other.
    server.SendDataChange(group.ServerHandle(), {other.ClientHandle(), {0}, {5.0}, {}, {}});
    server.SendDataChange(other.ServerHandle(), {mine, {0}, {6.0}, {}, {}});
    EXPECT_THAT(events, ElementsAre("Group0 1 False 0 07:00:00"));

    client.Disconnect();
    server.SetGroupInterfaces(kOpcGroupDataObject);
    client.Connect(true);
    group.Connect(client.Server());
    events.clear();
    server.SendStream(group.ServerHandle(),
                      {group.ClientHandle(),
                       {{0, 1, 192, kUtc0630}, {3, 7, 192, kUtc0630}, {2, 0, 192, {}}},
                       {1.0, 4.0}});
    server.SendStream(group.ServerHandle(), {other.ClientHandle(), {{0, 0, 192, {}}}, {9.0}});
    EXPECT_THAT(events, ElementsAre("Group0 0 4 192 07:30:15"));
}

TEST_F(OpcClientTest, GroupWithoutItemsOrDeliveryPathConnectsAndStaysSilent) {
    server.SetValue("A", 1.0);
    client.Groups().Add("Empty").SetOnDataChange(this);
    server.FailNext("AddItems", kEFail);  // would break the connect if it were called
    client.Connect();
    EXPECT_EQ(server.DeliverChanges(), 0);
    client.Disconnect();
    server.FailNext("AddItems", kSOk);  // withdraws the failure

    server.SetGroupInterfaces(0);
    client.Groups()[0].SetItems({"A"});
    client.Connect();
    EXPECT_FALSE(client.Groups()[0].UsesDataCallback());
    EXPECT_NE(client.Groups()[0].ItemRecord(0), nullptr);
    EXPECT_EQ(server.DeliverChanges(), 0);
    EXPECT_THAT(events, ElementsAre("connect", "disconnect", "connect"));
}

TEST_F(OpcClientTest, StateFollowsTheServerAndLocksWhileConnected) {
    server.SetRateStep(500);
    client.SortedItemLists = true;
    TOpcGroup& group = client.Groups().Add("");
    EXPECT_EQ(group.AddItem("b"), 0);
    EXPECT_EQ(group.AddItem("A"), 0);
    EXPECT_THROW(group.AddItem("B"), EOpcClient);
    EXPECT_EQ(group.Items(), (std::vector<std::string>{"A", "b"}));
    client.Groups().Add("x");

    client.Connect(true);
    group.Connect(client.Server());
    EXPECT_EQ(group.Name(), "Group1");  // named by the server
    group.SetUpdateRate(600);
    group.SetActive(false);
    group.SetName("Renamed");
    EXPECT_EQ(group.UpdateRate(), 1000u);
    const OpcGroupState state = server.Groups().front();
    EXPECT_EQ(state.name, "Renamed");
    EXPECT_EQ(state.updateRate, 1000u);
    EXPECT_FALSE(state.active);

    EXPECT_EQ(Thrown([&] { group.AddItem("C"); }), "Operation not allowed on active group");
    EXPECT_EQ(Thrown([&] { group.SetAccessPath("p"); }), "Operation not allowed on active group");
    EXPECT_EQ(Thrown([&] { client.Connect(); }), "Cannot add group to server twice");
    EXPECT_TRUE(client.Active() && group.Connected());
    EXPECT_EQ(Thrown([&] { client.Groups()[1].Connect(nullptr); }), "Opc server is not assigned");
    EXPECT_EQ(Thrown([&] { client.Groups().Add("renamed"); }), "Duplicate group name not allowed");
    EXPECT_EQ(Thrown([&] { client.SetProgID("Other"); }), "Operation not allowed on active server");
    TOpcGroupCollection orphans(nullptr);
    EXPECT_EQ(Thrown([&] { orphans.Add("G").Connect(client.Server()); }),
              "Group cannot find client");
    client.Disconnect();
    EXPECT_EQ(Thrown([&] { client.ItemProperties("A"); }), "Operation requires active server");
}

struct ConnectFailure {
    const char* host;
    const char* progId;
    const char* fault;  // an operation of the server that fails with E_FAIL
    const char* message;
};

struct OpcConnectFailureTest : OpcClientTest, ::testing::WithParamInterface<ConnectFailure> {};

TEST_P(OpcConnectFailureTest, LeavesClientInactiveWithTheText) {
    transport.SetUnreachable("FAR", true);
    InMemoryOpcServer unregistered("Broken.Server");
    unregistered.info.classId.clear();
    transport.AddServer(unregistered);
    server.SetValue("A", 1.0);
    client.Groups().Add("G").SetItems({"A"});
    client.SetHostName(GetParam().host);
    client.SetProgID(GetParam().progId);
    if (*GetParam().fault != '\0') {
        server.FailNext(GetParam().fault, kEFail);
    }
    EXPECT_EQ(Thrown([&] { client.Connect(); }), GetParam().message);
    EXPECT_FALSE(client.Active());
    EXPECT_FALSE(client.Groups()[0].Connected());
    EXPECT_EQ(server.ServerObjectCount(), 0);
    EXPECT_THAT(events, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OpcConnectFailureTest,
    ::testing::Values(
        ConnectFailure{"", "", "", "Server ProgID must be specified"},
        ConnectFailure{"", "No.Such", "", "Cannot find server No.Such"},
        ConnectFailure{"OTHER", "Tarvedde.Sim", "", "Cannot find server Tarvedde.Sim on OTHER"},
        ConnectFailure{"plant-pc", "Broken.Server", "", "Class not registered"},
        ConnectFailure{"FAR", "Tarvedde.Sim", "", "Could not connect to registry on FAR"},
        ConnectFailure{"", "Tarvedde.Sim", "CreateServer", "Unspecified error"},
        ConnectFailure{"", "Tarvedde.Sim", "AddGroup", "Unspecified error"},
        ConnectFailure{"", "Tarvedde.Sim", "GetState", "Unspecified error"},
        ConnectFailure{"", "Tarvedde.Sim", "AddItems", "Unspecified error"},
        ConnectFailure{"", "Tarvedde.Sim", "ItemAttributes", "Unspecified error"},
        ConnectFailure{"", "Tarvedde.Sim", "AdviseDataCallback", "Unspecified error"}));

TEST_F(OpcClientTest, ShutdownRequestDisconnectsAfterTellingTheOwner) {
    AddPlantGroup();
    client.SetHostName("Plant-PC");
    client.Connect();
    EXPECT_EQ(server.ClientName(), "Plant-PC");
    server.RequestShutdown("maintenance");
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(server.ServerObjectCount(), 0);
    EXPECT_THAT(events, ElementsAre("connect", "shutdown maintenance", "disconnect"));

    // A handler that disconnects in the middle of a delivery ends it there.
    struct Disconnecting : TDataChangeEvent {
        TOpcSimpleClient* client;
        int calls = 0;
        void OnDataChange(TOpcGroup&, std::int32_t, const OpcValue&, std::uint16_t,
                          double) override {
            ++calls;
            client->Disconnect();
        }
    } handler;
    handler.client = &client;
    client.Groups()[0].SetOnDataChange(&handler);
    client.Connect();
    server.DeliverChanges();
    EXPECT_EQ(handler.calls, 1);
    EXPECT_FALSE(client.Active());
}

TEST(OpcTexts, QualityTexts) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {192, "Good limit ok"},
        {0x00, "Bad limit ok"},
        {0x04, "Bad Config error limit ok"},
        {0x19, "Bad comm failure limit low"},
        {0x1E, "Bad out of service limit high"},
        {0x44, "Uncertain last usable limit ok"},
        {0x56, "Uncertain egu exceeded limit high"},
        {0x4C, "Uncertain limit ok"},
        {0xDB, "Good local override limit const"},
        {0xC4, "Good limit ok"},
        {0x80, "limit ok"},
    };
    for (const auto& [quality, text] : cases) {
        EXPECT_EQ(OpcQualityText(quality), text) << quality;
    }
}

TEST(OpcTexts, ErrorTextsOwnThenServerThenSystemThenCode) {
    InMemoryOpcServer server("S");
    server.SetErrorText(kOpcERange, "server range text");
    server.SetErrorText(kENoInterface, "server no interface");
    InMemoryOpcTransport transport;
    transport.AddServer(server);
    std::unique_ptr<OpcServer> object;
    ASSERT_EQ(transport.CreateServer("", server.info.classId, object), kSOk);
    const struct {
        OpcResult code;
        OpcServer* server;
        const char* text;
    } cases[] = {
        {kOpcERange, object.get(), "The value was out of range."},
        {kOpcSUnsupportedRate, nullptr,
         "The server does not support the requested data rate but will use the closest "
         "available rate."},
        {kOpcEUnknownItemId, object.get(),
         "The item ID is not defined in the server address space or no longer exists."},
        {kENoInterface, object.get(), "server no interface"},
        {kENoInterface, nullptr, "No such interface supported"},
        {kEFail, object.get(), "Unspecified error"},
        {kOpcEUnknownItemId, nullptr, "Unknown error code c0040007"},
        {0x80041234, object.get(), "Unknown error code 80041234"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OpcErrorText(c.code, c.server), c.text) << std::hex << c.code;
    }
}

}  // namespace
}  // namespace tarvedde

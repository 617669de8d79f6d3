#include "sources/in_memory_dde_server.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvedde {
namespace {

class InMemoryDdeTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.AddTopic("PlantSim", "Werte");
        server.Publish("PlantSim", "Werte", "Q", "12,5\r\n");
        server.Publish("PlantSim", "Werte", "T", "8\r\n");
        ASSERT_EQ(transport.Initialize(instance,
                                       [this](const DdeNotification& n) {
                                           seen.push_back(n);
                                           if (onNotify) {
                                               onNotify(n);
                                           }
                                           return n.type == kXtypAdvData ? kDdeFack : 0u;
                                       }),
                  kDmlErrNoError);
        ASSERT_GT(instance, 0);
    }
    DdeHandle Atom(const std::string& text) { return transport.CreateStringHandle(instance, text); }
    DdeHandle Open() { return transport.Connect(instance, Atom("PLANTSIM"), Atom("werte")); }
    bool Advise(DdeHandle conv, const std::string& item) {
        return transport.ClientTransaction(conv, Atom(item), kCfText, kXtypAdvStart, 5000)
            .has_value();
    }

    InMemoryDdeServer server;
    InMemoryDdeTransport transport{server};
    std::int32_t instance = 0;
    std::vector<DdeNotification> seen;
    std::function<void(const DdeNotification&)> onNotify;
};

TEST_F(InMemoryDdeTest, StringHandlesAreAtoms) {
    DdeHandle a = Atom("Zulauf");
    EXPECT_NE(a, 0u);
    EXPECT_EQ(Atom("ZULAUF"), a);
    EXPECT_NE(Atom("Ablauf"), a);
    EXPECT_EQ(Atom(""), 0u);
    // Two references: the first free keeps the atom, the second ends it.
    EXPECT_TRUE(transport.FreeStringHandle(instance, a));
    EXPECT_TRUE(transport.FreeStringHandle(instance, a));
    EXPECT_FALSE(transport.FreeStringHandle(instance, a));
    EXPECT_NE(Atom("zulauf"), a);
}

TEST_F(InMemoryDdeTest, PublishReachesOnlyAdvisedItemsOfTheConversation) {
    DdeHandle conv = Open();
    ASSERT_NE(conv, 0u);
    DdeHandle other = Open();
    ASSERT_NE(other, 0u);
    ASSERT_TRUE(Advise(conv, "q"));
    EXPECT_EQ(server.LinkCount("plantsim", "WERTE", "Q"), 1);

    EXPECT_EQ(server.Publish("PlantSim", "Werte", "Q", "13,0\r\n"), 1);  // acknowledged
    EXPECT_EQ(server.Publish("PlantSim", "Werte", "T", "9\r\n"), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, kXtypAdvData);
    EXPECT_EQ(seen[0].format, kCfText);
    EXPECT_EQ(seen[0].conversation, conv);
    EXPECT_EQ(seen[0].item, Atom("Q"));
    EXPECT_EQ(seen[0].data, std::string("13,0\r\n\0", 7));

    ASSERT_TRUE(transport.ClientTransaction(conv, Atom("Q"), kCfText, kXtypAdvStop, 1000));
    server.Publish("PlantSim", "Werte", "Q", "14,0\r\n");
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_FALSE(transport.ClientTransaction(conv, Atom("Q"), kCfText, kXtypAdvStop, 1000));
}

TEST_F(InMemoryDdeTest, UnknownServiceTopicOrItemFailWithTheirCodes) {
    EXPECT_EQ(transport.Connect(instance, Atom("Anderer"), Atom("Werte")), 0u);
    EXPECT_EQ(transport.GetLastError(instance), kDmlErrNoConvEstablished);
    EXPECT_EQ(transport.GetLastError(instance), kDmlErrNoError);  // read resets it
    DdeHandle conv = Open();
    EXPECT_FALSE(Advise(conv, "Unbekannt"));
    EXPECT_EQ(transport.GetLastError(instance), kDmlErrNotProcessed);
    EXPECT_FALSE(transport.ClientTransaction(conv, Atom("Unbekannt"), kCfText, kXtypRequest, 1));
    EXPECT_EQ(transport.GetLastError(instance), kDmlErrNotProcessed);
    EXPECT_FALSE(transport.ClientTransaction(conv, Atom("Q"), 7, kXtypAdvStart, 1));
    EXPECT_EQ(transport.GetLastError(instance), kDmlErrInvalidParameter);
}

TEST_F(InMemoryDdeTest, RequestAnswersTheRequestTextOrTheValue) {
    DdeHandle conv = Open();
    EXPECT_EQ(transport.ClientTransaction(conv, Atom("T"), kCfText, kXtypRequest, 1000),
              std::string("8\r\n\0", 4));
    server.SetRequestText("PlantSim", "Werte", "T", "Anfrage");
    EXPECT_EQ(transport.ClientTransaction(conv, Atom("T"), kCfText, kXtypRequest, 1000),
              std::string("Anfrage\0", 8));
    EXPECT_TRUE(seen.empty());
}

TEST_F(InMemoryDdeTest, DownEndsConversationsAndRefusesUntilUp) {
    DdeHandle conv = Open();
    ASSERT_TRUE(Advise(conv, "Q"));
    server.SetDown(true);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, kXtypDisconnect);
    EXPECT_EQ(seen[0].conversation, conv);
    EXPECT_EQ(server.ConversationCount(), 0u);
    EXPECT_FALSE(transport.Disconnect(conv));
    EXPECT_FALSE(Advise(conv, "Q"));
    EXPECT_EQ(Open(), 0u);
    EXPECT_EQ(transport.GetLastError(instance), kDmlErrNoConvEstablished);

    server.SetDown(false);
    DdeHandle again = Open();
    ASSERT_NE(again, 0u);
    EXPECT_NE(again, conv);
    EXPECT_EQ(server.LinkCount("PlantSim", "Werte", "Q"), 0);  // links do not survive
}

// As in DDEML, the handle dies only when the disconnect callback returns.
TEST_F(InMemoryDdeTest, DisconnectInsideTheDisconnectCallbackSucceeds) {
    DdeHandle conv = Open();
    bool disconnected = false;
    onNotify = [&](const DdeNotification& n) {
        disconnected = transport.Disconnect(n.conversation);
    };
    server.SetDown(true);
    EXPECT_TRUE(disconnected);
    EXPECT_FALSE(transport.Disconnect(conv));
}

TEST_F(InMemoryDdeTest, ClientDisconnectEndsLinksWithoutACallback) {
    DdeHandle conv = Open();
    ASSERT_TRUE(Advise(conv, "Q"));
    EXPECT_TRUE(transport.Disconnect(conv));
    server.Publish("PlantSim", "Werte", "Q", "1\r\n");
    server.SetDown(true);
    EXPECT_TRUE(seen.empty());
}

TEST_F(InMemoryDdeTest, ACallbackMayEndTheOtherConversationDuringDelivery) {
    DdeHandle first = Open();
    DdeHandle second = Open();
    ASSERT_TRUE(Advise(first, "Q"));
    ASSERT_TRUE(Advise(second, "Q"));
    onNotify = [&](const DdeNotification& n) {
        transport.Disconnect(n.conversation == first ? second : first);
    };
    server.Publish("PlantSim", "Werte", "Q", "2\r\n");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(server.ConversationCount(), 1u);
}

TEST_F(InMemoryDdeTest, UnresponsiveServerTimesOut) {
    DdeHandle conv = Open();
    server.SetUnresponsive(true);
    EXPECT_FALSE(Advise(conv, "Q"));
    EXPECT_EQ(transport.GetLastError(instance), kDmlErrAdvAckTimeout);
    EXPECT_FALSE(transport.ClientTransaction(conv, Atom("Q"), kCfText, kXtypRequest, 1));
    EXPECT_EQ(transport.GetLastError(instance), kDmlErrDataAckTimeout);
}

}  // namespace
}  // namespace tarvedde

#include "dialogs/opc_browser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/opc_server_select.h"
#include "platform/operator_transcript.h"
#include "platform/scripted_operator.h"
#include "tests/sources/opc_test_support.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// "text=id" per node, children in brackets.
std::string Outline(const std::vector<TOpcNode>& nodes) {
    std::string text;
    for (const TOpcNode& node : nodes) {
        text += (text.empty() ? "" : " ") + node.text;
        if (!node.itemId.empty()) {
            text += "=" + node.itemId;
        }
        if (!node.children.empty()) {
            text += "[" + Outline(node.children) + "]";
        }
    }
    return text;
}

struct Organization {
    const char* name;
    OpcNamespaceType type;
    const char* outline;
};

struct OpcBrowserTest : ::testing::TestWithParam<Organization>, OpcClientFixture {
    OpcBrowserTest() {
        server.SetValue("Plant.Inflow.Flow", 12.5, 0xD8, EncodeDateTime(2024, 3, 5, 6, 0, 0, 0));
        server.SetValue("Plant.Inflow.Temp", 9.0);
        server.SetValue("Plant.Level", std::int32_t{3});
        server.SetValue("Alarm", true);
        server.SetAccessRights("Plant.Inflow.Flow", kOpcReadable | kOpcWriteable);
        server.AddProperty("Plant.Inflow.Flow", 5001, "Sensor", std::string("FIT-101"));
        browser.SetPropertyView(&view);
        view.OpcClient = &client;
    }

    TOpcBrowser browser;
    TOpcPropertyView view;
};

TEST_P(OpcBrowserTest, FillsOnConnectAndShowsTheSelectedItemsProperties) {
    server.SetOrganization(GetParam().type);
    browser.SetOpcClient(&client);
    EXPECT_THAT(browser.Nodes(), IsEmpty());
    client.Connect();
    EXPECT_EQ(Outline(browser.Nodes()), GetParam().outline);
    EXPECT_EQ(browser.LastError(), "");

    browser.Select({"Flow", "Plant.Inflow.Flow", {}});
    std::vector<std::string> rows;
    for (const auto& row : view.rows) {
        rows.push_back(row.id + "|" + row.description + "|" + row.type + "|" + row.value);
    }
    EXPECT_THAT(rows,
                ElementsAre("1|Item Canonical DataType|VT_I2|VT_R8", "2|Item Value|VT_R8|12,5",
                            "3|Item Quality|VT_I2|Good local override limit ok",
                            "4|Item Timestamp|VT_DATE|05.03.2024 07:00:00",
                            "5|Item Access Rights|VT_I4|Read/Write", "6|Server Scan Rate|VT_R4|0",
                            "5001|Sensor|VT_BSTR|FIT-101"));
    browser.Select({"Plant", "", {}});
    EXPECT_THAT(view.rows, IsEmpty());

    client.Disconnect();
    EXPECT_THAT(browser.Nodes(), IsEmpty());
    view.ShowItem("Plant.Level");
    EXPECT_THAT(view.rows, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    AddressSpaces, OpcBrowserTest,
    ::testing::Values(Organization{"Hierarchical", OpcNamespaceType::Hierarchical,
                                   "Plant[Inflow[Flow=Plant.Inflow.Flow Temp=Plant.Inflow.Temp] "
                                   "Level=Plant.Level] Alarm=Alarm"},
                      Organization{"Flat", OpcNamespaceType::Flat,
                                   "Alarm=Alarm Plant.Inflow.Flow=Plant.Inflow.Flow "
                                   "Plant.Inflow.Temp=Plant.Inflow.Temp Plant.Level=Plant.Level"}),
    [](const auto& test) { return std::string(test.param.name); });

// A browse failure leaves the tree empty with its text until a refresh; more branches and
// leaves than the limit: the walk stops there and says so.
TEST(OpcBrowser, ABrowseFailureOrAnAddressSpaceBeyondTheLimitIsTold) {
    OpcClientFixture fixture;
    for (const char* id : {"A.B.C", "A.B.D", "A.E", "F"}) {
        fixture.server.SetValue(id, 1.0);
    }
    TOpcBrowser browser(4);
    browser.SetOpcClient(&fixture.client);
    fixture.server.FailNext("BrowseOpcItemIds", kOpcEInvalidFilter);
    fixture.client.Connect();
    EXPECT_TRUE(fixture.client.Active());
    EXPECT_THAT(browser.Nodes(), IsEmpty());
    EXPECT_EQ(browser.LastError(), "The filter string was not valid.");
    browser.Refresh();
    EXPECT_EQ(Outline(browser.Nodes()), "A[B[C=A.B.C D=A.B.D]]");
    EXPECT_EQ(browser.LastError(), "Adressraum nach 4 Einträgen nicht weiter gelesen.");
}

TEST(TServerSelectDlg, ListsTheHostsServersAndSetsTheChosenProgId) {
    OpcClientFixture fixture;
    InMemoryOpcServer old("Old.Server", "Old Vendor");
    old.info.da2 = false;
    fixture.transport.AddServer(old);
    ScriptedOperator op;
    TServerSelectDlg dialog(op);
    std::vector<std::string> shown;

    const bool chosen = dialog.Execute(fixture.client, [&](TServerSelectDlg& d) {
        for (const auto& row : d.lvServers) {
            shown.push_back(row.caption + "|" + row.user + "|" + row.daSupport + "|" + row.vendor);
        }
        EXPECT_FALSE(d.btOKClick());
        d.selected = {1};
        return d.btOKClick();
    });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(fixture.client.ProgID(), "Old.Server");
    EXPECT_THAT(shown, ElementsAre("Tarvedde.Sim|Tarvedde.Sim|DA1, DA2|Tarvedde Test",
                                   "Old.Server|Old.Server|DA1|Old Vendor"));
    EXPECT_THAT(op.Transcript(), ElementsAre(MessageLine("Please select a server")));

    EXPECT_FALSE(dialog.Execute(fixture.client, [](TServerSelectDlg&) { return false; }));
    EXPECT_EQ(fixture.client.ProgID(), "Old.Server");

    const auto abortText = [&](TOpcSimpleClient& client) {
        try {
            dialog.Execute(client, [](TServerSelectDlg&) { return true; });
        } catch (const EAbort& e) {
            return std::string(e.what());
        }
        return std::string("no abort");
    };
    fixture.client.Connect(true);
    EXPECT_EQ(abortText(fixture.client), "Client cannot be active");
    fixture.client.Disconnect();
    fixture.client.SetHostName("EMPTY-HOST");
    EXPECT_EQ(abortText(fixture.client), "There are no servers on this host");
}

}  // namespace
}  // namespace tarvedde

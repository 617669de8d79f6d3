// The OPC menu on a running OPC installation: the browse dialog collects identifiers from
// the server's tree, saves them for the operator and tries them at once; the server
// selection writes the chosen server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialogs/opc_session_dialogs.h"
#include "engine/frame/tarvedde_main.h"
#include "sources/in_memory_opc_server.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kIni[] =
    "[DDE]\nItemcount=1\nIntervall=10\nAutoStart=1\nAktuTag=05.03.2024\nTarveget=0\n"
    "[Items]\nItem1=Plant.Zulauf\n[Itemnames]\nItem1=Zulauf\n[OPC]\nServer=Plant.Sim.1\n";

// The child indices that lead to the node with these texts.
std::vector<int> PathTo(const std::vector<TOpcNode>& roots, const std::vector<std::string>& texts) {
    std::vector<int> path;
    const std::vector<TOpcNode>* level = &roots;
    for (const std::string& text : texts) {
        const auto found = std::find_if(level->begin(), level->end(),
                                        [&](const TOpcNode& node) { return node.text == text; });
        if (found == level->end()) {
            ADD_FAILURE() << "no node " << text;
            return path;
        }
        path.push_back(static_cast<int>(found - level->begin()));
        level = &found->children;
    }
    return path;
}

class OpcMenuTest : public ::testing::Test {
protected:
    OpcMenuTest() {
        env.WriteText("TARVEDDE.INI", kIni);
        env.WriteText("DDE-Wache.exe", "");
        main.SetOpcDialogs(&dialogs);
        EXPECT_TRUE(main.FormCreate());
        main.FormShow();
    }
    std::string Ini(const std::string& section, const std::string& key) {
        return IniFile(env.files, "/plant/TARVEDDE.INI").ReadString(section, key, "<none>");
    }
    // The plant's server, there before the program.
    Host& HostWithServer() {
        for (const char* id : {"Plant.Zulauf", "Plant.Becken.O2", "Plant.Pumpe"}) {
            server.SetValue(id, 1.5);
        }
        transport.AddServer(server);
        env.host.opc = &transport;
        return env.host;
    }
    void Stop() {
        env.person.QueueAnswer(Answer::No);
        ASSERT_TRUE(main.ButtonClick("btStoppen"));
    }

    testing::EngineTestHost env;
    InMemoryOpcServer server{"Plant.Sim.1"};
    InMemoryOpcTransport transport;
    TarveddeMain main{HostWithServer(), {"/plant", SourceKind::Opc, "opc-menu-test"}};
    OpcSessionDialogs dialogs{main};
};

TEST_F(OpcMenuTest, BrowsedItemsAreSavedForTheOperatorAndTestedWithoutTheCycle) {
    dialogs.showBrowser = [&](TBrowseDlg& dlg) {
        dlg.btSpeichernClick();
        EXPECT_EQ(Ini("OPC_Neu", "Itemcount"), "0");
        EXPECT_EQ(Ini("OPC_Neu", "Controlcount"), "0");
        EXPECT_EQ(Ini("OPC_Neu", "Server"), "Plant.Sim.1");
        EXPECT_EQ(Ini("OPC_Neu", "Item1"), "<none>");

        dlg.itb1Selected = PathTo(dlg.itb1.Nodes(), {"Plant", "Becken", "O2"});
        dlg.itb1MouseDown();
        EXPECT_EQ(dlg.e1, "Plant.Becken.O2");
        dlg.itb1DblClick();
        dlg.itb1Selected = PathTo(dlg.itb1.Nodes(), {"Plant", "Zulauf"});
        dlg.itb1MouseDown();
        dlg.lb1ItemIndex = 0;
        dlg.itb1DblClick();  // before the selected line
        dlg.lb1ItemIndex = 1;
        dlg.btEntfernenClick();
        dlg.btEntfernenClick();
        dlg.btEntfernenClick();  // no "." left: unchanged
        dlg.lb1ItemIndex = -1;
        dlg.e1 = "Plant.Pumpe";
        dlg.itb1DblClick();
        dlg.e1 = "Plant.Weg";
        dlg.itb1DblClick();
        dlg.lb1ItemIndex = 3;
        dlg.lb1DblClick();
        EXPECT_THAT(dlg.lb1, ElementsAre("Plant.Zulauf", "O2", "Plant.Pumpe"));
        dlg.btSpeichernClick();
        env.person.QueueAnswer(Answer::Yes);
        dlg.btTestenClick();
    };
    ASSERT_TRUE(main.MenuClick("Browser1"));
    EXPECT_EQ(Ini("OPC_Neu", "Itemcount"), "3");
    EXPECT_EQ(Ini("OPC_Neu", "Item2"), "O2");
    EXPECT_EQ(Ini("OPC_Neu", "Item3"), "Plant.Pumpe");
    // The browser used the running connection and left it open.
    EXPECT_TRUE(main.Opc().Client().Active());
    ASSERT_EQ(main.Window().it1.size(), 3u);
    EXPECT_EQ(main.Config().Settings().itemCount, 3);

    Stop();
    ASSERT_TRUE(main.ButtonClick("btStartDDE"));
    const std::string log = env.ReadText("_DDE_OPC_LOGALL.TXT");
    EXPECT_NE(log.find("*** Testmode"), std::string::npos);
    EXPECT_FALSE(main.TimerDDE().Enabled());
    EXPECT_TRUE(main.Window().btStoppenEnabled);
    server.SetValue("Plant.Pumpe", 2.5);
    server.DeliverChanges();
    const auto& rows = main.Window().it1;
    EXPECT_EQ(rows[0].columns[0], "1,5");
    EXPECT_THAT(rows[1].columns[0], IsEmpty());  // the server does not know "O2"
    EXPECT_EQ(rows[2].columns[0], "2,5");
}

TEST_F(OpcMenuTest, ServerChoiceIsWrittenAndConnectsOnlyWhileTheClientIsIdle) {
    int shown = 0;
    dialogs.showServerSelect = [&](TServerSelectDlg& dlg) {
        ++shown;
        dlg.selected = {0};
        return true;
    };
    ASSERT_TRUE(main.MenuClick("Servereinstellen1"));  // connected: nothing opens
    EXPECT_EQ(shown, 0);
    Stop();
    main.Window().eHost = "PLANT-PC";
    ASSERT_TRUE(main.MenuClick("Servereinstellen1"));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(Ini("OPC", "Host"), "PLANT-PC");
    EXPECT_EQ(Ini("OPC", "Server"), "Plant.Sim.1");
    EXPECT_TRUE(main.Opc().Client().Active());
    EXPECT_THAT(main.Opc().Group().Items(), IsEmpty());

    ASSERT_TRUE(main.MenuClick("Itemseditieren1"));
    EXPECT_TRUE(main.Window().it1Editable);
    ASSERT_TRUE(main.MenuClick("Itemseditieren1"));
    EXPECT_FALSE(main.Window().it1Editable);
}

}  // namespace
}  // namespace tarvedde

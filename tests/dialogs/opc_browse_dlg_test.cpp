#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialogs/opc_session_dialogs.h"
#include "sources/in_memory_opc_server.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using ::testing::ElementsAre;

TEST(OpcBrowseDlgTest, CollectedItemsAreSavedAndTestedWithoutTheCycle) {
    testing::EngineTestHost env;
    InMemoryOpcServer server{"Plant.Sim.1"};
    for (const char* id : {"Plant.Zulauf", "Plant.Becken.O2", "Plant.Pumpe"}) {
        server.SetValue(id, 1.5);
    }
    InMemoryOpcTransport transport;
    transport.AddServer(server);
    env.host.opc = &transport;
    env.WriteText("TARVEDDE.INI",
                  "[DDE]\nItemcount=1\nAutoStart=1\nAktuTag=05.03.2024\nTarveget=0\n"
                  "[Items]\nItem1=Plant.Zulauf\n[OPC]\nServer=Plant.Sim.1\n");
    TarveddeMain main(env.host, {"/plant", SourceKind::Opc, "opc-browse-test"});
    OpcSessionDialogs dialogs(main);
    main.SetOpcDialogs(&dialogs);
    ASSERT_TRUE(main.FormCreate());
    main.FormShow();
    const auto ini = [&](const std::string& key) {
        return IniFile(env.files, "/plant/TARVEDDE.INI").ReadString("OPC_Neu", key, "<none>");
    };

    dialogs.showBrowser = [&](TBrowseDlg& dlg) {
        dlg.btSpeichernClick();
        EXPECT_EQ(ini("Itemcount") + ini("Controlcount") + ini("Item1"), "00<none>");
        EXPECT_EQ(ini("Server"), "Plant.Sim.1");
        // "Plant" holds the branch "Becken" first, then its leaves.
        dlg.itb1Selected = {0, 0, 0};
        dlg.itb1MouseDown();
        EXPECT_EQ(dlg.e1, "Plant.Becken.O2");
        dlg.itb1DblClick();
        dlg.e1 = "Plant.Pumpe";
        dlg.lb1ItemIndex = 0;
        dlg.itb1DblClick();  // before the selected line
        dlg.lb1ItemIndex = 1;
        for (int click = 0; click < 3; ++click) {
            dlg.btEntfernenClick();  // the third finds no "."
        }
        dlg.lb1ItemIndex = -1;
        dlg.e1 = "Plant.Zulauf";
        dlg.itb1DblClick();
        EXPECT_THAT(dlg.lb1, ElementsAre("Plant.Pumpe", "O2", "Plant.Zulauf"));
        dlg.btSpeichernClick();
        env.person.QueueAnswer(Answer::Yes);
        dlg.btTestenClick();
    };
    ASSERT_TRUE(main.MenuClick("Browser1"));
    EXPECT_EQ(ini("Itemcount") + ini("Item1") + ini("Item2"), "3Plant.PumpeO2");
    ASSERT_EQ(main.Window().it1.size(), 3u);

    env.person.QueueAnswer(Answer::No);  // do not go on
    ASSERT_TRUE(main.ButtonClick("btStoppen"));
    ASSERT_TRUE(main.ButtonClick("btStartDDE"));
    EXPECT_NE(env.ReadText("_DDE_OPC_LOGALL.TXT").find("*** Testmode"), std::string::npos);
    EXPECT_FALSE(main.TimerDDE().Enabled());
    server.SetValue("Plant.Pumpe", 2.5);
    server.DeliverChanges();
    const auto& rows = main.Window().it1;
    // The server rejects "O2"; the other lines keep their places.
    EXPECT_EQ(rows[0].columns[0] + "|" + rows[1].columns[0] + "|" + rows[2].columns[0], "2,5||1,5");

    // The server selection opens only on an idle client and keeps its connection open.
    dialogs.showServerSelect = [](TServerSelectDlg& dlg) {
        dlg.selected = {0};
        return true;
    };
    ASSERT_TRUE(main.ButtonClick("btStoppen"));
    main.Window().eHost = "PLANT-PC";
    ASSERT_TRUE(main.MenuClick("Servereinstellen1"));
    const IniFile settings(env.files, "/plant/TARVEDDE.INI");
    EXPECT_EQ(
        settings.ReadString("OPC", "Host", "") + " " + settings.ReadString("OPC", "Server", ""),
        "PLANT-PC Plant.Sim.1");
    EXPECT_TRUE(main.Opc().Client().Active());
}

}  // namespace
}  // namespace tarvedde

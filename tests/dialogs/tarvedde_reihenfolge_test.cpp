#include "dialogs/tarvedde_reihenfolge.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

std::vector<int> Order(const Configuration& config) {
    const ProtocolOrder& order = config.ItemProtocolOrder();
    return {order.begin() + 1, order.begin() + 14};
}

// As at the start: the live window has read the item count before the load.
std::vector<int> LoadOrder(testing::BareEngine& engine) {
    engine.config.SetItemCount(12);
    (void)engine.config.Load(engine.Targets());
    return Order(engine.config);
}

using ProtocolOrderDialogTest = testing::EngineFixture;

TEST_F(ProtocolOrderDialogTest, SessionReordersUsesTheOrderAtOnceAndWritesWhatTheLoaderReads) {
    std::string items = "[DDE]\nItemcount=12\n[Items]\n";
    std::string names = "[Itemnames]\n";
    for (int n = 1; n <= 12; ++n) {
        items += "Item" + std::to_string(n) + "=Q\n";
        names += "Item" + std::to_string(n) + "=M" + std::to_string(n) + "\n";
    }
    WriteIni(items + names);
    ASSERT_EQ(LoadOrder(bare_), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, -1}));

    TFo_Reihenfolge form{config_};
    form.FormShow();
    form.btUpClick();  // nothing selected
    form.lbnamItemIndex = 0;
    form.btUpClick();
    form.lbnamItemIndex = 11;
    form.btDownClick();
    // The last entry climbs to the top, staying selected; the twelfth click finds it first.
    for (int click = 1; click <= 12; ++click) {
        form.btUpClick();
    }
    EXPECT_EQ(form.lbnamItemIndex, 0);
    form.lbnamItemIndex = 5;
    form.btDownClick();
    EXPECT_EQ(form.lbnamItemIndex, 6);
    EXPECT_EQ(form.lbnam, (std::vector<std::string>{"M12", "M1", "M2", "M3", "M4", "M6", "M5", "M7",
                                                    "M8", "M9", "M10", "M11"}));
    EXPECT_EQ(Order(config_)[0], 1);  // a working copy until the form closes

    form.FormClose();
    const std::vector<int> moved{12, 1, 2, 3, 4, 6, 5, 7, 8, 9, 10, 11, -1};
    EXPECT_EQ(Order(config_), moved);
    std::ifstream golden(std::string(TARVEDDE_TEST_DATA) + "/dialogs/ProtoReihe.TVW",
                         std::ios::binary);
    std::ostringstream bytes;
    bytes << golden.rdbuf();
    EXPECT_EQ(env_.files.ReadAll(env_.dir + "ProtoReihe.TVW").value_or(""), bytes.str());
    testing::BareEngine restarted{env_};
    EXPECT_EQ(LoadOrder(restarted), moved);
}

}  // namespace
}  // namespace tarvedde

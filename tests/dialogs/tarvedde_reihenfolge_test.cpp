#include "dialogs/tarvedde_reihenfolge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

using Strings = std::vector<std::string>;

constexpr int kItems = 12;

std::string Golden() {
    std::ifstream in(std::string(TARVEDDE_TEST_DATA) + "/dialogs/ProtoReihe.TVW", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Twelve items named "Messwert <n>", loaded as at program start: the live window has
// read the item count before the load reads the protocol order.
class ProtocolOrderDialogTest : public ::testing::Test {
protected:
    ProtocolOrderDialogTest() {
        std::string ini = "[DDE]\nItemcount=12\n[Items]\n";
        for (int n = 1; n <= kItems; ++n) {
            ini += "Item" + std::to_string(n) + "=Q" + std::to_string(n) + "\n";
        }
        ini += "[Itemnames]\n";
        for (int n = 1; n <= kItems; ++n) {
            ini += "Item" + std::to_string(n) + "=" + Name(n) + "\n";
        }
        env_.WriteText("TARVEDDE.INI", ini);
        config_.SetProgramDir(env_.dir);
        log_.SetProgramDir(env_.dir);
    }

    static std::string Name(int n) { return "Messwert " + std::to_string(n); }

    void Load(Configuration& config) {
        PerItem<ConfigRecord> records{};
        std::vector<ItemListRow> itemList;
        LiveGrid grid;
        config.SetItemCount(kItems);
        (void)config.Load({records, itemList, grid});
    }

    std::vector<int> Order(const Configuration& config) const {
        const ProtocolOrder& order = config.ItemProtocolOrder();
        return {order.begin() + 1, order.end()};
    }

    std::vector<int> Expected(std::vector<int> places) const {
        places.resize(maxItems, -1);
        return places;
    }

    void Select(int position) { form_.lbnamItemIndex = position; }

    testing::EngineTestHost env_;
    ProgramLog log_{env_.files, env_.clock, GermanLocale()};
    Configuration config_{env_.host, log_, GermanLocale()};
    TFo_Reihenfolge form_{config_};
};

TEST_F(ProtocolOrderDialogTest, SessionReordersUsesTheOrderAtOnceAndWritesTheFileTheLoaderReads) {
    Load(config_);
    const std::vector<int> initial = Expected({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    ASSERT_EQ(Order(config_), initial);
    form_.FormShow();
    ASSERT_EQ(form_.lbnam.size(), 12U);
    EXPECT_EQ(form_.lbnam.front(), Name(1));
    EXPECT_EQ(form_.lbnam.back(), Name(12));

    const Strings shown = form_.lbnam;
    form_.btUpClick();  // nothing selected
    Select(0);
    form_.btUpClick();
    EXPECT_EQ(form_.lbnamItemIndex, 0);
    Select(11);
    form_.btDownClick();
    EXPECT_EQ(form_.lbnamItemIndex, 11);
    EXPECT_EQ(form_.lbnam, shown);

    // The last item climbs to the top, staying selected on the way.
    for (int click = 1; click <= 12; ++click) {
        form_.btUpClick();
        EXPECT_EQ(form_.lbnamItemIndex, std::max(11 - click, 0)) << click;
    }
    Select(5);
    form_.btDownClick();
    EXPECT_EQ(form_.lbnamItemIndex, 6);
    EXPECT_EQ(form_.lbnam[0], Name(12));
    EXPECT_EQ(form_.lbnam[5], Name(6));
    EXPECT_EQ(form_.lbnam[6], Name(5));
    EXPECT_EQ(Order(config_), initial);  // the working copy only
    EXPECT_FALSE(env_.Exists("ProtoReihe.TVW"));

    form_.FormClose();
    const std::vector<int> moved = Expected({12, 1, 2, 3, 4, 6, 5, 7, 8, 9, 10, 11});
    EXPECT_EQ(Order(config_), moved);
    EXPECT_EQ(env_.files.ReadAll(env_.dir + "ProtoReihe.TVW").value_or("<missing>"), Golden());

    // A view's own close event after the form closed writes nothing again.
    ASSERT_TRUE(env_.files.Remove(env_.dir + "ProtoReihe.TVW"));
    form_.FormClose();
    EXPECT_FALSE(env_.Exists("ProtoReihe.TVW"));

    // Read back by the loader, as the next start does.
    ASSERT_TRUE(env_.files.WriteAll(env_.dir + "ProtoReihe.TVW", Golden(), false));
    Configuration restarted{env_.host, log_, GermanLocale()};
    restarted.SetProgramDir(env_.dir);
    Load(restarted);
    EXPECT_EQ(Order(restarted), moved);

    form_.FormShow();
    EXPECT_EQ(form_.lbnam[0], Name(12));
    EXPECT_EQ(form_.lbnam[11], Name(11));
}

TEST_F(ProtocolOrderDialogTest, FailedWriteStillChangesTheRunningOrder) {
    Load(config_);
    env_.files.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Write; });
    form_.FormShow();
    Select(1);
    form_.btUpClick();
    form_.FormClose();
    EXPECT_EQ(Order(config_), Expected({2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_FALSE(env_.Exists("ProtoReihe.TVW"));
}

}  // namespace
}  // namespace tarvedde

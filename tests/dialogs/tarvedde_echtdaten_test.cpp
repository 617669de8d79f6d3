#include "dialogs/tarvedde_echtdaten.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/engine/engine_fixture.h"

namespace tarvedde {
namespace {

using ::testing::HasSubstr;

class EchtdatenTest : public testing::EngineFixture {
protected:
    LiveGrid grid_;
    TFo_Echtdaten form_{config_, env_.host, log_, grid_};
};

// Showing labels the grid; the number format changes at once and is saved on close.
TEST_F(EchtdatenTest, ShowingLabelsTheGridAndTheNumberFormatIsSavedOnClose) {
    env_.WriteText("TARVEDDE.INI", "[Formate]\nPR=14\nNK=2\n");
    grid_.Resize(3, 14);
    Item(1).itemName = "Zulauf";
    Item(1).unit = "l/s";
    Item(2).itemName = "Pumpe";
    form_.FormCreate();
    form_.FormShow();
    EXPECT_EQ(grid_.Cell(0, 0) + "|" + grid_.Cell(0, 5), "Zeit|Summe");
    EXPECT_EQ(grid_.Cell(1, 0) + "|" + grid_.Cell(2, 0), "Zulauf  [l/s]|Pumpe  []");
    EXPECT_EQ(std::pair(form_.spPR, form_.spNK), std::pair(14, 2));
    form_.spNKChange(5);
    EXPECT_EQ(settings_.formatDecimals, 5);
    form_.spPRChange(30);
    EXPECT_EQ(settings_.formatPrecision, 18);
    form_.FormClose();
    EXPECT_THAT(env_.ReadText("TARVEDDE.INI"), HasSubstr("PR=18\r\nNK=5\r\n"));
}

}  // namespace
}  // namespace tarvedde

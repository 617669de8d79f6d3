#include "engine/model/live_grid.h"

#include <gtest/gtest.h>

namespace tarvedde {
namespace {

TEST(LiveGridTest, RollingRowsWrapAndCarryThePreviousCycleTime) {
    LiveGrid grid;
    grid.Resize(2, 8 + 6);  // buffer of 8 rolling rows: 6..13
    EXPECT_EQ(grid.CurrentRow(), 5);
    grid.AdvanceRow("00:00:00");
    EXPECT_EQ(grid.CurrentRow(), 6);
    EXPECT_EQ(grid.Cell(0, 6), ">>>>>>>>>>");
    EXPECT_EQ(grid.Cell(0, 13), "00:00:00");  // the row before 6 is the last row
    grid.AdvanceRow("07:00:00");
    EXPECT_EQ(grid.CurrentRow(), 7);
    EXPECT_EQ(grid.Cell(0, 6), "07:00:00");
    for (int i = 0; i < 6; ++i) {
        grid.AdvanceRow("t");
    }
    EXPECT_EQ(grid.CurrentRow(), 13);
    grid.AdvanceRow("07:01:10");
    EXPECT_EQ(grid.CurrentRow(), 6);
    EXPECT_EQ(grid.Cell(0, 13), "07:01:10");
    EXPECT_EQ(grid.Cell(0, 6), ">>>>>>>>>>");
}

TEST(LiveGridTest, CellsOutsideTheGridReadEmptyAndResizeKeepsContent) {
    LiveGrid grid;
    grid.Resize(3, 7);
    grid.SetCell(2, 6, "1,5");
    grid.SetCell(3, 6, "lost");
    grid.SetCell(-1, 0, "lost");
    EXPECT_EQ(grid.Cell(3, 6), "");
    EXPECT_EQ(grid.Cell(2, 7), "");
    grid.Resize(4, 9);
    EXPECT_EQ(grid.Cell(2, 6), "1,5");
    EXPECT_EQ(grid.Cell(3, 6), "");
}

}  // namespace
}  // namespace tarvedde

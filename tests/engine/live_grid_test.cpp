#include "engine/model/live_grid.h"

#include <gtest/gtest.h>

namespace tarvedde {
namespace {

// The rolling rows are checked cell by cell in the per-value processing's tests.
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

// The live data grid (grEcht): column 0 holds the row labels and cycle times, column n
// item n; rows 1..5 the running statistics, rows 6..last the rolling values of the last
// cycles. It is part of the data path, not only a display: the output files take their
// value texts from its cells.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarvedde {

inline constexpr int kGridFirstRollingRow = 6;
inline constexpr char kGridCurrentRowMarker[] = ">>>>>>>>>>";

class LiveGrid {
public:
    // columns = item count + 1, rows = buffer size + 6; keeps the rolling row index.
    void Resize(int columns, int rows);
    int ColumnCount() const { return columns_; }
    int RowCount() const { return rows_; }
    int LastRow() const { return rows_ - 1; }

    // Cells outside the grid read as "" and ignore writes, as a string grid does.
    const std::string& Cell(int column, int row) const;
    void SetCell(int column, int row, std::string text);

    // Row 0 captions and the labels of rows 0..5 in column 0.
    void WriteFixedLabels(const std::vector<std::string>& columnCaptions);

    // The row the current cycle writes; 5 before the first cycle.
    int CurrentRow() const { return currentRow_; }
    void SetCurrentRow(int row) { currentRow_ = row; }
    // Moves to the next rolling row (back to 6 after the last): the row of the previous
    // cycle gets `previousTimeText` in column 0, the new row the marker and empty item
    // cells.
    void AdvanceRow(const std::string& previousTimeText);

    void SetListener(std::function<void()> listener) { listener_ = std::move(listener); }
    void NotifyChanged() const {
        if (listener_) {
            listener_();
        }
    }

private:
    int columns_ = 1;
    int rows_ = kGridFirstRollingRow;
    int currentRow_ = 5;
    std::vector<std::string> cells_ = std::vector<std::string>(kGridFirstRollingRow);
    std::function<void()> listener_;
};

}  // namespace tarvedde

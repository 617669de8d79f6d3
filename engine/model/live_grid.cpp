#include "engine/model/live_grid.h"

#include <algorithm>

namespace tarvedde {
namespace {

const std::string kEmpty;
const char* const kRowLabels[] = {"Zeit", "Mittelwert", "Minimum", "Maximum", "Anzahl", "Summe"};

}  // namespace

void LiveGrid::Resize(int columns, int rows) {
    std::vector<std::string> cells(
        static_cast<std::size_t>(std::max(columns, 1) * std::max(rows, 1)));
    for (int r = 0; r < std::min(rows, rows_); ++r) {
        for (int c = 0; c < std::min(columns, columns_); ++c) {
            cells[static_cast<std::size_t>(r * columns + c)] = Cell(c, r);
        }
    }
    columns_ = std::max(columns, 1);
    rows_ = std::max(rows, 1);
    cells_ = std::move(cells);
    NotifyChanged();
}

const std::string& LiveGrid::Cell(int column, int row) const {
    if (column < 0 || row < 0 || column >= columns_ || row >= rows_) {
        return kEmpty;
    }
    return cells_[static_cast<std::size_t>(row * columns_ + column)];
}

void LiveGrid::SetCell(int column, int row, std::string text) {
    if (column < 0 || row < 0 || column >= columns_ || row >= rows_) {
        return;
    }
    cells_[static_cast<std::size_t>(row * columns_ + column)] = std::move(text);
}

void LiveGrid::WriteFixedLabels(const std::vector<std::string>& columnCaptions) {
    for (int r = 0; r < kGridFirstRollingRow; ++r) {
        SetCell(0, r, kRowLabels[r]);
    }
    for (std::size_t c = 0; c < columnCaptions.size(); ++c) {
        SetCell(static_cast<int>(c) + 1, 0, columnCaptions[c]);
    }
    NotifyChanged();
}

void LiveGrid::AdvanceRow(const std::string& previousTimeText) {
    int next = currentRow_ + 1;
    if (next > LastRow() || next < kGridFirstRollingRow) {
        next = kGridFirstRollingRow;
    }
    const int previous = next == kGridFirstRollingRow ? LastRow() : next - 1;
    if (previous >= kGridFirstRollingRow) {
        SetCell(0, previous, previousTimeText);
    }
    currentRow_ = next;
    SetCell(0, currentRow_, kGridCurrentRowMarker);
    // An item that fails this cycle must not show, nor leave in the day's files, the
    // value its cell held a whole buffer of cycles ago.
    for (int column = 1; column < columns_; ++column) {
        SetCell(column, currentRow_, std::string());
    }
}

}  // namespace tarvedde

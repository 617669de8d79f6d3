#include "dialogs/tarvedde_reihenfolge.h"

#include <algorithm>
#include <utility>

namespace tarvedde {

void TFo_Reihenfolge::FormShow() {
    visible = true;
    working_ = config_.ItemProtocolOrder();
    const int count = std::clamp(config_.Settings().itemCount, 0, maxItems);
    lbnam.clear();
    for (int place = 1; place <= count; ++place) {
        const int item = working_[static_cast<std::size_t>(place)];
        // The loader lets an entry be 0, which names no item.
        lbnam.push_back(item >= 1 && item <= maxItems ? config_.Item(item).itemName : "");
    }
    if (lbnamItemIndex >= static_cast<int>(lbnam.size())) {
        lbnamItemIndex = -1;
    }
}

void TFo_Reihenfolge::btUpClick() {
    if (lbnamItemIndex < 1 || lbnamItemIndex >= static_cast<int>(lbnam.size())) {
        return;
    }
    Swap(lbnamItemIndex, lbnamItemIndex - 1);
}

void TFo_Reihenfolge::btDownClick() {
    if (lbnamItemIndex < 0 || lbnamItemIndex + 1 >= static_cast<int>(lbnam.size())) {
        return;
    }
    Swap(lbnamItemIndex, lbnamItemIndex + 1);
}

void TFo_Reihenfolge::Swap(int position, int neighbour) {
    const auto a = static_cast<std::size_t>(position);
    const auto b = static_cast<std::size_t>(neighbour);
    std::swap(lbnam[a], lbnam[b]);
    std::swap(working_[a + 1], working_[b + 1]);
    lbnamItemIndex = neighbour;
}

// The file is only the next start's copy of the order: a failed write has no message,
// as the program gives none for its protocol files.
void TFo_Reihenfolge::FormClose() {
    if (!visible) {
        return;
    }
    visible = false;
    (void)config_.SetProtocolOrder(working_);
}

}  // namespace tarvedde

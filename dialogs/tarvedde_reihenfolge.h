// The protocol order dialog: the order in which the day protocol lists the items. A view
// copies the control values below in both directions and calls the handlers.
//
// Guarantees: the order is edited on a working copy that becomes the running program's
// order, and ProtoReihe.TVW, when the form closes; it is only ever permuted, so every
// item keeps exactly one place.
#pragma once

#include <string>
#include <vector>

#include "engine/config/configuration.h"

namespace tarvedde {

class TFo_Reihenfolge {
public:
    explicit TFo_Reihenfolge(Configuration& config) : config_(config) {}

    // Control values.
    bool visible = false;
    std::vector<std::string> lbnam;  // display names, position p is protocol place p + 1
    int lbnamItemIndex = -1;

    // Event handlers. The moved entry stays selected; the first entry cannot move up,
    // the last cannot move down, and without a selection nothing moves.
    void FormShow();
    void btUpClick();
    void btDownClick();
    // Runs once per showing, so a view may call it from its own close event too.
    void FormClose();

private:
    void Swap(int position, int neighbour);

    Configuration& config_;
    ProtocolOrder working_{};
};

}  // namespace tarvedde

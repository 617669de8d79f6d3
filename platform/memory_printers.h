// Printers held in memory: none for the headless program, a list for tests, which can
// also make the platform refuse an index as a removed printer would.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/printers.h"

namespace tarvedde {

class MemoryPrinters final : public Printers {
public:
    MemoryPrinters() = default;
    // A default outside the list makes the first printer the default.
    MemoryPrinters(std::vector<std::string> names, int defaultIndex);

    void Refuse(int index) { refused_.insert(index); }

    std::vector<std::string> Names() const override { return names_; }
    int Current() const override;
    bool Select(int index) override;

private:
    std::vector<std::string> names_;
    int default_ = -1;
    int selected_ = -1;
    std::set<int> refused_;
};

}  // namespace tarvedde

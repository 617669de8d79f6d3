// The printers installed on the workstation and the one printing uses. The desktop asks
// the print system; the headless program and tests use MemoryPrinters.
#pragma once

#include <string>
#include <vector>

namespace tarvedde {

class Printers {
public:
    virtual ~Printers() = default;
    // In the platform's order: position i is printer index i. Empty: none installed.
    virtual std::vector<std::string> Names() const = 0;
    // The printer printing uses (the selected one, else the default printer); -1 when
    // none is installed.
    virtual int Current() const = 0;
    // Makes printer `index` the one printing uses; -1 goes back to the default printer.
    // False, and nothing changes, when the platform refuses the index.
    virtual bool Select(int index) = 0;
};

}  // namespace tarvedde

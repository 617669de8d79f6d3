#include "platform/memory_printers.h"

namespace tarvedde {

MemoryPrinters::MemoryPrinters(std::vector<std::string> names, int defaultIndex)
    : names_(std::move(names)) {
    const bool inList = defaultIndex >= 0 && defaultIndex < static_cast<int>(names_.size());
    default_ = names_.empty() ? -1 : inList ? defaultIndex : 0;
}

int MemoryPrinters::Current() const {
    return selected_ >= 0 ? selected_ : default_;
}

bool MemoryPrinters::Select(int index) {
    if (index == -1) {
        selected_ = -1;
        return true;
    }
    if (index < 0 || index >= static_cast<int>(names_.size()) || refused_.contains(index)) {
        return false;
    }
    selected_ = index;
    return true;
}

}  // namespace tarvedde

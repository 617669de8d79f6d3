// Tests and the benchmark set up stored records and buffers directly, where the program
// fills them through the store's restores and the configuration load.
#pragma once

#include "engine/persistence/state_files.h"

namespace tarvedde {

struct StateStoreTestAccess {
    static StoredState& Stored(StateStore& store) { return store.stored_; }
};

}  // namespace tarvedde

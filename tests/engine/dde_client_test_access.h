// Tests put value texts into the items' links directly, where the program receives them
// from the server.
#pragma once

#include "engine/acquisition/dde_client.h"

namespace tarvedde {

struct DdeClientTestAccess {
    static PerItem<ItemSource>& Sources(DdeClient& client) { return client.sources_; }
};

}  // namespace tarvedde

// Tests build a model without settings files: they write the configuration's fields
// directly, where the program goes through the loader and the named methods.
#pragma once

#include "engine/config/configuration.h"

namespace tarvedde {

struct ConfigurationTestAccess {
    static GeneralSettings& Settings(Configuration& config) { return config.settings_; }
    static PerItem<ItemConfig>& Items(Configuration& config) { return config.items_; }
    static ItemConfig& Item(Configuration& config, int n) { return config.items_[n]; }
    static ConversionTables& Tables(Configuration& config) { return config.tables_; }
    static ProtocolOrder& Order(Configuration& config) { return config.protocolOrder_; }
    static ItemLogFlagsArray& LogFlags(Configuration& config) { return config.logFlags_; }
    static DialogItemLists& DialogLists(Configuration& config) { return config.dialogLists_; }
};

}  // namespace tarvedde

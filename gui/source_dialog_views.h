// The dialogs of the data sources in the window catalog: the diary binding of the mode,
// the OPC menu's server selection and browser, and the AQASYS retrieval and parameter
// editor.
#pragma once

#include "engine/frame/tarvedde_main.h"
#include "gui/window_catalog.h"

namespace tarvedde {

// The OPC menu items run the engine's commands, which show their dialogs through the
// OpcDialogs the engine was given (QtOpcDialogs in the desktop). The engine must outlive
// the catalog.
void AddSourceDialogViews(WindowCatalog& catalog, TarveddeMain& main);

}  // namespace tarvedde

// The operator dialogs' windows in the window catalog: calibration, maintenance and
// counters (shown without blocking), the general and the item settings (modal), and the
// "DDE-Werte einstellen" menu item, which picks its window by the data source.
#pragma once

#include "engine/frame/tarvedde_main.h"
#include "gui/window_catalog.h"
#include "platform/printers.h"

namespace tarvedde {

// `printers` is what the settings dialog's printer choice lists (QtPrinters in the
// desktop); it must outlive the catalog. The AQASYS parameter editor is opened by its
// catalog name "TFo_Kestrom1", which another part registers.
void AddOperatorDialogViews(WindowCatalog& catalog, TarveddeMain& main, Printers& printers);

}  // namespace tarvedde

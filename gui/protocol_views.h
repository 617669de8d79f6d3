// The statistics window and the windows around the protocols and logs: the protocol
// order, the printer choice, the logging dialog and the warning window.
#pragma once

#include <memory>
#include "dialogs/tarvedde_warnung.h"
#include "engine/frame/tarvedde_main.h"

#include "gui/qt_printer_dialog.h"
#include "gui/window_catalog.h"

namespace tarvedde {

// Registers "Protokoll1" (statistics window), "TFo_Reihenfolge", "TFo_Drucker",
// "Logbucheinstellen1" and "TFo_Warnung". The warning window is made at once, so it can
// appear at the first warning. `engine` and `warningForm` (the session's) must outlive
// the catalog's windows. `printers` is the program's one printer selection, shared by the
// printer dialog, printing and the settings dialog.
void AddProtocolViews(WindowCatalog& catalog, TarveddeMain& engine, TFo_Warnung& warningForm,
                      std::shared_ptr<QtPrinters> printers);

}  // namespace tarvedde

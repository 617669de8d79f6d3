// Loader steps whose work lives in parts of the program that are not built yet. They sit
// here, in one place, so wiring each of them is a one-line change; until then they do
// nothing and the loader runs on without that work.
#include "engine/config/config_steps.h"

namespace tarvedde::config {

// Will select the printer of `printerIndex` for the automatic day protocol print.
void SelectPrinter(LoadScope& /*load*/) {}

}  // namespace tarvedde::config

#include "gui/source_dialog_views.h"

#include "gui/aqasys_abruf_view.h"
#include "gui/bindung_view.h"
#include "gui/kestrom1_view.h"
#include "gui/tagebuch_view.h"

namespace tarvedde {

void AddSourceDialogViews(WindowCatalog& catalog, TarveddeMain& main) {
    catalog.Add("TFo_Tagebuch", true,
                [&main](QWidget* parent) { return new TagebuchView(main, parent); });
    catalog.Add("TFo_bindung", true,
                [&main](QWidget* parent) { return new BindungView(main, parent); });
    catalog.AddCommand("UebergabezumTagebuch1", [&catalog, &main] {
        if (main.UebergabezumTagebuch1Click()) {
            // The binding was loaded for this mode: permanent positions or AQASYS indexes.
            catalog.Open(main.Config().Settings().permanentMode ? "TFo_Tagebuch" : "TFo_bindung");
        }
    });
    for (const char* menu : {"Servereinstellen1", "Browser1"}) {
        catalog.AddCommand(menu, [&main, menu] { main.MenuClick(menu); });
    }
    catalog.Add("AqasysAbrufen1", true,
                [&main](QWidget* parent) { return new AqasysAbrufView(main, parent); });
    catalog.Add("TFo_Kestrom1", true,
                [&main](QWidget* parent) { return new Kestrom1View(main, parent); });
}

}  // namespace tarvedde

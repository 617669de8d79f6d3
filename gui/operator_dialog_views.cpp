#include "gui/operator_dialog_views.h"

#include <memory>

#include "gui/einstell1_view.h"
#include "gui/graf_einstell_view.h"
#include "gui/kalibrierung_view.h"
#include "gui/qt_printer_dialog.h"
#include "gui/wartung_view.h"
#include "gui/zaehler_view.h"

namespace tarvedde {
namespace {

// The settings dialog with the printer choice it opens, which lives as long as it does.
class Einstell1Window final : public Einstell1View {
public:
    Einstell1Window(TarveddeMain& main, std::unique_ptr<QtPrinterDialog> printerDialog,
                    QWidget* parent)
        : Einstell1View(main, *printerDialog, parent), printerDialog_(std::move(printerDialog)) {}

private:
    std::unique_ptr<QtPrinterDialog> printerDialog_;
};

}  // namespace

void AddOperatorDialogViews(WindowCatalog& catalog, TarveddeMain& main, Printers& printers) {
    catalog.Add("Kalibrierung1", false,
                [&main](QWidget* parent) { return new KalibrierungView(main, parent); });
    catalog.Add("Wartung1", false,
                [&main](QWidget* parent) { return new WartungView(main, parent); });
    catalog.Add("zaehler1", false,
                [&main](QWidget* parent) { return new ZaehlerView(main, parent); });
    catalog.Add("Datenerfassung1", true, [&main, &printers](QWidget* parent) {
        return new Einstell1Window(main, std::make_unique<QtPrinterDialog>(main, printers, parent),
                                   parent);
    });
    catalog.Add("TFo_GrafEinstell", true,
                [&main](QWidget* parent) { return new GrafEinstellView(main, parent); });
    // No menu opens the time table; it belongs to the item settings dialog.
    catalog.Add("TFo_TimeTable", true, [&catalog](QWidget*) -> QWidget* {
        auto* settings = dynamic_cast<GrafEinstellView*>(catalog.Window("TFo_GrafEinstell"));
        return settings == nullptr ? nullptr : settings->TimeTable();
    });
    catalog.AddCommand("Grafik1", [&catalog, &main] {
        const GeneralSettings& settings = main.Config().Settings();
        if (settings.sourceKind == SourceKind::Aqasys) {
            catalog.Open("TFo_Kestrom1");
            return;
        }
        if (settings.itemCount <= 0) {
            main.GetHost().op.ShowMessage("Die Anzahl Ihrer Items ist Null !");
            return;
        }
        catalog.Open("TFo_GrafEinstell");
    });
}

}  // namespace tarvedde

#include "gui/protocol_views.h"

#include <memory>

#include "dialogs/tarvedde_drucker.h"
#include "gui/drucker_view.h"
#include "gui/logging_view.h"
#include "gui/qt_protocol_platform.h"
#include "gui/reihenfolge_view.h"
#include "gui/statistik_view.h"
#include "gui/warnung_view.h"

namespace tarvedde {

namespace {

// Keeps what a window binds to alive exactly as long as the window.
template <class Parts>
class Keeper final : public QObject {
public:
    Keeper(std::unique_ptr<Parts> parts, QObject* owner)
        : QObject(owner), parts_(std::move(parts)) {}

private:
    std::unique_ptr<Parts> parts_;
};

template <class Parts>
Parts& KeepWith(QObject* owner, std::unique_ptr<Parts> parts) {
    Parts& kept = *parts;
    new Keeper<Parts>(std::move(parts), owner);
    return kept;
}

class CatalogOrderDialog final : public ProtocolOrderDialog {
public:
    explicit CatalogOrderDialog(WindowCatalog& catalog) : catalog_(catalog) {}
    void Show() override { (void)catalog_.Open("TFo_Reihenfolge"); }

private:
    WindowCatalog& catalog_;
};

struct StatistikParts {
    StatistikParts(TarveddeMain& engine, WindowCatalog& catalog, std::shared_ptr<QtPrinters> shared,
                   QWidget* dialogParent)
        : printers(std::move(shared)),
          printer(*printers, dialogParent),
          fileDialog(dialogParent),
          orderDialog(catalog),
          form(engine.StatisticsText(), engine.Log().StatisticsInfo(), engine.Config(),
               engine.GetHost(), engine.Log(), engine.RunningDay(),
               {printer, fileDialog, orderDialog}) {}
    std::shared_ptr<QtPrinters> printers;
    QtProtocolPrinter printer;
    QtProtocolFileDialog fileDialog;
    CatalogOrderDialog orderDialog;
    TFo_Statistik form;
};

struct DruckerParts {
    DruckerParts(TarveddeMain& engine, std::shared_ptr<QtPrinters> shared)
        : printers(std::move(shared)),
          form(engine.Config(), engine.GetHost(), engine.Log(), *printers) {}
    std::shared_ptr<QtPrinters> printers;
    TFo_Drucker form;
};

// The day change prints without a dialog, on the printer the settings chose; that printer
// is selected now, at the start.
void ConnectDayProtocolPrint(TarveddeMain& engine, const std::shared_ptr<QtPrinters>& printers) {
    auto printer = std::make_shared<QtProtocolPrinter>(*printers, nullptr);
    engine.SetDayProtocolPrint(
        [printers, printer](const RichTextModel& text, const std::string& title, int fontSize) {
            return printer->Print(text, title, fontSize, false);
        });
    const GeneralSettings& settings = engine.Config().Settings();
    if (settings.printAtMidnight) {
        SelectPrinterOrDefault(*printers, settings.printerIndex, engine.Log());
    }
}

}  // namespace

void AddProtocolViews(WindowCatalog& catalog, TarveddeMain& engine, TFo_Warnung& warningForm,
                      std::shared_ptr<QtPrinters> printers) {
    ConnectDayProtocolPrint(engine, printers);
    catalog.Add("Protokoll1", false, [&engine, &catalog, printers](QWidget* parent) {
        auto parts = std::make_unique<StatistikParts>(engine, catalog, printers, parent);
        auto* view = new StatistikView(parts->form, parent);
        KeepWith(view, std::move(parts));
        return view;
    });
    catalog.Add("TFo_Reihenfolge", true, [&engine](QWidget* parent) {
        auto form = std::make_unique<TFo_Reihenfolge>(engine.Config());
        auto* view = new ReihenfolgeView(*form, parent);
        KeepWith(view, std::move(form));
        return view;
    });
    catalog.Add("TFo_Drucker", true, [&engine, printers](QWidget* parent) {
        auto parts = std::make_unique<DruckerParts>(engine, printers);
        auto* view = new DruckerView(parts->form, parent);
        KeepWith(view, std::move(parts));
        return view;
    });
    catalog.Add("Logbucheinstellen1", false, [&engine](QWidget* parent) {
        auto form = std::make_unique<TFo_Logging>(engine.Config(), engine.GetHost(), engine.Log());
        auto* view = new LoggingView(*form, parent);
        KeepWith(view, std::move(form));
        return view;
    });
    catalog.Add("TFo_Warnung", false, [&engine, &warningForm](QWidget* parent) {
        return new WarnungView(warningForm, engine.WarningWindow(), parent);
    });
    (void)catalog.Window("TFo_Warnung");
}

}  // namespace tarvedde

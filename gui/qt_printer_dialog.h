// The printer choice the settings dialog opens: the printer form over the given printer
// list, with Qt's print dialog as its window. Without printers the form's own message is
// all the operator sees, and no printer counts as chosen.
#pragma once

#include <QWidget>

#include "dialogs/tarvedde_drucker.h"
#include "dialogs/tarvedde_einstell1.h"
#include "engine/frame/tarvedde_main.h"
#include "platform/printers.h"

namespace tarvedde {

// The workstation's printers as Qt's print system lists them.
class QtPrinters final : public Printers {
public:
    std::vector<std::string> Names() const override;
    int Current() const override;
    bool Select(int index) override;

private:
    // Kept by name: the system's list may change between two calls.
    std::string selected_;
};

class QtPrinterDialog final : public PrinterDialog {
public:
    QtPrinterDialog(TarveddeMain& main, Printers& printers, QWidget* parent)
        : form_(main.Config(), main.GetHost(), main.Log(), printers), parent_(parent) {}

    int ShowModal() override;

private:
    TFo_Drucker form_;
    QWidget* parent_;
};

}  // namespace tarvedde

#include "gui/qt_printer_dialog.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

namespace tarvedde {

std::vector<std::string> QtPrinters::Names() const {
    std::vector<std::string> names;
    for (const QString& name : QPrinterInfo::availablePrinterNames()) {
        names.push_back(name.toStdString());
    }
    return names;
}

int QtPrinters::Current() const {
    const std::vector<std::string> names = Names();
    if (names.empty()) {
        return -1;
    }
    const std::string wanted =
        selected_.empty() ? QPrinterInfo::defaultPrinterName().toStdString() : selected_;
    const auto found = std::find(names.begin(), names.end(), wanted);
    return found == names.end() ? 0 : static_cast<int>(found - names.begin());
}

bool QtPrinters::Select(int index) {
    if (index == -1) {
        selected_.clear();
        return true;
    }
    const std::vector<std::string> names = Names();
    if (index < 0 || index >= static_cast<int>(names.size())) {
        return false;
    }
    selected_ = names[static_cast<std::size_t>(index)];
    return true;
}

int QtPrinterDialog::ShowModal() {
    form_.FormShow();
    if (form_.lbDrucker.empty()) {
        form_.btAbbrechenClick();
        return form_.Drucker();
    }
    QPrinter printer;
    if (form_.lbDruckerItemIndex >= 0) {
        printer.setPrinterName(QString::fromStdString(
            form_.lbDrucker[static_cast<std::size_t>(form_.lbDruckerItemIndex)]));
    }
    QPrintDialog dialog(&printer, parent_);
    dialog.setWindowTitle("Drucker");
    if (dialog.exec() != QDialog::Accepted) {
        form_.btAbbrechenClick();
        return form_.Drucker();
    }
    const auto chosen = std::find(form_.lbDrucker.begin(), form_.lbDrucker.end(),
                                  printer.printerName().toStdString());
    form_.lbDruckerItemIndex =
        chosen == form_.lbDrucker.end() ? -1 : static_cast<int>(chosen - form_.lbDrucker.begin());
    form_.btOKClick();
    return form_.Drucker();
}

}  // namespace tarvedde

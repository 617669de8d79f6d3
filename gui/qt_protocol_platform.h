// What the statistics window needs of the desktop: the rich texts drawn into a
// QTextDocument, Qt's printers, printing through QPrintDialog, and QFileDialog.
#pragma once

#include <QTextDocument>
#include <QWidget>
#include <cstddef>

#include "dialogs/tarvedde_statistik.h"
#include "gui/qt_printer_dialog.h"
#include "platform/printers.h"

namespace tarvedde {

// Appends paragraphs `from`.. of `text` as blocks; paragraphs without their own size take
// the document's default font. An empty document's first block is used, not left blank.
void AppendRichParagraphs(const RichTextModel& text, std::size_t from, QTextDocument& document);

class QtProtocolPrinter final : public ProtocolPrinter {
public:
    QtProtocolPrinter(const Printers& printers, QWidget* dialogParent)
        : printers_(printers), parent_(dialogParent) {}
    bool Print(const RichTextModel& text, const std::string& title, int fontSize,
               bool ask) override;

private:
    const Printers& printers_;
    QWidget* parent_;
};

class QtProtocolFileDialog final : public ProtocolFileDialog {
public:
    explicit QtProtocolFileDialog(QWidget* dialogParent) : parent_(dialogParent) {}
    std::string Open(const std::string& directory, const std::vector<FileFilter>& filters) override;

private:
    QWidget* parent_;
};

}  // namespace tarvedde

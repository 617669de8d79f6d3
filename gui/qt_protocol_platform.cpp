#include "gui/qt_protocol_platform.h"

#include <QColor>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <algorithm>

namespace tarvedde {

namespace {

Qt::Alignment AlignmentOf(TextAlignment alignment) {
    switch (alignment) {
        case TextAlignment::Center:
            return Qt::AlignHCenter;
        case TextAlignment::Right:
            return Qt::AlignRight;
        case TextAlignment::Left:
            break;
    }
    return Qt::AlignLeft;
}

QTextCharFormat CharFormatOf(const TextAttributes& attributes) {
    QTextCharFormat format;
    format.setFontWeight(attributes.bold ? QFont::Bold : QFont::Normal);
    format.setFontUnderline(attributes.underline);
    const QColor color = QColor::fromString(QString::fromStdString(attributes.color));
    format.setForeground(color.isValid() ? color : QColor(Qt::black));
    if (attributes.fontSize > 0) {
        format.setFontPointSize(attributes.fontSize);
    }
    return format;
}

}  // namespace

void AppendRichParagraphs(const RichTextModel& text, std::size_t from, QTextDocument& document) {
    const auto& paragraphs = text.Paragraphs();
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    bool useCurrentBlock = document.isEmpty();
    for (std::size_t i = from; i < paragraphs.size(); ++i) {
        const TextAttributes& attributes = paragraphs[i].attributes;
        QTextBlockFormat block;
        block.setAlignment(AlignmentOf(attributes.alignment));
        block.setLeftMargin(attributes.indent);
        const QTextCharFormat format = CharFormatOf(attributes);
        if (useCurrentBlock) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(format);
            useCurrentBlock = false;
        } else {
            cursor.insertBlock(block, format);
        }
        cursor.insertText(QString::fromStdString(paragraphs[i].text), format);
    }
}

bool QtProtocolPrinter::Print(const RichTextModel& text, const std::string& title, int fontSize,
                              bool ask) {
    QPrinter printer(QPrinter::HighResolution);
    const std::vector<std::string> names = printers_.Names();
    const int current = printers_.Current();
    if (current >= 0 && current < static_cast<int>(names.size())) {
        printer.setPrinterName(QString::fromStdString(names[static_cast<std::size_t>(current)]));
    }
    printer.setDocName(QString::fromStdString(title));
    if (ask) {
        QPrintDialog dialog(&printer, parent_);
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
    }
    if (!printer.isValid()) {
        return false;
    }
    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPointSize(fontSize);
    document.setDefaultFont(font);
    AppendRichParagraphs(text, 0, document);
    document.print(&printer);
    return true;
}

// Both spellings of each pattern: names on a Linux disk keep their case.
std::string QtProtocolFileDialog::Open(const std::string& directory,
                                       const std::vector<FileFilter>& filters) {
    QStringList filterTexts;
    for (const FileFilter& filter : filters) {
        const QString pattern = QString::fromStdString(filter.pattern);
        filterTexts << QString::fromStdString(filter.name) + " (" + pattern + " " +
                           pattern.toLower() + ")";
    }
    return QFileDialog::getOpenFileName(parent_, "Öffnen", QString::fromStdString(directory),
                                        filterTexts.join(";;"))
        .toStdString();
}

}  // namespace tarvedde

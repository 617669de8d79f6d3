#include "gui/qt_operator.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace tarvedde {
namespace {

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

void QtOperator::ShowMessage(const std::string& text) {
    QMessageBox::information(parent_, QApplication::applicationName(), ToQt(text));
}

Answer QtOperator::Ask(const std::string& text, QuestionButtons buttons) {
    auto choices = QMessageBox::Yes | QMessageBox::No;
    if (buttons == QuestionButtons::YesNoCancel) {
        choices |= QMessageBox::Cancel;
    }
    switch (QMessageBox::question(parent_, QApplication::applicationName(), ToQt(text), choices)) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

std::optional<std::string> QtOperator::InputBox(const std::string& caption,
                                                const std::string& prompt,
                                                const std::string& defaultText) {
    bool accepted = false;
    const QString text = QInputDialog::getText(parent_, ToQt(caption), ToQt(prompt),
                                               QLineEdit::Normal, ToQt(defaultText), &accepted);
    if (!accepted) {
        return std::nullopt;
    }
    return text.toStdString();
}

void QtOperator::Beep() {
    QApplication::beep();
}

}  // namespace tarvedde

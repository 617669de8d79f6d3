#include "gui/qt_operator.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "gui/form_widgets.h"

namespace tarvedde {
void QtOperator::ShowMessage(const std::string& text) {
    QMessageBox::information(parent_, QApplication::applicationName(), ToQt(text));
}

Answer QtOperator::Ask(const std::string& text, QuestionButtons buttons) {
    // Built by hand so the buttons speak the program's language, whatever Qt's locale.
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), ToQt(text),
                    QMessageBox::NoButton, parent_);
    QPushButton* yes = box.addButton("Ja", QMessageBox::YesRole);
    QPushButton* no = box.addButton("Nein", QMessageBox::NoRole);
    if (buttons == QuestionButtons::YesNoCancel) {
        box.setEscapeButton(box.addButton("Abbrechen", QMessageBox::RejectRole));
    } else {
        box.setEscapeButton(no);
    }
    box.setDefaultButton(yes);
    box.exec();
    if (box.clickedButton() == yes) {
        return Answer::Yes;
    }
    if (box.clickedButton() == no) {
        return Answer::No;
    }
    return Answer::Cancel;
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

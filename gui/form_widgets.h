// Small pieces the dialog views share: widgets named after the form's controls, and
// copies of a form field into a widget that neither emit signals nor move the caret of a
// field the operator is typing in.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <string>
#include <vector>

namespace tarvedde::view {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

inline std::string S(const QString& text) {
    return text.toStdString();
}

template <class W, class... Args>
W* Named(const char* name, Args&&... args) {
    auto* widget = new W(std::forward<Args>(args)...);
    widget->setObjectName(name);
    return widget;
}

inline QLineEdit* Edit(const char* name) {
    return Named<QLineEdit>(name);
}

inline QPushButton* Button(const char* name, const char* caption) {
    return Named<QPushButton>(name, QString(caption));
}

inline QCheckBox* Check(const char* name, const char* caption) {
    return Named<QCheckBox>(name, QString(caption));
}

inline QSpinBox* Spin(const char* name, int minimum, int maximum) {
    auto* spin = Named<QSpinBox>(name);
    spin->setRange(minimum, maximum);
    return spin;
}

inline void Put(QLineEdit* edit, const std::string& text) {
    const QString value = Q(text);
    if (edit->text() != value) {
        const QSignalBlocker block(edit);
        edit->setText(value);
    }
}

inline void Put(QLabel* label, const std::string& text) {
    label->setText(Q(text));
}

inline void Put(QCheckBox* box, bool checked) {
    const QSignalBlocker block(box);
    box->setChecked(checked);
}

inline void Put(QSpinBox* spin, int value) {
    const QSignalBlocker block(spin);
    spin->setValue(value);
}

inline void Put(QComboBox* combo, int index) {
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(index);
}

// Rebuilt only when the entries changed, so a refresh keeps the scroll position.
inline void Put(QListWidget* list, const std::vector<std::string>& entries, int index) {
    const QSignalBlocker block(list);
    bool same = list->count() == static_cast<int>(entries.size());
    for (int row = 0; same && row < list->count(); ++row) {
        same = list->item(row)->text() == Q(entries[static_cast<std::size_t>(row)]);
    }
    if (!same) {
        list->clear();
        for (const std::string& entry : entries) {
            list->addItem(Q(entry));
        }
    }
    list->setCurrentRow(index);
}

inline void PutLines(QPlainTextEdit* memo, const std::vector<std::string>& lines) {
    QStringList texts;
    for (const std::string& line : lines) {
        texts << Q(line);
    }
    const QString value = texts.join('\n');
    if (memo->toPlainText() != value) {
        const QSignalBlocker block(memo);
        memo->setPlainText(value);
    }
}

inline std::vector<std::string> Lines(const QPlainTextEdit* memo) {
    std::vector<std::string> lines;
    for (const QString& line : memo->toPlainText().split('\n', Qt::SkipEmptyParts)) {
        lines.push_back(S(line));
    }
    return lines;
}

}  // namespace tarvedde::view

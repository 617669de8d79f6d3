// Small pieces the dialog views share: widgets named after the form's controls, and
// copies of a form field into a widget that neither emit signals back into the form nor
// move the caret of a field the operator is typing in.
#pragma once

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QString>
#include <QStringList>
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

inline void Put(QListWidget* list, const std::vector<std::string>& entries, int index);

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

namespace tarvedde {

inline QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

inline QStringList ToQtList(const std::vector<std::string>& lines) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) {
        list.push_back(ToQt(line));
    }
    return list;
}

// Rebuilding an unchanged list would lose its scroll position.
inline void ShowLines(QListWidget& list, const std::vector<std::string>& lines, int current) {
    const QSignalBlocker blocker(list);
    const QStringList texts = ToQtList(lines);
    bool same = list.count() == texts.size();
    for (int i = 0; same && i < texts.size(); ++i) {
        same = list.item(i)->text() == texts[i];
    }
    if (!same) {
        list.clear();
        list.addItems(texts);
    }
    const bool valid = current >= 0 && current < list.count();
    list.setCurrentRow(valid ? current : -1);
    if (!valid) {
        list.clearSelection();
    }
}

// The selected line, -1 for none. Views follow the selection, not the current line: a
// list that gets the focus makes its first line current without the operator choosing it.
inline int SelectedRow(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.front());
}

inline void ShowChoice(QComboBox& box, const std::vector<std::string>& entries, int current) {
    const QSignalBlocker blocker(box);
    const QStringList texts = ToQtList(entries);
    bool same = box.count() == texts.size();
    for (int i = 0; same && i < texts.size(); ++i) {
        same = box.itemText(i) == texts[i];
    }
    if (!same) {
        box.clear();
        box.addItems(texts);
    }
    box.setCurrentIndex(current >= 0 && current < box.count() ? current : -1);
}

// -1 leaves no button of the group checked, which an exclusive group refuses.
inline void ShowRadio(QButtonGroup& group, int id) {
    group.setExclusive(false);
    for (QAbstractButton* button : group.buttons()) {
        const QSignalBlocker blocker(button);
        button->setChecked(group.id(button) == id);
    }
    group.setExclusive(true);
}

}  // namespace tarvedde

namespace tarvedde::view {

inline void Put(QListWidget* list, const std::vector<std::string>& entries, int index) {
    ShowLines(*list, entries, index);
}

}  // namespace tarvedde::view

// Small helpers the dialog views share to copy a form's control values into widgets
// without firing the widgets' change signals back into the form.
#pragma once

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

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

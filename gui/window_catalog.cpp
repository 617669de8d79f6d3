#include "gui/window_catalog.h"

#include <QDialog>

#include "gui/window_geometry.h"

namespace tarvedde {

void WindowCatalog::Add(const std::string& menuName, bool modal, Factory create) {
    if (!entries_.contains(menuName)) {
        order_.push_back(menuName);
    }
    entries_[menuName] = Entry{modal, std::move(create), nullptr};
}

void WindowCatalog::AddCommand(const std::string& menuName, std::function<void()> run) {
    commands_[menuName] = std::move(run);
}

QWidget* WindowCatalog::Window(const std::string& menuName) {
    const auto found = entries_.find(menuName);
    if (found == entries_.end()) {
        return nullptr;
    }
    Entry& entry = found->second;
    if (entry.window.isNull()) {
        entry.window = entry.create(parent_);
        if (!entry.window.isNull()) {
            RememberGeometry(*entry.window, QString::fromStdString(menuName));
        }
    }
    return entry.window.data();
}

bool WindowCatalog::Modal(const std::string& menuName) const {
    const auto found = entries_.find(menuName);
    return found != entries_.end() && found->second.modal;
}

bool WindowCatalog::Open(const std::string& menuName) {
    if (const auto command = commands_.find(menuName); command != commands_.end()) {
        command->second();
        return true;
    }
    QWidget* window = Window(menuName);
    if (window == nullptr) {
        return false;
    }
    auto* dialog = qobject_cast<QDialog*>(window);
    if (Modal(menuName) && dialog != nullptr) {
        dialog->exec();
        return true;
    }
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

}  // namespace tarvedde

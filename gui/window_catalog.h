// The program's windows by the menu item that opens them. The main window's menus, the
// tray menu and the screenshot tour all open windows through here, so a new view joins
// with one Add call and every way of reaching it agrees.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarvedde {

class WindowCatalog {
public:
    using Factory = std::function<QWidget*(QWidget* parent)>;

    explicit WindowCatalog(QWidget* parent) : parent_(parent) {}

    // `menuName` is the opening menu item's component name ("Kalibrierung1"). A modal
    // window must be a QDialog; it blocks until closed. The window is made at its first
    // opening and kept (hidden, not destroyed) until the program ends; it keeps the size
    // and place the operator gave it across runs, under its menu name.
    void Add(const std::string& menuName, bool modal, Factory create);
    // A menu item that decides at its click which window opens, or only tells something.
    void AddCommand(const std::string& menuName, std::function<void()> run);
    bool Contains(const std::string& menuName) const {
        return entries_.contains(menuName) || commands_.contains(menuName);
    }
    // Runs a command or opens a window; false when nothing is registered under the name.
    bool Open(const std::string& menuName);
    // The window, made when needed but not shown (the screenshot tour shows it itself).
    QWidget* Window(const std::string& menuName);
    bool Modal(const std::string& menuName) const;
    // The windows (not the commands) in the order of Add.
    const std::vector<std::string>& Names() const { return order_; }

private:
    struct Entry {
        bool modal = false;
        Factory create;
        QPointer<QWidget> window;
    };
    QWidget* parent_;
    std::map<std::string, Entry> entries_;
    std::map<std::string, std::function<void()>> commands_;
    std::vector<std::string> order_;
};

}  // namespace tarvedde

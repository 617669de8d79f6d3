// The main window TForm1's view: the program log, the OPC item list, the status and
// AQASYS groups, the main menu and the tray icon. It shows the engine's model and
// forwards the operator's clicks; every other window opens through its catalog.
#pragma once

#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <map>
#include <memory>
#include <string>

#include "dialogs/tarvedde_echtdaten.h"
#include "dialogs/tarvedde_summen.h"
#include "engine/frame/tarvedde_main.h"
#include "gui/about_box_view.h"
#include "gui/window_catalog.h"

namespace tarvedde {

class MainWindow final : public QMainWindow {
public:
    // `about` is the information window the program showed as its splash (the window
    // makes its own without one). Without a notification area the window runs without
    // its tray icon and minimises as any window does.
    explicit MainWindow(TarveddeMain& engine, std::unique_ptr<AboutBoxView> about = nullptr,
                        bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable());
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Copies the engine's models into the widgets.
    void Refresh();
    WindowCatalog& Catalog() { return catalog_; }
    // A menu or tray item: its catalogued window, else the engine's command. A name that
    // neither knows does nothing.
    void MenuClick(const std::string& name);
    // "Fenster anzeigen" in the tray menu.
    void RestoreFromTray();
    const QSystemTrayIcon* TrayIcon() const { return trayIcon1_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildMenus();
    void BuildTray(bool available);
    void AddOwnViews();
    QWidget* BuildHostRow();
    QGroupBox* BuildStatusGroup();
    QGroupBox* BuildAqasysGroup();
    QTableWidget* BuildItemList();
    void RefreshMenus();
    void RefreshItemList();
    void RefreshMessages();
    void DetachFromEngine();

    TarveddeMain& engine_;
    TFo_Echtdaten echtdatenForm_;
    TFo_Summen summenForm_;
    std::unique_ptr<AboutBoxView> about_;
    WindowCatalog catalog_;
    // The views of the forms above; deleted before the forms are.
    QPointer<QWidget> liveDataWindow_;
    QPointer<QWidget> summenView_;
    std::map<std::string, QAction*> menuItems_;
    QMenu* popupMenu1_ = nullptr;
    QSystemTrayIcon* trayIcon1_ = nullptr;
    QPlainTextEdit* memF_;
    QTableWidget* it1_;
    QLineEdit* eHost_;
    QLabel* lbStartDir_;
    QGroupBox* groupBox1_;
    QGroupBox* groupBox2_;
    QLabel* lbGetDDEItems_;
    QLabel* lbTimeout_;
    QLabel* lbAus_;
    QLabel* lbDT_;
    QLabel* lbWarnung_;
    QPushButton* btStartDDE_;
    QPushButton* btStoppen_;
    QDateEdit* piDate1_;
    QProgressBar* pb1_;
    bool refreshing_ = false;
};

}  // namespace tarvedde

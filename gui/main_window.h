// The main window's view: shows the engine's message list and status model and
// forwards the operator's clicks. It holds no state of its own.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>

#include "dialogs/tarvedde_echtdaten.h"
#include "engine/frame/tarvedde_main.h"
#include "gui/live_data_window.h"

namespace tarvedde {

class MainWindow final : public QMainWindow {
public:
    explicit MainWindow(TarveddeMain& engine);

    // Copies the engine's models into the widgets.
    void Refresh();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    QWidget* BuildStatusGroup();
    void RefreshMessages();

    TarveddeMain& engine_;
    TFo_Echtdaten echtdatenForm_;
    LiveDataWindow* liveDataWindow_;
    QAction* einzel1_ = nullptr;
    QPlainTextEdit* memF_;
    QLabel* lbStartDir_;
    QLabel* lbAus_;
    QLabel* lbDT_;
    QLabel* lbTimeout_;
    QLabel* lbGetDDEItems_;
    QPushButton* btStartDDE_;
    QPushButton* btStoppen_;
};

}  // namespace tarvedde

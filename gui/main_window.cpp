#include "gui/main_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QSplitter>
#include <QVBoxLayout>

namespace tarvedde {
namespace {

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

MainWindow::MainWindow(TarveddeMain& engine)
    : engine_(engine),
      echtdatenForm_(engine.Config(), engine.GetHost(), engine.Log(), engine.Grid()),
      liveDataWindow_(new LiveDataWindow(engine.Grid(), echtdatenForm_, this)),
      memF_(new QPlainTextEdit),
      lbStartDir_(new QLabel),
      lbAus_(new QLabel),
      lbDT_(new QLabel),
      lbTimeout_(new QLabel),
      lbGetDDEItems_(new QLabel),
      btStartDDE_(new QPushButton),
      btStoppen_(new QPushButton) {
    memF_->setReadOnly(true);
    memF_->setObjectName("memF");
    memF_->setMaximumBlockCount(0);
    echtdatenForm_.FormCreate();

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(lbStartDir_);
    layout->addWidget(BuildStatusGroup());
    layout->addWidget(memF_, 1);
    setCentralWidget(central);
    BuildMenus();
    resize(900, 600);

    engine_.Log().MessageList().SetListener([this] { RefreshMessages(); });
    engine_.Window().onChanged = [this] { Refresh(); };
    Refresh();
    RefreshMessages();
}

QWidget* MainWindow::BuildStatusGroup() {
    auto* group = new QGroupBox(" Status ");
    auto* row = new QHBoxLayout(group);
    lbGetDDEItems_->setObjectName("lbGetDDEItems");
    lbTimeout_->setObjectName("lbTimeout");
    lbAus_->setObjectName("lbAus");
    lbDT_->setObjectName("lbDT");
    btStartDDE_->setObjectName("btStartDDE");
    btStoppen_->setObjectName("btStoppen");
    row->addWidget(lbGetDDEItems_);
    row->addWidget(lbTimeout_);
    row->addWidget(lbAus_);
    row->addWidget(new QLabel("Letzte Daten um :"));
    row->addWidget(lbDT_);
    row->addStretch(1);
    row->addWidget(btStartDDE_);
    row->addWidget(btStoppen_);
    connect(btStartDDE_, &QPushButton::clicked, this,
            [this] { engine_.ButtonClick("btStartDDE"); });
    connect(btStoppen_, &QPushButton::clicked, this, [this] { engine_.ButtonClick("btStoppen"); });
    return group;
}

void MainWindow::BuildMenus() {
    QMenu* program = menuBar()->addMenu("Programm");
    QAction* quit = program->addAction("Beenden");
    quit->setObjectName("Beenden1");
    quit->setShortcut(QKeySequence("Ctrl+Alt+B"));
    connect(quit, &QAction::triggered, this, [this] { engine_.MenuClick("Beenden1"); });
    QAction* stop = program->addAction("DDE/OPC stoppen");
    stop->setObjectName("DDEOPCstoppen1");
    connect(stop, &QAction::triggered, this, [this] { engine_.MenuClick("DDEOPCstoppen1"); });

    QMenu* daten = menuBar()->addMenu("Daten");
    einzel1_ = daten->addAction("Einzelwerte");
    einzel1_->setObjectName("Einzel1");
    connect(einzel1_, &QAction::triggered, this, [this] {
        liveDataWindow_->show();
        liveDataWindow_->raise();
    });
}

void MainWindow::Refresh() {
    const MainWindowModel& window = engine_.Window();
    setWindowTitle(ToQt(window.caption));
    lbStartDir_->setText(ToQt(window.lb_StartDir));
    lbAus_->setText(ToQt(window.lbAus));
    lbAus_->setVisible(window.lbAusVisible);
    lbDT_->setText(ToQt(window.lbDT));
    lbTimeout_->setText(ToQt(window.lbTimeout));
    lbTimeout_->setVisible(window.lbTimeoutVisible);
    lbGetDDEItems_->setText(ToQt(window.lbGetDDEItems));
    const QString color = ToQt(window.lbGetDDEItemsColor);
    lbGetDDEItems_->setStyleSheet(color.isEmpty() ? QString() : "color: " + color);
    btStartDDE_->setText(ToQt(window.btStartDDE));
    btStartDDE_->setEnabled(window.btStartDDEEnabled);
    btStoppen_->setText(ToQt(window.btStoppen));
    btStoppen_->setEnabled(window.btStoppenEnabled);
    einzel1_->setEnabled(window.MenuEnabled("Einzel1"));
}

void MainWindow::RefreshMessages() {
    QString text;
    for (const std::string& line : engine_.Log().MessageList().Lines()) {
        text += ToQt(line);
        text += '\n';
    }
    memF_->setPlainText(text);
    memF_->moveCursor(QTextCursor::End);
}

// While acquisition runs the engine refuses and counts down; it then asks the host again.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (!engine_.FormClose()) {
        event->ignore();
        return;
    }
    engine_.Log().MessageList().SetListener({});
    engine_.Window().onChanged = {};
    event->accept();
}

}  // namespace tarvedde

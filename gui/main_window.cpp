#include "gui/main_window.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/form_widgets.h"
#include "gui/live_data_window.h"
#include "gui/summen_view.h"
#include "gui/window_geometry.h"
#include "platform/date_time.h"

namespace tarvedde {
namespace {

QString ColorStyle(const std::string& color) {
    return color.empty() ? QString() : "color: " + ToQt(color);
}

// The main menu in its order. A row without a parent sits in the menu bar; a submenu
// row names the menu its items give as parent.
struct MenuRow {
    const char* parent;
    const char* name;
    const char* caption;
    const char* shortcut;
    bool submenu;
};

constexpr MenuRow kMainMenu[] = {
    {"", "Programm1", "Programm", "", true},
    {"Programm1", "Beenden1", "Beenden", "Ctrl+Alt+B", false},
    {"Programm1", "DDEOPCstoppen1", "DDE/OPC stoppen", "Ctrl+Alt+S", false},
    {"", "Einstellungen1", "Einstellungen", "", true},
    {"Einstellungen1", "OPC1", "OPC", "", true},
    {"OPC1", "Servereinstellen1", "Server wählen", "", false},
    {"OPC1", "Browser1", "Browser", "", false},
    {"OPC1", "Itemseditieren1", "Items änderbar", "", false},
    {"Einstellungen1", "Datenerfassung1", "Datenerfassung", "", false},
    {"Einstellungen1", "Grafik1", "DDE-Werte einstellen", "", false},
    {"Einstellungen1", "UebergabezumTagebuch1", "Übergabe zum Tagebuch", "", false},
    {"Einstellungen1", "Initialisierung1", "Initialisierung", "", true},
    {"Initialisierung1", "SummenOffsetgespiegelteWerte1", "Summen-Offset (gespiegelte Werte)", "",
     false},
    {"Initialisierung1", "MinimaMaxima1", "Minima / Maxima löschen", "", false},
    {"Initialisierung1", "MittelwerteSummen1", "Mittelwerte / Summen löschen", "", false},
    {"Initialisierung1", "Tagesdatenloeschen1", "Alle Tagesdaten löschen", "", false},
    {"Initialisierung1", "NachtzulaufEWIndeingeben1", "Nachtzulauf Einwohner+Industrie eingeben",
     "", false},
    {"", "Daten1", "Daten", "", true},
    {"Daten1", "Einzel1", "Einzelwerte", "", false},
    {"Daten1", "Integral1", "Integral && gleitender Mittelwert", "", false},
    {"Daten1", "zaehler1", "Zählerstände und Minima/Maxima", "", false},
    {"Daten1", "Wartung1", "Wartung", "", false},
    {"Daten1", "AqasysAbrufen1", "AQASYS-Daten neu abrufen", "", false},
    {"Daten1", "Neustart1", "Neustart nach Tageswechsel-Statistik", "", false},
    {"Daten1", "Logbucheinstellen1", "Logbuch einstellen", "", false},
    {"Daten1", "Kalibrierung1", "Kalibrierung", "", false},
    {"Daten1", "Fremdwasser1", "Fremdwasser", "", false},
    {"Daten1", "Tagesverlauf1", "Tagesverlauf", "", false},
    {"", "Protokoll1", "Protokoll", "Ctrl+P", false},
    {"", "Info1", "Info", "Ctrl+I", false},
};

// The tray's popup menu: caption and the main menu item it stands for.
constexpr std::pair<const char*, const char*> kPopupMenu[] = {
    {"Einzelwerte", "Einzel1"}, {"Integral", "Integral1"},   {"Zählerstände", "zaehler1"},
    {"Wartung", "Wartung1"},    {"Protokoll", "Protokoll1"}, {"Info", "Info1"},
};

constexpr int kItemColumnWidth = 81;

QLabel* NamedLabel(const char* name, const QString& text = {}) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

}  // namespace

MainWindow::MainWindow(TarveddeMain& engine, std::unique_ptr<AboutBoxView> about,
                       bool trayAvailable)
    : engine_(engine),
      echtdatenForm_(engine.Config(), engine.GetHost(), engine.Log(), engine.Grid()),
      summenForm_(engine.Config(), engine.GetHost(), engine.RegionalSettings(), engine.Integrator(),
                  engine.FifteenMinuteValuesOf(), engine.MovingAveragesOf()),
      about_(about ? std::move(about) : std::make_unique<AboutBoxView>()),
      catalog_(this),
      memF_(new QPlainTextEdit),
      it1_(BuildItemList()),
      eHost_(new QLineEdit),
      lbStartDir_(NamedLabel("lb_StartDir")),
      groupBox1_(nullptr),
      groupBox2_(nullptr),
      lbGetDDEItems_(NamedLabel("lbGetDDEItems")),
      lbTimeout_(NamedLabel("lbTimeout")),
      lbAus_(NamedLabel("lbAus")),
      lbDT_(NamedLabel("lbDT")),
      lbWarnung_(NamedLabel("lbWarnung")),
      btStartDDE_(new QPushButton),
      btStoppen_(new QPushButton),
      piDate1_(new QDateEdit),
      pb1_(new QProgressBar) {
    setObjectName("Form1");
    // The program ends through its own menu, which saves the day's state first.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint);
    memF_->setReadOnly(true);
    memF_->setObjectName("memF");
    memF_->setMaximumBlockCount(0);
    echtdatenForm_.FormCreate();

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName("Splitter1");
    splitter->addWidget(memF_);
    splitter->addWidget(it1_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(BuildHostRow());
    groupBox1_ = BuildStatusGroup();
    groupBox2_ = BuildAqasysGroup();
    layout->addWidget(groupBox1_);
    layout->addWidget(groupBox2_);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);
    BuildMenus();
    BuildTray(trayAvailable);
    AddOwnViews();
    resize(960, 640);
    RememberGeometry(*this, "Form1");

    engine_.Log().MessageList().SetListener([this] { RefreshMessages(); });
    engine_.Window().onChanged = [this] { Refresh(); };
    Refresh();
    RefreshMessages();
}

MainWindow::~MainWindow() {
    DetachFromEngine();
    delete liveDataWindow_.data();
    delete summenView_.data();
}

// The live data window listens to the grid only while shown; a window destroyed while
// shown must not leave its listener behind.
void MainWindow::DetachFromEngine() {
    engine_.Log().MessageList().SetListener({});
    engine_.Window().onChanged = {};
    if (liveDataWindow_ != nullptr) {
        engine_.Grid().SetListener({});
    }
}

void MainWindow::AddOwnViews() {
    catalog_.Add("Info1", true, [this](QWidget*) -> QWidget* { return about_.get(); });
    catalog_.Add("Einzel1", false, [this](QWidget* parent) -> QWidget* {
        auto* window = new LiveDataWindow(engine_.Grid(), echtdatenForm_, parent);
        liveDataWindow_ = window;
        return window;
    });
    catalog_.Add("Integral1", false, [this](QWidget* parent) -> QWidget* {
        summenView_ = new SummenView(summenForm_, parent);
        return summenView_.data();
    });
}

QWidget* MainWindow::BuildHostRow() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lbStartDir_, 1);
    layout->addWidget(NamedLabel("Label2", "Host"));
    eHost_->setObjectName("eHost");
    eHost_->setMinimumWidth(160);
    layout->addWidget(eHost_);
    connect(eHost_, &QLineEdit::textEdited, this,
            [this](const QString& text) { engine_.Window().eHost = text.toStdString(); });
    return row;
}

QGroupBox* MainWindow::BuildStatusGroup() {
    auto* group = new QGroupBox(" Status ");
    group->setObjectName("GroupBox1");
    auto* row = new QHBoxLayout(group);
    btStartDDE_->setObjectName("btStartDDE");
    btStoppen_->setObjectName("btStoppen");
    row->addWidget(lbGetDDEItems_);
    row->addWidget(lbTimeout_);
    row->addWidget(lbAus_);
    row->addWidget(NamedLabel("Label1", "Letzte Daten um :"));
    row->addWidget(lbDT_);
    row->addWidget(lbWarnung_, 1);
    row->addWidget(btStartDDE_);
    row->addWidget(btStoppen_);
    connect(btStartDDE_, &QPushButton::clicked, this,
            [this] { engine_.ButtonClick("btStartDDE"); });
    connect(btStoppen_, &QPushButton::clicked, this, [this] { engine_.ButtonClick("btStoppen"); });
    return group;
}

QGroupBox* MainWindow::BuildAqasysGroup() {
    auto* group = new QGroupBox(" AQASYS-Daten neu lesen ab ");
    group->setObjectName("GroupBox2");
    auto* row = new QHBoxLayout(group);
    piDate1_->setObjectName("piDate1");
    piDate1_->setCalendarPopup(true);
    piDate1_->setDisplayFormat("dd.MM.yyyy");
    pb1_->setObjectName("pb1");
    row->addWidget(piDate1_);
    row->addWidget(pb1_, 1);
    const auto toDateTime = [](QDate date) {
        return EncodeDate(date.year(), date.month(), date.day());
    };
    connect(piDate1_, &QDateEdit::userDateChanged, this,
            [this, toDateTime](QDate date) { engine_.Window().piDate1 = toDateTime(date); });
    // Choosing in the calendar marks the days from the chosen one as unread.
    connect(piDate1_->calendarWidget(), &QCalendarWidget::clicked, this,
            [this, toDateTime](QDate date) {
                engine_.Window().piDate1 = toDateTime(date);
                engine_.Aqasys().piDate1CloseUp(toDateTime(date));
            });
    return group;
}

QTableWidget* MainWindow::BuildItemList() {
    auto* list = new QTableWidget(0, 4);
    list->setObjectName("it1");
    list->setHorizontalHeaderLabels({"Item", "Value", "Quality", "Timestamp"});
    list->horizontalHeader()->setDefaultSectionSize(kItemColumnWidth);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // Edited identifiers are asked for at the next start; they are not saved.
    connect(list, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        std::vector<ItemListRow>& rows = engine_.Window().it1;
        if (refreshing_ || item->column() != 0 ||
            static_cast<std::size_t>(item->row()) >= rows.size()) {
            return;
        }
        rows[static_cast<std::size_t>(item->row())].caption = item->text().toStdString();
    });
    return list;
}

void MainWindow::BuildMenus() {
    std::map<std::string, QMenu*> menus;
    for (const MenuRow& row : kMainMenu) {
        QMenu* parent = *row.parent == '\0' ? nullptr : menus.at(row.parent);
        QAction* action = nullptr;
        if (row.submenu) {
            QMenu* menu =
                parent != nullptr ? parent->addMenu(row.caption) : menuBar()->addMenu(row.caption);
            menu->setObjectName(row.name);
            menus[row.name] = menu;
            action = menu->menuAction();
        } else {
            action = parent != nullptr ? parent->addAction(row.caption)
                                       : menuBar()->addAction(row.caption);
            action->setShortcut(QKeySequence(row.shortcut));
            const std::string name = row.name;
            connect(action, &QAction::triggered, this, [this, name] { MenuClick(name); });
        }
        action->setObjectName(row.name);
        menuItems_[row.name] = action;
    }
    menuItems_.at("Itemseditieren1")->setCheckable(true);
    menuItems_.at("Neustart1")->setCheckable(true);
}

void MainWindow::BuildTray(bool available) {
    popupMenu1_ = new QMenu(this);
    popupMenu1_->setObjectName("PopupMenu1");
    for (const auto& [caption, name] : kPopupMenu) {
        const std::string item = name;
        popupMenu1_->addAction(caption, this, [this, item] { MenuClick(item); });
    }
    popupMenu1_->addAction("Fenster anzeigen", this, [this] { RestoreFromTray(); });
    if (!available) {
        engine_.Log().WriteLog(
            "Kein Infobereich für Symbole vorhanden: das Programm läuft ohne Tray-Symbol.");
        return;
    }
    QIcon icon = windowIcon();
    if (icon.isNull()) {
        icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    }
    trayIcon1_ = new QSystemTrayIcon(icon, this);
    trayIcon1_->setObjectName("TrayIcon1");
    trayIcon1_->setToolTip("Tarvewater Systems - DDE Online-Datenerfassung");
    trayIcon1_->setContextMenu(popupMenu1_);
    trayIcon1_->show();
}

void MainWindow::MenuClick(const std::string& name) {
    if (catalog_.Open(name)) {
        return;
    }
    engine_.MenuClick(name);
    RefreshMenus();
}

void MainWindow::RestoreFromTray() {
    showNormal();
    raise();
    activateWindow();
}

// Minimised, only the tray icon remains; without one the window minimises as usual.
void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && trayIcon1_ != nullptr && isMinimized()) {
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) {
                hide();
            }
        });
    }
}

void MainWindow::Refresh() {
    const MainWindowModel& window = engine_.Window();
    setWindowTitle(ToQt(window.caption));
    lbStartDir_->setText(ToQt(window.lb_StartDir));
    if (!eHost_->hasFocus()) {
        eHost_->setText(ToQt(window.eHost));
    }
    groupBox1_->setVisible(window.groupBox1Visible);
    groupBox2_->setVisible(window.groupBox2Visible);
    lbAus_->setText(ToQt(window.lbAus));
    lbAus_->setVisible(window.lbAusVisible);
    lbDT_->setText(ToQt(window.lbDT));
    lbTimeout_->setText(ToQt(window.lbTimeout));
    lbTimeout_->setVisible(window.lbTimeoutVisible);
    lbGetDDEItems_->setText(ToQt(window.lbGetDDEItems));
    lbGetDDEItems_->setVisible(window.lbGetDDEItemsVisible);
    lbGetDDEItems_->setStyleSheet(ColorStyle(window.lbGetDDEItemsColor));
    lbWarnung_->setText(ToQt(window.lbWarnung));
    lbWarnung_->setVisible(window.lbWarnungVisible);
    lbWarnung_->setStyleSheet(ColorStyle(window.lbWarnungColor));
    btStartDDE_->setText(ToQt(window.btStartDDE));
    btStartDDE_->setEnabled(window.btStartDDEEnabled);
    btStoppen_->setText(ToQt(window.btStoppen));
    btStoppen_->setEnabled(window.btStoppenEnabled);
    if (!piDate1_->hasFocus()) {
        const DateParts day = DecodeDate(window.piDate1);
        piDate1_->setDate(QDate(day.year, day.month, day.day));
    }
    pb1_->setRange(0, window.pb1Max);
    pb1_->setValue(window.pb1Position);
    RefreshItemList();
    RefreshMenus();
}

void MainWindow::RefreshMenus() {
    const MainWindowModel& window = engine_.Window();
    for (const auto& [name, action] : menuItems_) {
        action->setEnabled(window.MenuEnabled(name));
        if (const auto caption = window.menuCaption.find(name);
            caption != window.menuCaption.end()) {
            action->setText(ToQt(caption->second));
        }
    }
    menuItems_.at("Itemseditieren1")->setChecked(window.it1Editable);
    menuItems_.at("Neustart1")->setChecked(engine_.RestartAfterDayChange());
}

void MainWindow::RefreshItemList() {
    const MainWindowModel& window = engine_.Window();
    refreshing_ = true;
    bool captionsChanged = it1_->rowCount() != static_cast<int>(window.it1.size());
    it1_->setRowCount(static_cast<int>(window.it1.size()));
    const Qt::ItemFlags fixed = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    for (int row = 0; row < it1_->rowCount(); ++row) {
        const ItemListRow& item = window.it1[static_cast<std::size_t>(row)];
        for (int column = 0; column < 4; ++column) {
            const QString text = ToQt(
                column == 0 ? item.caption : item.columns[static_cast<std::size_t>(column - 1)]);
            QTableWidgetItem* cell = it1_->item(row, column);
            if (cell == nullptr) {
                cell = new QTableWidgetItem;
                it1_->setItem(row, column, cell);
            }
            if (cell->text() != text) {
                cell->setText(text);
                captionsChanged = captionsChanged || column == 0;
            }
            const bool editable = column == 0 && window.it1Editable;
            cell->setFlags(editable ? fixed | Qt::ItemIsEditable : fixed);
        }
    }
    // The identifiers are wider than the list's 81-pixel columns; cut, they all look alike.
    if (captionsChanged) {
        it1_->resizeColumnToContents(0);
        it1_->setColumnWidth(0, std::max(it1_->columnWidth(0), kItemColumnWidth));
    }
    refreshing_ = false;
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
    DetachFromEngine();
    if (trayIcon1_ != nullptr) {
        trayIcon1_->hide();
    }
    event->accept();
}

}  // namespace tarvedde

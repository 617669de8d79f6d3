// tarvedde: the desktop client. With --headless it runs as tarvedde-headless does.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <csignal>
#include <iostream>

#include "app/client_session.h"
#include "app/command_line.h"
#include "app/headless_runner.h"
#include "app/plant_status.h"
#include "gui/about_box_view.h"
#include "gui/main_window.h"
#include "gui/operator_dialog_views.h"
#include "gui/protocol_views.h"
#include "gui/qt_event_loop.h"
#include "gui/qt_opc_dialogs.h"
#include "gui/qt_operator.h"
#include "gui/qt_printer_dialog.h"
#include "gui/screenshot_tour.h"
#include "gui/source_dialog_views.h"
#include "gui/stop_window.h"
#include "gui/trend_window.h"
#include "platform/system_shell.h"
#include "sources/opc_socket_transport.h"
#include "sources/socket_dde_transport.h"

namespace {

int signalPipeWrite = -1;

extern "C" void OnDesktopTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipeWrite, &byte, 1);
}

// SIGINT and SIGTERM close the window as the operator would, so the client ends with its
// state saved (during acquisition after the stop countdown); the handler only writes to a
// pipe that the event loop watches.
std::unique_ptr<tarvedde::FdWatch> WatchTerminationSignals(tarvedde::EventLoop& loop,
                                                           QWidget& window) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return nullptr;
    }
    signalPipeWrite = fds[1];
    struct sigaction action {};
    action.sa_handler = OnDesktopTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    const int readFd = fds[0];
    return loop.WatchReadable(readFd, [readFd, &window] {
        char buffer[16];
        while (::read(readFd, buffer, sizeof buffer) > 0) {
        }
        window.close();
    });
}

// The operator hears when the program log cannot be written and when it can again. The
// message waits for the event loop, so no dialog opens in the middle of a cycle.
class OperatorLogWatcher final : public tarvedde::LogFileWatcher {
public:
    explicit OperatorLogWatcher(tarvedde::Operator& person) : person_(person) {}
    void LogFileFailed(const std::string& reason) override {
        Tell(
            "Das Programmprotokoll kann nicht geschrieben werden, seine Zeilen gehen "
            "verloren !\r\n" +
            reason);
    }
    void LogFileRecovered(int lostLines) override {
        Tell("Das Programmprotokoll wird wieder geschrieben, " + std::to_string(lostLines) +
             " Zeilen fehlen.");
    }

private:
    void Tell(const std::string& text) {
        QTimer::singleShot(0, [this, text] { person_.ShowMessage(text); });
    }
    tarvedde::Operator& person_;
};

int RunDesktop(const tarvedde::CommandLine& commandLine, int argc, char** argv) {
    using namespace tarvedde;
    QApplication application(argc, argv);
    // The information window stands as the splash while the start runs.
    auto about = std::make_unique<AboutBoxView>();
    about->ShowAsSplash();
    QApplication::setApplicationName("Tarvewater Online-Client");

    auto files = MakeRealFileSystem();
    auto clock = MakeSystemClock();
    auto shell = MakeSystemShell();
    QtEventLoop loop;
    QtOperator person;

    const auto kind = ResolveSourceKind(commandLine, *files);
    if (!kind) {
        std::cerr << kind.error().message << '\n';
        return 2;
    }

    SystemInstanceLocks locks;
    SessionLogSink logSink;
    SocketDdeTransport dde(loop, "", logSink.Function());
    SocketOpcTransport opc(loop, OpcSocketOptions{}, logSink.Function());
    auto zone = TimeZone::System();
    if (!zone) {
        std::cerr << zone.error().message << "; OPC time stamps are shown in UTC\n";
    }
    const TimeZone localZone = zone ? std::move(zone).value() : TimeZone::Utc();
    StartOptions options;
    options.programDir = commandLine.programDir;
    options.sourceKind = kind.value();
    ClientSession session(Host{*files, *clock, loop, person, *shell, locks, &dde, &opc, &localZone},
                          options);
    logSink.Attach(&session);
    OperatorLogWatcher logWatcher(person);
    session.Engine().Log().SetWatcher(&logWatcher);
    TarveddeMain& engine = session.Engine();
    if (!session.Create()) {
        return 0;
    }
    // The printer selection outlives the windows that share it.
    const auto printers = std::make_shared<QtPrinters>();
    MainWindow window(engine, std::move(about));
    StopWindow stopView(session.StopWindow(), &window);
    person.SetParent(&window);
    QtOpcDialogs opcDialogs(engine, &window);
    engine.SetOpcDialogs(&opcDialogs);
    WindowCatalog& catalog = window.Catalog();
    AddOperatorDialogViews(catalog, engine, *printers);
    AddSourceDialogViews(catalog, engine);
    AddProtocolViews(catalog, engine, session.WarningWindow(), printers);
    AddTrendView(catalog, engine);
    window.show();
    const auto signalWatch = WatchTerminationSignals(loop, window);
    if (!commandLine.screenshotDir.empty()) {
        ScheduleScreenshotTour(window, catalog, commandLine.screenshotDir,
                               commandLine.screenshotDelaySeconds * 1000);
    }
    QTimer::singleShot(0, [&engine] { engine.FormShow(); });
    // The engine quits the loop when it wants its window closed.
    return session.RunUntilClosed([] { return QApplication::exec(); });
}

}  // namespace

int main(int argc, char** argv) {
    tarvedde::CommandLine commandLine;
    if (const auto status = tarvedde::ParseOrExit({argv, argv + argc}, commandLine)) {
        return *status;
    }
    if (commandLine.status) {
        return tarvedde::PrintPlantStatus(commandLine.programDir, commandLine.staleAfterSeconds,
                                          std::cout);
    }
    if (commandLine.headless) {
        return tarvedde::RunHeadless(commandLine, "tarvedde");
    }
    return RunDesktop(commandLine, argc, argv);
}

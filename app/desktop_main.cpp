// tarvedde: the desktop client. With --headless it runs as tarvedde-headless does.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <csignal>
#include <iostream>

#include "app/command_line.h"
#include "app/headless_runner.h"
#include "engine/tarvedde_main.h"
#include "gui/main_window.h"
#include "gui/qt_event_loop.h"
#include "gui/qt_operator.h"
#include "platform/system_shell.h"

namespace {

int signalPipeWrite = -1;

extern "C" void OnDesktopTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipeWrite, &byte, 1);
}

// SIGINT and SIGTERM close the window as the operator would, so the client ends with its
// state saved; the handler only writes to a pipe that the event loop watches.
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
        QApplication::quit();
    });
}

int RunDesktop(const tarvedde::CommandLine& commandLine, int argc, char** argv) {
    using namespace tarvedde;
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tarvewater Online-Client");

    auto files = MakeRealFileSystem();
    auto clock = MakeSystemClock();
    auto shell = MakeSystemShell();
    QtEventLoop loop;
    QtOperator person;

    SourceKind kind = SourceKind::Dde;
    if (commandLine.sourceKind) {
        kind = *commandLine.sourceKind;
    } else {
        auto installed = ReadInstalledSourceKind(*files, commandLine.programDir);
        if (!installed) {
            std::cerr << installed.error().message << '\n';
            return 2;
        }
        kind = installed.value();
    }

    Host host{*files, *clock, loop, person, *shell};
    StartOptions options;
    options.programDir = commandLine.programDir;
    options.sourceKind = kind;
    TarveddeMain engine(host, options);
    if (!engine.FormCreate()) {
        return 0;
    }
    MainWindow window(engine);
    person.SetParent(&window);
    window.show();
    const auto signalWatch = WatchTerminationSignals(loop, window);
    QTimer::singleShot(0, [&engine] { engine.FormShow(); });
    const int result = QApplication::exec();
    engine.FormClose();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    auto commandLine = tarvedde::ParseCommandLine(args);
    if (!commandLine) {
        std::cerr << commandLine.error().message << '\n' << tarvedde::UsageText(args[0]);
        return 2;
    }
    if (commandLine.value().help) {
        std::cout << tarvedde::UsageText(args[0]);
        return 0;
    }
    if (commandLine.value().headless) {
        return tarvedde::RunHeadless(commandLine.value(), "tarvedde");
    }
    return RunDesktop(commandLine.value(), argc, argv);
}

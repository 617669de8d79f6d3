// tarvedde: the desktop client. With --headless it runs as tarvedde-headless does.
#include <QApplication>
#include <QTimer>
#include <iostream>

#include "app/command_line.h"
#include "app/headless_runner.h"
#include "engine/tarvedde_main.h"
#include "gui/main_window.h"
#include "gui/qt_event_loop.h"
#include "gui/qt_operator.h"
#include "platform/system_shell.h"

namespace {

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

#include "app/headless_runner.h"

#include <csignal>
#include <iostream>

#include "dialogs/tarvedde_stop.h"
#include "engine/tarvedde_main.h"
#include "platform/poll_event_loop.h"
#include "platform/system_shell.h"
#include "platform/unattended_operator.h"
#include "sources/socket_dde_transport.h"

namespace tarvedde {
namespace {

PollEventLoop* signalLoop = nullptr;

extern "C" void OnHeadlessTerminationSignal(int) {
    if (signalLoop != nullptr) {
        signalLoop->RequestQuitFromSignal();
    }
}

void InstallSignalHandlers(PollEventLoop& loop) {
    signalLoop = &loop;
    struct sigaction action {};
    action.sa_handler = OnHeadlessTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int RunHeadless(const CommandLine& commandLine, const std::string& lockName) {
    auto files = MakeRealFileSystem();
    auto clock = MakeSystemClock();
    auto created = PollEventLoop::Create(*clock);
    if (!created) {
        std::cerr << created.error().message << '\n';
        return 1;
    }
    PollEventLoop& loop = *created.value();
    auto shell = MakeSystemShell();

    const auto kind = ResolveSourceKind(commandLine, *files);
    if (!kind) {
        std::cerr << kind.error().message << '\n';
        return 2;
    }

    TarveddeMain* engine = nullptr;
    // Nobody is there to answer: messages go to the log, and a start that would put a
    // second client into a working directory is abandoned.
    UnattendedOperator person(
        [&engine](const std::string& text) {
            std::cerr << text << '\n';
            if (engine != nullptr) {
                engine->Log().WriteLog("Meldung: " + text);
            }
        },
        Answer::No);
    person.SetAnswer("Programmstart abbrechen ?", Answer::Yes);

    // The plant's DDE server is reached through the local socket protocol; transport
    // problems (a broken peer, a refused frame) go to the program log.
    SocketDdeTransport dde(loop, "", [&engine](const std::string& text) {
        if (engine != nullptr) {
            engine->Log().WriteLog(text);
        }
    });
    Host host{*files, *clock, loop, person, *shell, &dde};
    StartOptions options;
    options.programDir = commandLine.programDir;
    options.sourceKind = kind.value();
    options.lockName = lockName;
    TarveddeMain main(host, options);
    engine = &main;
    TFo_Stop stopWindow(main);

    if (!main.FormCreate()) {
        return 0;
    }
    InstallSignalHandlers(loop);
    main.FormShow();
    // A signal quits the loop: while acquisition runs the close is refused and the stop
    // countdown runs out unanswered (8 s); the engine then quits the loop again, stopped.
    loop.Run();
    while (!main.FormClose()) {
        loop.Run();
    }
    signalLoop = nullptr;
    return 0;
}

}  // namespace tarvedde

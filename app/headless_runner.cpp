#include "app/headless_runner.h"

#include <csignal>
#include <iostream>

#include "platform/operator_transcript.h"
#include "platform/system_shell.h"

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

Result<std::unique_ptr<HeadlessClient>> HeadlessClient::Create(const StartOptions& options,
                                                               const std::string& ddeDirectory) {
    auto clock = MakeSystemClock();
    auto loop = PollEventLoop::Create(*clock);
    if (!loop) {
        return loop.error();
    }
    return std::unique_ptr<HeadlessClient>(
        new HeadlessClient(std::move(clock), std::move(loop).value(), options, ddeDirectory));
}

// Nobody is there to answer: messages go to the log, and a start that would put a second
// client into a working directory is abandoned. Transport problems (a broken peer, a
// refused frame) go to the program log too.
HeadlessClient::HeadlessClient(std::unique_ptr<Clock> clock, std::unique_ptr<PollEventLoop> loop,
                               const StartOptions& options, const std::string& ddeDirectory)
    : clock_(std::move(clock)),
      loop_(std::move(loop)),
      files_(MakeRealFileSystem()),
      shell_(MakeSystemShell()),
      person_(
          [this](const std::string& text) {
              if (text == BeepLine()) {
                  ++beeps_;
                  return;
              }
              std::cerr << text << '\n';
              LogLine("Meldung: " + text);
          },
          Answer::No),
      dde_(*loop_, ddeDirectory, [this](const std::string& text) { LogLine(text); }),
      host_{*files_, *clock_, *loop_, person_, *shell_, &dde_},
      main_(host_, options) {
    person_.SetAnswer("Programmstart abbrechen ?", Answer::Yes);
    engineReady_ = true;
}

void HeadlessClient::LogLine(const std::string& text) {
    if (engineReady_) {
        main_.Log().WriteLog(text);
    }
}

void HeadlessClient::RunUntilClosed() {
    loop_->Run();
    while (!main_.FormClose()) {
        loop_->Run();
    }
}

int RunHeadless(const CommandLine& commandLine, const std::string& lockName) {
    auto files = MakeRealFileSystem();
    const auto kind = ResolveSourceKind(commandLine, *files);
    if (!kind) {
        std::cerr << kind.error().message << '\n';
        return 2;
    }
    StartOptions options;
    options.programDir = commandLine.programDir;
    options.sourceKind = kind.value();
    options.lockName = lockName;
    auto client = HeadlessClient::Create(options, "");
    if (!client) {
        std::cerr << client.error().message << '\n';
        return 1;
    }
    TarveddeMain& main = client.value()->Engine();
    if (!main.FormCreate()) {
        return 0;
    }
    InstallSignalHandlers(client.value()->Loop());
    main.FormShow();
    client.value()->RunUntilClosed();
    signalLoop = nullptr;
    return 0;
}

}  // namespace tarvedde

// A shell for tests: records what would have been started and the requested exit, and
// returns. Callers must return right after TerminateProcess, as the real one never comes
// back.
#pragma once

#include <string>
#include <vector>

#include "platform/shell.h"

namespace tarvedde {

class RecordingShell : public Shell {
public:
    struct StartedProgram {
        std::string program;
        std::vector<std::string> args;
        bool operator==(const StartedProgram&) const = default;
    };

    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override;
    // Only the first request counts: the real process would have ended there.
    void TerminateProcess(int exitCode) override;

    // What StartProgram reports; true by default.
    void SetStartSucceeds(bool succeeds) { startSucceeds_ = succeeds; }
    const std::vector<StartedProgram>& Started() const { return started_; }
    bool terminated() const { return terminated_; }
    int exitCode() const { return exitCode_; }

private:
    std::vector<StartedProgram> started_;
    bool startSucceeds_ = true;
    bool terminated_ = false;
    int exitCode_ = 0;
};

}  // namespace tarvedde

// Records instead of acting.
#include "platform/recording_shell.h"

namespace tarvedde {

bool RecordingShell::StartProgram(const std::string& program,
                                  const std::vector<std::string>& args) {
    started_.push_back({program, args});
    return startSucceeds_;
}

void RecordingShell::TerminateProcess(int exitCode) {
    if (!terminated_) {
        terminated_ = true;
        exitCode_ = exitCode;
    }
}

}  // namespace tarvedde

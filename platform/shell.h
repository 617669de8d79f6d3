// Outside programs and the end of the own process.
#pragma once

#include <string>
#include <vector>

namespace tarvedde {

class Shell {
public:
    virtual ~Shell() = default;
    // Starts `program` without waiting; false when it could not be started.
    virtual bool StartProgram(const std::string& program, const std::vector<std::string>& args) = 0;
    // Ends the process at once, without close handling. A fake records the call and
    // returns, so callers must return right after it.
    virtual void TerminateProcess(int exitCode) = 0;
};

}  // namespace tarvedde

#pragma once

#include <string>

namespace halvern::platform {

/// The running program's own process: where its executable is, and how it ends.
class ProgramProcess {
public:
    virtual ~ProgramProcess() = default;

    /// Full path of the running executable.
    virtual std::string executablePath() const = 0;
    /// Leaves the event loop, so the program ends after the current handler.
    virtual void quit() = 0;
    /// Ends the process at once, without any unload step.
    [[noreturn]] virtual void terminate(int exitCode) = 0;
};

}  // namespace halvern::platform

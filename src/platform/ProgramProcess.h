#pragma once

#include <string>

namespace halvern::platform {

/// Where the program's files live, each folder without a trailing slash.
struct ProgramFolders {
    /// The executable's own folder: where an earlier build kept every file.
    std::string executable;
    /// The shipped, read-only files: the installation's data folder, or the executable's own
    /// folder in a build tree.
    std::string shipped;
    /// The user's settings.
    std::string config;
    /// The user's lists and the program's own state.
    std::string data;
};

/// The running program's own process: where its executable is, and how it ends.
class ProgramProcess {
public:
    virtual ~ProgramProcess() = default;

    /// Full path of the running executable.
    virtual std::string executablePath() const = 0;
    /// Where the program's files live for this executable and this user.
    virtual ProgramFolders folders() const = 0;
    /// Leaves the event loop, so the program ends after the current handler.
    virtual void quit() = 0;
    /// Ends the process at once, without any unload step.
    [[noreturn]] virtual void terminate(int exitCode) = 0;
};

}  // namespace halvern::platform

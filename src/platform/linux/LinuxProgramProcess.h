#pragma once

#include <functional>

#include "platform/ProgramProcess.h"

namespace halvern::platform {

/// The program's process on Linux: the executable from /proc/self/exe, an end that flushes the
/// standard streams, and a quit that the composition root connects to its event loop.
class LinuxProgramProcess final : public ProgramProcess {
public:
    std::string executablePath() const override;
    /// The XDG folders of the user and the shipped folder of this executable (XdgFolders).
    ProgramFolders folders() const override;
    void quit() override;
    [[noreturn]] void terminate(int exitCode) override;

    /// Set by the composition root to leave its event loop.
    std::function<void()> onQuit;
};

}  // namespace halvern::platform

#pragma once

#include <string>

#include "platform/ProgramProcess.h"

namespace halvern::platform {

/// The program's process in a test: a fixed executable path and folders, a recorded quit, and an
/// end that throws Terminated instead of ending the test. The shipped files are in the
/// executable's folder, as in a build tree.
class FakeProgramProcess final : public ProgramProcess {
public:
    std::string executablePath() const override { return executable; }
    ProgramFolders folders() const override { return programFolders; }
    void quit() override { quitRequested = true; }
    /// Throws Terminated with the exit code, so a test sees the program end there.
    [[noreturn]] void terminate(int exitCode) override;

    struct Terminated {
        int exitCode;
    };

    std::string executable = "/opt/halvern/zorvik";
    ProgramFolders programFolders{"/opt/halvern", "/opt/halvern", "/home/user/.config/halvern",
                                  "/home/user/.local/share/halvern"};
    bool quitRequested = false;
};

}  // namespace halvern::platform

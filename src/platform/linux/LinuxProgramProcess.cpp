#include "platform/linux/LinuxProgramProcess.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "platform/linux/XdgFolders.h"

namespace halvern::platform {

std::string LinuxProgramProcess::executablePath() const {
    std::string path(256, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            break;
        }
        path.resize(path.size() * 2);
    }
    // An executable replaced while it runs (an upgrade) still lives in its folder.
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() && path.ends_with(deleted)) {
        path.resize(path.size() - deleted.size());
    }
    return path;
}

ProgramFolders LinuxProgramProcess::folders() const {
    return XdgFolders::forExecutable(executablePath());
}

void LinuxProgramProcess::quit() {
    if (onQuit) {
        onQuit();
    }
}

void LinuxProgramProcess::terminate(int exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(exitCode);
}

}  // namespace halvern::platform

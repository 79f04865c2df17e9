#include "platform/linux/LinuxShell.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "platform/linux/Subprocess.h"

namespace halvern::platform {

namespace {

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The daemon's command name, as the kernel keeps it (cut to 15 characters).
bool resolvedRuns() {
    DIR* proc = ::opendir("/proc");
    if (!proc) {
        return false;
    }
    bool found = false;
    while (dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') {
            continue;
        }
        std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && name == "systemd-resolve") {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

}  // namespace

LinuxShell::LinuxShell(Millis toolTimeout) : m_toolTimeout(toolTimeout) {}

std::string LinuxShell::executablePath() const {
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

std::string LinuxShell::defaultBrowser() const {
    auto result = runCollecting({"xdg-settings", "get", "default-web-browser"}, m_toolTimeout);
    if (!result || result->exitStatus != 0) {
        return {};
    }
    return trimmed(result->output);
}

void LinuxShell::openInEditor(const std::string& path) {
    spawnDetached({"xdg-open", path});
}

void LinuxShell::openUrl(const std::string& url) {
    spawnDetached({"xdg-open", url});
}

bool LinuxShell::runHidden(const std::string& commandLine) {
    return spawnDetached({"/bin/sh", "-c", commandLine});
}

void LinuxShell::flushNameCaches() {
    // Best effort: a machine without these caches reads the hosts file afresh anyway.
    if (!findExecutable("nscd").empty()) {
        runCollecting({"nscd", "-i", "hosts"}, m_toolTimeout);
    }
    if (!resolvedRuns()) {
        return;
    }
    auto flushed = runCollecting({"resolvectl", "flush-caches"}, m_toolTimeout);
    if (!flushed || flushed->exitStatus != 0) {
        runCollecting({"systemd-resolve", "--flush-caches"}, m_toolTimeout);
    }
}

void LinuxShell::terminate(int exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(exitCode);
}

void LinuxShell::quit() {
    if (onQuit) {
        onQuit();
    }
}

}  // namespace halvern::platform

#include "platform/linux/LinuxResolver.h"

#include <dirent.h>
#include <limits.h>
#include <unistd.h>

#include <fstream>

#include "platform/linux/Subprocess.h"

namespace halvern::platform {

namespace {

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

LinuxResolver::LinuxResolver(Millis toolTimeout) : m_toolTimeout(toolTimeout) {}

void LinuxResolver::flushNameCaches() {
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

std::string LinuxResolver::hostName() const {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

}  // namespace halvern::platform

#include "platform/linux/NameCaches.h"

#include <dirent.h>

#include <fstream>
#include <string>

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

void flushSystemNameCaches(Millis toolTimeout) {
    if (!findExecutable("nscd").empty()) {
        runCollecting({"nscd", "-i", "hosts"}, toolTimeout);
    }
    if (!resolvedRuns()) {
        return;
    }
    auto flushed = runCollecting({"resolvectl", "flush-caches"}, toolTimeout);
    if (!flushed || flushed->exitStatus != 0) {
        runCollecting({"systemd-resolve", "--flush-caches"}, toolTimeout);
    }
}

}  // namespace halvern::platform

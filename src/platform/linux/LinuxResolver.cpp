#include "platform/linux/LinuxResolver.h"

#include <limits.h>
#include <unistd.h>

#include "platform/linux/NameCaches.h"

namespace halvern::platform {

LinuxResolver::LinuxResolver(Millis toolTimeout) : m_toolTimeout(toolTimeout) {}

void LinuxResolver::flushNameCaches() {
    flushSystemNameCaches(m_toolTimeout);
}

std::string LinuxResolver::hostName() const {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

}  // namespace halvern::platform

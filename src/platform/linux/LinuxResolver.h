#pragma once

#include <chrono>

#include "platform/Resolver.h"
#include "platform/Scheduler.h"

namespace halvern::platform {

/// Name resolution on Linux: /etc/hosts, with the caches of nscd and systemd-resolved. Each
/// cache tool gets toolTimeout to answer.
class LinuxResolver final : public Resolver {
public:
    explicit LinuxResolver(Millis toolTimeout = std::chrono::seconds(2));

    std::string hostsFilePath() const override { return "/etc/hosts"; }
    void flushNameCaches() override;
    /// gethostname(): the kernel's name of the machine (its UTS namespace).
    std::string hostName() const override;

private:
    Millis m_toolTimeout;
};

}  // namespace halvern::platform

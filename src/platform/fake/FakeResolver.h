#pragma once

#include <string>

#include "platform/Resolver.h"

namespace halvern::platform {

/// A resolver whose hosts file is `hostsFile` (in the fake file system), whose machine is named
/// `machineHostName`, and which counts the cache flushes.
class FakeResolver final : public Resolver {
public:
    std::string hostsFilePath() const override { return hostsFile; }
    void flushNameCaches() override { ++cacheFlushes; }
    std::string hostName() const override { return machineHostName; }

    std::string hostsFile = "/etc/hosts";
    std::string machineHostName = "workstation";
    int cacheFlushes = 0;
};

}  // namespace halvern::platform

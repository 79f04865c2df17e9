#pragma once

#include <string>

#include "platform/Resolver.h"

namespace halvern::platform {

/// A resolver whose hosts file is `hostsFile` (in the fake file system) and which counts the
/// cache flushes.
class FakeResolver final : public Resolver {
public:
    std::string hostsFilePath() const override { return hostsFile; }
    void flushNameCaches() override { ++cacheFlushes; }

    std::string hostsFile = "/etc/hosts";
    int cacheFlushes = 0;
};

}  // namespace halvern::platform

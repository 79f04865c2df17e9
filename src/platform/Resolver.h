#pragma once

#include <string>

namespace halvern::platform {

/// The machine's name resolution as far as the program changes it: the hosts file, and the
/// caches that must forget it after a change.
class Resolver {
public:
    virtual ~Resolver() = default;

    /// The system hosts file.
    virtual std::string hostsFilePath() const = 0;
    /// Makes a change of the hosts file take effect: flushes the name caches the machine runs.
    virtual void flushNameCaches() = 0;
    /// The machine's own host name ("" when it has none), which the hosts file must keep.
    virtual std::string hostName() const = 0;
};

}  // namespace halvern::platform

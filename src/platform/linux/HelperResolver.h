#pragma once

#include <string>

#include "platform/Resolver.h"
#include "platform/linux/HelperConnection.h"

namespace halvern::platform {

/// The resolver of a program that runs as a user: the caches that only root may flush are
/// flushed by zorvik-helper; the hosts file's path and the machine's name are the wrapped
/// resolver's.
class HelperResolver final : public Resolver {
public:
    HelperResolver(Resolver& resolver, HelperConnection& helper);

    std::string hostsFilePath() const override { return m_resolver.hostsFilePath(); }
    /// Best effort, as the direct flush: a refusal only goes to the terminal.
    void flushNameCaches() override;
    std::string hostName() const override { return m_resolver.hostName(); }

private:
    Resolver& m_resolver;
    HelperConnection& m_helper;
};

}  // namespace halvern::platform

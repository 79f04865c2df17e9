#pragma once

#include <string>
#include <vector>

#include "platform/HostsAccess.h"
#include "platform/linux/HelperConnection.h"
#include "platform/linux/HelperFileSystem.h"
#include "platform/linux/HelperResolver.h"
#include "platform/linux/HelperTcpListener.h"

namespace halvern::platform {

/// The hosts file, the name caches and port 80 of a program that runs as a user: wraps the
/// direct backends in ones that ask zorvik-helper, which serves the process once claim() was
/// granted; when it was not, the program leaves the three alone.
class HelperBackends {
public:
    /// privilegedPaths: the hosts file and its copies, which only the helper changes.
    HelperBackends(HelperConnection& helper, FileSystem& files, PosixTcpListener& listener,
                   Resolver& resolver, std::vector<std::string> privilegedPaths);

    /// Claims the helper for this process; whether it was granted and, when not, why.
    HostsAccess claim() { return accessOf(m_helper.claim()); }
    /// What the helper's answer to a claim means for the program.
    static HostsAccess accessOf(const HelperConnection::ClaimResult& claim);

    FileSystem& files() { return m_files; }
    TcpListener& listener() { return m_listener; }
    Resolver& resolver() { return m_resolver; }

private:
    HelperConnection& m_helper;
    HelperFileSystem m_files;
    HelperTcpListener m_listener;
    HelperResolver m_resolver;
};

}  // namespace halvern::platform

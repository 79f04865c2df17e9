#include "platform/linux/HelperBackends.h"

#include <utility>

namespace halvern::platform {

HelperBackends::HelperBackends(HelperConnection& helper, FileSystem& files,
                               PosixTcpListener& listener, Resolver& resolver,
                               std::vector<std::string> privilegedPaths)
    : m_helper(helper),
      m_files(files, helper, std::move(privilegedPaths)),
      m_listener(listener, helper),
      m_resolver(resolver, helper) {}

HostsAccess HelperBackends::accessOf(const HelperConnection::ClaimResult& claim) {
    using Claim = HelperConnection::Claim;
    using Status = HostsAccess::Status;
    HostsAccess access;
    switch (claim.claim) {
        case Claim::Granted:
            access.status = Status::Granted;
            break;
        case Claim::HeldByOther:
            access.status = Status::HeldByOther;
            access.holder = claim.holder;
            break;
        case Claim::NotAuthorised:
            access.status = Status::NotAuthorised;
            access.error = claim.error;
            break;
        case Claim::Unavailable:
            access.status = Status::Unavailable;
            access.error = claim.error;
            break;
    }
    return access;
}

}  // namespace halvern::platform

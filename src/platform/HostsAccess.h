#pragma once

#include <string>

namespace halvern::platform {

/// Whether this run may change the hosts file and serve 127.0.0.1:80, which only root may do.
/// Run as root, the program does both itself; run as a user, zorvik-helper does them for it,
/// and without the helper the program runs without ad-server blocking.
struct HostsAccess {
    enum class Status {
        Granted,  ///< the hosts file and port 80 are this run's (as root, or through the helper)
        HeldByOther,    ///< another user's copy holds the helper: holder names that user
        NotAuthorised,  ///< the helper refuses this user (not in its group): error says why
        Unavailable,    ///< no helper answers (not installed, not running): error says why
    };
    Status status = Status::Granted;
    /// The user whose copy holds the helper (HeldByOther).
    std::string holder;
    /// Why the helper could not be had, in words (NotAuthorised, Unavailable).
    std::string error;

    bool granted() const { return status == Status::Granted; }
};

}  // namespace halvern::platform

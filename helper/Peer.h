#pragma once

#include <sys/types.h>

#include <string>

namespace halvern::helper {

/// Who is at the other end of a connection, as the kernel says (SO_PEERCRED).
struct Peer {
    uid_t uid = 0;
    gid_t gid = 0;
    pid_t pid = 0;
    /// The user's name, or the number when the user has none.
    std::string name;

    /// The credentials of the socket's peer; false when the kernel gives none.
    static bool of(int fd, Peer& peer);
    /// True for root and for members of the group: its primary group, a supplementary group in
    /// the group database, or the group the process runs with.
    bool isAuthorised(gid_t group) const;
    /// "alice (uid 1000)", for the log.
    std::string describe() const;
};

}  // namespace halvern::helper

#pragma once

#include <sys/types.h>

#include <string>

namespace halvern::helper {

/// The helper's listening Unix socket: the one systemd passed (socket activation), or one the
/// helper made itself and removes again when it ends.
class ListenSocket {
public:
    ListenSocket() = default;
    ListenSocket(const ListenSocket&) = delete;
    ListenSocket& operator=(const ListenSocket&) = delete;
    ~ListenSocket();

    /// True when systemd started the helper for its socket (LISTEN_PID is this process and
    /// LISTEN_FDS is 1); takes descriptor 3 and clears the variables.
    bool adoptActivated();
    /// Makes the socket at path, mode 0660, owned by root (when the helper is root) and the
    /// group. A stale socket there is replaced; a live one (another helper answers) or anything
    /// that is not a socket is left alone and refused. False with the reason in error.
    bool create(const std::string& path, gid_t group, std::string& error);

    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    /// The path to remove at the end: only a socket this helper made.
    std::string m_made;
    ino_t m_inode = 0;
};

}  // namespace halvern::helper

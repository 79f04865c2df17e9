#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace halvern::platform {

/// Where the launcher listens and Zorvik connects: $ZORVIK_BROWSER_SOCKET when set, else
/// "zorvik-browser.sock" in $XDG_RUNTIME_DIR/halvern/, else in /tmp/halvern-<uid>/. Empty
/// variables count as unset. Only the file name's folder is made here, not the socket.
std::string relaySocketPath();

/// Makes the socket's folder when it is missing (mode 0700) and refuses one that another user
/// owns or that others may enter, since the socket in it drives the user's browser. False with
/// the reason in error.
bool prepareRelayFolder(const std::string& socketPath, std::string& error);

/// The launcher's listening socket: made at a path, mode 0600, removed again at the end. A stale
/// socket left by a launcher that died is replaced; a live one (another launcher answers there)
/// is left alone.
class RelaySocket {
public:
    RelaySocket() = default;
    RelaySocket(const RelaySocket&) = delete;
    RelaySocket& operator=(const RelaySocket&) = delete;
    ~RelaySocket();

    /// Listens at path (its folder prepared as above). False with the reason in error.
    bool listen(const std::string& path, std::string& error);
    /// Accepts one waiting connection, non-blocking; -1 when none waits. The caller checks the
    /// peer and owns the descriptor.
    int accept() const;

    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
    ino_t m_inode = 0;
};

/// The user id of a connected Unix socket's peer, as the kernel says (SO_PEERCRED).
std::optional<uid_t> peerUid(int fd);

}  // namespace halvern::platform

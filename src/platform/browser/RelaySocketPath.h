#pragma once

#include <string>

namespace halvern::platform {

/// Where the browser launcher (zorvik-browser) listens and Zorvik connects: one rule for both.
struct RelaySocketPath {
    /// The socket's path.
    std::string socket;
    /// Its folder, private to the user; "" when $ZORVIK_BROWSER_SOCKET named the path (that
    /// folder is then kept by whoever named it).
    std::string privateFolder;
};

/// $ZORVIK_BROWSER_SOCKET when set; else $XDG_RUNTIME_DIR/halvern/zorvik-browser.sock; without
/// XDG_RUNTIME_DIR (unset, empty or relative), /tmp/halvern-<uid>/zorvik-browser.sock.
RelaySocketPath browserRelaySocketPath();

/// Makes the private folder (mode 0700) when it is missing, or checks the one there: it must be
/// a real folder (not a link) owned by this user and open to nobody else. Returns "" when it is
/// fit to hold the socket, else the reason it is refused.
std::string prepareRelayFolder(const std::string& folder, bool create);

}  // namespace halvern::platform

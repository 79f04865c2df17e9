#pragma once

#include <string>

namespace halvern::platform {

/// Zorvik's side of its link to zorvik-helper, the small root process that alone may write the
/// hosts file and its two copies and bind 127.0.0.1:80. Every call is one request and its answer;
/// a failed call says why in error, in words a message box can show.
class HelperConnection {
public:
    /// What the helper answered when this user's Zorvik asked to be the one it serves.
    enum class Claim {
        Granted,        ///< this process holds the helper until the connection closes
        HeldByOther,    ///< another user's Zorvik holds it: holder names that user
        NotAuthorised,  ///< this user is not in the helper's group (or the socket refused us)
        Unavailable,    ///< no helper answers on the socket (not installed, not running)
    };
    struct ClaimResult {
        Claim claim = Claim::Unavailable;
        /// The user whose Zorvik holds the helper (HeldByOther).
        std::string holder;
        /// Why it failed, in words (NotAuthorised, Unavailable).
        std::string error;
    };

    virtual ~HelperConnection() = default;

    /// Connects, checks the protocol version and claims the helper for this process.
    virtual ClaimResult claim() = 0;

    /// Replaces the file atomically (the hosts file or one of its two copies). False, with the
    /// reason, when the helper refused or failed it.
    virtual bool writeFile(const std::string& path, const std::string& content,
                           std::string& error) = 0;
    virtual bool copyFile(const std::string& from, const std::string& to, std::string& error) = 0;
    virtual bool renameFile(const std::string& from, const std::string& to, std::string& error) = 0;
    virtual bool removeFile(const std::string& path, std::string& error) = 0;
    /// Finishes an interrupted rewrite of the file and removes stale temporaries beside it.
    virtual bool recover(const std::string& path, std::string& error) = 0;
    /// Makes a change of the hosts file take effect: the helper flushes the machine's name caches.
    virtual bool flushNameCaches(std::string& error) = 0;
    /// A listening TCP socket bound to 127.0.0.1:80, handed over by the helper, which keeps no
    /// copy; the caller owns the descriptor. -1, with the system's reason ("Address already in
    /// use"), when the port cannot be had.
    virtual int takePort80Listener(std::string& error) = 0;
};

}  // namespace halvern::platform

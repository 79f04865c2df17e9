#pragma once

#include <sys/types.h>

#include <chrono>
#include <list>
#include <string>

#include "helper/HostsGuard.h"
#include "helper/Peer.h"
#include "helper/Protocol.h"

namespace halvern::helper {

/// zorvik-helper's loop: accepts connections on its Unix socket and serves one Zorvik at a time.
/// A connection first says Hello with its protocol version; the helper answers with the claim:
/// Granted to root or a member of the group while nobody else holds the helper, HeldByOther
/// (naming the holder) to another user. A newer connection of the holder's own user takes over
/// and the older one is closed: that is a Zorvik restarted while its old process is still
/// dying, and a hung old process must not lock its user out. The hold ends when the holder's
/// connection closes. Malformed input closes the connection; nothing a peer sends can end the
/// helper.
class Server {
public:
    struct Config {
        /// The group whose members may claim the helper (root always may).
        gid_t group = 0;
        /// Socket activation: end once nobody has been connected for idleLimit.
        bool exitWhenIdle = false;
        std::chrono::milliseconds idleLimit = std::chrono::seconds(30);
        /// A connection that has not said Hello by then is closed.
        std::chrono::milliseconds helloLimit = std::chrono::seconds(10);
    };

    Server(int listenFd, Config config, HostsGuard& hosts);
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    ~Server();

    /// Serves until stopFd turns readable, or until idle under socket activation.
    void run(int stopFd);

private:
    using Clock = std::chrono::steady_clock;
    struct Connection {
        int fd = -1;
        Peer peer;
        std::string in;
        bool greeted = false;
        /// Closed once the current round of the loop is over.
        bool closing = false;
        Clock::time_point opened;
    };
    using Connections = std::list<Connection>;

    void acceptAll();
    /// Reads what has arrived and handles a complete frame; false when the connection must close.
    bool readFrom(Connections::iterator connection);
    bool greet(Connections::iterator connection, const protocol::Message& hello);
    bool serve(Connection& connection, const protocol::Message& request);
    bool answer(Connection& connection, const protocol::Message& message, int passedFd = -1);
    void close(Connections::iterator connection);
    void closeMarked();
    /// Closes connections that did not say Hello in time; the time until the next such check.
    int dropSilent();

    int m_listen;
    Config m_config;
    HostsGuard& m_hosts;
    Connections m_connections;
    /// The connection holding the helper, or end().
    Connections::iterator m_holder;
    Clock::time_point m_idleSince;
};

/// Writes one line to stderr, "zorvik-helper: " first.
void logLine(const std::string& line);

}  // namespace halvern::helper

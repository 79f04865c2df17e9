#include "helper/Server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "helper/Port80.h"
#include "platform/linux/NameCaches.h"

namespace halvern::helper {

using protocol::Kind;
using protocol::Message;

namespace {

/// More connections than this at once are closed on arrival.
constexpr std::size_t kMaxConnections = 32;
constexpr std::size_t kReadChunk = 1u << 20;
constexpr auto kNameCacheToolTimeout = std::chrono::seconds(2);

const char* requestName(Kind kind) {
    switch (kind) {
        case Kind::WriteFile:
            return "write";
        case Kind::CopyFile:
            return "copy";
        case Kind::RenameFile:
            return "rename";
        case Kind::RemoveFile:
            return "removal";
        case Kind::Recover:
            return "recovery";
        case Kind::FlushNameCaches:
            return "name cache flush";
        case Kind::TakePort80:
            return "port 80";
        default:
            return "request";
    }
}

}  // namespace

void logLine(const std::string& line) {
    std::fprintf(stderr, "zorvik-helper: %s\n", line.c_str());
    std::fflush(stderr);
}

Server::Server(int listenFd, Config config, HostsGuard& hosts)
    : m_listen(listenFd),
      m_config(config),
      m_hosts(hosts),
      m_holder(m_connections.end()),
      m_idleSince(Clock::now()) {}

Server::~Server() {
    for (Connection& connection : m_connections) {
        ::close(connection.fd);
    }
}

void Server::run(int stopFd) {
    for (;;) {
        std::vector<pollfd> watches = {{stopFd, POLLIN, 0}, {m_listen, POLLIN, 0}};
        for (const Connection& connection : m_connections) {
            watches.push_back({connection.fd, POLLIN, 0});
        }
        int timeout = dropSilent();
        if (m_config.exitWhenIdle && m_connections.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                m_idleSince + m_config.idleLimit - Clock::now());
            if (left.count() <= 0) {
                return;
            }
            timeout = timeout < 0 ? static_cast<int>(left.count())
                                  : std::min(timeout, static_cast<int>(left.count()));
        }
        if (::poll(watches.data(), watches.size(), timeout) < 0) {
            if (errno == EINTR) {
                continue;
            }
            logLine(std::string("poll failed: ") + std::strerror(errno));
            return;
        }
        if (watches[0].revents != 0) {
            return;
        }
        // The watches follow the list's order; connections are closed only after the round.
        std::size_t index = 2;
        for (auto it = m_connections.begin(); it != m_connections.end(); ++it, ++index) {
            if (!it->closing && watches[index].revents != 0 && !readFrom(it)) {
                it->closing = true;
            }
        }
        closeMarked();
        if (watches[1].revents != 0) {
            acceptAll();
        }
    }
}

int Server::dropSilent() {
    const auto now = Clock::now();
    int next = -1;
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        auto following = std::next(it);
        if (!it->greeted) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                it->opened + m_config.helloLimit - now);
            if (left.count() <= 0) {
                logLine("closed a connection of " + it->peer.describe() + " that said nothing");
                close(it);
            } else {
                next = next < 0 ? static_cast<int>(left.count())
                                : std::min(next, static_cast<int>(left.count()));
            }
        }
        it = following;
    }
    return next;
}

void Server::acceptAll() {
    for (;;) {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        Connection connection;
        connection.fd = fd;
        connection.opened = Clock::now();
        if (m_connections.size() >= kMaxConnections || !Peer::of(fd, connection.peer)) {
            ::close(fd);
            continue;
        }
        m_connections.push_back(std::move(connection));
    }
}

bool Server::readFrom(Connections::iterator self) {
    Connection& connection = *self;
    const std::size_t cap = connection.greeted ? protocol::kMaxFrame : protocol::kMaxHelloFrame;
    auto cut = protocol::cutFrame(connection.in, cap);
    if (cut.status == protocol::FrameCut::Status::TooLarge) {
        return false;
    }
    // Read no further than the frame's end, so the buffer never holds more than one frame.
    const std::size_t want = cut.length == 0 ? protocol::kPrefix : cut.length;
    const std::size_t have = connection.in.size();
    const std::size_t room = std::min(want - have, kReadChunk);
    connection.in.resize(have + room);
    const ssize_t n = ::recv(connection.fd, connection.in.data() + have, room, 0);
    if (n <= 0) {
        connection.in.resize(have);
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    }
    connection.in.resize(have + static_cast<std::size_t>(n));
    cut = protocol::cutFrame(connection.in, cap);
    if (cut.status == protocol::FrameCut::Status::TooLarge) {
        return false;
    }
    if (cut.status == protocol::FrameCut::Status::Incomplete) {
        if (cut.length != 0 && connection.in.capacity() < cut.length) {
            connection.in.reserve(cut.length);
        }
        return true;
    }
    auto message = protocol::decode(std::string_view(connection.in).substr(protocol::kPrefix));
    connection.in.clear();
    if (connection.in.capacity() > kReadChunk) {
        connection.in.shrink_to_fit();
    }
    if (!message) {
        return false;
    }
    if (!connection.greeted) {
        return greet(self, *message);
    }
    return serve(connection, *message);
}

bool Server::greet(Connections::iterator connection, const Message& hello) {
    if (hello.kind != Kind::Hello) {
        return false;
    }
    const Peer& peer = connection->peer;
    if (hello.version != protocol::kVersion) {
        logLine("refused " + peer.describe() + ": protocol version " +
                std::to_string(hello.version) + ", this helper speaks " +
                std::to_string(protocol::kVersion));
        answer(*connection,
               {Kind::VersionMismatch,
                protocol::kVersion,
                "zorvik-helper speaks protocol version " + std::to_string(protocol::kVersion),
                {}});
        return false;
    }
    if (!peer.isAuthorised(m_config.group)) {
        logLine("refused " + peer.describe() + ": not a member of the helper's group");
        answer(*connection, {Kind::NotAuthorised,
                             0,
                             "user " + peer.name +
                                 " may not use zorvik-helper: only members "
                                 "of its group may (the zorvik group)",
                             {}});
        return false;
    }
    // A holder whose connection just broke holds nothing any more.
    if (m_holder != m_connections.end() && m_holder->closing) {
        m_holder = m_connections.end();
    }
    if (m_holder != m_connections.end() && m_holder->peer.uid != peer.uid) {
        logLine("refused " + peer.describe() + ": held by " + m_holder->peer.describe());
        answer(*connection, {Kind::HeldByOther, 0, m_holder->peer.name, {}});
        return false;
    }
    if (m_holder != m_connections.end()) {
        logLine("a newer connection of " + peer.describe() + " takes over from process " +
                std::to_string(m_holder->peer.pid));
        m_holder->closing = true;
    }
    connection->greeted = true;
    m_holder = connection;
    return answer(*connection, {Kind::Granted, 0, {}, {}});
}

bool Server::serve(Connection& connection, const Message& request) {
    HostsGuard::Outcome outcome;
    switch (request.kind) {
        case Kind::WriteFile:
            outcome = m_hosts.write(request.first, request.second);
            break;
        case Kind::CopyFile:
            outcome = m_hosts.copy(request.first, request.second);
            break;
        case Kind::RenameFile:
            outcome = m_hosts.rename(request.first, request.second);
            break;
        case Kind::RemoveFile:
            outcome = m_hosts.remove(request.first);
            break;
        case Kind::Recover:
            outcome = m_hosts.recover(request.first);
            break;
        case Kind::FlushNameCaches:
            platform::flushSystemNameCaches(kNameCacheToolTimeout);
            break;
        case Kind::TakePort80: {
            std::string error;
            const int fd = openPort80Listener(error);
            if (fd >= 0) {
                // The helper keeps no copy: Zorvik owns the listener from here on.
                const bool sent = answer(connection, {Kind::Listener, 0, {}, {}}, fd);
                ::close(fd);
                return sent;
            }
            outcome = {false, error};
            break;
        }
        default:
            return false;
    }
    if (!outcome.ok) {
        logLine("refused or failed the " + std::string(requestName(request.kind)) + " of " +
                connection.peer.describe() + ": " + outcome.error);
        return answer(connection, {Kind::Failed, 0, outcome.error, {}});
    }
    return answer(connection, {Kind::Done, 0, {}, {}});
}

bool Server::answer(Connection& connection, const Message& message, int passedFd) {
    const std::string frame = protocol::encode(message);
    iovec part{const_cast<char*>(frame.data()), frame.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    if (passedFd >= 0) {
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&header);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &passedFd, sizeof passedFd);
    }
    // Answers are short and the peer waits for each one: one send takes it whole or the peer is
    // not reading, and then it loses its connection.
    ssize_t sent = -1;
    do {
        sent = ::sendmsg(connection.fd, &header, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(frame.size());
}

void Server::closeMarked() {
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        auto next = std::next(it);
        if (it->closing) {
            close(it);
        }
        it = next;
    }
}

void Server::close(Connections::iterator connection) {
    if (connection == m_holder) {
        m_holder = m_connections.end();
    }
    ::close(connection->fd);
    m_connections.erase(connection);
    if (m_connections.empty()) {
        m_idleSince = Clock::now();
    }
}

}  // namespace halvern::helper

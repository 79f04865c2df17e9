#include "platform/linux/PosixTcpListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace halvern::platform {

namespace {

constexpr std::size_t kReadChunk = std::size_t{16} * 1024;
// Accepts per wake-up, so a flood of connections cannot keep other handlers waiting.
constexpr int kAcceptBatch = 64;
// Connection events handled per wake-up, for the same reason; the rest come at the next one.
constexpr int kEventBatch = 256;
// Descriptors kept free for files, pipes and the display connection.
constexpr rlim_t kSpareDescriptors = 64;

int fdOf(TcpListener::ConnectionId id) {
    return static_cast<int>(id & 0xffffffffu);
}

std::size_t descriptorCap(std::size_t wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return wanted;
    }
    const rlim_t usable = limit.rlim_cur > 2 * kSpareDescriptors
                              ? limit.rlim_cur - kSpareDescriptors
                              : limit.rlim_cur / 2;
    return std::max<std::size_t>(1, std::min<std::size_t>(wanted, usable));
}

/// A socket's integer option, or -1 when it cannot be read.
int socketOption(int fd, int option) {
    int value = 0;
    socklen_t length = sizeof value;
    return ::getsockopt(fd, SOL_SOCKET, option, &value, &length) == 0 ? value : -1;
}

}  // namespace

PosixTcpListener::PosixTcpListener(Scheduler& scheduler, std::size_t maxConnections)
    : m_scheduler(scheduler),
      m_maxConnections(descriptorCap(maxConnections)),
      m_epollFd(::epoll_create1(EPOLL_CLOEXEC)) {
    if (m_epollFd >= 0) {
        m_epollWatch = m_scheduler.watchFd(m_epollFd, Scheduler::kReadable,
                                           [this](int) { onConnectionsReady(); });
    }
}

PosixTcpListener::~PosixTcpListener() {
    m_handlers = {};
    close();
    for (Slot& slot : m_slots) {
        if (slot.id != 0) {
            closeConnection(slot.id);
        }
    }
    if (m_epollFd >= 0) {
        m_scheduler.unwatch(m_epollWatch);
        ::close(m_epollFd);
    }
}

bool PosixTcpListener::listen(const std::string& address, std::uint16_t port) {
    close();
    if (m_epollFd < 0) {
        return false;  // connections could not be watched
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (m_acceptOnData) {
        const int seconds = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_DEFER_ACCEPT, &seconds, sizeof seconds);
    }
    socklen_t length = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, SOMAXCONN) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        ::close(fd);
        return false;
    }
    startAccepting(fd, ntohs(addr.sin_port));
    return true;
}

bool PosixTcpListener::adopt(int fd) {
    close();
    if (fd < 0) {
        return false;
    }
    sockaddr_in addr{};
    socklen_t length = sizeof addr;
    const bool usable = m_epollFd >= 0 && socketOption(fd, SO_ACCEPTCONN) == 1 &&
                        socketOption(fd, SO_TYPE) == SOCK_STREAM &&
                        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0 &&
                        addr.sin_family == AF_INET;
    if (!usable) {
        ::close(fd);
        return false;
    }
    // Whoever bound it may have left it blocking or inheritable; the loop needs neither.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    if (m_acceptOnData) {
        const int seconds = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_DEFER_ACCEPT, &seconds, sizeof seconds);
    }
    startAccepting(fd, ntohs(addr.sin_port));
    return true;
}

void PosixTcpListener::startAccepting(int fd, std::uint16_t port) {
    m_listenFd = fd;
    m_port = port;
    m_listenWatch = m_scheduler.watchFd(fd, Scheduler::kReadable, [this](int) { onListenReady(); });
}

void PosixTcpListener::close() {
    if (m_listenFd < 0) {
        return;
    }
    m_scheduler.cancel(m_backoffTimer);
    m_scheduler.unwatch(m_listenWatch);
    ::close(m_listenFd);
    m_listenFd = -1;
    m_port = 0;
    m_listenWatch = 0;
    m_backoffTimer = 0;
    m_acceptPaused = false;
}

void PosixTcpListener::onListenReady() {
    for (int i = 0; i < kAcceptBatch && m_listenFd >= 0 && !m_acceptPaused; ++i) {
        if (!acceptOne()) {
            break;
        }
    }
}

bool PosixTcpListener::acceptOne() {
    if (m_count >= m_maxConnections && !makeRoom()) {
        return false;
    }
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
            case EINTR:
            case ECONNABORTED:
            case EPROTO:
                return true;
            case EMFILE:
            case ENFILE:
            case ENOBUFS:
            case ENOMEM:
                // The connection waits in the backlog; trying again at once would spin.
                pauseAccepting(true);
                return false;
            default:
                return false;
        }
    }
    if (static_cast<std::size_t>(fd) >= m_slots.size()) {
        m_slots.resize(std::max<std::size_t>(fd + 1, m_slots.size() * 2));
    }
    if (++m_generation == 0) {
        m_generation = 1;
    }
    const ConnectionId id = (static_cast<ConnectionId>(m_generation) << 32) | fd;
    m_slots[fd] = Slot{};
    m_slots[fd].id = id;
    ++m_count;
    if (m_handlers.onAccept) {
        m_handlers.onAccept(id);
    }
    // The request has usually arrived with the connection: read it now, before it is watched.
    readFrom(id);
    return true;
}

bool PosixTcpListener::makeRoom() {
    if (m_handlers.onFull) {
        // Room is made only for a connection that is really there: the backlog may be empty by
        // now, and a connection closed for nothing is a client served for nothing.
        pollfd waiting{m_listenFd, POLLIN, 0};
        if (::poll(&waiting, 1, 0) != 1 || (waiting.revents & POLLIN) == 0) {
            return false;  // the watch stays on and wakes us for the next one
        }
        m_handlers.onFull();
        if (m_count < m_maxConnections) {
            return true;
        }
    }
    // Nothing closed: the connection waits in the backlog until one does.
    pauseAccepting(false);
    return false;
}

void PosixTcpListener::pauseAccepting(bool withBackoff) {
    m_acceptPaused = true;
    m_scheduler.setWatchEvents(m_listenWatch, 0);
    if (withBackoff && m_backoffTimer == 0) {
        m_backoffTimer = m_scheduler.callAfter(kDescriptorBackoff, [this] {
            m_backoffTimer = 0;
            resumeAccepting();
        });
    }
}

void PosixTcpListener::resumeAccepting() {
    if (m_listenFd < 0 || m_backoffTimer != 0) {
        return;
    }
    m_acceptPaused = false;
    m_scheduler.setWatchEvents(m_listenWatch, Scheduler::kReadable);
}

PosixTcpListener::Slot* PosixTcpListener::find(ConnectionId id) {
    const int fd = fdOf(id);
    if (id == 0 || fd < 0 || static_cast<std::size_t>(fd) >= m_slots.size() ||
        m_slots[fd].id != id) {
        return nullptr;
    }
    return &m_slots[fd];
}

void PosixTcpListener::onConnectionsReady() {
    std::array<epoll_event, kEventBatch> events;
    const int n = ::epoll_wait(m_epollFd, events.data(), kEventBatch, 0);
    for (int i = 0; i < n; ++i) {
        const ConnectionId id = events[i].data.u64;
        // An event of a connection that a handler closed meanwhile finds no slot; its descriptor
        // may already serve a newer connection, whose id differs.
        const Slot* slot = find(id);
        if (slot == nullptr) {
            continue;
        }
        const std::uint32_t got = events[i].events;
        int ready =
            (got & (EPOLLHUP | EPOLLERR)) ? (Scheduler::kReadable | Scheduler::kWritable) : 0;
        if (got & EPOLLIN) {
            ready |= Scheduler::kReadable;
        }
        if (got & EPOLLOUT) {
            ready |= Scheduler::kWritable;
        }
        ready &= slot->events;
        if (ready != 0) {
            onReady(id, ready);
        }
    }
}

void PosixTcpListener::onReady(ConnectionId id, int ready) {
    if (ready & Scheduler::kWritable) {
        writeTo(id);
    }
    if (ready & Scheduler::kReadable) {
        readFrom(id);
    }
}

void PosixTcpListener::readFrom(ConnectionId id) {
    Slot* slot = find(id);
    if (slot == nullptr || slot->readEnded) {
        return;
    }
    const int fd = fdOf(id);
    std::array<char, kReadChunk> buffer;
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            setEvents(fd, *slot, slot->events | Scheduler::kReadable);
        } else {
            closeConnection(id);
        }
        return;
    }
    if (slot->lingering) {
        if (n == 0) {
            closeConnection(id);
        }
        return;  // bytes after the reply are read only to be dropped
    }
    if (n == 0) {
        slot->readEnded = true;
        setEvents(fd, *slot, slot->events & ~Scheduler::kReadable);
        if (m_handlers.onEnd) {
            m_handlers.onEnd(id);
        } else {
            closeConnection(id);
        }
        return;
    }
    // A full read may have left bytes behind; a short one emptied the socket's queue.
    slot->moreToRead = static_cast<std::size_t>(n) == buffer.size();
    if (m_handlers.onData) {
        m_handlers.onData(id, std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    if (Slot* still = find(id)) {
        setEvents(fd, *still, still->events | Scheduler::kReadable);
    }
}

bool PosixTcpListener::sendNow(ConnectionId id, Slot& slot, std::string_view& bytes) {
    // Bytes sent ahead of the connection's end wait for the FIN that shutdown() adds to them, so
    // reply and end travel as one packet.
    const int more = slot.closeWhenSent ? MSG_MORE : 0;
    const ssize_t n = ::send(fdOf(id), bytes.data(), bytes.size(), MSG_NOSIGNAL | more);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        closeConnection(id);
        return false;
    }
    bytes.remove_prefix(n > 0 ? static_cast<std::size_t>(n) : 0);
    return true;
}

void PosixTcpListener::send(ConnectionId id, std::string_view bytes) {
    Slot* slot = find(id);
    if (slot == nullptr || slot->closeWhenSent || slot->lingering || bytes.empty()) {
        return;
    }
    if (slot->outSent == slot->out.size()) {
        slot->out.clear();
        slot->outSent = 0;
        if (!sendNow(id, *slot, bytes) || bytes.empty()) {
            return;
        }
    }
    slot->out.append(bytes);
    setEvents(fdOf(id), *slot, slot->events | Scheduler::kWritable);
}

void PosixTcpListener::sendAndClose(ConnectionId id, std::string_view bytes) {
    Slot* slot = find(id);
    if (slot == nullptr || slot->closeWhenSent || slot->lingering) {
        return;
    }
    if (slot->outSent < slot->out.size()) {
        send(id, bytes);
        closeAfterSend(id);
        return;
    }
    slot->closeWhenSent = true;
    if (!sendNow(id, *slot, bytes)) {
        return;
    }
    if (bytes.empty()) {
        finishReply(id);
        return;
    }
    slot->out.assign(bytes);
    slot->outSent = 0;
    setEvents(fdOf(id), *slot, slot->events | Scheduler::kWritable);
}

void PosixTcpListener::writeTo(ConnectionId id) {
    Slot* slot = find(id);
    if (slot == nullptr) {
        return;
    }
    if (slot->outSent < slot->out.size()) {
        std::string_view rest(slot->out);
        rest.remove_prefix(slot->outSent);
        const std::size_t before = rest.size();
        if (!sendNow(id, *slot, rest)) {
            return;
        }
        slot->outSent += before - rest.size();
    }
    if (slot->outSent < slot->out.size()) {
        return;
    }
    slot->out = std::string();
    slot->outSent = 0;
    setEvents(fdOf(id), *slot, slot->events & ~Scheduler::kWritable);
    if (slot->closeWhenSent) {
        finishReply(id);
    }
}

void PosixTcpListener::closeAfterSend(ConnectionId id) {
    Slot* slot = find(id);
    if (slot == nullptr || slot->closeWhenSent) {
        return;
    }
    slot->closeWhenSent = true;
    if (slot->outSent == slot->out.size()) {
        finishReply(id);
    }
}

void PosixTcpListener::finishReply(ConnectionId id) {
    Slot* slot = find(id);
    if (slot == nullptr) {
        return;
    }
    const int fd = fdOf(id);
    // The FIN goes out with the last bytes, before anything below could reset the connection.
    ::shutdown(fd, SHUT_WR);
    if (slot->moreToRead && !slot->readEnded) {
        // Closing with unread bytes makes the kernel reset the connection, and the client may
        // lose the reply: drop its bytes until it closes or the time is up.
        std::array<char, 512> scratch;
        if (::recv(fd, scratch.data(), scratch.size(), MSG_DONTWAIT) > 0) {
            slot->lingering = true;
            slot->lingerTimer = m_scheduler.callAfter(kLinger, [this, id] {
                if (Slot* s = find(id)) {
                    s->lingerTimer = 0;
                    closeConnection(id);
                }
            });
            setEvents(fd, *slot, Scheduler::kReadable);
            return;
        }
    }
    closeConnection(id);
}

void PosixTcpListener::disconnect(ConnectionId id) {
    closeConnection(id);
}

void PosixTcpListener::setEvents(int fd, Slot& slot, int events) {
    if (events == slot.events) {
        return;
    }
    epoll_event event{};
    event.events = ((events & Scheduler::kReadable) ? EPOLLIN : 0u) |
                   ((events & Scheduler::kWritable) ? EPOLLOUT : 0u);
    event.data.u64 = slot.id;
    // Out of the set while nothing is wanted: epoll would report a hang-up whatever the mask.
    const int op = events == 0 ? EPOLL_CTL_DEL : (slot.events == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD);
    ::epoll_ctl(m_epollFd, op, fd, &event);
    slot.events = events;
}

void PosixTcpListener::closeConnection(ConnectionId id) {
    Slot* slot = find(id);
    if (slot == nullptr) {
        return;
    }
    const int fd = fdOf(id);
    if (slot->events != 0) {
        ::epoll_ctl(m_epollFd, EPOLL_CTL_DEL, fd, nullptr);
    }
    m_scheduler.cancel(slot->lingerTimer);
    ::close(fd);
    *slot = Slot{};
    --m_count;
    if (m_acceptPaused) {
        resumeAccepting();
    }
    if (m_handlers.onClosed) {
        m_handlers.onClosed(id);
    }
}

}  // namespace halvern::platform

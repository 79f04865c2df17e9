#include "platform/linux/LockFileSingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace halvern::platform {

namespace {

constexpr std::size_t kMaxConnections = 16;
constexpr std::size_t kMaxMessage = 64;
// A copy that connects but never speaks must not hold a connection for ever.
constexpr Millis kConnectionLifetime{2000};
constexpr Millis kSignalTimeout{500};

std::optional<sockaddr_un> socketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return std::nullopt;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// A private folder of ours: not a link, owned by us, closed to others.
bool isPrivateFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

}  // namespace

LockFileSingleInstance::LockFileSingleInstance(const std::string& runtimeFolder,
                                               Scheduler& scheduler, const std::string& name)
    : m_scheduler(scheduler),
      m_runtimeFolder(runtimeFolder),
      m_lockPath(runtimeFolder + "/" + name + ".lock"),
      m_socketPath(runtimeFolder + "/" + name + ".sock") {}

LockFileSingleInstance::~LockFileSingleInstance() {
    while (!m_connections.empty()) {
        drop(m_connections.begin()->first);
    }
    if (m_listenFd >= 0) {
        m_scheduler.unwatch(m_listenWatch);
        ::close(m_listenFd);
        ::unlink(m_socketPath.c_str());
    }
    // The lock file stays: removing it would let a copy that opened it already and one that
    // creates it anew both hold "the" lock.
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
    }
}

LockResult LockFileSingleInstance::acquire() {
    if (m_lockFd >= 0) {
        return {LockOutcome::Acquired, m_lockPath, {}};
    }
    ::mkdir(m_runtimeFolder.c_str(), 0700);
    // O_NOFOLLOW: a link in the lock's place could point anywhere, even at a file of another
    // user's; O_NONBLOCK: a FIFO there must not hold the start.
    int fd = ::open(m_lockPath.c_str(),
                    O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0) {
        return unavailable(errno == ELOOP ? "a symbolic link is in its place"
                                          : std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return unavailable("not a regular file");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            return {LockOutcome::HeldByAnotherCopy, m_lockPath, {}};
        }
        return unavailable(std::strerror(error));
    }
    m_lockFd = fd;
    std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] ssize_t n = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    listen();
    return {LockOutcome::Acquired, m_lockPath, {}};
}

LockResult LockFileSingleInstance::unavailable(const std::string& error) const {
    std::fprintf(stderr, "zorvik: cannot take the single-instance lock %s: %s\n",
                 m_lockPath.c_str(), error.c_str());
    return {LockOutcome::Unavailable, m_lockPath, error};
}

void LockFileSingleInstance::listen() {
    auto address = socketAddress(m_socketPath);
    if (!address) {
        return;
    }
    // Only the lock holder gets here, so a socket file left behind is stale.
    ::unlink(m_socketPath.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::listen(fd, 8) != 0) {
        ::close(fd);
        return;
    }
    ::chmod(m_socketPath.c_str(), 0600);
    m_listenFd = fd;
    m_listenWatch = m_scheduler.watchFd(fd, Scheduler::kReadable, [this](int) { accept(); });
}

void LockFileSingleInstance::accept() {
    for (;;) {
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        if (m_connections.size() >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        Connection connection{fd, 0, 0, {}};
        connection.watch =
            m_scheduler.watchFd(fd, Scheduler::kReadable, [this, fd](int) { receive(fd); });
        connection.timeout = m_scheduler.callAfter(kConnectionLifetime, [this, fd] { drop(fd); });
        m_connections.emplace(fd, std::move(connection));
    }
}

void LockFileSingleInstance::receive(int fd) {
    auto it = m_connections.find(fd);
    if (it == m_connections.end()) {
        return;
    }
    char buffer[kMaxMessage];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n <= 0) {
        drop(fd);
        return;
    }
    std::string& received = it->second.received;
    received.append(buffer, static_cast<std::size_t>(n));
    auto newline = received.find('\n');
    if (newline == std::string::npos) {
        if (received.size() > kMaxMessage) {
            drop(fd);
        }
        return;
    }
    bool show = received.compare(0, newline, "show") == 0 && newline == 4;
    drop(fd);
    if (show && onShowRequest) {
        onShowRequest();
    }
}

void LockFileSingleInstance::drop(int fd) {
    auto it = m_connections.find(fd);
    if (it == m_connections.end()) {
        return;
    }
    m_scheduler.unwatch(it->second.watch);
    m_scheduler.cancel(it->second.timeout);
    ::close(fd);
    m_connections.erase(it);
}

void LockFileSingleInstance::signalRunningCopy() {
    auto address = socketAddress(m_socketPath);
    int fd = address ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    if (fd < 0) {
        return;
    }
    // On a local socket the send timeout also bounds connect, for a copy that stopped accepting.
    timeval limit{0, static_cast<suseconds_t>(kSignalTimeout.count() * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) {
        static const char kShow[] = "show\n";
        [[maybe_unused]] ssize_t n = ::send(fd, kShow, sizeof kShow - 1, MSG_NOSIGNAL);
    }
    ::close(fd);
}

std::string LockFileSingleInstance::defaultRuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
        return runtime;
    }
    std::string folder = "/tmp/zorvik-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    if (isPrivateFolder(folder)) {
        return folder;
    }
    // Someone else made the folder in /tmp: our home is the one place they cannot have.
    const char* home = std::getenv("HOME");
    return home && home[0] == '/' ? std::string(home) : folder;
}

std::string LockFileSingleInstance::defaultName() {
    return "zorvik-" + std::to_string(::getuid());
}

}  // namespace halvern::platform

#include "helper/ListenSocket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace halvern::helper {

namespace {

/// systemd passes the first socket as descriptor 3.
constexpr int kFirstPassedFd = 3;

bool fillAddress(const std::string& path, sockaddr_un& address) {
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

/// True when a process listens on the socket at the address.
bool answers(const sockaddr_un& address) {
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return false;
    }
    const bool live =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return live;
}

}  // namespace

ListenSocket::~ListenSocket() {
    if (!m_made.empty()) {
        // Another helper may have replaced a socket this one was told was stale.
        struct stat st {};
        if (::lstat(m_made.c_str(), &st) == 0 && st.st_ino == m_inode) {
            ::unlink(m_made.c_str());
        }
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool ListenSocket::adoptActivated() {
    const char* pid = std::getenv("LISTEN_PID");
    const char* fds = std::getenv("LISTEN_FDS");
    if (!pid || !fds || std::strtol(pid, nullptr, 10) != ::getpid() || std::strcmp(fds, "1") != 0) {
        return false;
    }
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    m_fd = kFirstPassedFd;
    ::fcntl(m_fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    return true;
}

bool ListenSocket::create(const std::string& path, gid_t group, std::string& error) {
    sockaddr_un address{};
    if (!fillAddress(path, address)) {
        error = "the socket path is too long: " + path;
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = path + " exists and is not a socket";
            return false;
        }
        if (answers(address)) {
            error = "another zorvik-helper already listens on " + path;
            return false;
        }
        ::unlink(path.c_str());
    }
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    // Made 0660 from the start: no moment when anyone else could connect.
    const mode_t oldMask = ::umask(0117);
    const bool bound =
        ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const int bindError = errno;
    ::umask(oldMask);
    if (!bound) {
        error = path + ": " + std::strerror(bindError);
        return false;
    }
    if (::lstat(path.c_str(), &st) == 0) {
        m_made = path;
        m_inode = st.st_ino;
    }
    // Only root can give the socket to root; a test's helper keeps its own user.
    const uid_t owner = ::geteuid() == 0 ? 0 : static_cast<uid_t>(-1);
    if (::chown(path.c_str(), owner, group) != 0 || ::chmod(path.c_str(), 0660) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (::listen(m_fd, SOMAXCONN) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace halvern::helper

#include "platform/browser/RelaySocket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace halvern::platform {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string errorText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

/// Whether something accepts connections at path now.
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

std::string relaySocketPath() {
    std::string given = environment("ZORVIK_BROWSER_SOCKET");
    if (!given.empty()) {
        return given;
    }
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (!runtime.empty()) {
        return runtime + "/halvern/zorvik-browser.sock";
    }
    return "/tmp/halvern-" + std::to_string(::getuid()) + "/zorvik-browser.sock";
}

bool prepareRelayFolder(const std::string& socketPath, std::string& error) {
    const std::string folder = std::filesystem::path(socketPath).parent_path().string();
    if (folder.empty()) {
        return true;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = errorText("cannot make " + folder);
        return false;
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        error = errorText("cannot read " + folder);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = folder + " is not a folder";
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        error = folder + " belongs to another user (uid " + std::to_string(info.st_uid) + ")";
        return false;
    }
    if ((info.st_mode & 0077) != 0) {
        error = folder + " may be entered by other users (mode " +
                std::to_string((info.st_mode >> 6) & 7) + std::to_string((info.st_mode >> 3) & 7) +
                std::to_string(info.st_mode & 7) + "); it must be 700";
        return false;
    }
    return true;
}

RelaySocket::~RelaySocket() {
    if (m_fd < 0) {
        return;
    }
    ::close(m_fd);
    // Remove the socket only while it is still the one made here (a newer launcher may have
    // replaced it).
    struct stat info {};
    if (::lstat(m_path.c_str(), &info) == 0 && info.st_ino == m_inode) {
        ::unlink(m_path.c_str());
    }
}

bool RelaySocket::listen(const std::string& path, std::string& error) {
    sockaddr_un address{};
    if (!fillAddress(path, address)) {
        error = "the socket path is empty or too long: " + path;
        return false;
    }
    if (!prepareRelayFolder(path, error)) {
        return false;
    }
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            error = path + " exists and is not a socket";
            return false;
        }
        if (answers(address)) {
            error = "another launcher already listens at " + path;
            return false;
        }
        ::unlink(path.c_str());
    }
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) {
        error = errorText("cannot make a socket");
        return false;
    }
    // Made 0600 from the start: no moment exists in which another user could connect.
    const mode_t old = ::umask(0177);
    const int bound = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(old);
    if (bound != 0 || ::listen(m_fd, 8) != 0) {
        error = errorText("cannot listen at " + path);
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    struct stat made {};
    ::lstat(path.c_str(), &made);
    m_path = path;
    m_inode = made.st_ino;
    return true;
}

int RelaySocket::accept() const {
    return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
}

std::optional<uid_t> peerUid(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return std::nullopt;
    }
    return credentials.uid;
}

}  // namespace halvern::platform

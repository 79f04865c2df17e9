#include "platform/linux/HelperClient.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "helper/Protocol.h"

namespace halvern::platform {

namespace protocol = helper::protocol;
using protocol::Kind;
using protocol::Message;
using Clock = std::chrono::steady_clock;

namespace {

/// The helper's answers are short texts; only requests carry whole files.
constexpr std::size_t kMaxAnswer = 64u << 10;

/// Waits until the descriptor is ready for events or the deadline passes; false at the deadline.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd watch{fd, events, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return true;  // the next call on the descriptor reports the error
        }
    }
}

void closeQuietly(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

}  // namespace

HelperClient::HelperClient(std::string socketPath, std::chrono::milliseconds timeout)
    : m_socketPath(std::move(socketPath)), m_timeout(timeout) {}

HelperClient::~HelperClient() {
    closeQuietly(m_fd);
}

std::string HelperClient::defaultSocketPath() {
    const char* path = std::getenv("ZORVIK_HELPER_SOCKET");
    return path && *path ? path : "/run/zorvik-helper.sock";
}

void HelperClient::release() {
    lose("not connected to zorvik-helper");
}

void HelperClient::lose(const std::string& why) {
    closeQuietly(m_fd);
    m_fd = -1;
    m_lost = why;
}

HelperConnection::ClaimResult HelperClient::claim() {
    release();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socketPath.size() >= sizeof address.sun_path) {
        return {Claim::Unavailable, {}, "the helper's socket path is too long: " + m_socketPath};
    }
    std::memcpy(address.sun_path, m_socketPath.c_str(), m_socketPath.size() + 1);
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        return {Claim::Unavailable, {}, std::strerror(errno)};
    }
    // A local connect completes at once; the calls after it wait with a deadline of their own.
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::fcntl(m_fd, F_SETFL, O_NONBLOCK) != 0) {
        const int error = errno;
        lose("not connected to zorvik-helper");
        const std::string where = "zorvik-helper's socket " + m_socketPath + ": ";
        if (error == EACCES || error == EPERM) {
            return {Claim::NotAuthorised,
                    {},
                    where + std::strerror(error) + " (is this user in the zorvik group?)"};
        }
        return {Claim::Unavailable, {}, where + std::strerror(error)};
    }
    Message answer;
    std::string error;
    if (!exchange({Kind::Hello, protocol::kVersion, {}, {}}, answer, nullptr, error)) {
        return {Claim::Unavailable, {}, error};
    }
    switch (answer.kind) {
        case Kind::Granted:
            return {Claim::Granted, {}, {}};
        case Kind::HeldByOther:
            lose("zorvik-helper serves another user's Zorvik");
            return {Claim::HeldByOther, answer.first, {}};
        case Kind::NotAuthorised:
            lose("not connected to zorvik-helper");
            return {Claim::NotAuthorised, {}, answer.first};
        case Kind::VersionMismatch:
            lose("not connected to zorvik-helper");
            return {Claim::Unavailable,
                    {},
                    "zorvik-helper speaks protocol version " + std::to_string(answer.version) +
                        " and this Zorvik version " + std::to_string(protocol::kVersion) +
                        ": install matching versions of both"};
        default:
            lose("not connected to zorvik-helper");
            return {Claim::Unavailable, {}, "zorvik-helper gave an answer that makes no sense"};
    }
}

bool HelperClient::exchange(const Message& request, Message& answer, int* passedFd,
                            std::string& error) {
    if (m_fd < 0) {
        error = m_lost;
        return false;
    }
    const std::string encoded = protocol::encode(request);
    if (encoded.size() - protocol::kPrefix > protocol::kMaxFrame) {
        // Refused here: the helper would close the connection on it.
        error = "a request of " + std::to_string(encoded.size()) + " bytes, over " +
                "zorvik-helper's limit of " + std::to_string(protocol::kMaxFrame) + " bytes";
        return false;
    }
    const auto deadline = Clock::now() + m_timeout;
    // The helper may answer and close before it reads all of a refused request: its answer is
    // read whatever the send says.
    std::string sendError;
    const bool sent = sendAll(encoded, deadline, sendError);
    char prefix[protocol::kPrefix];
    if (!receive(prefix, sizeof prefix, passedFd, deadline, error)) {
        if (!sent) {
            error = sendError;
        }
        lose("the connection to zorvik-helper was lost: " + error);
        error = m_lost;
        return false;
    }
    const auto cut = protocol::cutFrame(std::string_view(prefix, sizeof prefix), kMaxAnswer);
    std::string frame(prefix, sizeof prefix);
    if (cut.status == protocol::FrameCut::Status::TooLarge) {
        error = "an answer too large to be one";
    } else {
        frame.resize(cut.length);
        if (receive(frame.data() + sizeof prefix, cut.length - sizeof prefix, nullptr, deadline,
                    error)) {
            if (auto decoded = protocol::decode(std::string_view(frame).substr(sizeof prefix));
                decoded && protocol::isAnswer(decoded->kind)) {
                answer = std::move(*decoded);
                return true;
            }
            error = "an answer that makes no sense";
        }
    }
    if (passedFd && *passedFd >= 0) {
        ::close(*passedFd);
        *passedFd = -1;
    }
    lose("the connection to zorvik-helper was lost: " + error);
    error = m_lost;
    return false;
}

bool HelperClient::sendAll(const std::string& bytes, Clock::time_point deadline,
                           std::string& error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(m_fd, POLLOUT, deadline)) {
                error = "zorvik-helper took no request for " +
                        std::to_string(m_timeout.count() / 1000) + " s";
                return false;
            }
        } else {
            error = std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool HelperClient::receive(char* into, std::size_t size, int* passedFd, Clock::time_point deadline,
                           std::string& error) {
    std::size_t done = 0;
    while (done < size) {
        iovec part{into + done, size - done};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_fd, &message, MSG_CMSG_CLOEXEC);
        if (n > 0) {
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
                    int fd = -1;
                    std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
                    if (passedFd && *passedFd < 0) {
                        *passedFd = fd;
                    } else {
                        ::close(fd);
                    }
                }
            }
            done += static_cast<std::size_t>(n);
        } else if (n == 0) {
            error = "zorvik-helper closed the connection";
            return false;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(m_fd, POLLIN, deadline)) {
                error = "zorvik-helper did not answer within " +
                        std::to_string(m_timeout.count() / 1000) + " s";
                return false;
            }
        } else {
            error = std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool HelperClient::perform(const Message& request, std::string& error) {
    Message answer;
    if (!exchange(request, answer, nullptr, error)) {
        return false;
    }
    if (answer.kind == Kind::Done) {
        return true;
    }
    if (answer.kind == Kind::Failed) {
        error = answer.first;
        return false;
    }
    lose("the connection to zorvik-helper was lost: an answer that makes no sense");
    error = m_lost;
    return false;
}

bool HelperClient::writeFile(const std::string& path, const std::string& content,
                             std::string& error) {
    return perform({Kind::WriteFile, 0, path, content}, error);
}

bool HelperClient::copyFile(const std::string& from, const std::string& to, std::string& error) {
    return perform({Kind::CopyFile, 0, from, to}, error);
}

bool HelperClient::renameFile(const std::string& from, const std::string& to, std::string& error) {
    return perform({Kind::RenameFile, 0, from, to}, error);
}

bool HelperClient::removeFile(const std::string& path, std::string& error) {
    return perform({Kind::RemoveFile, 0, path, {}}, error);
}

bool HelperClient::recover(const std::string& path, std::string& error) {
    return perform({Kind::Recover, 0, path, {}}, error);
}

bool HelperClient::flushNameCaches(std::string& error) {
    return perform({Kind::FlushNameCaches, 0, {}, {}}, error);
}

int HelperClient::takePort80Listener(std::string& error) {
    Message answer;
    int fd = -1;
    if (!exchange({Kind::TakePort80, 0, {}, {}}, answer, &fd, error)) {
        return -1;
    }
    if (answer.kind == Kind::Listener && fd >= 0) {
        return fd;
    }
    closeQuietly(fd);
    if (answer.kind == Kind::Failed) {
        error = answer.first;
        return -1;
    }
    lose("the connection to zorvik-helper was lost: it sent no listening socket");
    error = m_lost;
    return -1;
}

}  // namespace halvern::platform

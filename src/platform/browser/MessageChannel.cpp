#include "platform/browser/MessageChannel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace halvern::platform {

namespace {

void makeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

}  // namespace

MessageChannel::MessageChannel(int readFd, int writeFd, std::size_t cap)
    : m_readFd(readFd), m_writeFd(writeFd), m_reader(cap) {
    makeNonBlocking(m_readFd);
    if (m_writeFd != m_readFd) {
        makeNonBlocking(m_writeFd);
    }
    m_reader.onMessage = [this](std::string_view message) {
        if (onMessage) {
            onMessage(message);
        }
    };
    m_reader.onOversize = [this](std::size_t dropped) {
        if (onOversize) {
            onOversize(dropped);
        }
    };
}

MessageChannel::~MessageChannel() {
    closeWrite();
    if (m_readFd >= 0) {
        ::close(m_readFd);
    }
}

void MessageChannel::send(std::string_view json) {
    if (m_writeFd < 0) {
        return;
    }
    m_queue.append(json);
    m_queue.push_back('\0');
}

bool MessageChannel::readAvailable() {
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t got = ::read(m_readFd, buffer.data(), buffer.size());
        if (got > 0) {
            m_reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

bool MessageChannel::flush() {
    while (m_writeFd >= 0 && queued() > 0) {
        const ssize_t put = ::write(m_writeFd, m_queue.data() + m_sent, queued());
        if (put > 0) {
            m_sent += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        return false;
    }
    // Keep the queue from growing at its front: drop what was written once it is most of it.
    if (m_sent > 0 && m_sent * 2 >= m_queue.size()) {
        m_queue.erase(0, m_sent);
        m_sent = 0;
    }
    return true;
}

void MessageChannel::closeWrite() {
    if (m_writeFd < 0) {
        return;
    }
    if (m_writeFd == m_readFd) {
        ::shutdown(m_writeFd, SHUT_WR);
    } else {
        ::close(m_writeFd);
    }
    m_writeFd = -1;
    m_queue.clear();
    m_sent = 0;
}

}  // namespace halvern::platform

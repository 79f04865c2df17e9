#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace halvern::platform::testing {

/// A client socket on 127.0.0.1, non-blocking so the test can run the server's loop meanwhile.
class Client {
public:
    explicit Client(std::uint16_t port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // The kernel completes the handshake from the backlog; no accept is needed for this.
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::fcntl(m_fd, F_SETFL, O_NONBLOCK);
    }
    ~Client() { closeNow(); }
    Client(Client&& other) noexcept
        : received(std::move(other.received)),
          wasReset(other.wasReset),
          m_fd(std::exchange(other.m_fd, -1)),
          m_connected(other.m_connected) {}
    Client(const Client&) = delete;

    bool connected() const { return m_connected; }
    /// Sends what the socket takes now; returns how much that was.
    std::size_t sendSome(std::string_view bytes) {
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    /// Sends a short message, which always fits the socket's buffer.
    void send(const std::string& bytes) { ASSERT_EQ(sendSome(bytes), bytes.size()); }
    void shutdownSending() { ::shutdown(m_fd, SHUT_WR); }
    void closeNow() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    /// Reads what is there; true once the server closed the connection.
    bool readSome() {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                received.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == ECONNRESET) {
                wasReset = true;
            }
            return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        }
    }

    std::string received;
    /// The server reset the connection instead of closing it in order; a browser may then
    /// throw away a reply it already received.
    bool wasReset = false;

private:
    int m_fd;
    bool m_connected = false;
};

}  // namespace halvern::platform::testing

#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/browser/DevToolsFraming.h"

namespace halvern::platform::browsertest {

/// One end of a relay connection driven by a test: the scripted browser on its pipe, or a
/// scripted Zorvik on the socket. Sends whole messages and keeps every message it received.
class RelayTestPeer {
public:
    explicit RelayTestPeer(int fd = -1) : m_fd(fd) {
        m_reader.onMessage = [this](std::string_view message) {
            received.push_back(nlohmann::json::parse(message, nullptr, false));
            texts.emplace_back(message);
        };
    }
    RelayTestPeer(const RelayTestPeer&) = delete;
    RelayTestPeer& operator=(const RelayTestPeer&) = delete;
    ~RelayTestPeer() { close(); }

    /// Connects to a Unix socket; false when nothing listens there.
    bool connect(const std::string& path) {
        close();
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        return ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }

    void send(const std::string& json) const { sendRaw(devToolsFrame(json)); }
    void send(const char* json) const { send(std::string(json)); }
    void send(const nlohmann::json& message) const { send(message.dump()); }
    void sendRaw(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (put <= 0) {
                return;
            }
            done += static_cast<std::size_t>(put);
        }
    }

    /// Reads what has arrived, without waiting; false once the other end has closed.
    bool collect() {
        std::array<char, 65536> buffer{};
        for (;;) {
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, 0) <= 0) {
                return true;
            }
            const ssize_t got = ::read(m_fd, buffer.data(), buffer.size());
            if (got <= 0) {
                return false;
            }
            m_reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        }
    }

    /// The messages received with this method, in order.
    std::vector<nlohmann::json> withMethod(const std::string& method) const {
        std::vector<nlohmann::json> found;
        for (const auto& message : received) {
            if (message.is_object() && message.value("method", "") == method) {
                found.push_back(message);
            }
        }
        return found;
    }

    void close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    int fd() const { return m_fd; }

    std::vector<nlohmann::json> received;
    std::vector<std::string> texts;

private:
    int m_fd;
    DevToolsMessageReader m_reader;
};

}  // namespace halvern::platform::browsertest

#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace halvern::platform::browsertest {

/// The launcher's side of the relay socket, played by a test: it listens on a path, takes one
/// connection at a time, writes frames and reads the commands the program sends. Everything is
/// non-blocking; `pump` lets the program's loop run between steps.
class ScriptedLauncher {
public:
    ScriptedLauncher(std::string path, std::function<void()> pump)
        : m_path(std::move(path)), m_pump(std::move(pump)) {}
    ScriptedLauncher(const ScriptedLauncher&) = delete;
    ScriptedLauncher& operator=(const ScriptedLauncher&) = delete;
    ~ScriptedLauncher() { stop(); }

    void listen() {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_path.c_str(), sizeof(address.sun_path) - 1);
        ::unlink(m_path.c_str());
        if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener, 4) != 0) {
            throw std::runtime_error(std::string("cannot listen: ") + std::strerror(errno));
        }
    }

    /// Closes the connection and the listener, and removes the socket: the launcher is gone.
    void stop() {
        drop();
        if (m_listener >= 0) {
            ::close(m_listener);
            m_listener = -1;
            ::unlink(m_path.c_str());
        }
    }

    /// Closes the connection only.
    void drop() {
        if (m_client >= 0) {
            ::close(m_client);
            m_client = -1;
        }
        m_in.clear();
    }

    /// Takes the waiting connection, if one waits.
    bool accept() {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        drop();
        m_client = fd;
        return true;
    }

    bool connectedNow() const { return m_client >= 0; }

    /// Writes raw bytes, letting the program read while the socket is full.
    void writeRaw(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::send(m_client, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                m_pump();
            } else {
                throw std::runtime_error("the program closed the relay");
            }
        }
        m_pump();
    }

    /// Writes one message and its NUL.
    void write(const std::string& json) { writeRaw(json + std::string(1, '\0')); }

    /// The relay's greeting, the replayed attaches, and its end.
    void greet(const std::vector<std::string>& attaches) {
        write(R"({"method":"Relay.hello","params":{"version":1,"product":"Chrome/156"}})");
        for (const std::string& attach : attaches) {
            write(attach);
        }
        write(R"({"method":"Relay.ready","params":{}})");
    }

    /// Every command the program sent since the last call.
    std::vector<nlohmann::json> commands() {
        m_pump();
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(m_client, buffer, sizeof(buffer), 0);
            if (n <= 0) {
                break;
            }
            m_in.append(buffer, static_cast<std::size_t>(n));
        }
        std::vector<nlohmann::json> all;
        for (std::size_t end; (end = m_in.find('\0')) != std::string::npos;
             m_in.erase(0, end + 1)) {
            all.push_back(nlohmann::json::parse(m_in.substr(0, end)));
        }
        return all;
    }

    /// The commands as "method@session" lines, for comparing.
    std::vector<std::string> commandLines() {
        std::vector<std::string> lines;
        for (const nlohmann::json& c : commands()) {
            lines.push_back(c.at("method").get<std::string>() +
                            (c.contains("sessionId") ? "@" + c["sessionId"].get<std::string>()
                                                     : std::string()));
        }
        return lines;
    }

    /// Answers a command as the browser would.
    void reply(const nlohmann::json& command) {
        nlohmann::json answer = {{"id", command.at("id")}, {"result", nlohmann::json::object()}};
        if (command.contains("sessionId")) {
            answer["sessionId"] = command["sessionId"];
        }
        write(answer.dump());
    }

private:
    std::string m_path;
    std::function<void()> m_pump;
    int m_listener = -1;
    int m_client = -1;
    std::string m_in;
};

}  // namespace halvern::platform::browsertest

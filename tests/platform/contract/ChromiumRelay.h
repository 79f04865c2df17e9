#pragma once

// A headless Chromium on its DevTools pipe, relayed on a Unix socket the way the browser
// launcher relays it, and a loopback HTTP server that logs every request: what the browser
// contract suite drives the real DevToolsBrowser against.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Scheduler.h"
#include "platform/browser/DevToolsFraming.h"
#include "platform/browser/TargetBook.h"

namespace halvern::platform::contract {

/// The browser to run: $ZORVIK_CHROMIUM, else Debian's.
inline std::string chromiumBinary() {
    const char* given = std::getenv("ZORVIK_CHROMIUM");
    return given != nullptr && *given ? given : "/usr/bin/chromium";
}

/// A tiny HTTP/1.0 server on 127.0.0.1: pages by path, every request line logged, one reply
/// per connection.
class LoopbackServer {
public:
    explicit LoopbackServer(Scheduler& loop) : m_loop(loop) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_fd, 64) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on the loopback");
        }
        m_port = ntohs(address.sin_port);
        m_watch = m_loop.watchFd(m_fd, Scheduler::kReadable, [this](int) { accept(); });
    }
    ~LoopbackServer() {
        m_loop.unwatch(m_watch);
        for (auto& [fd, client] : m_clients) {
            m_loop.unwatch(client.watch);
            ::close(fd);
        }
        ::close(m_fd);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    /// Serves a page at a path (without its query).
    void page(const std::string& path, const std::string& html) { m_pages[path] = html; }
    /// Every request's path and query, in order.
    const std::vector<std::string>& requests() const { return m_requests; }
    bool requested(const std::string& fragment) const {
        for (const std::string& r : m_requests) {
            if (r.find(fragment) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

private:
    struct Client {
        Scheduler::Id watch = 0;
        std::string in;
    };
    void accept() {
        for (;;) {
            const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                return;
            }
            m_clients[fd].watch =
                m_loop.watchFd(fd, Scheduler::kReadable, [this, fd](int) { read(fd); });
        }
    }
    void read(int fd) {
        Client& client = m_clients[fd];
        char buffer[4096];
        const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
        if (got > 0) {
            client.in.append(buffer, static_cast<std::size_t>(got));
            if (client.in.find("\r\n\r\n") == std::string::npos) {
                return;
            }
            const std::size_t start = client.in.find(' ') + 1;
            const std::string target = client.in.substr(start, client.in.find(' ', start) - start);
            m_requests.push_back(target);
            const auto page = m_pages.find(target.substr(0, target.find('?')));
            const std::string body = page == m_pages.end() ? "<p>nothing</p>" : page->second;
            const std::string reply =
                "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"
                "Cache-Control: no-store\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body;
            (void)::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        } else if (got < 0 && errno == EAGAIN) {
            return;
        }
        m_loop.unwatch(client.watch);
        ::close(fd);
        m_clients.erase(fd);
    }

    Scheduler& m_loop;
    int m_fd = -1;
    int m_port = 0;
    Scheduler::Id m_watch = 0;
    std::map<int, Client> m_clients;
    std::map<std::string, std::string> m_pages;
    std::vector<std::string> m_requests;
};

/// Headless Chromium on its pipe, set up and relayed as the launcher does: auto-attach paused at
/// the browser, Page.enable and unpaused auto-attach on every page and frame, every target but a
/// held popup resumed; the program's commands forwarded unchanged, its replies and every event
/// forwarded back; a greeting, the attached sessions and "ready" on every new connection. The
/// relay's own commands use negative ids (the browser refuses ids beyond 2^31-1).
class ChromiumRelay {
public:
    ChromiumRelay(Scheduler& loop, const std::string& folder, const std::string& socketPath)
        : m_loop(loop), m_socketPath(socketPath) {
        int down[2];
        int up[2];
        if (::pipe2(down, O_CLOEXEC) != 0 || ::pipe2(up, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        const std::string binary = chromiumBinary();
        const std::string profile = "--user-data-dir=" + folder + "/profile";
        m_pid = ::fork();
        if (m_pid == 0) {
            // Out of the way first, so neither end lands on the other's number; dup2 then
            // leaves 3 and 4 open across exec.
            const int reads = ::fcntl(down[0], F_DUPFD, 10);
            const int writes = ::fcntl(up[1], F_DUPFD, 10);
            ::dup2(reads, 3);
            ::dup2(writes, 4);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            ::dup2(null, 2);
            const char* argv[] = {binary.c_str(),
                                  "--headless",
                                  "--remote-debugging-pipe",
                                  "--disable-popup-blocking",
                                  "--no-sandbox",
                                  "--no-first-run",
                                  "--disable-gpu",
                                  profile.c_str(),
                                  "about:blank",
                                  nullptr};
            ::execv(binary.c_str(), const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::close(down[0]);
        ::close(up[1]);
        m_toBrowser = down[1];
        m_fromBrowser = up[0];
        ::fcntl(m_fromBrowser, F_SETFL, O_NONBLOCK);
        m_pipeReader.onMessage = [this](std::string_view m) { fromBrowser(m); };
        m_pipeWatch = m_loop.watchFd(m_fromBrowser, Scheduler::kReadable, [this](int) {
            char buffer[65536];
            ssize_t got;
            while ((got = ::read(m_fromBrowser, buffer, sizeof(buffer))) > 0) {
                m_pipeReader.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
            }
        });
        m_book.onAttached = [this](const SessionRecord& record) { setUp(record); };
        command("Target.setDiscoverTargets", {{"discover", true}});
        command("Target.setAutoAttach",
                {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}});
        listen();
    }
    ~ChromiumRelay() {
        dropClient();
        m_loop.unwatch(m_listenWatch);
        ::close(m_listener);
        ::unlink(m_socketPath.c_str());
        m_loop.unwatch(m_pipeWatch);
        ::close(m_toBrowser);
        ::close(m_fromBrowser);
        // The browser ends when its pipe closes; make sure of it.
        for (int i = 0; i < 50 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; ++i) {
            ::usleep(100000);
        }
        if (::waitpid(m_pid, nullptr, WNOHANG) == 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    ChromiumRelay(const ChromiumRelay&) = delete;
    ChromiumRelay& operator=(const ChromiumRelay&) = delete;

    /// The relay's own view of the browser.
    const TargetBook& book() const { return m_book; }
    bool clientConnected() const { return m_client >= 0; }

    /// Sends a command of the relay's own; the reply goes to `then`.
    void command(const std::string& method, const nlohmann::json& params,
                 const std::string& session = "",
                 std::function<void(const nlohmann::json&)> then = nullptr) {
        nlohmann::json message = {{"id", m_nextId}, {"method", method}, {"params", params}};
        if (!session.empty()) {
            message["sessionId"] = session;
        }
        if (then) {
            m_then[m_nextId] = std::move(then);
        }
        --m_nextId;
        toBrowser(message.dump());
    }

    /// Closes the program's connection (it will connect again).
    void dropClient() {
        if (m_client >= 0) {
            m_loop.unwatch(m_clientWatch);
            ::close(m_client);
            m_client = -1;
        }
    }

private:
    void listen() {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_socketPath.c_str(), sizeof(address.sun_path) - 1);
        if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener, 4) != 0) {
            throw std::runtime_error("cannot listen on the relay socket");
        }
        m_listenWatch = m_loop.watchFd(m_listener, Scheduler::kReadable, [this](int) {
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                return;
            }
            dropClient();
            m_client = fd;
            m_clientReader = std::make_unique<DevToolsMessageReader>();
            m_clientReader->onMessage = [this](std::string_view m) { fromClient(m); };
            m_clientWatch = m_loop.watchFd(fd, Scheduler::kReadable, [this](int) {
                char buffer[65536];
                const ssize_t got = ::recv(m_client, buffer, sizeof(buffer), MSG_DONTWAIT);
                if (got > 0) {
                    m_clientReader->feed(std::string_view(buffer, static_cast<std::size_t>(got)));
                } else if (got == 0 || errno != EAGAIN) {
                    dropClient();
                }
            });
            toClient(R"({"method":"Relay.hello","params":{"version":1,"product":"Chrome"}})");
            for (const std::string& attach : m_book.attachEvents()) {
                toClient(attach);
            }
            toClient(R"({"method":"Relay.ready","params":{}})");
        });
    }

    void setUp(const SessionRecord& record) {
        if (record.kind == TargetKind::Other) {
            command("Runtime.runIfWaitingForDebugger", nlohmann::json::object(), record.sessionId);
            return;
        }
        command("Page.enable", nlohmann::json::object(), record.sessionId);
        command("Target.setAutoAttach",
                {{"autoAttach", true}, {"waitForDebuggerOnStart", false}, {"flatten", true}},
                record.sessionId);
        if (!record.held) {
            command("Runtime.runIfWaitingForDebugger", nlohmann::json::object(), record.sessionId);
        } else if (m_client < 0) {
            // Nobody to decide: this relay lets it run.
            nlohmann::json resume = {{"id", m_nextId--},
                                     {"method", "Runtime.runIfWaitingForDebugger"},
                                     {"sessionId", record.sessionId}};
            m_book.noteCommand(resume);
            toBrowser(resume.dump());
        }
    }

    void fromBrowser(std::string_view text) {
        nlohmann::json message = nlohmann::json::parse(text, nullptr, false);
        if (message.is_discarded()) {
            return;
        }
        if (message.contains("id")) {
            const auto id = message["id"].get<std::int64_t>();
            if (id < 0) {
                if (auto then = m_then.find(id); then != m_then.end()) {
                    auto handler = std::move(then->second);
                    m_then.erase(then);
                    handler(message);
                }
                return;
            }
            toClient(std::string(text));
            return;
        }
        m_book.handle(message);
        toClient(std::string(text));
    }

    void fromClient(std::string_view text) {
        nlohmann::json message = nlohmann::json::parse(text, nullptr, false);
        if (message.is_discarded()) {
            return;
        }
        m_book.noteCommand(message);
        toBrowser(std::string(text));
    }

    void toBrowser(const std::string& json) {
        const std::string frame = devToolsFrame(json);
        // The pipe is drained by the browser; blocking writes keep the relay simple.
        (void)::write(m_toBrowser, frame.data(), frame.size());
    }
    void toClient(const std::string& json) {
        if (m_client < 0) {
            return;
        }
        const std::string frame = devToolsFrame(json);
        (void)::send(m_client, frame.data(), frame.size(), MSG_NOSIGNAL);
    }

    Scheduler& m_loop;
    std::string m_socketPath;
    pid_t m_pid = -1;
    int m_toBrowser = -1;
    int m_fromBrowser = -1;
    Scheduler::Id m_pipeWatch = 0;
    DevToolsMessageReader m_pipeReader;
    TargetBook m_book;
    std::int64_t m_nextId = -1;
    std::map<std::int64_t, std::function<void(const nlohmann::json&)>> m_then;
    int m_listener = -1;
    Scheduler::Id m_listenWatch = 0;
    int m_client = -1;
    Scheduler::Id m_clientWatch = 0;
    std::unique_ptr<DevToolsMessageReader> m_clientReader;
};

}  // namespace halvern::platform::contract

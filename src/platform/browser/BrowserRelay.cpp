#include "platform/browser/BrowserRelay.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <vector>

#include "platform/browser/RelaySocket.h"

namespace halvern::platform {

BrowserRelay::BrowserRelay(int fromBrowser, int toBrowser, int listenFd, uid_t owner,
                           std::size_t cap)
    : m_browser(fromBrowser, toBrowser, cap), m_listenFd(listenFd), m_owner(owner), m_cap(cap) {
    m_router.log = [this](const std::string& line) { say(line); };
    m_router.toBrowser = [this](const std::string& json) { m_browser.send(json); };
    m_router.toClient = [this](const std::string& json) {
        if (!m_client) {
            return;
        }
        m_client->send(json);
        if (m_client->queued() > kClientQueueCap) {
            m_dropClient = true;
        }
    };
    m_browser.onMessage = [this](std::string_view message) { m_router.fromBrowser(message); };
    m_browser.onOversize = [this](std::size_t bytes) {
        say("dropped a message of " + std::to_string(bytes) + " bytes from the browser: too long");
    };
}

BrowserRelay::~BrowserRelay() = default;

void BrowserRelay::start() {
    m_router.start();
    m_browser.flush();
}

void BrowserRelay::closeBrowser() {
    m_browser.closeWrite();
}

bool BrowserRelay::step(int timeoutMs, std::span<const int> wakeFds) {
    enum { kBrowserIn, kBrowserOut, kListen, kClient, kWake };
    std::vector<pollfd> fds(kWake + wakeFds.size());
    fds[kBrowserIn] = {m_browserOpen ? m_browser.readFd() : -1, POLLIN, 0};
    fds[kBrowserOut] = {m_browser.wantsWrite() ? m_browser.writeFd() : -1, POLLOUT, 0};
    fds[kListen] = {m_listenFd, POLLIN, 0};
    fds[kClient] = {m_client ? m_client->readFd() : -1,
                    static_cast<short>(POLLIN | (m_client && m_client->wantsWrite() ? POLLOUT : 0)),
                    0};
    for (std::size_t i = 0; i < wakeFds.size(); ++i) {
        fds[kWake + i] = {wakeFds[i], POLLIN, 0};
    }
    if (const auto deadline = m_router.nextDeadline()) {
        // A grace ending wakes the loop; past, it is handled below without waiting.
        const auto left = std::clamp<Millis::rep>((*deadline - m_router.clock()).count(), 0,
                                                  std::numeric_limits<int>::max());
        timeoutMs =
            timeoutMs < 0 ? static_cast<int>(left) : std::min(timeoutMs, static_cast<int>(left));
    }
    if (::poll(fds.data(), fds.size(), timeoutMs) < 0) {
        return false;
    }
    if (fds[kBrowserIn].revents != 0 && !m_browser.readAvailable()) {
        m_browserOpen = false;
    }
    if (fds[kClient].revents != 0 && m_client && !m_client->readAvailable()) {
        m_dropClient = true;
    }
    if (fds[kListen].revents != 0) {
        acceptClients();
    }
    if (m_client && !m_client->flush()) {
        m_dropClient = true;
    }
    if (m_dropClient && m_client) {
        dropClient(m_client->queued() > kClientQueueCap ? "Zorvik stopped reading" : "");
    }
    m_dropClient = false;
    m_router.tick();
    if (!m_browser.flush()) {
        m_browserOpen = false;
    }
    bool woken = false;
    for (std::size_t i = kWake; i < fds.size(); ++i) {
        woken = woken || (fds[i].revents & (POLLIN | POLLHUP)) != 0;
    }
    return woken;
}

void BrowserRelay::acceptClients() {
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            return;
        }
        const auto uid = peerUid(fd);
        if (!uid || *uid != m_owner) {
            say("refused a connection from uid " + (uid ? std::to_string(*uid) : "unknown"));
            ::close(fd);
            continue;
        }
        // One Zorvik at a time: the newer one takes over what the older one held.
        if (m_client) {
            m_client.reset();
        }
        m_client = std::make_unique<MessageChannel>(fd, fd, m_cap);
        m_client->onMessage = [this](std::string_view message) { m_router.fromClient(message); };
        m_client->onOversize = [this](std::size_t bytes) {
            say("dropped a message of " + std::to_string(bytes) + " bytes from Zorvik: too long");
        };
        m_router.clientConnected();
    }
}

void BrowserRelay::dropClient(const std::string& why) {
    if (!why.empty()) {
        say("closed the connection to Zorvik: " + why);
    }
    m_client.reset();
    m_router.clientDisconnected();
}

void BrowserRelay::say(const std::string& line) const {
    if (log) {
        log(line);
    }
}

}  // namespace halvern::platform

#include "platform/browser/DevToolsBrowser.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "platform/browser/RelaySocket.h"

namespace halvern::platform {

using nlohmann::json;

namespace {

/// Ids of this side's commands run from 1 to 2^31-1 (the browser takes no larger id).
constexpr std::int64_t kLastId = 0x7fffffff;
/// Read at most this much per wake-up, so a flood cannot hold the loop.
constexpr std::size_t kReadBudget = std::size_t{1024} * 1024;

}  // namespace

DevToolsBrowser::DevToolsBrowser(Scheduler& scheduler, std::string socketPath)
    : m_scheduler(scheduler),
      m_socketPath(std::move(socketPath)),
      m_cancels(m_book,
                [this](const std::string& method, const json& params,
                       const std::string& sessionId) { return send(method, params, sessionId); }) {
    wireBook();
}

DevToolsBrowser::~DevToolsBrowser() {
    m_scheduler.cancel(m_retry);
    forgetCancels();
    if (m_fd >= 0) {
        m_scheduler.unwatch(m_watch);
        ::close(m_fd);
    }
}

void DevToolsBrowser::wireBook() {
    m_book.onReady = [this] {
        m_ready = true;
        announce();
    };
    m_book.onPageOpened = [this](const BrowserPage& page) {
        if (live() && onPageOpened) {
            onPageOpened(page);
        }
    };
    m_book.onPageClosed = [this](const TargetId& id, bool byUser) {
        // A popup this side cancelled was reported when it was cancelled.
        if (!byUser && m_reportedClosed.erase(id) > 0) {
            return;
        }
        if (live() && onPageClosed) {
            onPageClosed(id, byUser);
        }
    };
    m_book.onPopupHeld = [this](const HeldPopup& popup) {
        if (!m_following) {
            // Not following: every popup runs at once.
            allow(popup.id);
        } else if (onPopupHeld) {
            onPopupHeld(popup);
        }
    };
    m_book.onNavigationStarted = [this](const PageNavigation& navigation) {
        if (live() && onNavigationStarted) {
            onNavigationStarted(navigation);
        }
    };
    m_book.onNavigated = [this](const PageNavigation& navigation) {
        if (live() && onNavigated) {
            onNavigated(navigation);
        }
    };
    m_book.onLoaded = [this](const TargetId& id) {
        if (live() && onLoaded) {
            onLoaded(id);
        }
    };
    m_book.onLoadingStarted = [this](const TargetId& id) {
        if (live() && onLoadingStarted) {
            onLoadingStarted(id);
        }
    };
    m_book.onLoadingStopped = [this](const TargetId& id) {
        if (live() && onLoadingStopped) {
            onLoadingStopped(id);
        }
    };
    m_book.onRequestPaused = [this](const std::string& sessionId, const std::string& requestId) {
        // Only a cancel enables Fetch: nothing of a cancelled popup leaves the browser. The
        // launcher answers for the popups it cancels itself.
        m_cancels.requestPaused(sessionId, requestId);
    };
    m_book.onReply = [this](std::int64_t id, const json&) {
        if (m_cancels.replied(id, m_scheduler.now())) {
            armGrace();
        }
    };
    m_book.onProblem = [this](const std::string& text) { problem(text); };
}

bool DevToolsBrowser::connected() const {
    return m_fd >= 0 && m_ready && m_following;
}

void DevToolsBrowser::follow(bool on) {
    if (!on) {
        if (m_following) {
            m_following = false;
            // Stopping lets every held popup run; the connection stays so that new ones are
            // let run too, rather than decided by the launcher's own rule.
            for (const HeldPopup& popup : m_book.heldPopups()) {
                allow(popup.id);
            }
        }
        m_scheduler.cancel(m_retry);
        m_retry = 0;
        return;
    }
    if (m_following) {
        return;
    }
    m_following = true;
    if (m_fd < 0) {
        tryConnect();
    } else if (m_ready) {
        announce();
    }
}

std::vector<BrowserPage> DevToolsBrowser::pages() const {
    return connected() ? m_book.pages() : std::vector<BrowserPage>{};
}

std::string DevToolsBrowser::locationUrl(const TargetId& page) const {
    return m_book.locationUrl(page);
}

void DevToolsBrowser::allow(const TargetId& popup) {
    const SessionRecord* record = m_book.target(popup);
    if (record == nullptr || !record->held || record->cancelling || m_fd < 0) {
        return;
    }
    send("Runtime.runIfWaitingForDebugger", json::object(), record->sessionId);
}

void DevToolsBrowser::cancel(const TargetId& popup) {
    const SessionRecord* record = m_book.target(popup);
    if (record == nullptr || !record->held || record->cancelling || m_fd < 0) {
        return;
    }
    // Its requests are failed first; it is resumed and closed as the browser confirms each step.
    m_cancels.begin(*record);
    m_reportedClosed.insert(popup);
    if (live() && onPageClosed) {
        onPageClosed(popup, false);
    }
}

void DevToolsBrowser::armGrace() {
    m_scheduler.cancel(m_graceTimer);
    m_graceTimer = 0;
    const std::optional<Millis> deadline = m_cancels.nextDeadline();
    if (!deadline) {
        return;
    }
    m_graceTimer =
        m_scheduler.callAfter(std::max(Millis{0}, *deadline - m_scheduler.now()), [this] {
            m_graceTimer = 0;
            m_cancels.expire(m_scheduler.now());
            armGrace();
        });
}

void DevToolsBrowser::forgetCancels() {
    m_scheduler.cancel(m_graceTimer);
    m_graceTimer = 0;
    m_cancels.clear();
}

void DevToolsBrowser::announce() {
    if (!connected()) {
        if (m_ready && !m_following) {
            for (const HeldPopup& popup : m_book.heldPopups()) {
                allow(popup.id);
            }
        }
        return;
    }
    if (onConnected) {
        onConnected();
    }
    for (const BrowserPage& page : m_book.pages()) {
        if (live() && onPageOpened) {
            onPageOpened(page);
        }
    }
    for (const HeldPopup& popup : m_book.heldPopups()) {
        if (live() && onPopupHeld) {
            onPopupHeld(popup);
        }
    }
}

void DevToolsBrowser::tryConnect() {
    m_retry = 0;
    if (!m_following || m_fd >= 0) {
        return;
    }
    std::string refusal;
    if (!prepareRelayFolder(m_socketPath, refusal)) {
        if (refusal != m_lastRefusal) {
            problem("browser launcher's socket not used: " + refusal);
        }
        m_lastRefusal = refusal;
        scheduleRetry();
        return;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socketPath.size() >= sizeof(address.sun_path)) {
        problem("browser launcher's socket path is too long: " + m_socketPath);
        return;
    }
    std::memcpy(address.sun_path, m_socketPath.c_str(), m_socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        scheduleRetry();
        return;
    }
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the sockets API's own cast
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        scheduleRetry();
        return;
    }
    const std::optional<uid_t> peer = peerUid(fd);
    if (!peer || *peer != ::geteuid()) {
        ::close(fd);
        refusal = "browser launcher's socket is another user's: " + m_socketPath;
        if (refusal != m_lastRefusal) {
            problem(refusal);
        }
        m_lastRefusal = refusal;
        scheduleRetry();
        return;
    }
    m_lastRefusal.clear();
    m_fd = fd;
    m_ready = false;
    m_book.clear();
    m_reportedClosed.clear();
    forgetCancels();
    m_reader = std::make_unique<DevToolsMessageReader>();
    m_reader->onMessage = [this](std::string_view message) { m_book.handleText(message); };
    m_reader->onOversize = [this](std::size_t bytes) {
        problem("oversize message of " + std::to_string(bytes) + " bytes dropped");
    };
    m_watch =
        m_scheduler.watchFd(m_fd, Scheduler::kReadable, [this](int ready) { onReady(ready); });
}

void DevToolsBrowser::scheduleRetry() {
    if (m_following && m_retry == 0) {
        m_retry = m_scheduler.callAfter(kRetryInterval, [this] { tryConnect(); });
    }
}

void DevToolsBrowser::onReady(int ready) {
    if ((ready & Scheduler::kWritable) != 0) {
        flush();
    }
    if (m_fd >= 0 && (ready & Scheduler::kReadable) != 0) {
        readAvailable();
    }
}

void DevToolsBrowser::readAvailable() {
    char buffer[65536];
    std::size_t budget = kReadBudget;
    while (m_fd >= 0 && budget > 0) {
        const ssize_t got = ::recv(m_fd, buffer, sizeof(buffer), 0);
        if (got > 0) {
            budget -= std::min(budget, static_cast<std::size_t>(got));
            m_reader->feed(std::string_view(buffer, static_cast<std::size_t>(got)));
            continue;
        }
        if (got < 0 && (errno == EINTR)) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        // The launcher went away (the browser closed, or it was replaced).
        lost();
        return;
    }
}

void DevToolsBrowser::flush() {
    while (m_fd >= 0 && !m_out.empty()) {
        const ssize_t sent = ::send(m_fd, m_out.data(), m_out.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            m_out.erase(0, static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        // Broken: the reading side finds the end and tidies up, outside any handler.
        ::shutdown(m_fd, SHUT_RDWR);
        m_out.clear();
        break;
    }
    if (m_fd >= 0) {
        m_scheduler.setWatchEvents(
            m_watch, Scheduler::kReadable | (m_out.empty() ? 0 : Scheduler::kWritable));
    }
}

void DevToolsBrowser::lost() {
    const bool was = connected();
    m_scheduler.unwatch(m_watch);
    m_watch = 0;
    ::close(m_fd);
    m_fd = -1;
    m_ready = false;
    m_out.clear();
    m_book.clear();
    m_reportedClosed.clear();
    forgetCancels();
    if (was && onDisconnected) {
        onDisconnected();
    }
    scheduleRetry();
}

std::int64_t DevToolsBrowser::send(const std::string& method, const json& params,
                                   const std::string& sessionId) {
    const std::int64_t id = m_nextId;
    m_nextId = m_nextId == kLastId ? 1 : m_nextId + 1;
    json command = {{"id", id}, {"method", method}, {"params", params}};
    if (!sessionId.empty()) {
        command["sessionId"] = sessionId;
    }
    m_book.noteCommand(command);
    if (m_fd < 0) {
        return id;
    }
    if (m_out.size() > kSendQueueCap) {
        problem("browser launcher reads nothing: connection dropped");
        ::shutdown(m_fd, SHUT_RDWR);
        m_out.clear();
        return id;
    }
    m_out += devToolsFrame(command.dump());
    flush();
    return id;
}

void DevToolsBrowser::problem(const std::string& text) {
    if (onProtocolProblem) {
        onProtocolProblem(text);
    }
}

}  // namespace halvern::platform

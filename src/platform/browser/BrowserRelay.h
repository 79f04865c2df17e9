#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "platform/browser/MessageChannel.h"
#include "platform/browser/RelayRouter.h"

namespace halvern::platform {

/// The launcher's relay on its own small poll() loop: the browser's pipe on one side, the
/// listening Unix socket and at most one connected Zorvik on the other, with RelayRouter
/// deciding what goes where. Single-threaded and non-blocking; a connection from another user is
/// closed at once, and a newer Zorvik replaces the older one.
class BrowserRelay {
public:
    /// A Zorvik that lets this much pile up unread is dropped rather than let the launcher grow.
    static constexpr std::size_t kClientQueueCap = std::size_t{64} * 1024U * 1024U;

    /// Takes ownership of the pipe's two ends (fromBrowser is what the browser writes,
    /// toBrowser what it reads); listenFd (not owned, -1 for none) accepts Zorvik's connections
    /// from the user `owner` only. Messages longer than `cap` are dropped, from either side.
    BrowserRelay(int fromBrowser, int toBrowser, int listenFd, uid_t owner,
                 std::size_t cap = DevToolsMessageReader::kDefaultCap);
    BrowserRelay(const BrowserRelay&) = delete;
    BrowserRelay& operator=(const BrowserRelay&) = delete;
    ~BrowserRelay();

    /// Sends the browser its set-up.
    void start();
    /// Waits up to timeoutMs (-1: no limit), and no longer than the next cancel's grace, for the
    /// pipe, the socket, the client or one of wakeFds, and handles what is ready and what is due.
    /// Returns true when one of wakeFds turned readable (they are not read here).
    bool step(int timeoutMs, std::span<const int> wakeFds = {});
    /// False once the browser has closed its end of the pipe (it is exiting).
    bool browserOpen() const { return m_browserOpen; }
    /// Closes the pipe to the browser, which then exits.
    void closeBrowser();
    bool clientConnected() const { return m_client != nullptr; }
    const RelayRouter& router() const { return m_router; }
    /// Replaces the monotonic clock the cancels' graces are timed on (tests step it by hand).
    void useClock(std::function<Millis()> clock) { m_router.clock = std::move(clock); }

    /// The launcher's log: one line per problem or decision.
    std::function<void(const std::string&)> log;

private:
    void acceptClients();
    void dropClient(const std::string& why);
    void say(const std::string& line) const;

    MessageChannel m_browser;
    int m_listenFd;
    uid_t m_owner;
    std::unique_ptr<MessageChannel> m_client;
    std::size_t m_cap;
    RelayRouter m_router;
    bool m_browserOpen = true;
    /// Set while a client's messages are being handled, so it is not destroyed under itself.
    bool m_dropClient = false;
};

}  // namespace halvern::platform

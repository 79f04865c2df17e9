#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/Browser.h"
#include "platform/Scheduler.h"
#include "platform/browser/DevToolsFraming.h"
#include "platform/browser/PopupCancels.h"
#include "platform/browser/TargetBook.h"

namespace halvern::platform {

/// The protected browser: Chromium reached through its launcher, zorvik-browser, over the
/// launcher's Unix socket. While it follows, it connects whenever the launcher runs (it tries the
/// socket every 2 s while not connected), reads on the event loop without blocking, and writes
/// through a queue. The launcher does the browser's whole set-up and replays the attached
/// sessions on every new connection; this side decides the held popups: allow resumes one,
/// cancel fails its requests and, once the browser confirms that, resumes it, and closes it
/// when its first request has failed.
/// Not following, it stays connected and lets every held popup run at once, so the launcher's
/// own rule (cancel what had no gesture) does not apply while the user has switched popup
/// blocking off.
class DevToolsBrowser final : public Browser {
public:
    /// How often a missing launcher is looked for.
    static constexpr Millis kRetryInterval{2000};
    /// How long a cancelled popup that asks for nothing stays before it is closed.
    static constexpr Millis kCancelGrace = PopupCancels::kGrace;
    /// Bytes waiting to be written beyond which the launcher counts as stuck and is dropped.
    static constexpr std::size_t kSendQueueCap = std::size_t{64} * 1024 * 1024;

    /// The socket's folder is checked (made when missing; a folder of this user's, closed to
    /// others) before every connection.
    DevToolsBrowser(Scheduler& scheduler, std::string socketPath);
    ~DevToolsBrowser() override;
    DevToolsBrowser(const DevToolsBrowser&) = delete;
    DevToolsBrowser& operator=(const DevToolsBrowser&) = delete;

    bool connected() const override;
    void follow(bool on) override;
    std::vector<BrowserPage> pages() const override;
    std::string locationUrl(const TargetId& page) const override;
    void allow(const TargetId& popup) override;
    void cancel(const TargetId& popup) override;

    /// Whether the socket is open now (following or not, replay done or not).
    bool socketOpen() const { return m_fd >= 0; }
    /// What is known of the connection's targets.
    const TargetBook& book() const { return m_book; }

private:
    void tryConnect();
    void scheduleRetry();
    void onReady(int ready);
    void readAvailable();
    void flush();
    void lost();
    void announce();
    /// Sets the timer for the next cancelled popup whose grace runs out.
    void armGrace();
    void forgetCancels();
    std::int64_t send(const std::string& method, const nlohmann::json& params,
                      const std::string& sessionId = "");
    bool live() const { return connected(); }
    void problem(const std::string& text);
    void wireBook();

    Scheduler& m_scheduler;
    std::string m_socketPath;
    TargetBook m_book;
    /// The cancels in their safe order: intercept, resume, fail, close.
    PopupCancels m_cancels;
    Scheduler::Id m_graceTimer = 0;
    std::unique_ptr<DevToolsMessageReader> m_reader;
    int m_fd = -1;
    Scheduler::Id m_watch = 0;
    Scheduler::Id m_retry = 0;
    std::string m_out;
    bool m_following = false;
    /// The launcher's replay is complete.
    bool m_ready = false;
    std::int64_t m_nextId = 1;
    /// Popups this side cancelled whose closing it has already reported.
    std::set<TargetId> m_reportedClosed;
    /// The last reason a connection was refused, said once until it changes.
    std::string m_lastRefusal;
};

}  // namespace halvern::platform

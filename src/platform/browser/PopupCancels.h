#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/Scheduler.h"
#include "platform/browser/TargetBook.h"

namespace halvern::platform {

/// The steps of cancelling held popups, in the one order that lets nothing of them reach the
/// network, as measured with Chromium: a popup's requests are intercepted (`Fetch.enable`); only
/// once the browser has replied to that, even with an error, is the popup resumed (a resume sent
/// at once can overtake the interception, and a popup closed while still paused leaves its
/// opener's window.open hanging); every request it then makes is failed; and it is closed only
/// once the browser has replied to a failing, since closing ends its session and a request still
/// paused then goes on. A popup that requests nothing is closed when its grace runs out.
///
/// No sockets and no clock of its own: commands go out through `send`, and the time comes in as
/// `now` (any steady clock), so the DevTools client and the launcher drive it from their loops.
class PopupCancels {
public:
    /// How long a resumed popup that asks for nothing stays before it is closed.
    static constexpr Millis kGrace{1000};

    /// Sends one command to the browser and returns its id; the id's reply comes back through
    /// replied().
    using Send = std::function<std::int64_t(const std::string& method, const nlohmann::json& params,
                                            const std::string& sessionId)>;

    PopupCancels(const TargetBook& book, Send send);

    /// Begins cancelling a held popup: its requests are intercepted. A popup not held, or one
    /// already being cancelled here, is left alone.
    void begin(const SessionRecord& popup);
    /// Finishes a cancel someone else began (it intercepted the popup's requests and may have
    /// resumed it): still held, it is cancelled from the start; resumed, the requests it has
    /// paused and nobody answered are failed, and it is closed as any other.
    void takeOver(const SessionRecord& popup, const std::vector<std::string>& unanswered,
                  Millis now);
    /// A request paused on a session; failed when the session is one of these cancels.
    /// True when it was.
    bool requestPaused(const std::string& sessionId, const std::string& requestId);
    /// A reply from the browser; true when it answered one of these cancels' commands, which
    /// then moves on.
    bool replied(std::int64_t id, Millis now);
    /// Closes the popups whose grace has run out by `now`.
    void expire(Millis now);
    /// When the next grace runs out, if any does.
    std::optional<Millis> nextDeadline() const;
    /// Whether the session is a popup being cancelled here.
    bool cancelling(const std::string& sessionId) const;
    /// Forgets the cancels of popups the book no longer has.
    void forgetGone();
    /// Forgets everything (the connection ended).
    void clear();

private:
    struct Cancel {
        std::string sessionId;
        enum Stage { Intercepting, Running, Closing } stage = Intercepting;
        /// Running: when it is closed unless a failed request closes it first.
        std::optional<Millis> closeAt;
    };
    struct Step {
        TargetId popup;
        enum Kind { Intercepted, Failed } kind;
    };

    void resume(const TargetId& popup, Cancel& cancel, Millis now);
    void close(const TargetId& popup, Cancel& cancel);
    std::map<TargetId, Cancel>::iterator bySession(const std::string& sessionId);

    const TargetBook& m_book;
    Send m_send;
    std::map<TargetId, Cancel> m_cancels;
    /// The commands whose replies move a cancel on.
    std::map<std::int64_t, Step> m_steps;
};

}  // namespace halvern::platform

#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace halvern::platform {

/// The launcher's record of the browser's attached sessions, in attach order: what it replays to
/// a newly connected Zorvik, which popups are held, and the user gesture the browser reported
/// for each new window a page asked for.
class RelaySessions {
public:
    /// How a held popup is being closed, and who answers its paused requests.
    enum class Cancel { None, ByLauncher, ByClient };

    struct Session {
        std::string id;
        std::string targetId;
        std::string type;
        /// The session it was attached on; "" for the browser's own.
        std::string parent;
        /// The page a frame belongs to (a page's own target id for a page).
        std::string page;
        /// The attach event as the browser sent it.
        nlohmann::json attached;
        bool held = false;
        Cancel cancel = Cancel::None;
        /// Whether a user gesture led to this popup, when the browser said so before attaching.
        std::optional<bool> userGesture;
    };

    /// Records a `Target.attachedToTarget` event (with the session it came on); returns the new
    /// session, or nullptr when the event lacks a session or target.
    Session* attach(const nlohmann::json& event);
    /// Forgets a session and every session attached on it.
    void detach(const std::string& sessionId);
    /// Notes a `Page.windowOpen` that arrived on a session.
    void windowOpened(const std::string& sessionId, bool userGesture);

    Session* find(const std::string& sessionId);
    const std::vector<Session>& all() const { return m_sessions; }
    std::vector<Session>& all() { return m_sessions; }
    std::size_t heldCount() const;

private:
    /// The page a target belongs to: its own id for a page, its page's for a frame.
    std::string pageOf(const std::string& targetId) const;

    std::vector<Session> m_sessions;
    /// Gestures of the window opens per page, oldest first, each used by the next popup.
    std::map<std::string, std::deque<bool>> m_gestures;
};

}  // namespace halvern::platform

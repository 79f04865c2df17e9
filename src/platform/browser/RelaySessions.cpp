#include "platform/browser/RelaySessions.h"

#include <algorithm>

namespace halvern::platform {

namespace {

/// A page that opens windows faster than they attach keeps only its latest few gestures.
constexpr std::size_t kGesturesKept = 64;

std::string text(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

RelaySessions::Session* RelaySessions::attach(const nlohmann::json& event) {
    const auto params = event.find("params");
    if (params == event.end() || !params->is_object()) {
        return nullptr;
    }
    const auto info = params->find("targetInfo");
    Session session;
    session.id = text(*params, "sessionId");
    if (info != params->end() && info->is_object()) {
        session.targetId = text(*info, "targetId");
        session.type = text(*info, "type");
    }
    if (session.id.empty() || session.targetId.empty() || find(session.id)) {
        return nullptr;
    }
    session.parent = text(event, "sessionId");
    const Session* parent = find(session.parent);
    session.page = (session.type == "iframe" && parent) ? parent->page : session.targetId;
    session.attached = event;
    const std::string opener = text(*info, "openerId");
    const auto waiting = params->find("waitingForDebugger");
    session.held = session.type == "page" && !opener.empty() && waiting != params->end() &&
                   waiting->is_boolean() && waiting->get<bool>();
    if (!opener.empty()) {
        auto gestures = m_gestures.find(pageOf(opener));
        if (gestures != m_gestures.end() && !gestures->second.empty()) {
            session.userGesture = gestures->second.front();
            gestures->second.pop_front();
        }
    }
    m_sessions.push_back(std::move(session));
    return &m_sessions.back();
}

void RelaySessions::detach(const std::string& sessionId) {
    std::vector<std::string> gone{sessionId};
    // Sessions attach after their parent, so one pass in order finds every descendant.
    for (const Session& session : m_sessions) {
        if (std::find(gone.begin(), gone.end(), session.parent) != gone.end()) {
            gone.push_back(session.id);
        }
    }
    for (const std::string& id : gone) {
        const Session* session = find(id);
        if (session && session->type == "page") {
            m_gestures.erase(session->targetId);
        }
    }
    std::erase_if(m_sessions, [&](const Session& session) {
        return std::find(gone.begin(), gone.end(), session.id) != gone.end();
    });
}

void RelaySessions::windowOpened(const std::string& sessionId, bool userGesture) {
    const Session* session = find(sessionId);
    if (!session) {
        return;
    }
    std::deque<bool>& gestures = m_gestures[session->page];
    gestures.push_back(userGesture);
    if (gestures.size() > kGesturesKept) {
        gestures.pop_front();
    }
}

RelaySessions::Session* RelaySessions::find(const std::string& sessionId) {
    if (sessionId.empty()) {
        return nullptr;
    }
    const auto it = std::find_if(m_sessions.begin(), m_sessions.end(),
                                 [&](const Session& session) { return session.id == sessionId; });
    return it == m_sessions.end() ? nullptr : &*it;
}

std::size_t RelaySessions::heldCount() const {
    return static_cast<std::size_t>(std::count_if(
        m_sessions.begin(), m_sessions.end(), [](const Session& session) { return session.held; }));
}

std::string RelaySessions::pageOf(const std::string& targetId) const {
    const auto it = std::find_if(m_sessions.begin(), m_sessions.end(),
                                 [&](const Session& s) { return s.targetId == targetId; });
    return it == m_sessions.end() ? targetId : it->page;
}

}  // namespace halvern::platform

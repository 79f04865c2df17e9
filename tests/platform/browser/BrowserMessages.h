#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace halvern::platform::browsertest {

/// DevTools messages as the browser (through its launcher) sends them, written the short way.

/// An event, on a session or on the browser's own ("").
inline std::string event(const std::string& method, const nlohmann::json& params,
                         const std::string& session = "") {
    nlohmann::json message = {{"method", method}, {"params", params}};
    if (!session.empty()) {
        message["sessionId"] = session;
    }
    return message.dump();
}

/// A command as the program sends it.
inline nlohmann::json command(int id, const std::string& method, const nlohmann::json& params,
                              const std::string& session = "") {
    nlohmann::json message = {{"id", id}, {"method", method}, {"params", params}};
    if (!session.empty()) {
        message["sessionId"] = session;
    }
    return message;
}

inline std::string attach(const std::string& parent, const std::string& session,
                          const nlohmann::json& info, bool waiting) {
    return event("Target.attachedToTarget",
                 {{"sessionId", session}, {"targetInfo", info}, {"waitingForDebugger", waiting}},
                 parent);
}

/// A tab the user opened (already running: the launcher resumed it).
inline std::string attachPage(const std::string& session, const std::string& target,
                              const std::string& url, const std::string& type = "page") {
    return attach("", session,
                  {{"targetId", target}, {"type", type}, {"url", url}, {"attached", true}}, false);
}

/// A popup held before its first request.
inline std::string attachPopup(const std::string& session, const std::string& target,
                               const std::string& opener) {
    return attach("", session,
                  {{"targetId", target},
                   {"type", "page"},
                   {"url", ""},
                   {"attached", true},
                   {"openerId", opener},
                   {"openerFrameId", opener}},
                  true);
}

/// A frame of a page in a process of its own, attached on the page's session.
inline std::string attachFrame(const std::string& pageSession, const std::string& session,
                               const std::string& target, const std::string& url) {
    return attach(pageSession, session, {{"targetId", target}, {"type", "iframe"}, {"url", url}},
                  false);
}

/// A frame's script asked for a new window.
inline std::string windowOpen(const std::string& session, const std::string& url, bool gesture) {
    return event("Page.windowOpen",
                 {{"url", url},
                  {"windowName", "_blank"},
                  {"windowFeatures", nlohmann::json::array()},
                  {"userGesture", gesture}},
                 session);
}

}  // namespace halvern::platform::browsertest

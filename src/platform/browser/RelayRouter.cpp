#include "platform/browser/RelayRouter.h"

#include <array>
#include <utility>

namespace halvern::platform {

using nlohmann::json;

namespace {

/// Commands that belong to the launcher alone: the set-up would be undone or doubled.
constexpr std::array<std::string_view, 2> kSetUpCommands = {"Target.setAutoAttach",
                                                            "Target.setDiscoverTargets"};

std::string text(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string shortened(std::string_view message) {
    constexpr std::size_t kShown = 120;
    return std::string(message.substr(0, kShown)) + (message.size() > kShown ? "..." : "");
}

}  // namespace

void RelayRouter::start() {
    m_versionId = command("Browser.getVersion");
    command("Target.setDiscoverTargets", {{"discover", true}});
    command("Target.setAutoAttach",
            {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}});
}

std::int64_t RelayRouter::command(const std::string& method, json params,
                                  const std::string& sessionId) {
    const std::int64_t id = m_nextId--;
    json message = {{"id", id}, {"method", method}, {"params", std::move(params)}};
    if (!sessionId.empty()) {
        message["sessionId"] = sessionId;
    }
    toBrowser(message.dump());
    return id;
}

void RelayRouter::fromBrowser(std::string_view message) {
    const json parsed = json::parse(message, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        log("dropped a malformed message from the browser: " + shortened(message));
        return;
    }
    if (parsed.contains("id")) {
        reply(parsed);
        return;
    }
    const std::string method = text(parsed, "method");
    if (method.empty()) {
        log("dropped a message from the browser with neither id nor method: " + shortened(message));
        return;
    }
    event(method, parsed, message);
}

void RelayRouter::reply(const json& message) {
    const auto& id = message["id"];
    if (!id.is_number_integer()) {
        log("dropped a reply from the browser with an id that is no number");
        return;
    }
    const auto value = id.get<std::int64_t>();
    if (value < 0) {
        // The launcher's own: only the version matters; a failed resume or close of a target
        // that is already gone needs nothing.
        if (value == m_versionId) {
            m_product = text(message.value("result", json::object()), "product");
            if (m_client == Client::AwaitingGreeting) {
                greet();
            }
        }
        return;
    }
    // A reply to a Zorvik that has gone (or was replaced) goes nowhere.
    if (m_pending.erase(value) == 1 && m_client == Client::Greeted) {
        toClient(message.dump());
    }
}

void RelayRouter::event(const std::string& method, const json& message, std::string_view text_) {
    const std::string sessionId = text(message, "sessionId");
    if (method == "Target.attachedToTarget") {
        attached(message);
    } else if (method == "Target.detachedFromTarget") {
        m_sessions.detach(text(message.value("params", json::object()), "sessionId"));
    } else if (method == "Page.windowOpen") {
        const json params = message.value("params", json::object());
        const auto gesture = params.find("userGesture");
        m_sessions.windowOpened(
            sessionId, gesture != params.end() && gesture->is_boolean() && gesture->get<bool>());
    } else if (method == "Fetch.requestPaused") {
        requestPaused(sessionId, message);
    }
    if (m_client == Client::Greeted) {
        toClient(std::string(text_));
    }
}

void RelayRouter::attached(const json& message) {
    RelaySessions::Session* session = m_sessions.attach(message);
    if (!session) {
        log("dropped an attach event without a session or target");
        return;
    }
    if (session->type == "page" || session->type == "iframe") {
        command("Page.enable", json::object(), session->id);
        // Frames attach too, unpaused, so a frame's window.open arrives on its own session.
        command("Target.setAutoAttach",
                {{"autoAttach", true}, {"waitForDebuggerOnStart", false}, {"flatten", true}},
                session->id);
    }
    if (!session->held) {
        command("Runtime.runIfWaitingForDebugger", json::object(), session->id);
    } else if (!hasClient()) {
        decide(*session);
    }
}

void RelayRouter::requestPaused(const std::string& sessionId, const json& message) {
    const RelaySessions::Session* session = m_sessions.find(sessionId);
    if (!session || session->cancel == RelaySessions::Cancel::None) {
        return;
    }
    // Zorvik answers for the popups it cancels while it is connected.
    if (session->cancel == RelaySessions::Cancel::ByClient && hasClient()) {
        return;
    }
    const std::string requestId = text(message.value("params", json::object()), "requestId");
    if (!requestId.empty()) {
        command("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "BlockedByClient"}},
                sessionId);
    }
}

void RelayRouter::decide(RelaySessions::Session& popup) {
    // Only a popup the browser says had no gesture is cancelled; one it said nothing about
    // runs, as the browser alone would let it.
    if (popup.userGesture == false) {
        log("cancelled a popup without a user gesture");
        cancel(popup);
    } else {
        allow(popup);
    }
}

void RelayRouter::allow(RelaySessions::Session& popup) {
    popup.held = false;
    command("Runtime.runIfWaitingForDebugger", json::object(), popup.id);
}

void RelayRouter::cancel(RelaySessions::Session& popup) {
    // A held popup closed without being resumed would leave its opener's window.open hanging:
    // hold its requests, let it run, then close it.
    popup.held = false;
    popup.cancel = RelaySessions::Cancel::ByLauncher;
    command("Fetch.enable", {{"patterns", json::array({{{"urlPattern", "*"}}})}}, popup.id);
    command("Runtime.runIfWaitingForDebugger", json::object(), popup.id);
    command("Target.closeTarget", {{"targetId", popup.targetId}});
}

void RelayRouter::fromClient(std::string_view message) {
    const json parsed = json::parse(message, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        log("dropped a malformed message from Zorvik: " + shortened(message));
        return;
    }
    const auto id = parsed.find("id");
    if (id == parsed.end() || !id->is_number_integer() || id->get<std::int64_t>() < 1 ||
        id->get<std::int64_t>() > kMaxClientId) {
        log("dropped a command from Zorvik without a valid id: " + shortened(message));
        return;
    }
    if (refuseClientCommand(parsed)) {
        return;
    }
    m_pending.insert(id->get<std::int64_t>());
    noteClientCommand(text(parsed, "method"), text(parsed, "sessionId"));
    // Passed on as it came: the browser sees Zorvik's own text and id.
    toBrowser(std::string(message));
}

bool RelayRouter::refuseClientCommand(const json& message) {
    const auto id = message["id"].get<std::int64_t>();
    const std::string method = text(message, "method");
    if (method.empty()) {
        sendClientError(id, "a command needs a method");
        return true;
    }
    if (method.rfind("Relay.", 0) == 0) {
        sendClientError(id, "the launcher takes no Relay command: " + method);
        return true;
    }
    for (const std::string_view setUp : kSetUpCommands) {
        if (method == setUp) {
            sendClientError(id, method + " is the launcher's own set-up");
            return true;
        }
    }
    if (m_pending.count(id) != 0) {
        sendClientError(id, "id " + std::to_string(id) + " is still in use");
        return true;
    }
    return false;
}

void RelayRouter::noteClientCommand(const std::string& method, const std::string& sessionId) {
    RelaySessions::Session* session = m_sessions.find(sessionId);
    if (!session) {
        return;
    }
    if (method == "Runtime.runIfWaitingForDebugger") {
        session->held = false;
    } else if (method == "Fetch.enable" && session->held) {
        session->cancel = RelaySessions::Cancel::ByClient;
    }
}

void RelayRouter::sendClientError(std::int64_t id, const std::string& text_) {
    if (m_client == Client::Greeted) {
        toClient(json{{"id", id}, {"error", {{"code", -32601}, {"message", text_}}}}.dump());
    }
}

void RelayRouter::clientConnected() {
    m_pending.clear();
    // What the replaced Zorvik was closing, the launcher finishes.
    for (RelaySessions::Session& session : m_sessions.all()) {
        if (session.cancel == RelaySessions::Cancel::ByClient) {
            session.cancel = RelaySessions::Cancel::ByLauncher;
            command("Target.closeTarget", {{"targetId", session.targetId}});
        }
    }
    m_client = Client::AwaitingGreeting;
    if (m_product) {
        greet();
    }
}

void RelayRouter::greet() {
    m_client = Client::Greeted;
    toClient(json{{"method", "Relay.hello"},
                  {"params", {{"version", 1}, {"product", m_product.value_or("")}}}}
                 .dump());
    for (const RelaySessions::Session& session : m_sessions.all()) {
        json replayed = session.attached;
        replayed["params"]["waitingForDebugger"] = session.held;
        toClient(replayed.dump());
    }
    toClient(json{{"method", "Relay.ready"}, {"params", json::object()}}.dump());
}

void RelayRouter::clientDisconnected() {
    m_client = Client::None;
    m_pending.clear();
    for (RelaySessions::Session& session : m_sessions.all()) {
        if (session.held) {
            decide(session);
        } else if (session.cancel == RelaySessions::Cancel::ByClient) {
            session.cancel = RelaySessions::Cancel::ByLauncher;
            command("Target.closeTarget", {{"targetId", session.targetId}});
        }
    }
}

}  // namespace halvern::platform

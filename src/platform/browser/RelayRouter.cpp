#include "platform/browser/RelayRouter.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

#include "platform/browser/DevToolsFraming.h"

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

/// The message as a JSON object, or nothing (too deep, malformed or not an object).
std::optional<json> parseObject(std::string_view message) {
    if (!devToolsNestedWithin(message)) {
        return std::nullopt;
    }
    json parsed = json::parse(message, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return std::nullopt;
    }
    return parsed;
}

std::optional<std::int64_t> idOf(const json& message) {
    const auto it = message.find("id");
    if (it == message.end() || !it->is_number_integer()) {
        return std::nullopt;
    }
    return it->get<std::int64_t>();
}

}  // namespace

RelayRouter::RelayRouter()
    : clock([] {
          return std::chrono::duration_cast<Millis>(
              std::chrono::steady_clock::now().time_since_epoch());
      }),
      m_cancels(m_book, [this](const std::string& method, const json& params,
                               const std::string& sessionId) {
          return command(method, params, sessionId);
      }) {
    m_book.onProblem = [this](const std::string& line) { say(line); };
    m_book.onAttached = [this](const SessionRecord& session) { setUp(session); };
    m_book.onPopupHeld = [this](const HeldPopup& popup) {
        if (!hasClient()) {
            decide(popup);
        }
    };
    m_book.onRequestPaused = [this](const std::string& session, const std::string& request) {
        requestPaused(session, request);
    };
    m_book.onPageClosed = [this](const TargetId&, bool) {
        m_cancels.forgetGone();
        std::erase_if(m_unanswered,
                      [this](const auto& entry) { return !m_book.session(entry.first); });
    };
    m_book.onReply = [this](std::int64_t id, const json& reply) {
        if (m_cancels.replied(id, clock())) {
            return;
        }
        if (id == m_versionId) {
            m_product = text(reply.value("result", json::object()), "product");
            if (m_client == Client::AwaitingGreeting) {
                greet();
            }
        }
    };
}

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
    m_book.noteCommand(message);
    toBrowser(message.dump());
    return id;
}

void RelayRouter::fromBrowser(std::string_view message) {
    const std::optional<json> parsed = parseObject(message);
    if (!parsed) {
        say("dropped a malformed message from the browser: " + shortened(message));
        return;
    }
    m_book.handle(*parsed);
    if (parsed->contains("id")) {
        if (const auto id = idOf(*parsed); id && *id > 0) {
            reply(*id, message);
        }
        return;
    }
    // Every event goes to Zorvik as the browser wrote it.
    if (m_client == Client::Greeted && parsed->contains("method")) {
        toClient(std::string(message));
    }
}

void RelayRouter::reply(std::int64_t id, std::string_view message) {
    // A reply meant for a Zorvik that has gone (or was replaced) goes nowhere.
    if (m_pending.erase(id) == 1 && m_client == Client::Greeted) {
        toClient(std::string(message));
    }
}

void RelayRouter::setUp(const SessionRecord& session) {
    if (session.type == "page" || session.type == "iframe" || session.type == "browser_ui") {
        command("Page.enable", json::object(), session.sessionId);
        // Frames attach too, unpaused, so a frame's window.open arrives on its own session.
        command("Target.setAutoAttach",
                {{"autoAttach", true}, {"waitForDebuggerOnStart", false}, {"flatten", true}},
                session.sessionId);
    }
    if (!session.held) {
        command("Runtime.runIfWaitingForDebugger", json::object(), session.sessionId);
    }
}

void RelayRouter::requestPaused(const std::string& sessionId, const std::string& requestId) {
    const SessionRecord* session = m_book.session(sessionId);
    if (!session || !session->cancelling || requestId.empty() ||
        m_cancels.requestPaused(sessionId, requestId)) {
        return;
    }
    if (hasClient()) {
        // Zorvik answers for the popups it cancels while it is connected; should it go first,
        // the launcher fails what it left paused.
        m_unanswered[sessionId].push_back(requestId);
    } else {
        m_cancels.takeOver(*session, {requestId}, clock());
    }
}

void RelayRouter::noteAnswer(const json& command) {
    static constexpr std::array<std::string_view, 4> kAnswers = {
        "Fetch.failRequest", "Fetch.continueRequest", "Fetch.fulfillRequest",
        "Fetch.continueWithAuth"};
    const std::string method = text(command, "method");
    if (std::find(kAnswers.begin(), kAnswers.end(), method) == kAnswers.end()) {
        return;
    }
    const auto requests = m_unanswered.find(text(command, "sessionId"));
    if (requests != m_unanswered.end()) {
        std::erase(requests->second, text(command.value("params", json::object()), "requestId"));
    }
}

void RelayRouter::tick() {
    m_cancels.expire(clock());
}

void RelayRouter::decide(const HeldPopup& popup) {
    const SessionRecord* session = m_book.target(popup.id);
    if (!session) {
        return;
    }
    // Only a popup the browser says had no gesture is cancelled; one it said nothing about runs,
    // as it would in the browser alone.
    if (popup.userGesture == false) {
        say("cancelled a popup without a user gesture");
        m_cancels.begin(*session);
    } else {
        command("Runtime.runIfWaitingForDebugger", json::object(), session->sessionId);
    }
}

void RelayRouter::takeOverCancels() {
    for (const SessionRecord* session : m_book.sessions()) {
        if (session->cancelling && !m_cancels.cancelling(session->sessionId)) {
            const auto requests = m_unanswered.find(session->sessionId);
            m_cancels.takeOver(
                *session,
                requests != m_unanswered.end() ? requests->second : std::vector<std::string>{},
                clock());
        }
    }
    m_unanswered.clear();
}

void RelayRouter::fromClient(std::string_view message) {
    const std::optional<json> parsed = parseObject(message);
    if (!parsed) {
        say("dropped a malformed message from Zorvik: " + shortened(message));
        return;
    }
    const auto id = idOf(*parsed);
    if (!id || *id < 1 || *id > kMaxClientId) {
        say("dropped a command from Zorvik without a valid id: " + shortened(message));
        return;
    }
    if (refuseClientCommand(*id, text(*parsed, "method"))) {
        return;
    }
    m_pending.insert(*id);
    m_book.noteCommand(*parsed);
    noteAnswer(*parsed);
    // Passed on as it came: the browser sees Zorvik's own text and id.
    toBrowser(std::string(message));
}

bool RelayRouter::refuseClientCommand(std::int64_t id, const std::string& method) {
    std::string why;
    if (method.empty()) {
        why = "a command needs a method";
    } else if (method.rfind("Relay.", 0) == 0) {
        why = "the launcher takes no Relay command: " + method;
    } else if (method == kSetUpCommands[0] || method == kSetUpCommands[1]) {
        why = method + " is the launcher's own set-up";
    } else if (m_pending.count(id) != 0) {
        why = "id " + std::to_string(id) + " is still waiting for its reply";
    } else {
        return false;
    }
    sendClientError(id, why);
    return true;
}

void RelayRouter::sendClientError(std::int64_t id, const std::string& text_) {
    if (m_client == Client::Greeted) {
        toClient(json{{"id", id}, {"error", {{"code", -32601}, {"message", text_}}}}.dump());
    }
}

void RelayRouter::clientConnected() {
    m_pending.clear();
    // What a replaced Zorvik was closing, the launcher finishes.
    takeOverCancels();
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
    for (std::string& event : m_book.attachEvents()) {
        toClient(std::move(event));
    }
    toClient(json{{"method", "Relay.ready"}, {"params", json::object()}}.dump());
}

void RelayRouter::clientDisconnected() {
    m_client = Client::None;
    m_pending.clear();
    takeOverCancels();
    for (const HeldPopup& popup : m_book.heldPopups()) {
        decide(popup);
    }
}

void RelayRouter::say(const std::string& line) const {
    if (log) {
        log(line);
    }
}

}  // namespace halvern::platform

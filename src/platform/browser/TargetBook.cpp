#include "platform/browser/TargetBook.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

#include "platform/browser/DevToolsFraming.h"

namespace halvern::platform {

using nlohmann::json;

namespace {

/// Unmatched `Page.windowOpen`s kept per page: enough for a burst, bounded against a page that
/// opens windows which never become targets.
constexpr std::size_t kWindowOpenCap = 64;

/// A string member, or "" when it is missing or not a string.
std::string text(const json& object, const char* key) {
    if (!object.is_object()) {
        return {};
    }
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::optional<bool> flag(const json& object, const char* key) {
    if (!object.is_object()) {
        return std::nullopt;
    }
    const auto found = object.find(key);
    if (found == object.end() || !found->is_boolean()) {
        return std::nullopt;
    }
    return found->get<bool>();
}

const json& member(const json& object, const char* key) {
    static const json none = json::object();
    if (!object.is_object()) {
        return none;
    }
    const auto found = object.find(key);
    return found != object.end() && found->is_object() ? *found : none;
}

TargetKind kindOf(const std::string& type) {
    if (type == "page" || type == "browser_ui") {
        return TargetKind::Page;
    }
    if (type == "iframe") {
        return TargetKind::Iframe;
    }
    return TargetKind::Other;
}

/// A message shortened for a log line.
std::string excerpt(std::string_view message) {
    constexpr std::size_t kMax = 200;
    return message.size() <= kMax ? std::string(message)
                                  : std::string(message.substr(0, kMax)) + "...";
}

/// A short description of a parsed message for a log line, without writing out its content.
std::string describe(const json& message) {
    if (!message.is_object()) {
        return std::string("a JSON ") + message.type_name();
    }
    std::string text;
    if (const auto method = message.find("method");
        method != message.end() && method->is_string()) {
        text = excerpt(method->get<std::string>());
    }
    if (const auto id = message.find("id"); id != message.end()) {
        text += (text.empty() ? "id " : " id ") + (id->is_number_integer()
                                                       ? std::to_string(id->get<std::int64_t>())
                                                       : std::string("of type ") + id->type_name());
    }
    return text.empty() ? std::string("an object") : text;
}

}  // namespace

bool isBrowserUiUrl(std::string_view url) {
    if (url.rfind("devtools://", 0) == 0) {
        return true;
    }
    if (url.rfind("chrome://", 0) != 0) {
        return false;
    }
    const std::string_view rest = url.substr(9);
    const std::string_view host = rest.substr(0, rest.find_first_of("/?#"));
    constexpr std::string_view kTopChrome = ".top-chrome";
    return host.size() > kTopChrome.size() &&
           host.substr(host.size() - kTopChrome.size()) == kTopChrome;
}

TargetBook::TargetBook() = default;
TargetBook::~TargetBook() = default;

void TargetBook::handleText(std::string_view message) {
    if (!devToolsNestedWithin(message)) {
        problem("message nested too deeply dropped: " + excerpt(message));
        return;
    }
    json parsed = json::parse(message, nullptr, false);
    if (parsed.is_discarded()) {
        problem("malformed message dropped: " + excerpt(message));
        return;
    }
    handle(parsed);
}

void TargetBook::handle(const json& message) {
    if (!message.is_object()) {
        problem("message that is not an object dropped: " + describe(message));
        return;
    }
    if (message.contains("id")) {
        handleReply(message);
        return;
    }
    const std::string method = text(message, "method");
    if (method.empty()) {
        problem("message with neither id nor method dropped: " + describe(message));
        return;
    }
    const auto sessionField = message.find("sessionId");
    if (sessionField != message.end() && !sessionField->is_string()) {
        problem("message with a malformed session dropped: " + describe(message));
        return;
    }
    const std::string sessionId = text(message, "sessionId");
    if (!sessionId.empty() && find(sessionId) == nullptr) {
        problem(method + " of an unknown session dropped: " + excerpt(sessionId));
        return;
    }
    handleEvent(method, member(message, "params"), sessionId);
}

void TargetBook::handleEvent(const std::string& method, const json& params,
                             const std::string& sessionId) {
    if (method == "Relay.hello") {
        clear();
        m_replaying = true;
        m_product = text(params, "product");
        if (onHello) {
            onHello();
        }
    } else if (method == "Relay.ready") {
        m_replaying = false;
        if (onReady) {
            onReady();
        }
    } else if (method == "Target.attachedToTarget") {
        attached(params, sessionId);
    } else if (method == "Target.detachedFromTarget") {
        detached(text(params, "sessionId"));
    } else if (method == "Target.targetDestroyed") {
        targetGone(text(params, "targetId"));
    } else if (method == "Target.targetInfoChanged") {
        infoChanged(member(params, "targetInfo"));
    } else if (sessionId.empty()) {
        // The browser session's other events (targetCreated, ...) carry nothing the book uses.
    } else if (method == "Page.windowOpen") {
        windowOpened(*find(sessionId), params);
    } else if (method == "Fetch.requestPaused") {
        if (onRequestPaused) {
            onRequestPaused(sessionId, text(params, "requestId"));
        }
    } else if (method.rfind("Page.", 0) == 0) {
        frameEvent(method, params, *find(sessionId));
    }
}

void TargetBook::handleReply(const json& message) {
    const json& id = message["id"];
    if (!id.is_number_integer()) {
        problem("reply with a malformed id dropped: " + describe(message));
        return;
    }
    const auto value = id.get<std::int64_t>();
    const auto pending = m_pending.find(value);
    if (pending == m_pending.end()) {
        problem("reply to no request dropped: " + describe(message));
        return;
    }
    const std::string method = pending->second;
    m_pending.erase(pending);
    if (message.contains("error")) {
        problem(method + " refused: " + excerpt(message["error"].dump()));
    }
    if (onReply) {
        onReply(value, message);
    }
}

void TargetBook::attached(const json& params, const std::string& parentSession) {
    const json& info = member(params, "targetInfo");
    SessionRecord record;
    record.sessionId = text(params, "sessionId");
    record.parentSession = parentSession;
    record.targetId = text(info, "targetId");
    if (record.sessionId.empty() || record.targetId.empty()) {
        problem("attach without a session or target dropped");
        return;
    }
    if (find(record.sessionId) != nullptr) {
        // Attached again under the same session: start its record afresh.
        forget(record.sessionId);
    }
    record.type = text(info, "type");
    record.kind = kindOf(record.type);
    record.url = text(info, "url");
    record.title = text(info, "title");
    record.browserUi = record.type == "browser_ui" || isBrowserUiUrl(record.url);
    record.openerId = text(info, "openerId");
    record.attachParams = params.dump();
    if (record.kind == TargetKind::Page) {
        record.page = record.targetId;
    } else if (const SessionRecord* parent = find(parentSession)) {
        record.page = parent->page;
    }
    record.held = record.kind == TargetKind::Page && record.type == "page" &&
                  !record.openerId.empty() && flag(params, "waitingForDebugger").value_or(false);
    if (record.held) {
        const TargetId opener = pageOf(record.openerId);
        auto& opens = m_windowOpens[opener];
        if (!opens.empty()) {
            record.userGesture = opens.front().userGesture;
            record.openedUrl = opens.front().url;
            opens.pop_front();
        } else {
            // Its windowOpen is late (or never comes): the popup is announced without it and
            // the late one is matched to it.
            m_unmatchedPopups[opener].push_back(record.targetId);
        }
    }
    m_attachOrder.push_back(record.sessionId);
    m_sessionOfTarget[record.targetId] = record.sessionId;
    const std::string sessionId = record.sessionId;
    m_sessions.emplace(sessionId, std::move(record));
    const SessionRecord& stored = m_sessions.at(sessionId);
    if (onAttached) {
        onAttached(stored);
    }
    if (!live() || find(sessionId) == nullptr) {
        return;
    }
    if (stored.held) {
        if (onPopupHeld) {
            onPopupHeld(heldPopups().back());
        }
    } else if (stored.kind == TargetKind::Page && onPageOpened) {
        onPageOpened(BrowserPage{stored.targetId, stored.url, stored.title, stored.browserUi});
    }
}

void TargetBook::detached(const std::string& sessionId) {
    const SessionRecord* record = find(sessionId);
    if (record == nullptr) {
        // Already gone by its target's destruction, or never known.
        return;
    }
    const TargetId targetId = record->targetId;
    const bool page = record->kind == TargetKind::Page;
    const bool byUser = !record->closedByProgram;
    // Its frames' sessions go with it.
    std::vector<std::string> children;
    for (const auto& [id, other] : m_sessions) {
        if (id != sessionId && other.kind != TargetKind::Page && other.page == targetId) {
            children.push_back(id);
        }
    }
    for (const std::string& child : children) {
        forget(child);
    }
    forget(sessionId);
    if (page && live() && onPageClosed) {
        onPageClosed(targetId, byUser);
    }
}

void TargetBook::targetGone(const TargetId& targetId) {
    const auto found = m_sessionOfTarget.find(targetId);
    if (found != m_sessionOfTarget.end()) {
        detached(std::string(found->second));
    }
}

void TargetBook::infoChanged(const json& info) {
    const auto found = m_sessionOfTarget.find(text(info, "targetId"));
    if (found == m_sessionOfTarget.end()) {
        return;
    }
    SessionRecord& record = m_sessions.at(found->second);
    record.url = text(info, "url");
    record.title = text(info, "title");
    record.browserUi = record.type == "browser_ui" || isBrowserUiUrl(record.url);
}

void TargetBook::windowOpened(const SessionRecord& opener, const json& params) {
    if (opener.page.empty()) {
        return;
    }
    WindowOpen open{text(params, "url"), flag(params, "userGesture")};
    auto& early = m_unmatchedPopups[opener.page];
    while (!early.empty()) {
        const TargetId popup = early.front();
        early.pop_front();
        if (const auto mapped = m_sessionOfTarget.find(popup); mapped != m_sessionOfTarget.end()) {
            SessionRecord& record = m_sessions.at(mapped->second);
            record.userGesture = open.userGesture;
            record.openedUrl = open.url;
            return;
        }
    }
    auto& opens = m_windowOpens[opener.page];
    opens.push_back(std::move(open));
    if (opens.size() > kWindowOpenCap) {
        opens.pop_front();
    }
}

void TargetBook::frameEvent(const std::string& method, const json& params,
                            const SessionRecord& record) {
    const SessionRecord* page = target(record.page);
    if (page == nullptr || page->held || page->cancelling) {
        // A held or cancelled popup shows the program nothing; a frame without a page neither.
        return;
    }
    const TargetId pageId = record.page;
    if (method == "Page.frameStartedNavigating") {
        if (onNavigationStarted && live()) {
            const std::string frameId = text(params, "frameId");
            onNavigationStarted(
                PageNavigation{pageId, text(params, "url"), isTopFrame(record, frameId)});
        }
    } else if (method == "Page.frameScheduledNavigation") {
        // A javascript: link starts no navigation of its own, only this.
        const std::string url = text(params, "url");
        if (url.rfind("javascript:", 0) == 0 && onNavigationStarted && live()) {
            onNavigationStarted(
                PageNavigation{pageId, url, isTopFrame(record, text(params, "frameId"))});
        }
    } else if (method == "Page.frameNavigated") {
        const json& frame = member(params, "frame");
        if (frame.contains("parentId") || !isTopFrame(record, text(frame, "id"))) {
            return;
        }
        const std::string url = text(frame, "url") + text(frame, "urlFragment");
        m_sessions.at(record.sessionId).url = url;
        if (onNavigated && live()) {
            onNavigated(PageNavigation{pageId, url, true});
        }
    } else if (method == "Page.navigatedWithinDocument") {
        if (!isTopFrame(record, text(params, "frameId"))) {
            return;
        }
        const std::string url = text(params, "url");
        m_sessions.at(record.sessionId).url = url;
        if (onNavigated && live()) {
            onNavigated(PageNavigation{pageId, url, true});
        }
    } else if (method == "Page.loadEventFired") {
        if (record.kind == TargetKind::Page && onLoaded && live()) {
            onLoaded(pageId);
        }
    } else if (method == "Page.frameStartedLoading" || method == "Page.frameStoppedLoading") {
        if (!isTopFrame(record, text(params, "frameId")) || !live()) {
            return;
        }
        const auto& handler =
            method == "Page.frameStartedLoading" ? onLoadingStarted : onLoadingStopped;
        if (handler) {
            handler(pageId);
        }
    }
}

void TargetBook::noteCommand(const json& command) {
    if (!command.is_object()) {
        return;
    }
    const auto id = command.find("id");
    const std::string method = text(command, "method");
    if (id != command.end() && id->is_number_integer()) {
        m_pending[id->get<std::int64_t>()] = method;
    }
    SessionRecord* record = find(text(command, "sessionId"));
    if (method == "Runtime.runIfWaitingForDebugger" && record != nullptr && record->held) {
        // Resumed: allowed, it is a page from now on; cancelled, it is on its way out.
        record->held = false;
        auto& unmatched = m_unmatchedPopups[pageOf(record->openerId)];
        unmatched.erase(std::remove(unmatched.begin(), unmatched.end(), record->targetId),
                        unmatched.end());
    } else if (method == "Fetch.enable" && record != nullptr && record->held) {
        record->cancelling = true;
    } else if (method == "Target.closeTarget") {
        const auto found = m_sessionOfTarget.find(text(member(command, "params"), "targetId"));
        if (found != m_sessionOfTarget.end()) {
            m_sessions.at(found->second).closedByProgram = true;
        }
    }
}

void TargetBook::clear() {
    m_sessions.clear();
    m_attachOrder.clear();
    m_sessionOfTarget.clear();
    m_windowOpens.clear();
    m_unmatchedPopups.clear();
    m_pending.clear();
    m_product.clear();
    m_replaying = false;
}

const SessionRecord* TargetBook::session(const std::string& sessionId) const {
    const auto found = m_sessions.find(sessionId);
    return found == m_sessions.end() ? nullptr : &found->second;
}

SessionRecord* TargetBook::find(const std::string& sessionId) {
    const auto found = m_sessions.find(sessionId);
    return found == m_sessions.end() ? nullptr : &found->second;
}

const SessionRecord* TargetBook::target(const TargetId& targetId) const {
    const auto found = m_sessionOfTarget.find(targetId);
    return found == m_sessionOfTarget.end() ? nullptr : session(found->second);
}

std::vector<const SessionRecord*> TargetBook::sessions() const {
    std::vector<const SessionRecord*> all;
    all.reserve(m_attachOrder.size());
    for (const std::string& id : m_attachOrder) {
        all.push_back(&m_sessions.at(id));
    }
    return all;
}

std::vector<BrowserPage> TargetBook::pages() const {
    std::vector<BrowserPage> all;
    for (const SessionRecord* record : sessions()) {
        if (record->kind == TargetKind::Page && !record->held && !record->cancelling) {
            all.push_back(
                BrowserPage{record->targetId, record->url, record->title, record->browserUi});
        }
    }
    return all;
}

std::vector<HeldPopup> TargetBook::heldPopups() const {
    std::vector<HeldPopup> all;
    for (const SessionRecord* record : sessions()) {
        if (record->held && !record->cancelling) {
            all.push_back(HeldPopup{record->targetId, pageOf(record->openerId),
                                    record->openedUrl.empty() ? record->url : record->openedUrl,
                                    record->userGesture});
        }
    }
    return all;
}

std::string TargetBook::locationUrl(const TargetId& page) const {
    const SessionRecord* record = target(page);
    return record == nullptr ? std::string() : record->url;
}

std::vector<std::string> TargetBook::attachEvents() const {
    std::vector<std::string> events;
    for (const SessionRecord* record : sessions()) {
        json params = json::parse(record->attachParams, nullptr, false);
        params["waitingForDebugger"] = record->held;
        // The target as it is now, not as it was when it was attached.
        if (params.contains("targetInfo") && params["targetInfo"].is_object()) {
            params["targetInfo"]["url"] = record->url;
            params["targetInfo"]["title"] = record->title;
        }
        json event = {{"method", "Target.attachedToTarget"}, {"params", std::move(params)}};
        if (!record->parentSession.empty()) {
            event["sessionId"] = record->parentSession;
        }
        events.push_back(event.dump());
    }
    return events;
}

TargetId TargetBook::pageOf(const TargetId& targetId) const {
    const SessionRecord* record = target(targetId);
    return record == nullptr || record->page.empty() ? targetId : record->page;
}

bool TargetBook::isTopFrame(const SessionRecord& record, const std::string& frameId) const {
    // A page's main frame has the page's own id.
    return record.kind == TargetKind::Page && frameId == record.targetId;
}

void TargetBook::forget(const std::string& sessionId) {
    const auto found = m_sessions.find(sessionId);
    if (found == m_sessions.end()) {
        return;
    }
    const SessionRecord& record = found->second;
    if (const auto mapped = m_sessionOfTarget.find(record.targetId);
        mapped != m_sessionOfTarget.end() && mapped->second == sessionId) {
        m_sessionOfTarget.erase(mapped);
    }
    if (record.kind == TargetKind::Page) {
        m_windowOpens.erase(record.targetId);
        m_unmatchedPopups.erase(record.targetId);
    }
    if (record.held) {
        auto& unmatched = m_unmatchedPopups[pageOf(record.openerId)];
        unmatched.erase(std::remove(unmatched.begin(), unmatched.end(), record.targetId),
                        unmatched.end());
    }
    m_attachOrder.erase(std::remove(m_attachOrder.begin(), m_attachOrder.end(), sessionId),
                        m_attachOrder.end());
    m_sessions.erase(found);
}

void TargetBook::problem(const std::string& line) const {
    if (onProblem) {
        onProblem(line);
    }
}

}  // namespace halvern::platform

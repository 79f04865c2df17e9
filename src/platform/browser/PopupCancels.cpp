#include "platform/browser/PopupCancels.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

namespace halvern::platform {

using nlohmann::json;

PopupCancels::PopupCancels(const TargetBook& book, Send send)
    : m_book(book), m_send(std::move(send)) {}

void PopupCancels::begin(const SessionRecord& popup) {
    if (!popup.held || m_cancels.count(popup.targetId) != 0) {
        return;
    }
    m_cancels[popup.targetId] = Cancel{popup.sessionId, Cancel::Intercepting, std::nullopt};
    const std::int64_t id = m_send(
        "Fetch.enable", {{"patterns", json::array({{{"urlPattern", "*"}}})}}, popup.sessionId);
    m_steps[id] = Step{popup.targetId, Step::Intercepted};
}

void PopupCancels::takeOver(const SessionRecord& popup, const std::vector<std::string>& unanswered,
                            Millis now) {
    if (m_cancels.count(popup.targetId) != 0) {
        return;
    }
    if (popup.held) {
        // Its interception may not be in place yet: asked for again, it is once this reply
        // comes, as the browser answers a session's commands in order.
        begin(popup);
        return;
    }
    Cancel& cancel = m_cancels[popup.targetId];
    cancel.sessionId = popup.sessionId;
    if (popup.closedByProgram) {
        // Its close is on its way; what it still asks for is failed until it is gone.
        cancel.stage = Cancel::Closing;
    } else {
        cancel.stage = Cancel::Running;
        cancel.closeAt = now + kGrace;
    }
    for (const std::string& request : unanswered) {
        requestPaused(popup.sessionId, request);
    }
}

bool PopupCancels::requestPaused(const std::string& sessionId, const std::string& requestId) {
    const auto found = bySession(sessionId);
    if (found == m_cancels.end() || requestId.empty()) {
        return false;
    }
    const std::int64_t id =
        m_send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "BlockedByClient"}},
               sessionId);
    m_steps[id] = Step{found->first, Step::Failed};
    return true;
}

bool PopupCancels::replied(std::int64_t id, Millis now) {
    const auto step = m_steps.find(id);
    if (step == m_steps.end()) {
        return false;
    }
    const Step done = step->second;
    m_steps.erase(step);
    const auto found = m_cancels.find(done.popup);
    if (found == m_cancels.end()) {
        return true;
    }
    if (m_book.session(found->second.sessionId) == nullptr) {
        // Closed meanwhile, by the user or the browser.
        m_cancels.erase(found);
        return true;
    }
    // Refused or not, a cancel goes on: the popup must not stay paused.
    if (done.kind == Step::Intercepted && found->second.stage == Cancel::Intercepting) {
        resume(done.popup, found->second, now);
    } else if (done.kind == Step::Failed && found->second.stage == Cancel::Running) {
        close(done.popup, found->second);
    }
    return true;
}

void PopupCancels::resume(const TargetId& popup, Cancel& cancel, Millis now) {
    const SessionRecord* record = m_book.target(popup);
    if (record != nullptr && record->held) {
        m_send("Runtime.runIfWaitingForDebugger", json::object(), cancel.sessionId);
    }
    cancel.stage = Cancel::Running;
    cancel.closeAt = now + kGrace;
}

void PopupCancels::close(const TargetId& popup, Cancel& cancel) {
    cancel.stage = Cancel::Closing;
    cancel.closeAt.reset();
    m_send("Target.closeTarget", {{"targetId", popup}}, "");
}

void PopupCancels::expire(Millis now) {
    forgetGone();
    for (auto& [popup, cancel] : m_cancels) {
        if (cancel.stage == Cancel::Running && cancel.closeAt && *cancel.closeAt <= now) {
            close(popup, cancel);
        }
    }
}

std::optional<Millis> PopupCancels::nextDeadline() const {
    std::optional<Millis> next;
    for (const auto& [popup, cancel] : m_cancels) {
        if (cancel.closeAt && (!next || *cancel.closeAt < *next)) {
            next = cancel.closeAt;
        }
    }
    return next;
}

bool PopupCancels::cancelling(const std::string& sessionId) const {
    return std::any_of(m_cancels.begin(), m_cancels.end(),
                       [&](const auto& entry) { return entry.second.sessionId == sessionId; });
}

std::map<TargetId, PopupCancels::Cancel>::iterator PopupCancels::bySession(
    const std::string& sessionId) {
    return std::find_if(m_cancels.begin(), m_cancels.end(),
                        [&](const auto& entry) { return entry.second.sessionId == sessionId; });
}

void PopupCancels::forgetGone() {
    std::erase_if(m_cancels,
                  [this](const auto& entry) { return !m_book.session(entry.second.sessionId); });
}

void PopupCancels::clear() {
    m_cancels.clear();
    m_steps.clear();
}

}  // namespace halvern::platform

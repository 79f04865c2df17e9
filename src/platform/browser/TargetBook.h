#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/Browser.h"

namespace halvern::platform {

/// What an attached DevTools session is attached to.
enum class TargetKind {
    /// A tab, a popup, or a page of the browser's own interface.
    Page,
    /// A frame of a page in a process of its own.
    Iframe,
    /// Workers and anything else: tracked so their messages are known, otherwise ignored.
    Other,
};

/// One attached session and what the book knows of its target.
struct SessionRecord {
    std::string sessionId;
    /// The session it was attached on ("" for the browser's own session).
    std::string parentSession;
    TargetId targetId;
    TargetKind kind = TargetKind::Other;
    /// The target's type as the browser names it ("page", "iframe", "browser_ui", ...).
    std::string type;
    /// The page this session belongs to: itself for a page, the page of its parent for a frame.
    TargetId page;
    std::string url;
    std::string title;
    bool browserUi = false;
    /// The target that opened it, as the browser named it ("" for none).
    TargetId openerId;
    /// Held: a popup paused before its first request, waiting to be allowed or cancelled.
    bool held = false;
    /// The program began to cancel it (its requests are failed, it is being closed).
    bool cancelling = false;
    /// The program asked for it to be closed: its going is not the user's doing.
    bool closedByProgram = false;
    /// The gesture and address of the `Page.windowOpen` that led to this popup, when known.
    std::optional<bool> userGesture;
    std::string openedUrl;
    /// The `Target.attachedToTarget` parameters as the browser sent them (JSON text).
    std::string attachParams;
};

/// The state of one DevTools connection, built only from the messages fed to it: no sockets, no
/// clock. It maps sessions to targets (pages, their frames, held popups), keeps every page's
/// address, matches each `Page.windowOpen` to the popup it led to, and turns the protocol's
/// events into the browser-level events of `platform::Browser`.
///
/// Ordering, as measured with Chromium: a page's `Page.windowOpen` (on the opening frame's own
/// session) arrives before the popup's `Target.attachedToTarget`, so the gesture is normally
/// known when the popup is held. When it is not, the popup is announced at once without it (a
/// held popup freezes its opener, so nothing waits for it), and the late `windowOpen` is matched
/// to that popup so it cannot be taken for the next one.
///
/// Protocol input is hostile: a malformed message, an event of an unknown session or a reply to
/// no request is reported through `onProblem` and dropped; nothing throws.
class TargetBook {
public:
    TargetBook();
    ~TargetBook();
    TargetBook(const TargetBook&) = delete;
    TargetBook& operator=(const TargetBook&) = delete;

    /// Reads one message text (an event or a reply); malformed JSON is reported and dropped.
    void handleText(std::string_view text);
    /// Takes one parsed message.
    void handle(const nlohmann::json& message);
    /// Records a command about to be sent: its id awaits a reply, and a resume, a `Fetch.enable`
    /// or a close of a held popup changes that popup's state.
    void noteCommand(const nlohmann::json& command);
    /// Forgets every session and pending request (the connection ended or starts afresh).
    void clear();

    /// The session, or nullptr.
    const SessionRecord* session(const std::string& sessionId) const;
    /// The session attached to a target (its page session for a page), or nullptr.
    const SessionRecord* target(const TargetId& targetId) const;
    /// Every session in the order it was attached.
    std::vector<const SessionRecord*> sessions() const;
    /// The pages open now, in attach order (held and cancelled popups not among them).
    std::vector<BrowserPage> pages() const;
    /// The popups held now and not being cancelled, in the order they were held.
    std::vector<HeldPopup> heldPopups() const;
    /// A page's current address, "" when unknown.
    std::string locationUrl(const TargetId& page) const;
    /// One `Target.attachedToTarget` event per attached session, in attach order, as the browser
    /// sent it but with the target's current address and title and `waitingForDebugger` true
    /// only for popups still held: what a newly connected client needs to rebuild this state.
    std::vector<std::string> attachEvents() const;
    /// The product the relay named in its greeting, "" before it.
    const std::string& product() const { return m_product; }
    /// Requests sent and not yet answered.
    std::size_t pendingRequests() const { return m_pending.size(); }

    /// The browser-level events. During the relay's replay (between `Relay.hello` and
    /// `Relay.ready`) only `onAttached` and `onProblem` are raised; `onReady` then says the state
    /// is complete.
    std::function<void(const SessionRecord&)> onAttached;
    std::function<void()> onHello;
    std::function<void()> onReady;
    std::function<void(const BrowserPage&)> onPageOpened;
    std::function<void(const TargetId&, bool byUser)> onPageClosed;
    std::function<void(const HeldPopup&)> onPopupHeld;
    std::function<void(const PageNavigation&)> onNavigationStarted;
    std::function<void(const PageNavigation&)> onNavigated;
    std::function<void(const TargetId&)> onLoaded;
    std::function<void(const TargetId&)> onLoadingStarted;
    std::function<void(const TargetId&)> onLoadingStopped;
    /// A request of a session paused by `Fetch` (only the program's cancels enable it).
    std::function<void(const std::string& sessionId, const std::string& requestId)> onRequestPaused;
    /// A reply to a request noted with noteCommand (its error too).
    std::function<void(std::int64_t id, const nlohmann::json& reply)> onReply;
    /// A message that could not be used, or a command the browser refused: a debug line.
    std::function<void(const std::string&)> onProblem;

private:
    /// A `Page.windowOpen` not yet matched to its popup.
    struct WindowOpen {
        std::string url;
        std::optional<bool> userGesture;
    };

    void handleEvent(const std::string& method, const nlohmann::json& params,
                     const std::string& sessionId);
    void handleReply(const nlohmann::json& message);
    void attached(const nlohmann::json& params, const std::string& parentSession);
    void detached(const std::string& sessionId);
    void targetGone(const TargetId& targetId);
    void infoChanged(const nlohmann::json& info);
    void windowOpened(const SessionRecord& opener, const nlohmann::json& params);
    void frameEvent(const std::string& method, const nlohmann::json& params,
                    const SessionRecord& record);
    void forget(const std::string& sessionId);
    SessionRecord* find(const std::string& sessionId);
    /// The page a target belongs to: itself for a page, its page for a known frame.
    TargetId pageOf(const TargetId& targetId) const;
    bool isTopFrame(const SessionRecord& record, const std::string& frameId) const;
    void problem(const std::string& text) const;
    bool live() const { return !m_replaying; }

    std::map<std::string, SessionRecord> m_sessions;
    std::vector<std::string> m_attachOrder;
    std::map<TargetId, std::string> m_sessionOfTarget;
    /// Unmatched `windowOpen`s per opener page, oldest first, and per page the popups held
    /// before their `windowOpen` arrived.
    std::map<TargetId, std::deque<WindowOpen>> m_windowOpens;
    std::map<TargetId, std::deque<TargetId>> m_unmatchedPopups;
    std::map<std::int64_t, std::string> m_pending;
    std::string m_product;
    bool m_replaying = false;
};

/// The address a client of a browser's own interface has ("chrome://…top-chrome/",
/// "devtools://").
bool isBrowserUiUrl(std::string_view url);

}  // namespace halvern::platform

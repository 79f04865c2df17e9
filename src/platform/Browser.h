#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halvern::platform {

/// The browser's own name of one page: a tab, a popup, or a page of the browser's own interface.
using TargetId = std::string;

/// One page the protected browser has open.
struct BrowserPage {
    TargetId id;
    /// Its current address (the last the page reported), "" before the first.
    std::string url;
    std::string title;
    /// A page of the browser's own interface (its tab strip, its tools): it has state like a
    /// page but is not a browser window the user opened.
    bool browserUi = false;
};

/// A new window a page asked for, held before its first request until it is allowed or
/// cancelled.
struct HeldPopup {
    /// The popup's own page.
    TargetId id;
    /// The page (tab) whose content asked for it; a frame of a page counts as its page.
    TargetId opener;
    /// The address the browser named for it, when it named one (often it names none until the
    /// popup's first request, which is held).
    std::string url;
    /// Whether the browser says a user gesture (a click, a key) led to it; empty when it did
    /// not say before the popup was held.
    std::optional<bool> userGesture;
};

/// A navigation a page began, or the address it arrived at.
struct PageNavigation {
    TargetId page;
    std::string url;
    /// The page's top frame, not one of its frames.
    bool topFrame = true;
};

/// The protected browser, reached through its launcher: its pages, their navigations and the
/// new windows they ask for, each held until the program allows or cancels it. All events arrive
/// on the event loop, one at a time. A popup that is held freezes the script of the page that
/// asked for it, so every held popup must be allowed or cancelled.
class Browser {
public:
    virtual ~Browser() = default;

    /// Whether a protected browser is connected now.
    virtual bool connected() const = 0;
    /// Starts following the browser (connecting whenever its launcher runs) or stops: stopping
    /// first lets every held popup run.
    virtual void follow(bool on) = 0;
    /// The pages open now, in the browser's order (held popups not among them).
    virtual std::vector<BrowserPage> pages() const = 0;
    /// A page's current address, "" when unknown.
    virtual std::string locationUrl(const TargetId& page) const = 0;

    /// Lets a held popup load and run.
    virtual void allow(const TargetId& popup) = 0;
    /// Closes a held popup before its first request leaves the browser; the page that asked for
    /// it goes on running.
    virtual void cancel(const TargetId& popup) = 0;

    /// The connection to a browser came or went (its pages arrive as `onPageOpened` first).
    std::function<void()> onConnected;
    std::function<void()> onDisconnected;
    /// A page opened by the user (not held), or known at connection.
    std::function<void(const BrowserPage&)> onPageOpened;
    /// A page went away; `byUser` is false for a popup the program itself cancelled.
    std::function<void(const TargetId&, bool byUser)> onPageClosed;
    /// A page asked for a new window; it waits for allow() or cancel().
    std::function<void(const HeldPopup&)> onPopupHeld;
    /// A page (or one of its frames) began a navigation: the old BeforeNavigate2.
    std::function<void(const PageNavigation&)> onNavigationStarted;
    /// A page's top frame arrived at an address, or changed it within the document.
    std::function<void(const PageNavigation&)> onNavigated;
    /// A page's top document finished loading (its load event).
    std::function<void(const TargetId&)> onLoaded;
    /// A page's top frame began or stopped loading.
    std::function<void(const TargetId&)> onLoadingStarted;
    std::function<void(const TargetId&)> onLoadingStopped;
    /// A message the program could not use (too large, malformed, a reply to nothing): a line
    /// for the debug log.
    std::function<void(const std::string&)> onProtocolProblem;
};

}  // namespace halvern::platform

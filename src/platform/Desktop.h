#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace halvern::platform {

using WindowId = std::uint64_t;

/// What the program knows about one window of another program.
struct WindowInfo {
    WindowId id = 0;
    /// The title as the window states it (at most 4 KiB read); may be empty.
    std::string title;
    /// The window's class name (the second string of WM_CLASS on X11).
    std::string className;
    /// The window's role ("browser", "pop-up", ...), empty when it states none.
    std::string role;
    /// The window's type as it states it, lower case: "normal", "dialog", "utility",
    /// "popup_menu", ... (_NET_WM_WINDOW_TYPE_ without its prefix on X11); empty when none.
    std::string type;
    /// The process that owns the window, 0 when unknown.
    int pid = 0;
    /// Whether the window runs on this machine, so `pid` is a process here.
    bool localMachine = false;
    /// Shown on screen or iconified (not withdrawn).
    bool visible = false;
};

/// How a close request went.
enum class CloseResult {
    Requested,    ///< the window was asked to close; it decides
    NotAccepted,  ///< the window does not take polite close requests, so it was left alone
    Gone,         ///< the window no longer exists
};

/// The desktop's windows: listing, polite closing, pressing a button, and notifications of new,
/// activated and retitled windows. The list is kept current by the notifications, so reading it
/// costs no round trip to the display.
class Desktop {
public:
    virtual ~Desktop() = default;

    /// False when there is no desktop to talk to (no display, or a session that forbids it).
    virtual bool available() const = 0;
    /// Top-level windows, topmost first: the desktop's own list, valid until the event loop runs
    /// again or a window is asked to close. A walk that does either walks a copy.
    virtual const std::vector<WindowInfo>& windows() = 0;
    /// Titled sub-windows of a window, topmost first (none on X11, where buttons and panes carry
    /// no titles of their own).
    virtual std::vector<WindowInfo> children(WindowId window) = 0;
    /// Rises whenever the list or a title changes; a cache of results may be kept until then.
    virtual std::uint64_t generation() const = 0;

    /// Asks the window to close, as its close box would; never forces it.
    virtual CloseResult requestClose(WindowId window) = 0;
    /// Presses the button labelled `caption` (mnemonic marks "&" and "_" ignored) in the
    /// window; false when there is no such button or it cannot be reached in time.
    virtual bool pressButton(WindowId window, const std::string& caption) = 0;

    /// Notifications, called on the event loop once following has started. Several changes
    /// caused by one new window arrive as one `created`; a new window that got the id of one
    /// gone is `created` too, however soon it came.
    std::function<void(WindowId)> onCreated;
    std::function<void(WindowId)> onActivated;
    std::function<void(WindowId)> onTitleChanged;
    /// Starts and stops the notifications.
    virtual void follow(bool on) = 0;
};

}  // namespace halvern::platform

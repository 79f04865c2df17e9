#pragma once

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Desktop.h"

namespace halvern::platform {

/// The atoms the desktop backend reads and sends, interned in one round trip.
struct X11Atoms {
    xcb_atom_t netClientList = 0;
    xcb_atom_t netClientListStacking = 0;
    xcb_atom_t netActiveWindow = 0;
    xcb_atom_t netSupportingWmCheck = 0;
    xcb_atom_t netWmName = 0;
    xcb_atom_t netWmPid = 0;
    xcb_atom_t netWmWindowType = 0;
    xcb_atom_t netWmWindowTypeDock = 0;
    xcb_atom_t netWmWindowTypeDesktop = 0;
    xcb_atom_t utf8String = 0;
    xcb_atom_t wmState = 0;
    xcb_atom_t wmWindowRole = 0;
    xcb_atom_t wmClientMachine = 0;
    xcb_atom_t wmProtocols = 0;
    xcb_atom_t wmDeleteWindow = 0;
    xcb_atom_t atSpiBus = 0;
    /// The window types a window may state, each with its name as `WindowInfo::type` gives it.
    std::vector<std::pair<xcb_atom_t, std::string>> windowTypes;

    static X11Atoms intern(xcb_connection_t* connection);
};

/// The top-level windows as the display states them now, topmost first.
struct TopLevelList {
    std::vector<xcb_window_t> ids;
    /// True when a window manager keeps the client list; otherwise `ids` are the root's children,
    /// still to be filtered by read().
    bool managed = false;
};

/// Reads windows from the display in batches: every request of a batch is sent before the first
/// reply is awaited, so a batch costs one round trip however many windows it holds.
class WindowReader {
public:
    WindowReader(xcb_connection_t* connection, Display* display, const X11Atoms& atoms,
                 xcb_window_t root);

    /// The top-level windows, topmost first.
    TopLevelList listTopLevel();
    /// Reads the windows; gone ones, docks and desktops, and (without a window manager) unmapped
    /// and override-redirect ones are left out. The order is kept.
    std::vector<WindowInfo> read(const std::vector<xcb_window_t>& ids, bool managed);
    /// The window the window manager says is active, 0 when none.
    xcb_window_t activeWindow();

private:
    struct Cookies;
    WindowInfo decode(xcb_window_t id, Cookies& cookies, bool managed, bool& keep);
    std::string title(xcb_get_property_reply_t* netWmName, xcb_get_property_reply_t* wmName);

    xcb_connection_t* m_c;
    Display* m_display;
    const X11Atoms& m_atoms;
    xcb_window_t m_root;
    std::string m_hostName;
};

/// Makes text valid UTF-8 (each invalid byte becomes U+FFFD) and cuts it to at most `limit`
/// bytes without splitting a character.
std::string repairUtf8(const std::string& text, std::size_t limit);

}  // namespace halvern::platform

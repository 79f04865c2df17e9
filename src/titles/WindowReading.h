#pragma once

#include <string>
#include <string_view>

#include "platform/Desktop.h"

namespace halvern::titles {

/// A window as the walks see it: its title, or its class name when it has no title.
struct WindowText {
    /// The title (sanitised), or the class name when the title is empty.
    std::string text;
    /// True when text is the title, false when it is the class name.
    bool isTitle = false;
    /// The class name, at most kMaxClassChars characters.
    std::string className;
};

/// Reads a window's text, kind and class (GetWindowTitleOrClass).
WindowText GetWindowTitleOrClass(const platform::WindowInfo& window);

/// Characters of a class name kept, as the old 64-character buffer held.
inline constexpr std::size_t kMaxClassChars = 64;

/// Whether the window belongs to this very program: its process is ours, on this machine.
/// Such windows are never listed for blocking nor closed by title.
bool isOwnWindow(const platform::WindowInfo& window, int ownPid);

/// Whether the class is one of the web browsers' window classes (Chromium, Chrome, Firefox and
/// their kin), compared without regard to ASCII case.
bool isBrowserClass(std::string_view className);

/// The role a browser gives its main windows, which carry the active tab's title; their pop-ups
/// say "pop-up" instead.
inline constexpr std::string_view kBrowserMainRole = "browser";

/// Whether the window's role or type marks it as a pop-up, a dialog or a menu rather than a main
/// window ("pop-up", "popup", "...Dialog", "alert"; dialog, utility and menu types).
bool isPopupOrDialog(const platform::WindowInfo& window);

/// Whether the window is a browser's main window, which bears its active tab's title, so that
/// closing it would close every tab: one that says role "browser", and every window of a browser
/// class that is not marked as a pop-up or dialog. Such windows are never closed by title.
bool isBrowserMainWindow(const platform::WindowInfo& window);

}  // namespace halvern::titles

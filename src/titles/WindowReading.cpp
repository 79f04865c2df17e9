#include "titles/WindowReading.h"

#include <algorithm>
#include <array>

#include "titles/TitleText.h"

namespace halvern::titles {

namespace {

/// WM_CLASS class names of the browsers, lower-cased.
constexpr std::array<std::string_view, 16> kBrowserClasses = {
    "chromium",       "chromium-browser", "google-chrome", "google-chrome-beta",
    "firefox",        "firefox-esr",      "navigator",     "brave-browser",
    "microsoft-edge", "vivaldi-stable",   "opera",         "epiphany",
    "konqueror",      "falkon",           "librewolf",     "seamonkey"};

/// Parts of roles that pop-ups and dialogs state, lower-cased ("pop-up", "GtkFileChooserDialog",
/// "alert", ...).
constexpr std::array<std::string_view, 4> kPopupRoles = {"pop-up", "popup", "dialog", "alert"};

/// Window types that are no main window.
constexpr std::array<std::string_view, 8> kPopupTypes = {
    "dialog", "utility", "popup_menu", "dropdown_menu", "menu", "tooltip", "notification", "combo"};

}  // namespace

WindowText GetWindowTitleOrClass(const platform::WindowInfo& window) {
    WindowText read;
    const std::string_view className = window.className;
    read.className =
        sanitiseTitle(className.substr(0, std::min(className.find('\0'), kMaxClassChars)));
    const std::string_view title = window.title;
    read.text = sanitiseTitle(title.substr(0, title.find('\0')));
    read.isTitle = !read.text.empty();
    if (!read.isTitle) {
        read.text = read.className;
    }
    return read;
}

bool isOwnWindow(const platform::WindowInfo& window, int ownPid) {
    return window.localMachine && window.pid != 0 && window.pid == ownPid;
}

bool isBrowserClass(std::string_view className) {
    const std::string lower = lowerAscii(className);
    for (std::string_view browser : kBrowserClasses) {
        if (lower == browser) {
            return true;
        }
    }
    return false;
}

bool isPopupOrDialog(const platform::WindowInfo& window) {
    const std::string role = lowerAscii(window.role);
    const std::string type = lowerAscii(window.type);
    return std::ranges::any_of(kPopupRoles,
                               [&role](std::string_view part) { return contains(role, part); }) ||
           std::ranges::find(kPopupTypes, type) != kPopupTypes.end();
}

bool isBrowserMainWindow(const platform::WindowInfo& window) {
    if (window.role == kBrowserMainRole) {
        return true;
    }
    return isBrowserClass(window.className) && !isPopupOrDialog(window);
}

}  // namespace halvern::titles

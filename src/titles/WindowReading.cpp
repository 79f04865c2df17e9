#include "titles/WindowReading.h"

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

}  // namespace

WindowText GetWindowTitleOrClass(const platform::WindowInfo& window) {
    WindowText read;
    read.className = sanitiseTitle(StripAtNull(window.className).substr(0, kMaxClassChars));
    const std::string title = sanitiseTitle(StripAtNull(window.title));
    read.isTitle = !title.empty();
    read.text = read.isTitle ? title : read.className;
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

}  // namespace halvern::titles

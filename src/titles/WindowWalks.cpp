#include "titles/WindowWalks.h"

#include <array>
#include <string_view>

#include "core/MainState.h"
#include "titles/TitleText.h"
#include "titles/WindowReading.h"

namespace halvern::titles {

namespace {

bool leftOutOfList(const std::string& text) {
    constexpr std::array<std::string_view, 4> kContained = {"Zorvik", "eHalvern", kEditorCaption,
                                                            "Shell_TrayWnd"};
    constexpr std::array<std::string_view, 3> kEqual = {"Program Manager", "HOM Hit Class",
                                                        "Static"};
    if (contains(text, core::kServiceName)) {
        return true;
    }
    for (std::string_view part : kContained) {
        if (contains(text, part)) {
            return true;
        }
    }
    for (std::string_view whole : kEqual) {
        if (text == whole) {
            return true;
        }
    }
    return false;
}

/// The titled sub-windows of an America Online window, but its own standing panes.
void listChildTitles(platform::Desktop& desktop, platform::WindowId parent, int ownPid,
                     std::vector<std::string>& out) {
    constexpr std::array<std::string_view, 5> kPanes = {"welcome", "channel", "buddy", "send im",
                                                        "what's new"};
    for (const platform::WindowInfo& child : desktop.children(parent)) {
        const WindowText read = GetWindowTitleOrClass(child);
        if (!child.visible || isOwnWindow(child, ownPid) || !read.isTitle ||
            countCharacters(read.text) < 6) {
            continue;
        }
        const std::string lower = lowerAscii(read.text);
        bool pane = lower.starts_with("aol ");
        for (std::string_view word : kPanes) {
            pane = pane || contains(lower, word);
        }
        if (!pane) {
            out.push_back("   " + std::string(trimBlanks(read.text)));
        }
    }
}

}  // namespace

std::vector<std::string> listWindowTitles(platform::Desktop& desktop, int ownPid) {
    std::vector<std::string> out;
    for (const platform::WindowInfo& window : desktop.windows()) {
        if (!window.visible || isOwnWindow(window, ownPid)) {
            continue;
        }
        // A visible window without a title is listed under its class name.
        const WindowText read = GetWindowTitleOrClass(window);
        if (leftOutOfList(read.text)) {
            continue;
        }
        out.push_back(read.text);
        if (contains(read.text, "America") && contains(read.text, "Online")) {
            listChildTitles(desktop, window.id, ownPid, out);
        }
    }
    return out;
}

void CloseAllBrowsers(platform::Desktop& desktop, int ownPid, core::StatusLog& log) {
    // By the browsers' window classes, not by words in titles: a text editor showing
    // "netscape notes.txt" is no browser.
    const std::vector<platform::WindowInfo> windows = desktop.windows();  // closes change the list
    for (const platform::WindowInfo& window : windows) {
        const WindowText read = GetWindowTitleOrClass(window);
        // Only titled windows: an untitled one is a browser's helper, not a page.
        if (!window.visible || !read.isTitle || isOwnWindow(window, ownPid) ||
            !isBrowserClass(read.className)) {
            continue;
        }
        log.SetStatusMSG("Closing Browser Window " + read.text);
        desktop.requestClose(window.id);
    }
}

}  // namespace halvern::titles

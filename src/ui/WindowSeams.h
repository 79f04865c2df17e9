#pragma once

#include <functional>
#include <string>

namespace halvern::ui {

/// What the tray menu and the settings window open or run that belongs to another subsystem:
/// the list editors, the log window, the domain tester and the browser-closing command. Program
/// holds one and fills each member as its subsystem is built in; the controls that use an empty
/// member are disabled and say why in their tool tip (WindowCommands).
struct WindowSeams {
    /// Recently-blocked log window, modeless.
    std::function<void()> openLogWindow;
    /// Popup white-list editor, modeless.
    std::function<void()> openWhiteList;
    /// Ad-server list editor, modeless.
    std::function<void()> openAdServerEditor;
    /// Title list editor, modeless.
    std::function<void()> openTitleEditor;
    /// Spyware list window, modeless.
    std::function<void()> openSpywareViewer;
    /// Domain tester of the developer zone, modeless.
    std::function<void()> openDomainTester;
    /// Closes every open browser window.
    std::function<void()> closeAllBrowsers;
    /// Adds a special title ("Messenger Service", "-- Web Page Dialog") to the blocked titles
    /// and shows the title list editor.
    std::function<void(const std::string& title)> blockSpecialTitle;
};

}  // namespace halvern::ui

#pragma once

#include <functional>

namespace halvern::program {

/// Start-up and shut-down steps that belong to a subsystem, which fills them when Program wires
/// it. Each is named after the operation its owner provides; an empty one does nothing, and the
/// sequence goes on.
struct StartupSeams {
    /// Browser popup blocking: the popup-address and click state.
    std::function<void()> resetPopupState;
    /// Title scanner: loads the blocked titles.
    std::function<void()> setPopupListArray;
    /// Spyware scanner: loads the watched programs.
    std::function<void()> setSpyWareListArray;
    /// Popup white list: loads the allowed pages.
    std::function<void()> setWhiteListArray;
    /// Window watcher: starts and stops following new and activated windows.
    std::function<void()> installShellHook;
    std::function<void()> removeShellHook;
    /// Menu pictures (cosmetic).
    std::function<void()> SetMenuIcons;
    /// Browser tracker: (re)creates it, or discards it.
    std::function<void()> createBrowserTracker;
    std::function<void()> discardBrowserTracker;
    /// Browser options: read into their check boxes.
    std::function<void()> readBrowserSettings;
    /// Settings password: reads it and locks the window when set.
    std::function<void()> applyPasswordLock;
    /// Start with the session: adds the autostart entry without a message.
    std::function<void()> addStartupShortcut;
    /// Secondary windows (list editors, log window, statistics) are closed.
    std::function<void()> UnloadAllForms;

    /// Runs a seam when its owner has filled it.
    static void run(const std::function<void()>& seam) {
        if (seam) {
            seam();
        }
    }
};

}  // namespace halvern::program

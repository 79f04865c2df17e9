#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Context.h"
#include "forms/Control.h"
#include "ui/TrayIcon.h"
#include "ui/UnavailableControls.h"
#include "ui/WindowSeams.h"

namespace halvern::ui {

/// The controls of the tray menu and the settings window that open another subsystem's window
/// or run its command, each through its seam. A control whose seam is empty when the program
/// has been wired is disabled and its tool tip says what is missing, so that it is never
/// silently inert; filling the seam before the load keeps it enabled.
///
/// Wires cmdLog, the white-list, ad-server, title and spyware openers (buttons, links and tray
/// entries), cmdTestDomains, mnuTrayCloseBrowser, lblMessengerPops and lblWebPagePops.
class WindowCommands {
public:
    WindowCommands(core::Context& context, TrayIcon& tray, const WindowSeams& seams);
    ~WindowCommands();
    WindowCommands(const WindowCommands&) = delete;
    WindowCommands& operator=(const WindowCommands&) = delete;

    /// Disables each control whose seam is empty, with the reason in its tool tip, and keeps it
    /// disabled when other code enables it later. Program calls it once, as the load begins.
    void applySeams();

    /// "Allow specific ad servers" and "&Block Specific ad servers": the settings window first,
    /// then the ad-server list editor.
    void mnuTrayAllow_Click();

    /// The tool tip of a control whose seam is empty: its own tip, if any, and the reason.
    static std::string unavailableTip(const std::string& ownTip, const std::string& missing);

private:
    struct Command {
        forms::CaptionControl* control;
        /// What is missing, as the tool tip names it ("ad-server list editor").
        const char* missing;
        /// Whether the control's seam is filled, read when the seams are applied.
        std::function<bool()> filled;
    };
    void add(forms::CaptionControl& control, const char* missing, std::function<bool()> filled,
             std::function<void()> action);

    forms::MainForm& m_form;
    TrayIcon& m_tray;
    const WindowSeams& m_seams;
    std::vector<Command> m_commands;
    UnavailableControls m_unavailable;
};

}  // namespace halvern::ui

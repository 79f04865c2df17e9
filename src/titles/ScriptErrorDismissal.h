#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Context.h"
#include "core/StatusLog.h"
#include "popups/BlockedPopupReaction.h"
#include "ui/TrayIcon.h"

namespace halvern::titles {

/// Answers the browser's script-error question ("Error", do you want to debug?) with "No"
/// while the user is active in the browser, counts it like a blocked popup, and now and then
/// advises how to switch the prompts off.
class ScriptErrorDismissal {
public:
    ScriptErrorDismissal(core::Context& context, core::StatusLog& log, ui::TrayIcon& tray,
                         popups::BlockedPopupReaction& reaction);

    /// Presses the button `strButtonText` in a browser window titled exactly `strWindowTitle`;
    /// windows of other programs are never answered. Each window is asked once, whether its
    /// button was found or not, and never while a press (or the advice it brings) is under way.
    void mySimulateButtonClick(const std::string& strWindowTitle, const std::string& strButtonText);

    /// A window new on the desktop is not the one asked before under its id, which the display
    /// hands out again once a program has ended.
    void forgetWindow(platform::WindowId window) { std::erase(m_tried, window); }

    /// Boxes answered since the start; never reset.
    std::int32_t answered() const { return m_answered; }

    static const std::string kAdviceTitle;
    static const std::string kAdviceText;

private:
    core::Context& m_context;
    core::StatusLog& m_log;
    ui::TrayIcon& m_tray;
    popups::BlockedPopupReaction& m_reaction;
    std::int32_t m_answered = 0;
    /// Windows asked already, while they exist.
    std::vector<platform::WindowId> m_tried;
    bool m_pressing = false;
};

}  // namespace halvern::titles

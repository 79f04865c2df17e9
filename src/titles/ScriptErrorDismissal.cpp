#include "titles/ScriptErrorDismissal.h"

#include <algorithm>

#include "titles/WindowReading.h"

namespace halvern::titles {

namespace {

const std::string kCrLf = "\r\n";

}  // namespace

const std::string ScriptErrorDismissal::kAdviceTitle =
    "Helpful Advice to reduce the error messages.";

const std::string ScriptErrorDismissal::kAdviceText =
    "You are seeing a lot of error boxes.  If you would like to avoid seeing "
    "these error messages in the future, do this: " +
    kCrLf + kCrLf + "1) Open the \"Tools - Internet Options\" menu on your " +
    "Microsoft Internet Explorer Browers. " + kCrLf +
    "2) Click the \"Advanced\" tab (far right tab)." + kCrLf +
    "3) Scroll Down to the \"Browsing\" section (almost near the top)." + kCrLf +
    "4) Find the \"Disable Script Debugging\" checkbox and select it (check it)." + kCrLf +
    "5) Click the \"OK\" button. " + kCrLf + "6) Close, then restart your IE browser.  " + kCrLf +
    kCrLf + "This will stop prompting you every time a page encounters " +
    "Javascript or other script errors.  Those warnings were meant primariy for " +
    "Software Developers that needed to debug thier new web pages.";

ScriptErrorDismissal::ScriptErrorDismissal(core::Context& context, core::StatusLog& log,
                                           ui::TrayIcon& tray,
                                           popups::BlockedPopupReaction& reaction)
    : m_context(context), m_log(log), m_tray(tray), m_reaction(reaction) {}

void ScriptErrorDismissal::mySimulateButtonClick(const std::string& strWindowTitle,
                                                 const std::string& strButtonText) {
    // One press at a time: a box shown meanwhile (the advice) lets the loop run this again.
    if (m_pressing) {
        return;
    }
    platform::Desktop& desktop = m_context.platform.desktop;
    // The title is compared as the desktop's list holds it: no round trip per tick.
    const int ownPid = m_context.platform.processes.ownPid();
    const std::vector<platform::WindowInfo>& windows = desktop.windows();
    // Forget the windows that are gone; an id the desktop reuses is a new window.
    std::erase_if(m_tried, [&windows](platform::WindowId id) {
        return std::ranges::find(windows, id, &platform::WindowInfo::id) == windows.end();
    });
    platform::WindowId target = 0;
    for (const platform::WindowInfo& window : windows) {
        const WindowText read = GetWindowTitleOrClass(window);
        if (read.isTitle && read.text == strWindowTitle && isBrowserClass(read.className) &&
            !isOwnWindow(window, ownPid) &&
            std::ranges::find(m_tried, window.id) == m_tried.end()) {
            target = window.id;
            break;
        }
    }
    if (target == 0) {
        return;
    }
    // Each box is asked once: pressing goes through the program that shows it, and one that
    // hangs would otherwise hold the scan on every tick.
    m_tried.push_back(target);
    m_pressing = true;
    const bool pressed = desktop.pressButton(target, strButtonText);
    if (!pressed) {
        m_log.AddToStatus("No '" + strButtonText + "' found on '" + strWindowTitle + "' window.");
        m_pressing = false;
        return;
    }
    m_reaction.DoBlockedPopup("No to Error Dailog");
    m_log.AddToStatus("Simulated Clicking " + strButtonText + " on " + strWindowTitle + " window.");
    ++m_answered;
    if (m_answered == 5 || m_answered % 20 == 0) {
        m_tray.mnuTraySettings_Click();
        m_context.platform.dialogs.messageBox(kAdviceText, kAdviceTitle, platform::BoxButtons::Ok,
                                              platform::BoxIcon::Critical);
    }
    m_pressing = false;
}

}  // namespace halvern::titles

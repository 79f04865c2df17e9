#pragma once

#include <string>

#include "core/Context.h"
#include "core/StatusLog.h"
#include "forms/Timer.h"
#include "platform/Browser.h"
#include "popups/BlockedPopupReaction.h"
#include "popups/UserIntent.h"
#include "popups/WhiteList.h"
#include "ui/HelpLine.h"

namespace halvern::popups {

class IE_Class;

/// The main window's side of the popup decision: the browser's current page, the pages of the
/// latest blocked popup and of the latest clicked navigation, the closing-window timer and the
/// block-all switch. A page's sink hands every held popup to NewWindow2, which allows or cancels
/// it, always. Wires chkJavaPops and TimerNoNewWindow.
class PopupDecision {
public:
    /// TimerIEActive is the browser-activity window the tracker's glue owns.
    PopupDecision(core::Context& context, core::StatusLog& log, ui::HelpLine& help,
                  UserIntent& intent, WhiteList& whiteList, BlockedPopupReaction& reaction,
                  forms::Timer& TimerIEActive);
    ~PopupDecision();
    PopupDecision(const PopupDecision&) = delete;
    PopupDecision& operator=(const PopupDecision&) = delete;

    /// The page the browser reported last.
    const std::string& getCurURL() const { return strCurURL; }
    /// Keeps the address unless it is empty: an empty one never hides a known page.
    void setCurURL(const std::string& url);

    /// Decides a popup the sink's page asked for, by the first rule that applies: temporary
    /// allow, hot key, white list, double click, closing window, block-all, script link, click,
    /// else blocked.
    void NewWindow2(IE_Class& sink, const platform::HeldPopup& popup);
    /// The common steps of every allowed popup.
    void DoAllowedPopup(const IE_Class& sink);

    void chkJavaPops_Click();
    void TimerNoNewWindow_Timer();
    /// The load's fresh state: no page, no popup and no clicked navigation known.
    void reset();

    /// Runs for 1.5 s after a browser window began to close: popups are then blocked.
    forms::Timer TimerNoNewWindow;

    std::string strCurURL;
    std::string gstrCurIEPopURL;
    std::string gstrPrevIEPopURL;
    std::string gstrCurIEURLClicked;
    std::string gstrPrevIEURLClicked;

    /// What the sinks use besides the decision.
    core::StatusLog& log() { return m_log; }
    UserIntent& intent() { return m_intent; }
    forms::Timer& TimerIEActive() { return m_TimerIEActive; }
    platform::Browser& browser() { return m_context.platform.browser; }

private:
    /// Decides without catching: the caller makes sure a decision is taken.
    void decide(IE_Class& sink, const platform::HeldPopup& popup, bool& decided);
    void cancel(const platform::HeldPopup& popup, const std::string& page, bool& decided);

    core::Context& m_context;
    core::StatusLog& m_log;
    ui::HelpLine& m_help;
    UserIntent& m_intent;
    WhiteList& m_whiteList;
    BlockedPopupReaction& m_reaction;
    forms::Timer& m_TimerIEActive;
};

}  // namespace halvern::popups

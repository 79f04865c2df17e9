#include "popups/PopupBlocking.h"

#include <string>

namespace halvern::popups {

namespace {

const std::string kCrLf = "\r\n";

}  // namespace

PopupBlocking::PopupBlocking(core::Context& context, core::StatusLog& log, ui::HelpLine& help,
                             core::Settings& settings, ui::TrayIcon& tray,
                             adservers::BlockCounter& counter, adservers::PlaceholderServer& server,
                             WhiteList& whiteList)
    : intent(context, server),
      reaction(context, tray, counter, intent),
      TimerIEActive(context.platform.scheduler, "TimerIEActive", 4000, false),
      decision(context, log, help, intent, whiteList, reaction, TimerIEActive),
      TimerHoldCTRL(context.platform.scheduler, "TimerHoldCTRL", 60000, true),
      m_context(context),
      m_log(log),
      m_help(help),
      m_settings(settings),
      m_tray(tray),
      m_whiteList(whiteList) {
    TimerIEActive.onTimer = [this] { TimerIEActive.setEnabled(false); };
    TimerHoldCTRL.onTimer = [this] { TimerHoldCTRL_Timer(); };
    m_context.form.chkRunIE.onClick = [this] { chkRunIE_Click(); };
}

PopupBlocking::~PopupBlocking() {
    oIEWindows.reset();
    m_context.form.chkRunIE.onClick = nullptr;
}

void PopupBlocking::resetPopupState() {
    decision.reset();
    bTrackerRestarted = false;
}

void PopupBlocking::createBrowserTracker() {
    oIEWindows.reset();
    oIEWindows = std::make_unique<BrowserTracker>(m_context, m_log, m_tray, decision);
}

void PopupBlocking::discardBrowserTracker() {
    oIEWindows.reset();
}

bool PopupBlocking::isCurrentPageWhiteListed() const {
    return m_whiteList.IsInIEWhiteList(decision.getCurURL());
}

bool PopupBlocking::isBrowserActive() const {
    return TimerIEActive.enabled() || intent.TimerLDClick.enabled() ||
           intent.TimerRDClick.enabled() || intent.IsUserJustDoubleClicked();
}

void PopupBlocking::chkRunIE_Click() {
    if (m_context.state.bLoadingSettings) {
        return;
    }
    forms::MainForm& f = m_context.form;
    const std::string n = core::kServiceName;
    m_settings.MsgBoxOnce("If you check this option on, the " + n +
                              " Icon will only be in the system tray (by the clock) when "
                              "Internet Explorer is Open.  If you always want to see the " +
                              n +
                              " Icon, or you use another browser, you should leave this option "
                              "off (unchecked).",
                          "Activate " + n + " only when IE is running.", "MSGIEActive");
    if (f.chkRunIE.checked()) {
        f.lblStatus.setCaption(n +
                               " will only remain active when Internet Explorer is running. If "
                               "you don't use Internet Explorer, you shouldn't use this option.");
        m_help.FlashHelpText(
            n +
            " will only run (and be visible in the system tray) when Internet Explorer is "
            "running.");
        f.chkRunIE.setCaption("Activate " + n +
                              " Only when Internet Explorer is running -- set this ONLY if you "
                              "use Internet Explorer or " +
                              n + " will never run!");
    } else {
        f.lblStatus.setCaption(
            n +
            " will now remain active even if Internet Explorer closes. This option should be "
            "used by anyone using a browser other than Internet Explorer." +
            kCrLf + kCrLf + "Remember: " + n +
            " is not a drain on system resources and it's designed to be running at all times "
            "so it can stop ads from other kinds of programs like Gator and AOL messenger etc.");
        m_help.FlashHelpText("This option can be used for all browsers.  Right click on the " + n +
                             " icon (near the clock) to bring up the program settings.");
        f.chkRunIE.setCaption("Activate " + n +
                              " Only when Internet Explorer (IE) is running -- Now " + n +
                              " is active (in the system tray) regardless if any browser is "
                              "open.");
    }
}

void PopupBlocking::TimerHoldCTRL_Timer() {
    forms::MainForm& f = m_context.form;
    if (!bTrackerRestarted) {
        bTrackerRestarted = true;
        if (f.chkIEPops.checked()) {
            // Each change runs the popup switch: the tracker is discarded and made anew.
            f.chkIEPops.setChecked(false);
            f.chkIEPops.setChecked(true);
        }
    }
    if (f.frmMain.visible()) {
        f.lblHelpText.setCaption(
            "* Hold down the ALT or CTRL (control) key while clicking to temporarily allow popup "
            "windows to open.");
    }
}

void PopupBlocking::Form_Unload() {
    discardBrowserTracker();
    TimerHoldCTRL.setEnabled(false);
    TimerIEActive.setEnabled(false);
    decision.TimerNoNewWindow.setEnabled(false);
}

}  // namespace halvern::popups

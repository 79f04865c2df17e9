#include "popups/PopupDecision.h"

#include "popups/AddressText.h"
#include "popups/BrowserSink.h"

namespace halvern::popups {

namespace {

const char* trueFalse(bool value) {
    return value ? "True" : "False";
}

std::string gestureText(const std::optional<bool>& gesture) {
    if (!gesture) {
        return "not reported";
    }
    return trueFalse(*gesture);
}

}  // namespace

PopupDecision::PopupDecision(core::Context& context, core::StatusLog& log, ui::HelpLine& help,
                             UserIntent& intent, WhiteList& whiteList,
                             BlockedPopupReaction& reaction, forms::Timer& TimerIEActive)
    : TimerNoNewWindow(context.platform.scheduler, "TimerNoNewWindow", 1500, false),
      m_context(context),
      m_log(log),
      m_help(help),
      m_intent(intent),
      m_whiteList(whiteList),
      m_reaction(reaction),
      m_TimerIEActive(TimerIEActive) {
    TimerNoNewWindow.onTimer = [this] { TimerNoNewWindow_Timer(); };
    m_context.form.chkJavaPops.onClick = [this] { chkJavaPops_Click(); };
}

PopupDecision::~PopupDecision() {
    m_context.form.chkJavaPops.onClick = nullptr;
}

void PopupDecision::setCurURL(const std::string& url) {
    if (!url.empty()) {
        strCurURL = url;
    }
}

void PopupDecision::reset() {
    strCurURL.clear();
    gstrCurIEPopURL.clear();
    gstrPrevIEPopURL.clear();
    gstrCurIEURLClicked.clear();
    gstrPrevIEURLClicked.clear();
}

void PopupDecision::NewWindow2(IE_Class& sink, const platform::HeldPopup& popup) {
    // A held popup freezes the script of the page that asked for it: whatever goes wrong on the
    // way, the popup is decided, and a popup no rule settled is cancelled.
    bool decided = false;
    try {
        decide(sink, popup, decided);
    } catch (const std::exception& error) {
        m_log.AddToStatus(std::string("# popup decision failed: ") + error.what());
    }
    if (!decided) {
        m_context.platform.browser.cancel(popup.id);
    }
}

void PopupDecision::cancel(const platform::HeldPopup& popup, const std::string& page,
                           bool& decided) {
    m_context.platform.browser.cancel(popup.id);
    decided = true;
    m_whiteList.setLastIEPopURL(page);
    m_reaction.DoBlockedPopup(page);
}

void PopupDecision::decide(IE_Class& sink, const platform::HeldPopup& popup, bool& decided) {
    // A click a moment ago, not yet seen by the key poll, counts.
    m_intent.takeInPresses();
    m_log.AddToStatus("IE_NewWindow2: Cancel or not: getCurURL=" + shownAddress(strCurURL));
    m_log.AddToStatus("# popup " + popup.id + " of page " + popup.opener +
                      ": user gesture=" + gestureText(popup.userGesture));
    // The page that asks for the popup: the browser names the popup's own address only later.
    const std::string page = sink.LocationURL();
    const std::string shown = shownAddress(page);
    bool allowed = false;
    std::string found;
    if (m_intent.IsTempPopsAllowed()) {
        m_log.AddToStatus("*** ALLOWED: Pops Temp allowed ");
        DoAllowedPopup(sink);
        allowed = true;
    } else if (m_intent.IsHotKeyDown()) {
        m_log.AddToStatus("*** ALLOWED: Allow Hot Key Down ");
        DoAllowedPopup(sink);
        allowed = true;
    } else if (m_whiteList.IsInIEWhiteList(page, found)) {
        m_log.AddToStatus("*** ALLOWED: InWhiteList: found " + found);
        DoAllowedPopup(sink);
        m_intent.setMouseClick(false, "reset: In White List: '" + found + "'");
        m_whiteList.setLastAllowedIEPopURL(page);
        allowed = true;
    } else if (m_intent.IsUserJustDoubleClicked()) {
        m_log.AddToStatus("*** ALLOWED: User Double Clicked");
        DoAllowedPopup(sink);
        m_intent.setMouseClick(false, "reset: Double Click");
        allowed = true;
    } else if (TimerNoNewWindow.enabled()) {
        cancel(popup, page, decided);
        m_log.AddToStatus("**** BLOCKED Window Closing PopUP  '" + shown + "'");
    } else if (m_context.form.chkJavaPops.checked()) {
        cancel(popup, page, decided);
        m_log.AddToStatus("**** BLOCKED POPUP'" + shown + "'");
    } else if (sink.bNavJava) {
        m_log.AddToStatus("*** ALLOWED: JavaScript Popup Open");
        DoAllowedPopup(sink);
        m_intent.setMouseClick(false, "reset: allowed Java popup");
        allowed = true;
    } else if (m_intent.IsMouseClick() && popup.userGesture != false) {
        m_log.AddToStatus("*** ALLOWED: Mouse is down. User clicking on something NOW.");
        DoAllowedPopup(sink);
        m_intent.setMouseClick(false, "reset: User Clicked once before timer popped");
        allowed = true;
    } else {
        if (m_intent.IsMouseClick()) {
            // A timer's popup within the click window of an unrelated click.
            m_log.AddToStatus("# click window not applied: the browser reports no user gesture");
        }
        cancel(popup, page, decided);
        m_log.AddToStatus("**** Else: BLOCKED '" + shown + "'");
        gstrPrevIEPopURL = gstrCurIEPopURL;
        gstrCurIEPopURL = page;
        if (gstrPrevIEPopURL == gstrCurIEPopURL) {
            m_log.AddToStatus("**** Else: Prev and Cur url are same!");
        }
    }
    setCurURL(page);
    if (allowed) {
        m_context.platform.browser.allow(popup.id);
        decided = true;
    }
}

void PopupDecision::DoAllowedPopup(const IE_Class& sink) {
    m_TimerIEActive.setEnabled(true);
    // A double click lets one popup through and ends its grace.
    m_intent.TimerDClickOK.setEnabled(false);
    m_log.AddToStatus(std::string("bNavJava ") + trueFalse(sink.bNavJava) + " Cur url? " +
                      shownAddress(strCurURL) +
                      " bDownloading False?=" + trueFalse(sink.bDownloading) + " nPopUPCount=");
}

void PopupDecision::chkJavaPops_Click() {
    if (m_context.state.bLoadingSettings) {
        return;
    }
    if (m_context.form.chkJavaPops.checked()) {
        m_help.FlashHelpText(
            "Only use this setting if some popups are getting through.  If you click on "
            "something, hear the 'pop' sound, and want to allow the popup, try clicking again "
            "while holding down the CTRL or ALT key.");
    } else {
        m_help.FlashHelpText(
            "Maximum Internet Explorer Popup Protection Disabled. This is the default since there "
            "are links and buttons that you click on that bring up useful popup windows.");
    }
}

void PopupDecision::TimerNoNewWindow_Timer() {
    TimerNoNewWindow.setEnabled(false);
}

}  // namespace halvern::popups

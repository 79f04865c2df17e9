#pragma once

#include <memory>

#include "adservers/BlockCounter.h"
#include "adservers/PlaceholderServer.h"
#include "core/Context.h"
#include "core/Settings.h"
#include "core/StatusLog.h"
#include "forms/Timer.h"
#include "popups/BlockedPopupReaction.h"
#include "popups/BrowserTracker.h"
#include "popups/PopupDecision.h"
#include "popups/UserIntent.h"
#include "popups/WhiteList.h"
#include "ui/HelpLine.h"
#include "ui/TrayIcon.h"

namespace halvern::popups {

/// Browser popup blocking: the user's intent, the decision on every popup the protected browser
/// holds, the tracker of its pages while the popup switch is on, and the main window's glue: the
/// one-minute restart of the tracker, the browser-activity window and the option to show the
/// tray icon only while a browser page is open. Program owns one and calls it from the start-up
/// and shut-down steps. Wires chkRunIE, TimerIEActive and TimerHoldCTRL.
class PopupBlocking {
public:
    PopupBlocking(core::Context& context, core::StatusLog& log, ui::HelpLine& help,
                  core::Settings& settings, ui::TrayIcon& tray, adservers::BlockCounter& counter,
                  adservers::PlaceholderServer& server, WhiteList& whiteList);
    ~PopupBlocking();
    PopupBlocking(const PopupBlocking&) = delete;
    PopupBlocking& operator=(const PopupBlocking&) = delete;

    /// The load's fresh state: no page and no popup known, the tracker not restarted yet.
    void resetPopupState();
    /// Makes the tracker anew (the old one is discarded first), or discards it.
    void createBrowserTracker();
    void discardBrowserTracker();
    /// The tracker; none while popup blocking is off.
    BrowserTracker* tracker() const { return oIEWindows.get(); }

    /// Whether the browser's current page is white-listed.
    bool isCurrentPageWhiteListed() const;
    /// A browser was active in the last 4 seconds, or a click or double click is still counted.
    bool isBrowserActive() const;

    void chkRunIE_Click();
    void TimerHoldCTRL_Timer();
    /// The exit: no tracker, no timer of this subsystem runs on.
    void Form_Unload();

    UserIntent intent;
    BlockedPopupReaction reaction;
    /// Runs for 4 s after the browser navigated, loaded or was allowed a popup.
    forms::Timer TimerIEActive;
    PopupDecision decision;
    /// One minute after start, the tracker is made anew once; every minute the help line is put
    /// back.
    forms::Timer TimerHoldCTRL;
    bool bTrackerRestarted = false;

private:
    core::Context& m_context;
    core::StatusLog& m_log;
    ui::HelpLine& m_help;
    core::Settings& m_settings;
    ui::TrayIcon& m_tray;
    WhiteList& m_whiteList;
    std::unique_ptr<BrowserTracker> oIEWindows;
};

}  // namespace halvern::popups

#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/Context.h"
#include "core/MainState.h"
#include "core/Settings.h"
#include "forms/MainForm.h"
#include "forms/StatsForm.h"
#include "forms/Timer.h"
#include "platform/Dialogs.h"
#include "platform/Scheduler.h"
#include "platform/Tray.h"

namespace halvern::ui {

/// The notification-area icon with its rotating tip and flashing, the tray menu's settings,
/// statistics, popup and sound entries, the mini statistics window and the statistics reset.
class TrayIcon {
public:
    /// Shows itself through the context's tray and stores counts through the settings. Wires
    /// the tray's mouse events and the menu entries and buttons this class owns.
    TrayIcon(core::Context& context, core::Settings& settings);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    /// Adds (bAdd) or changes the icon, gray or normal, with the counts in its tip; nothing
    /// while the settings load.
    void TrayIconOn(bool bGray, bool bAdd);
    /// Removes the icon.
    void TrayIconDelete();
    /// Hides the main window into the tray.
    void GoToTray();
    /// Asks the view to bring the main window to the front.
    void SetWindowToFrontForeground();

    /// "&Display Program Settings": shows the main window in front.
    void mnuTraySettings_Click();
    /// "&Show Small Statistics &Window ": shows the statistics window with the counts.
    void mnuTrayStats_Click();
    /// Switches the temporary allowing of browser popups (also the popup hot key's command).
    void mnuTrayPopups_Click();
    /// Switches the blocking sounds off and on again.
    void mnuTraySound_Click();
    /// Sets the blocked counts to zero and stores the zero; nothing while the settings load. The
    /// " Other / Password" tab's Reset button runs it too.
    void mnuSettingsReset_Click();
    /// "Mini Stats": explains where the window is from the second click on, then shows it.
    void cmdMiniStats_Click();

    /// A mouse release on the icon: left shows the settings, right the tray menu.
    void trayMouse(platform::TrayMouse event);
    /// Every 10 s: the next tip of the rotation.
    void TimerTrayIcon_Timer();
    /// Every 250 ms while flashing: alternates gray and normal five times, then ends normal.
    void TimerTrayFlash_Timer();

    /// The picture the main window shows; the tray's normal picture is the same.
    platform::TrayPicture windowIcon() const { return m_windowIcon; }
    /// The tip of the last request sent to the tray.
    const std::string& tip() const { return m_tip; }

    /// Tip characters the tray takes; longer tips are cut.
    static constexpr std::size_t kTipLength = 64;

    /// Tip rotation, running from the start.
    forms::Timer TimerTrayIcon;
    /// Icon flashing after a block; the blocking Parts enable it.
    forms::Timer TimerTrayFlash;
    /// Ticks of TimerTrayIcon; chooses the tip.
    std::int32_t nTrayTicks = 0;
    /// Progress of the icon flashing.
    std::int16_t nTrayFlashTicks = 0;
    /// Whether the settings are locked by the password; without it they count as unlocked.
    std::function<bool()> isSettingsLocked;

private:
    bool send(bool add, platform::TrayPicture picture, const std::string& tip);
    std::string countsTip() const;
    std::string rotationTip() const;
    std::string miniStatsMessage() const;
    void wire();

    platform::Tray& m_tray;
    platform::Dialogs& m_dialogs;
    core::MainState& m_state;
    forms::MainForm& m_form;
    forms::StatsForm& m_stats;
    core::Settings& m_settings;
    platform::TrayPicture m_windowIcon = platform::TrayPicture::Normal;
    platform::TrayPicture m_picture = platform::TrayPicture::Normal;
    std::string m_tip;
};

}  // namespace halvern::ui

#include "ui/TrayIcon.h"

#include <charconv>

namespace halvern::ui {

namespace {

using platform::TrayPicture;

const std::string kServiceName = core::kServiceName;
const std::string kCrLf = "\r\n";

/// The hot-key number of a stored function-key setting; anything unreadable is none (0).
int hotKeyNumber(const std::string& setting) {
    int number = 0;
    std::from_chars(setting.data(), setting.data() + setting.size(), number);
    return number;
}

/// The tip as the tray's fixed field takes it: cut to its length, never mid-character.
std::string fitTip(const std::string& tip) {
    if (tip.size() <= TrayIcon::kTipLength) {
        return tip;
    }
    std::size_t n = TrayIcon::kTipLength;
    while (n > 0 && (static_cast<unsigned char>(tip[n]) & 0xC0) == 0x80) {
        --n;
    }
    return tip.substr(0, n);
}

}  // namespace

TrayIcon::TrayIcon(core::Context& context, core::Settings& settings)
    : TimerTrayIcon(context.platform.scheduler, "TimerTrayIcon", 10000, true),
      TimerTrayFlash(context.platform.scheduler, "TimerTrayFlash", 250, false),
      m_tray(context.platform.tray),
      m_dialogs(context.platform.dialogs),
      m_state(context.state),
      m_form(context.form),
      m_stats(context.stats),
      m_settings(settings) {
    wire();
}

TrayIcon::~TrayIcon() {
    m_tray.onMouse = nullptr;
    for (forms::CaptionControl* control : std::initializer_list<forms::CaptionControl*>{
             &m_form.mnuTraySettings, &m_form.mnuTrayStats, &m_form.mnuTrayPopups,
             &m_form.mnuTraySound, &m_form.mnuSettingsReset, &m_form.cmdMiniStats,
             &m_form.cmdReset}) {
        control->onClick = nullptr;
    }
}

void TrayIcon::wire() {
    TimerTrayIcon.onTimer = [this] { TimerTrayIcon_Timer(); };
    TimerTrayFlash.onTimer = [this] { TimerTrayFlash_Timer(); };
    m_tray.onMouse = [this](platform::TrayMouse event) { trayMouse(event); };
    m_form.mnuTraySettings.onClick = [this] { mnuTraySettings_Click(); };
    m_form.mnuTrayStats.onClick = [this] { mnuTrayStats_Click(); };
    m_form.mnuTrayPopups.onClick = [this] { mnuTrayPopups_Click(); };
    m_form.mnuTraySound.onClick = [this] { mnuTraySound_Click(); };
    m_form.mnuSettingsReset.onClick = [this] { mnuSettingsReset_Click(); };
    m_form.cmdMiniStats.onClick = [this] { cmdMiniStats_Click(); };
    m_form.cmdReset.onClick = [this] { mnuSettingsReset_Click(); };
}

bool TrayIcon::send(bool add, TrayPicture picture, const std::string& tip) {
    m_picture = picture;
    m_tip = fitTip(tip);
    return add ? m_tray.add(m_picture, m_tip) : m_tray.modify(m_picture, m_tip);
}

void TrayIcon::TrayIconOn(bool bGray, bool bAdd) {
    if (m_state.bLoadingSettings) {
        return;
    }
    m_state.bIconAdded = send(bAdd, bGray ? TrayPicture::Gray : m_windowIcon, countsTip());
    m_state.bInTray = true;
    m_windowIcon = TrayPicture::On;
}

void TrayIcon::TrayIconDelete() {
    m_tray.remove();
    m_state.bInTray = false;
    // A removed icon cannot be modified: the next GoToTray must add it again.
    m_state.bIconAdded = false;
}

void TrayIcon::GoToTray() {
    if (!m_state.bMinimized) {
        m_stats.setLastUpdate("Last Updated " + m_state.DateUpdate);
        m_stats.setLifeTime(m_state.nTotBlocked);
        m_stats.setServers(m_state.nTotalAdServers);
        m_stats.setToday(m_state.nBlockedToday);
    }
    m_state.bMinimized = true;
    const std::string tip = kServiceName + " Started. Right-Click here for more options...";
    if (m_state.bIconAdded) {
        send(false, m_windowIcon, tip);
    } else {
        // Remember an icon added here, so the next request modifies it instead of adding twice.
        m_state.bIconAdded = send(true, m_windowIcon, tip);
    }
    m_state.bInTray = true;
    m_form.frmMain.hide();
}

void TrayIcon::SetWindowToFrontForeground() {
    m_form.frmMain.raiseRequested().emit();
}

void TrayIcon::mnuTraySettings_Click() {
    m_stats.Form_Unload();
    m_form.frmMain.show();
    m_state.bMinimized = false;
    SetWindowToFrontForeground();
    m_form.lblHelpText.setCaption(
        "* Hold down the ALT or CTRL (control) key while clicking to temporarily allow popup "
        "windows to open.");
}

void TrayIcon::trayMouse(platform::TrayMouse event) {
    switch (event) {
        case platform::TrayMouse::LeftUp:
            mnuTraySettings_Click();
            break;
        case platform::TrayMouse::RightUp:
            // A locked configuration shows the settings window, where the password is asked.
            if (isSettingsLocked && isSettingsLocked()) {
                mnuTraySettings_Click();
            } else {
                m_form.trayMenuRequested.emit();
            }
            break;
    }
}

std::string TrayIcon::countsTip() const {
    if (m_state.nDefaultAdServers < 1) {
        return kServiceName;
    }
    return kServiceName + " blocked " + std::to_string(m_state.nTotBlocked) + " ads.  Update on " +
           m_state.DateUpdate + ". " +
           std::to_string(m_state.nDefaultAdServers + m_state.nUserAdServers) +
           " ad servers blocked.";
}

std::string TrayIcon::rotationTip() const {
    const std::int32_t n = nTrayTicks;
    if (m_state.nDefaultAdServers < 1) {
        return kServiceName + " . Right-Click for more options...";
    }
    if (n % 2 != 0 && n % 3 != 0) {
        return kServiceName + "  blocked " + std::to_string(m_state.nBlockedToday) +
               " ads today.  Right-Click here for more options...";
    }
    if (n % 2 != 0) {
        return "Last Ad Update on  " + m_state.DateUpdate + ". " +
               std::to_string(m_state.nDefaultAdServers + m_state.nUserAdServers) +
               " ad servers blocked.";
    }
    return kServiceName + "  blocked " + std::to_string(m_state.nTotBlocked) +
           " total ads to date.  Click here to bring up " + kServiceName + " .";
}

void TrayIcon::TimerTrayIcon_Timer() {
    TimerTrayIcon.setInterval(10000);
    TrayPicture picture = m_windowIcon;
    std::string tip = rotationTip();
    if (m_state.bTempPopsAllowed) {
        picture = TrayPicture::Disable;
        tip = kServiceName + "  temporarily disabled - allowing popups.  Press F9";
    }
    if (m_state.bInTray) {
        send(false, picture, tip);
    } else {
        m_picture = picture;
        m_tip = fitTip(tip);
    }
    ++nTrayTicks;
}

void TrayIcon::TimerTrayFlash_Timer() {
    if (!m_state.bInTray) {
        TimerTrayFlash.setEnabled(false);
    } else if (nTrayFlashTicks < 10) {
        ++nTrayFlashTicks;
        TrayIconOn(nTrayFlashTicks % 2 != 0, false);
    } else {
        nTrayFlashTicks = 0;
        TimerTrayFlash.setEnabled(false);
        TrayIconOn(false, false);
    }
}

void TrayIcon::mnuTrayPopups_Click() {
    const int f = hotKeyNumber(m_state.ngOnOff);
    const std::string key = f > 0 ? "F" + std::to_string(f) + " - " : "-- ";
    if (m_state.bTempPopsAllowed) {
        m_state.bTempPopsAllowed = false;
        m_form.mnuTrayPopups.setChecked(true);
        m_form.mnuTrayPopups.setCaption(key +
                                        "Block Popup Ads - ON (click here to temporarily allow "
                                        "popups)");
        m_state.bIconAdded = send(false, TrayPicture::Normal, m_tip);
    } else {
        m_state.bTempPopsAllowed = true;
        m_form.mnuTrayPopups.setChecked(false);
        m_form.mnuTrayPopups.setCaption(key +
                                        "Block Popup Ads - OFF (click here to block popups again)");
        m_state.bIconAdded = send(false, TrayPicture::Disable, m_tip);
    }
}

void TrayIcon::mnuTraySound_Click() {
    if (m_state.bTempSoundOff) {
        m_state.bTempSoundOff = false;
        m_form.mnuTraySound.setCaption("Ad Blocking sounds - ON (click here to turn off sounds)");
        m_form.mnuTraySound.setChecked(true);
    } else {
        m_state.bTempSoundOff = true;
        m_form.mnuTraySound.setCaption("Ad Blocking sounds - OFF (click here to turn sounds on)");
        m_form.mnuTraySound.setChecked(false);
    }
}

void TrayIcon::mnuTrayStats_Click() {
    m_stats.frmStats.show();
    m_stats.setLifeTime(m_state.nTotBlocked);
    m_stats.setToday(m_state.nBlockedToday);
    m_stats.setServers(m_state.nTotalAdServers);
    m_stats.setLastUpdate("Last Updated " + m_state.DateUpdate);
    // The view keeps the statistics window above all others; here it is only brought forward.
    m_stats.frmStats.raiseRequested().emit();
}

void TrayIcon::cmdMiniStats_Click() {
    m_stats.setLifeTime(m_state.nTotBlocked);
    m_stats.setToday(m_state.nBlockedToday);
    ++m_stats.ngClickMiniStatsButton;
    if (m_stats.ngClickMiniStatsButton > 1) {
        m_dialogs.messageBox(miniStatsMessage(), kServiceName, platform::BoxButtons::Ok,
                             platform::BoxIcon::Information);
    }
    mnuTrayStats_Click();
}

std::string TrayIcon::miniStatsMessage() const {
    const std::string today = std::to_string(m_state.nBlockedToday);
    const std::string total = std::to_string(m_state.nTotBlocked);
    return "The Mini Stats Window should already be open.  Look at the bottom of the Windows "
           "screen and see the row or program buttons on your 'Task Bar' (to the right of "
           "the Windows Start Button.  " +
           kCrLf + kCrLf + "You should see the mini Stats for " + kServiceName + ": " + kCrLf +
           "\"Ads " + today + " : " + total + "\" " + kCrLf + kCrLf + "This means " + today +
           " ads have been blocked today, and " + total + " blocked since installing " +
           kServiceName + ". " + kCrLf + kCrLf +
           "You can click the Mini-Stats button to enlarge the status window. "
           "The status Window can be closed or minimized at any time which will not shut down " +
           kServiceName + ".";
}

void TrayIcon::mnuSettingsReset_Click() {
    if (m_state.bLoadingSettings) {
        return;
    }
    m_state.nTotBlocked = 0;
    m_state.nBlockedToday = 0;
    m_form.lblTotBlocked.setCaption("0");
    m_form.lbltot.setCaption("0");
    m_stats.setLifeTime(0);
    m_stats.setToday(0);
    // The settings' own save never writes a count of 0, so the zero is written first.
    const bool stored = m_settings.writeSetting("nTotBlocked", "0");
    m_settings.Save();
    if (!stored) {
        // The old total would come back at the next start: no "reset to zero" then.
        m_dialogs.messageBox("The total number of ads blocked could not be saved as zero: " +
                                 m_settings.getIniFileName() + " could not be written.",
                             kServiceName, platform::BoxButtons::Ok, platform::BoxIcon::Warning);
        return;
    }
    m_dialogs.messageBox("The total number of ads blocked has been reset to zero.", kServiceName,
                         platform::BoxButtons::Ok, platform::BoxIcon::Information);
}

}  // namespace halvern::ui

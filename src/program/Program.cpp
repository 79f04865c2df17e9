#include "program/Program.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "adservers/AdDataUpdate.h"
#include "adservers/AdServerAccess.h"
#include "adservers/AdServerBlocking.h"
#include "adservers/BlockCounter.h"
#include "adservers/ConnectionSettings.h"
#include "adservers/PlaceholderServer.h"
#include "adservers/UpdateFetch.h"
#include "adservers/VersionCheck.h"
#include "core/BlockedRings.h"
#include "core/FileMigration.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/StatusLog.h"
#include "core/TimeStamp.h"
#include "forms/StatsForm.h"
#include "forms/Timer.h"
#include "popups/PopupBlocking.h"
#include "popups/WhiteList.h"
#include "program/StartupSeams.h"
#include "spyware/SpywareDetection.h"
#include "system/BrowserOptions.h"
#include "system/MessengerSwitch.h"
#include "system/StartupShortcut.h"
#include "system/ToolbarButton.h"
#include "titles/TitleBlocking.h"
#include "ui/DeveloperZone.h"
#include "ui/HelpCommands.h"
#include "ui/HelpLine.h"
#include "ui/LogWindow.h"
#include "ui/MenuIcons.h"
#include "ui/PasswordLock.h"
#include "ui/PopupSwitch.h"
#include "ui/SoundOptions.h"
#include "ui/TabHelp.h"
#include "ui/TrayIcon.h"
#include "ui/Uninstall.h"
#include "ui/WindowCommands.h"

namespace halvern::program {

// The program is the core's owner: it names the core's types throughout.
using namespace core;

namespace {

using namespace std::chrono_literals;
const std::string kCrLf = "\r\n";
const std::string kN = kServiceName;

/// The running version: the text after the caption's last " v".
std::string runningVersion() {
    const std::string caption = kMainCaption;
    const auto at = caption.rfind(" v");
    return at == std::string::npos ? caption : caption.substr(at + 2);
}

/// The proxy the user's browsers follow: the session's proxy variables, one for both schemes or
/// a per-scheme pair.
std::string browserProxy() {
    const auto variable = [](const char* lowerName, const char* upperName) {
        const char* value = std::getenv(lowerName);
        if (value == nullptr || *value == '\0') {
            value = std::getenv(upperName);
        }
        return std::string(value ? value : "");
    };
    const std::string http = variable("http_proxy", "HTTP_PROXY");
    const std::string https = variable("https_proxy", "HTTPS_PROXY");
    if (http.empty() || https.empty() || http == https) {
        return http.empty() ? https : http;
    }
    return "http=" + http + ";https=" + https;
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

struct Program::Impl {
    explicit Impl(platform::Platform& platform);

    void Form_Load();
    void TimerStartup_Timer();
    void firstStart();
    void mnuFileExit_Click();
    void Form_Unload();
    bool Form_QueryUnload(forms::UnloadMode mode);
    void wire();
    void wireWindows();
    void openDefaultList();

    platform::Platform& p;
    forms::MainForm form;
    forms::StatsForm stats;
    MainState st;
    AppPaths paths;
    StartupSeams seams;
    Context ctx{p, st, form, stats, paths};
    StatusLog log{form, p.scheduler};
    BlockedRings rings{p.dialogs};
    ui::HelpLine help{p.scheduler, form};
    ui::DeveloperZone developerZone{form};
    ui::TrayIcon tray;
    Settings settings;
    adservers::BlockCounter counter{form, st, stats};
    adservers::PlaceholderServer server;
    adservers::AdServerBlocking hosts;
    adservers::AdServerAccess hostsAccess{ctx, settings};
    popups::WhiteList whiteList{ctx, log, rings};
    popups::PopupBlocking popups{ctx, log, help, settings, tray, counter, server, whiteList};
    titles::TitleBlocking titles{ctx, log, rings, tray, popups.reaction};
    spyware::SpywareDetection spyware{ctx, log, rings, tray};
    adservers::UpdateFetch fetch{ctx, log};
    adservers::AdDataUpdate update{
        ctx, log, help, settings, hosts, fetch, [this](bool bShowStatus) {
            spyware.ProcessSpyWare(bShowStatus);
        }};
    adservers::ConnectionSettings connection{ctx, fetch, browserProxy};
    adservers::VersionCheck version{ctx, fetch, runningVersion(), [this] { mnuFileExit_Click(); }};
    adservers::AdServerEditor adServerEditor{ctx, hosts};
    adservers::DomainTester domainTester{ctx};
    forms::AboutForm about;
    ui::WindowSeams windowSeams;
    ui::WindowCommands windowCommands{ctx, tray, windowSeams};
    ui::TabHelp tabHelp{ctx, help, settings};
    ui::SoundOptions soundOptions{ctx};
    ui::PopupSwitch popupSwitch{ctx, help};
    system::StartupShortcut startupShortcut{ctx, help};
    ui::HelpCommands helpCommands{ctx, about};
    ui::Uninstall uninstall{ctx};
    system::BrowserOptions browserOptions{ctx, settings, log};
    system::MessengerSwitch messenger{ctx};
    system::ToolbarButton toolbarButton{ctx, settings, help, log};
    forms::Timer TimerStartup{p.scheduler, "TimerStartup", 2500, false};
    ui::PasswordLock passwordLock{ctx, log};
    ui::LogWindow logWindow{ctx, rings, log};
    /// A recently-blocked record handed from the log window to the editor it opens.
    std::string handedOver;
    bool finished = false;
    bool unloaded = false;
};

Program::Impl::Impl(platform::Platform& platform)
    : p(platform),
      tray(ctx, settings),
      settings(ctx, Settings::Callbacks{[this] { tray.GoToTray(); },
                                        [this] { tray.mnuTraySettings_Click(); }}),
      server(ctx, log, rings, counter, [this] { update.autoUpdateCheck(); }),
      hosts(ctx, log, help, settings, server) {
    seams.setSpyWareListArray = [this] { spyware.setSpyWareListArray(); };
    seams.addStartupShortcut = [this] { startupShortcut.AddOrRemoveGroupShortCut(true, false); };
    seams.readBrowserSettings = [this] { browserOptions.readBrowserSettings(); };
    wire();
    wireWindows();
    seams.setPopupListArray = [this] { titles.setPopupListArray(); };
    seams.installShellHook = [this] { titles.installShellHook(); };
    seams.removeShellHook = [this] { titles.removeShellHook(); };
    seams.resetPopupState = [this] { popups.resetPopupState(); };
    seams.createBrowserTracker = [this] { popups.createBrowserTracker(); };
    seams.discardBrowserTracker = [this] { popups.discardBrowserTracker(); };
    titles::BrowserSignals& browser = titles.scanner.browser;
    browser.isCurrentPageWhiteListed = [this] { return popups.isCurrentPageWhiteListed(); };
    browser.CheckKeys = [this] { popups.intent.CheckKeys(); };
    browser.IsHotKeyDown = [this] { return popups.intent.IsHotKeyDown(); };
    browser.isBrowserActive = [this] { return popups.isBrowserActive(); };
    popupSwitch.createBrowserTracker = [this] { StartupSeams::run(seams.createBrowserTracker); };
    popupSwitch.discardBrowserTracker = [this] { StartupSeams::run(seams.discardBrowserTracker); };
}

void Program::Impl::wire() {
    seams.SetMenuIcons = [this] { ui::SetMenuIcons(form); };
    TimerStartup.onTimer = [this] { TimerStartup_Timer(); };
    seams.applyPasswordLock = [this] { passwordLock.setUp(); };
    tray.isSettingsLocked = [this] { return passwordLock.locked(); };
    form.frmMain.onQueryUnload = [this](forms::UnloadMode mode) { return Form_QueryUnload(mode); };
    form.mnuFileExit.onClick = [this] { mnuFileExit_Click(); };
    form.mnuTrayExit.onClick = [this] {
        if (!st.bLoadingSettings) {
            mnuFileExit_Click();
        }
    };
    form.mnuFileSave.onClick = [this] { settings.Save(); };
    form.mnuFileOpen.onClick = [this] { openDefaultList(); };
    form.cmdIni.onClick = form.mnuFileOpen.onClick;
    form.Command1.onClick = [this] { p.launcher.openInEditor(paths.strHostsFile); };
    form.Command2.onClick = [this] { p.launcher.openInEditor(paths.strHostsFile + "zvb"); };
    form.mnuHelpReadMe.onClick = [this] {
        p.launcher.openInEditor(paths.shippedFile("readme.txt"));
    };
    p.instance.onShowRequest = [this] { tray.mnuTraySettings_Click(); };
    p.files.onReadRefused = [this](const std::string& path, const platform::ReadResult& result) {
        log.AddToStatus("#File not read: '" + path + "': " + result.error);
    };
}

void Program::Impl::openDefaultList() {
    // What the user saves in the editor is their own list: a shipped one is copied to the data
    // folder first, where the user can write and a package update leaves it alone.
    const std::string current = paths.getLocalBanIniFileName();
    const std::string own = paths.getLocalBanIniWriteFileName();
    if (current != own && p.files.exists(current) && !p.files.copy(current, own)) {
        log.AddToStatus("#Could not copy '" + current + "' to '" + own + "'");
        p.launcher.openInEditor(current);
        return;
    }
    p.launcher.openInEditor(own);
}

void Program::Impl::wireWindows() {
    windowSeams.openLogWindow = [this] { logWindow.open(); };
    windowSeams.openAdServerEditor = [this] { adServerEditor.show(); };
    windowSeams.openTitleEditor = [this] { titles.openEditor(); };
    windowSeams.openSpywareViewer = [this] { spyware.openViewer(); };
    windowSeams.openDomainTester = [this] { domainTester.show(); };
    windowSeams.closeAllBrowsers = [this] { titles.CloseAllBrowsers(); };
    windowSeams.blockSpecialTitle = [this](const std::string& title) {
        if (title == "Messenger Service") {
            titles.editor.lblMessengerPops_Click();
        } else {
            titles.editor.lblWebPagePops_Click();
        }
    };

    // A double-click in the log window hands its line to the editor it opens.
    ui::LogWindow::Editors& editors = logWindow.editors;
    editors.setWhiteListItemText = [this](const std::string& text) { handedOver = text; };
    editors.frmExclude = [this] { adServerEditor.show(std::exchange(handedOver, {})); };
    editors.frmPopupTitles = [this] { titles.openEditor(); };
    editors.frmAdWare = [this] { spyware.openViewer(); };
    titles.editor.getWhiteListItemText = [this] { return handedOver; };
    titles.editor.setWhiteListItemText = [this](const std::string& text) { handedOver = text; };
    titles.editor.openAdServerEditor = [this] { adServerEditor.show(); };
    adServerEditor.openTitleEditor = [this] { titles.openEditor(); };

    // The spyware list comes from the same server, through the same downloads, as the ad data.
    spyware.download.updateServer = [this] { return adservers::updateServer(st); };
    spyware.download.fetcher = [this](const std::string& address, platform::Millis timeout,
                                      std::string& error) {
        // Inside the ad-data update its job already holds the downloads; by hand the transfer
        // holds the job itself, so that no update starts while it runs.
        const adservers::UpdateFetch::Job job(fetch);
        const auto seconds = static_cast<int>((timeout.count() + 999) / 1000);
        return fetch.FetchURL(address, seconds, error);
    };
}

void Program::Impl::Form_Load() {
    StartupSeams::run(seams.resetPopupState);
    rings.ClearLog();  // the four rings, empty, 50 records each

    st.nTotalAdServers = 0;
    st.nDefaultAdServers = 0;
    st.nUserAdServers = 0;
    st.bInTray = false;
    form.mnuTrayLastPop.setEnabled(false);
    form.mnuTrayLastIEPop.setEnabled(false);
    // The seams are filled by now: what still has none is disabled and says why.
    windowCommands.applySeams();
    st.bLoadingSettings = true;
    st.bAutoDownload = true;
    form.chkAuto.setChecked(true);

    const platform::ProgramFolders folders = p.process.folders();
    paths = AppPaths(p.files, folders, paths.strHostsFile);

    // This build offers no version check from the menus and has no audio help.
    form.cmdNew.setVisible(false);
    form.lblNewV.setVisible(false);
    form.mnuVersion.setVisible(false);
    form.cmdHelpOnline.setVisible(false);
    form.lblhelpaudio.setVisible(false);

    const platform::LockResult lock = p.instance.acquire();
    if (lock.outcome == platform::LockOutcome::Unavailable) {
        // Copies that cannot see each other would both rewrite the hosts file, and the first to
        // exit would put the user's file back under the other: better not to start at all.
        p.dialogs.messageBox(kN + " cannot start: it could not use its lock file '" + lock.path +
                                 "' (" + lock.error + "), which keeps two copies of " + kN +
                                 " from running at once." + kCrLf + kCrLf +
                                 "Check that file and its folder, then start " + kN + " again.",
                             kN, platform::BoxButtons::Ok, platform::BoxIcon::Critical);
        p.process.terminate(1);
    }
    if (lock.outcome == platform::LockOutcome::HeldByAnotherCopy) {
        // Another copy runs: ask it to show itself, give it time to do so, and leave without
        // writing anything.
        p.instance.signalRunningCopy();
        p.scheduler.wait(700ms);
        finished = true;
        return;
    }

    // Before anything reads a setting or a list: an earlier build's files are brought over.
    FileMigration(p.files, p.dialogs, paths, log).run(folders.executable);
    // Only the one copy that runs claims the helper: a second copy would take it from the first.
    hostsAccess.claim();
    update.countStart();
    hosts.setExcludeArray();
    paths.strHostsFile = adservers::AdServerBlocking::locateHostsFile(p.resolver);
    // Without access to the hosts file, a rewrite of it left pending is not this run's to finish.
    if (hostsAccess.available()) {
        p.files.recover(paths.strHostsFile);
    }
    settings.LoadSettings();
    hostsAccess.applyAfterLoad();
    connection.applyProxy();
    form.frmMain.move(100, 100);
    if (!form.chkRunIE.checked()) {
        // The icon is the program's only presence while the window is hidden, so it is added
        // even though the settings are still loading.
        st.bLoadingSettings = false;
        tray.TrayIconOn(false, true);
        st.bLoadingSettings = true;
    }
    form.frmMain.setCaption(kMainCaption);

    if (!p.files.exists(paths.placeholderImage())) {
        p.dialogs.messageBox(
            "Install failure: need this file to exists: " + paths.strAppFolder + " / " + "1by1.jpg",
            kN, platform::BoxButtons::Ok, platform::BoxIcon::None);
        tray.TrayIconDelete();
        p.process.terminate(1);
    }

    form.lblStatus.setCaption("Please wait while  Initializes...");
    StartupSeams::run(seams.setPopupListArray);
    StartupSeams::run(seams.setSpyWareListArray);
    StartupSeams::run(seams.setWhiteListArray);
    StartupSeams::run(seams.installShellHook);
    StartupSeams::run(seams.SetMenuIcons);
    tray.TimerTrayIcon_Timer();
    if (st.bBlockIEPopups) {
        StartupSeams::run(seams.createBrowserTracker);
    }
    TimerStartup.setEnabled(true);
    StartupSeams::run(seams.readBrowserSettings);
    p.userStore.set(kPublisherApp, "Installs", kServiceName, p.process.executablePath());
    // Linux has no Messenger service to stop and its switch stores no choice (MessengerSwitch),
    // so "bDisableMessenger" has nothing to re-apply and the box stays clear.
    StartupSeams::run(seams.applyPasswordLock);
    st.bLoadingSettings = false;
}

void Program::Impl::TimerStartup_Timer() {
    TimerStartup.setEnabled(false);
    const bool first = p.userStore.get(kUserStoreApp, "State", "FirstStart", "") != "Done";
    if (first) {
        p.userStore.set(kUserStoreApp, "State", "FirstStart", "Done");
        firstStart();
    } else {
        tray.GoToTray();
    }
    // An exit can run inside a message box or a nested loop of any step below; once it has
    // begun, no further step of the start runs.
    if (st.bExiting) {
        return;
    }

    if (hostsAccess.available()) {
        hosts.BackupUserHostsFile();
    } else {
        hostsAccess.tellWhyUnavailable();
    }
    if (st.bExiting) {
        return;
    }
    if (!st.bBlockAdServers && !st.bBlockIEPopups) {
        p.dialogs.messageBox(kN + "  is not blocking any ads!" + kCrLf + kCrLf +
                                 "You have both ad blocking options un-checked." + kCrLf + kCrLf +
                                 "To change this and start blocking ads, display the " + kN +
                                 "  settings " + "window and choose the 'Ad Blocking' tab.  " +
                                 kCrLf + kCrLf + "Then check one of the ad blocking options.",
                             kN + "  - No Ads Being Blocked", platform::BoxButtons::Ok,
                             platform::BoxIcon::Information);
        if (st.bExiting) {
            return;
        }
    }
    hosts.startUpHostsFile();
    if (st.bExiting) {
        return;
    }
    form.lblStatus.setCaption("That's it!  " + kN + "  has configured your computer to " +
                              "block most banner and pop-up / pop-under ads (you will still see "
                              "some ads).");
    StartupSeams::run(st.bBlockIEPopups ? seams.createBrowserTracker : seams.discardBrowserTracker);
    form.lblHelpText.setCaption(
        "* Hold down the ALT, or CTRL (control) key while clicking to temporarily allow popup "
        "windows to open.");
}

void Program::Impl::firstStart() {
    form.chkDisableScriptDebuggingInIE.setChecked(false);
    form.chkDisableNotificationScriptErrorIE.setChecked(true);
    const std::string browser = lower(p.launcher.defaultBrowser());
    if (browser.find("iexplore.exe") != std::string::npos ||
        browser.find("internet explorer") != std::string::npos) {
        st.bBlockAdServers = false;
        form.chkAdServers.setChecked(false);
        form.chkDisableScriptDebuggingInIE.setChecked(true);
        form.chkDisableNotificationScriptErrorIE.setChecked(false);
    }
    // The settings are stored before the two messages, not after them: a user who leaves the
    // boxes unanswered, or a session that ends meanwhile, keeps a complete settings file.
    StartupSeams::run(seams.addStartupShortcut);
    form.chkStartup.setChecked(true);
    settings.Save();
    int n = 0;
    p.dialogs.messageBox(
        "Firewalls and parentail control:  If you use firewall programs like "
        "ZoneAlarm, BlackICE or use parental control programs like Cyber Patrol or Net Nanny, "
        "make sure you configure them to allow for " +
            kN + " : " + kCrLf + kCrLf + "1) " + kN +
            "  needs to act as a server to so it can show blank images in your browser where "
            "banner ads would normally be. " +
            kCrLf + kCrLf + "2) " + kN +
            "  needs to access the internet periodically so it can check to see if ad updates "
            "are available for download (similar to virus definitions). ",
        "Firewalls and Parental Control programs. Message " + std::to_string(++n) + " of 3",
        platform::BoxButtons::Ok, platform::BoxIcon::Information);
    if (st.bExiting) {
        return;
    }
    p.dialogs.messageBox(
        "IMPORTANT: YOU MUST RESTART YOUR COMPUTER TO MAKE SURE ALL BLOCKING WORKS CORRECTLY!" +
            kCrLf + kCrLf + "After you restart your computer, " + kN +
            " will be running.  Just use your browser and other programs like you normally do.  "
            "You don't have to configure anything! " +
            kN +
            " will quietly work in the background to block popups, spyware, and other annoying "
            "ads.",
        "Restart your Computer! Message " + std::to_string(++n) + " of 3", platform::BoxButtons::Ok,
        platform::BoxIcon::Information);
}

bool Program::Impl::Form_QueryUnload(forms::UnloadMode mode) {
    if (mode != forms::UnloadMode::FormControlMenu) {
        return false;
    }
    tray.GoToTray();
    return true;
}

void Program::Impl::mnuFileExit_Click() {
    // Once: a second exit command inside the first one's pauses does nothing.
    if (finished || st.bExiting) {
        return;
    }
    st.bExiting = true;
    server.StopWebServer();
    tray.TrayIconDelete();
    StartupSeams::run(seams.discardBrowserTracker);
    StartupSeams::run(seams.UnloadAllForms);
    titles.Form_Unload();
    popups.Form_Unload();
    spyware.viewer.Form_Unload();
    adServerEditor.unload();
    domainTester.unload();
    logWindow.Form_Unload();
    stats.Form_Unload();
    Form_Unload();
    form.frmMain.hide();
    finished = true;
    p.process.quit();
}

void Program::Impl::Form_Unload() {
    if (unloaded) {
        return;
    }
    unloaded = true;
    st.bExiting = true;
    TimerStartup.setEnabled(false);
    hosts.restoreHostsFileAtExit();
    server.StopWebServer();
    tray.TrayIconDelete();
    StartupSeams::run(seams.discardBrowserTracker);
    settings.Save();
    StartupSeams::run(seams.UnloadAllForms);
    logWindow.Form_Unload();
    StartupSeams::run(seams.removeShellHook);
}

Program::Program(platform::Platform& platform) : m_impl(std::make_unique<Impl>(platform)) {}
Program::~Program() = default;

void Program::Form_Load() {
    m_impl->Form_Load();
}
void Program::mnuFileExit_Click() {
    m_impl->mnuFileExit_Click();
}
bool Program::finished() const {
    return m_impl->finished;
}
void Program::showAdServerEditor(const std::string& record) {
    m_impl->adServerEditor.show(record);
}
void Program::showDomainTester() {
    m_impl->domainTester.show();
}
adservers::AdServerEditor& Program::adServerEditor() {
    return m_impl->adServerEditor;
}
adservers::DomainTester& Program::domainTester() {
    return m_impl->domainTester;
}
forms::MainForm& Program::form() {
    return m_impl->form;
}
forms::StatsForm& Program::stats() {
    return m_impl->stats;
}
titles::TitleBlocking& Program::titles() {
    return m_impl->titles;
}
forms::AboutForm& Program::about() {
    return m_impl->about;
}
ui::WindowSeams& Program::windowSeams() {
    return m_impl->windowSeams;
}
MainState& Program::state() {
    return m_impl->st;
}
const AppPaths& Program::paths() const {
    return m_impl->paths;
}
popups::PopupBlocking& Program::popups() {
    return m_impl->popups;
}
spyware::SpywareDetection& Program::spyware() {
    return m_impl->spyware;
}
void Program::openLogWindow() {
    m_impl->logWindow.open();
}
ui::LogWindow& Program::logWindow() {
    return m_impl->logWindow;
}
ui::PasswordLock& Program::passwordLock() {
    return m_impl->passwordLock;
}

}  // namespace halvern::program

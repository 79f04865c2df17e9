#include "adservers/AdServerBlocking.h"

#include <algorithm>
#include <chrono>

#include "adservers/HostsFileBuilder.h"
#include "core/ListFiles.h"

namespace halvern::adservers {

namespace {

using namespace std::chrono_literals;
const std::string kCrLf = "\r\n";
const std::string kN = core::kServiceName;
const std::string kRestart =
    "YOU MUST SHUT DOWN AND RESTART your computer for this change to take effect.";
const std::string kFlashPrefix = "PLEASE RESTART YOUR COMPUTER FOR THESE CHANGES TO TAKE EFFECT. ";

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (auto pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

/// The hosts file's text ("" when missing), or nothing when it is there but cannot be read: a
/// build on an empty text would put the block list alone in place of the user's file.
std::optional<std::string> readHostsText(platform::FileSystem& files, platform::Dialogs& dialogs,
                                         const std::string& path) {
    platform::ReadResult read = files.readLimited(path, platform::FileSystem::kMaxFileBytes);
    if (read.refused()) {
        dialogs.messageBox(kN + " could not read the file named '" + path + "': " + read.error +
                               "." + kCrLf + kCrLf + kN +
                               " leaves it as it is and does not change its ad server entries.",
                           kN, platform::BoxButtons::Ok, platform::BoxIcon::Warning);
        return std::nullopt;
    }
    return std::move(read.content).value_or("");
}

/// The block lines as the summary lists them: a dash, a blank and the name, CR LF ended.
std::string summaryLines(const std::string& newLines) {
    std::string lines = replaceAll(newLines, "127.0.0.1", "-");
    return HostsFileBuilder::lineEnding(lines) == "\n" ? replaceAll(lines, "\n", kCrLf) : lines;
}

}  // namespace

AdServerBlocking::AdServerBlocking(platform::FileSystem& files, platform::Dialogs& dialogs,
                                   platform::Shell& shell, platform::Scheduler& scheduler,
                                   core::MainState& state, const core::AppPaths& paths,
                                   ui::MainForm& form, ui::StatsForm& stats, Callbacks callbacks)
    : m_files(files),
      m_dialogs(dialogs),
      m_shell(shell),
      m_scheduler(scheduler),
      m_state(state),
      m_paths(paths),
      m_form(form),
      m_stats(stats),
      m_callbacks(std::move(callbacks)) {
    m_form.chkAdServers.onClick = [this] { chkAdServers_Click(); };
}

void AdServerBlocking::ReadLocalBanListAndUpdateHostsFile(bool bShow) {
    showProgress(true);
    m_form.lblHelpText.setCaption("Initializing Default Blocked Ad Server List...");
    m_form.lblStatus.setCaption("Initializing Default Blocked Ad Server List...");
    m_form.lblStatus.setCaption("");
    int nDefault = 0;
    const std::vector<std::string> defaultNames =
        readList(m_paths.getLocalBanIniFileName(), nDefault);

    m_form.lblHelpText.setCaption("Initializing User Blocked Ad Server List...");
    m_form.lblStatus.setCaption("Initializing User Blocked Ad Server List...");
    int nUser = 0;
    const std::vector<std::string> userNames = readList(m_paths.getUserBanIniFileName(), nUser);
    m_state.nDefaultAdServers = static_cast<std::int16_t>(nDefault);
    m_state.nUserAdServers = static_cast<std::int16_t>(nUser);
    m_state.nTotalAdServers = nDefault + nUser;
    m_form.lblTotHosts.setCaption(std::to_string(m_state.nTotalAdServers));
    m_stats.setServers(m_state.nTotalAdServers);

    m_form.lblStatus.setCaption("Processing Excluded Ad Servers...");
    m_form.lblHelpText.setCaption("Processing Excluded Ad Servers...");
    pump();

    // No message runs from the read to the write, so no other change of the file is lost.
    const std::string& hostsFile = m_paths.strHostsFile;
    const auto hostsRead = readHostsText(m_files, m_dialogs, hostsFile);
    if (!hostsRead) {
        showProgress(false);
        return;
    }
    const std::string& hostsText = *hostsRead;
    const HostsFileBuilder::Merge merge =
        HostsFileBuilder::merge(hostsText, defaultNames, userNames, m_strExcludeArray);
    logRejected(merge.rejected);
    m_form.lblHelpText.setCaption("Tweaking Hosts Entries...");
    m_form.lblHelpText.setCaption("Set File Contents...");
    const bool ok = merge.text == hostsText || writeHostsFile(merge.text);

    if (ok && bShow) {
        const auto allowed = static_cast<int>(m_strExcludeArray.size()) - 1;
        m_form.lblStatus.setCaption("Data for " + std::to_string(merge.added) +
                                    " blocked ad servers and " + std::to_string(allowed) +
                                    " allowed ad servers was configured:" + kCrLf +
                                    summaryLines(merge.newLines) + kCrLf + kCrLf +
                                    "You should restart your computer if you want these "
                                    "changes to take effect.");
    }
    // A file that could not be written is not complete: the next start tries again.
    if (ok) {
        m_state.bHostsFullySet = true;
    }
    run(m_callbacks.Save);
    showProgress(false);
}

void AdServerBlocking::RemoveBanListFromHostsFile() {
    showProgress(true);
    m_form.lblHelpText.setCaption("Building Host File...");
    m_form.lblStatus.setCaption("");
    int nDefault = 0;
    const std::vector<std::string> defaultNames =
        readList(m_paths.getLocalBanIniFileName(), nDefault);
    const int userCount = core::ListFiles::readCount(m_files, m_paths.getUserBanIniFileName())
                              .value_or(std::int16_t{0});
    m_form.lblHelpText.setCaption("Processing " + std::to_string(userCount) + " Hosts...");
    int nUser = 0;
    const std::vector<std::string> userNames = readList(m_paths.getUserBanIniFileName(), nUser);

    const auto hostsRead = readHostsText(m_files, m_dialogs, m_paths.strHostsFile);
    if (!hostsRead) {
        showProgress(false);
        return;
    }
    const std::string& hostsText = *hostsRead;
    const HostsFileBuilder::Removal removal =
        HostsFileBuilder::remove(hostsText, defaultNames, userNames);
    logRejected(removal.rejected);
    const bool ok = removal.text == hostsText || writeHostsFile(removal.text);
    if (ok) {
        m_state.bHostsFullySet = false;
    }
    run(m_callbacks.Save);
    showProgress(false);

    // After a failed write the entries are still there: the message box said so.
    if (ok) {
        m_form.lblStatus.setCaption(m_form.lblStatus.caption() + kCrLf +
                                    "Ad Servers are no longer blocked.  " + kCrLf + kCrLf +
                                    kRestart);
    }
    m_state.nDefaultAdServers = 0;
    m_state.nUserAdServers = 0;
    m_form.lbltype.setCaption("");
    setAdServerButtonsEnabled(false);
}

void AdServerBlocking::ApplyHostsBlocking() {
    if (m_state.bLoadingSettings) {
        return;
    }
    ReadLocalBanListAndUpdateHostsFile(true);
    m_form.lblStatus.setCaption(m_form.lblStatus.caption() + kCrLf + kN +
                                " has now configured your system to block ads." + kCrLf + kCrLf +
                                kRestart);
    setAdServerButtonsEnabled(true);
}

void AdServerBlocking::RemoveHostsBlocking() {
    if (m_state.bLoadingSettings) {
        return;
    }
    RemoveBanListFromHostsFile();
}

void AdServerBlocking::setExcludeArray() {
    m_strExcludeArray =
        core::ListFiles::readArray(m_files, m_paths.getLocalBanIniExcludeFileName());
    if (m_strExcludeArray.empty()) {
        m_strExcludeArray.emplace_back();
    }
}

bool AdServerBlocking::IsHostsFullySet() const {
    return m_state.bHostsFullySet &&
           m_files.size(m_paths.strHostsFile).value_or(0) >= kFullySetBytes;
}

void AdServerBlocking::setAdServerButtonsEnabled(bool enabled) {
    m_form.cmdAllow.setEnabled(enabled);
    m_form.cmdAddSites.setEnabled(enabled);
    m_form.mnuTrayAllow.setEnabled(enabled);
}

void AdServerBlocking::chkAdServers_Click() {
    if (m_state.bLoadingSettings) {
        return;
    }
    m_state.bBlockAdServers = m_form.chkAdServers.checked();
    if (m_state.bBlockAdServers) {
        ApplyHostsBlocking();
        if (m_callbacks.FlashHelpText) {
            m_callbacks.FlashHelpText(
                kFlashPrefix + kN +
                " will now block the known list of active banner and popup ad servers.");
        }
        run(m_callbacks.StartWebServerCrap);
    } else {
        RemoveHostsBlocking();
        if (m_callbacks.FlashHelpText) {
            m_callbacks.FlashHelpText(kFlashPrefix + kN +
                                      " will no longer block banner ads (the known list of ad "
                                      "servers).");
        }
        run(m_callbacks.StopWebServer);
    }
}

std::string AdServerBlocking::writeFailureText(const std::string& hostsFile) {
    return kN + " encountered a problem:" + kCrLf + kCrLf + kN +
           " could not write to the file named '" + hostsFile + "'" + kCrLf + kCrLf +
           "The most likely reason for this error is: You need to change the permissions on "
           "this file so this user can write to this file (it may be set to read only). " +
           kCrLf + kCrLf +
           "1) You may need to logon as the administrator and find this file using Windows "
           "Explorer. " +
           kCrLf +
           "2) Right click on the file, choose properties, and click on the security tab. " +
           kCrLf +
           "3) Make sure the file isn't read only and if necessary, add the 'Everyone' group "
           "and " +
           kCrLf + "give the 'Everyone' group 'Full' control of the file and the directory. " +
           kCrLf + "4) Once you've done this, you shouldn't see this message again." + kCrLf +
           kCrLf +
           "If this is a company computer, contact your system administrator so they can set "
           "the proper permissions.";
}

std::vector<std::string> AdServerBlocking::readList(const std::string& path, int& count) {
    core::ListFiles::List list = core::ListFiles::read(m_files, path);
    count = list.count;
    list.slots.pop_back();  // slot N is always empty
    // Repaint every 50 entries, not on each, so the loop stays cheap.
    for (int index = 49; index < count; index += 50) {
        m_form.ProgressBar1.setValue(std::min(100, index * 100 / count));
        pump();
    }
    return std::move(list.slots);
}

void AdServerBlocking::BackupUserHostsFile() {
    const std::string backup = m_paths.strHostsFile + kBackupSuffix;
    if (!m_files.exists(backup)) {
        m_files.copy(m_paths.strHostsFile, backup);
    }
}

void AdServerBlocking::RestoreFullHostsFile() {
    const std::string& hostsFile = m_paths.strHostsFile;
    const std::string full = hostsFile + kFullSuffix;
    if (!m_files.exists(full)) {
        ReadLocalBanListAndUpdateHostsFile(true);
        return;
    }
    m_form.lblHelpText.setCaption("Restore " + kN + "  " + kN +
                                  " Hosts File instead of the users original hosts file..");
    pump();
    m_scheduler.wait(300ms);
    // One atomic copy replaces the hosts file: the machine is never without one. The complete
    // file goes only once it is in place.
    if (m_files.copy(full, hostsFile)) {
        m_files.remove(full);
        m_shell.flushNameCaches();
        m_state.bHostsFullySet = true;
        run(m_callbacks.Save);
    }
    m_form.lblHelpText.setCaption("Done Restoring " + kN + "  Hosts File from the users backup.");
}

void AdServerBlocking::RestoreUserHostsFile() {
    const std::string& hostsFile = m_paths.strHostsFile;
    const std::string backup = hostsFile + kBackupSuffix;
    const std::string full = hostsFile + kFullSuffix;
    if (!m_files.exists(backup)) {
        RemoveBanListFromHostsFile();
        return;
    }
    m_form.lblHelpText.setCaption("Delete  " + kN + "  Hosts File " + full + "...");
    m_scheduler.wait(200ms);
    // The complete file is parked by an atomic copy, and the hosts file is then replaced whole
    // by the backup: a crash at any point leaves one of the two in place.
    if (!m_files.exists(hostsFile) || !m_files.copy(hostsFile, full)) {
        m_files.remove(full);
    }
    m_form.lblHelpText.setCaption("Restore Original User Hosts File...");
    m_scheduler.wait(200ms);
    if (m_files.copy(backup, hostsFile)) {
        m_shell.flushNameCaches();
        m_state.bHostsFullySet = false;
    }
    m_form.lblHelpText.setCaption("Done copying files...");
}

void AdServerBlocking::startUpHostsFile() {
    if (m_state.bBlockAdServers) {
        run(m_callbacks.StartWebServerCrap);
    }
    if (m_files.exists(m_paths.getLocalBanIniFileName())) {
        setAdServerButtonsEnabled(m_state.bBlockAdServers);
        if (m_state.bBlockAdServers && !IsHostsFullySet()) {
            RestoreFullHostsFile();
        }
    }
    if (m_state.bBlockAdServers &&
        m_files.size(m_paths.strHostsFile).value_or(0) < kTooSmallBytes) {
        ReadLocalBanListAndUpdateHostsFile(true);
    }
}

void AdServerBlocking::restoreHostsFileAtExit() {
    if (m_state.bBlockAdServers && !m_form.chkStartup.checked()) {
        RestoreUserHostsFile();
    }
}

void AdServerBlocking::logRejected(const std::vector<std::string>& rejected) {
    for (const std::string& entry : rejected) {
        if (m_callbacks.AddToStatus) {
            m_callbacks.AddToStatus(
                "#Ad server entry is not a host name, left out of the hosts "
                "file: '" +
                entry + "'");
        }
    }
}

bool AdServerBlocking::writeHostsFile(const std::string& text) {
    if (m_files.write(m_paths.strHostsFile, text)) {
        m_shell.flushNameCaches();
        return true;
    }
    m_dialogs.messageBox(writeFailureText(m_paths.strHostsFile), kN, platform::BoxButtons::Ok,
                         platform::BoxIcon::Warning);
    return false;
}

void AdServerBlocking::showProgress(bool shown) {
    m_form.ProgressBar1.setMax(100);
    m_form.ProgressBar1.setValue(0);
    m_form.ProgressBar1.setVisible(shown);
}

void AdServerBlocking::pump() {
    if (m_callbacks.pump) {
        m_callbacks.pump();
    } else {
        m_scheduler.pump();
    }
}

void AdServerBlocking::run(const std::function<void()>& callback) const {
    if (callback) {
        callback();
    }
}

}  // namespace halvern::adservers

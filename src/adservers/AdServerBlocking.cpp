#include "adservers/AdServerBlocking.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>

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

std::string replaceAll(const std::string& text, std::string_view from, std::string_view to) {
    // Built anew in one pass: replacing in place would move the rest of the text for every match,
    // quadratic in a summary of tens of thousands of lines.
    std::string result;
    result.reserve(text.size());
    std::size_t start = 0;
    for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, start)) {
        result.append(text, start, pos - start).append(to);
        start = pos + from.size();
    }
    return result.append(text, start, std::string::npos);
}

/// The hosts file as it is now: its text, or nothing when it is missing. A file that is there but
/// cannot be read (not a regular file, beyond the size limit) is refused with a box, and the
/// caller changes nothing.
platform::ReadResult readHostsFile(platform::FileSystem& files, platform::Dialogs& dialogs,
                                   const std::string& path) {
    platform::ReadResult read = files.readLimited(path, platform::FileSystem::kMaxFileBytes);
    if (read.refused()) {
        dialogs.messageBox(kN + " could not read the file named '" + path + "': " + read.error +
                               "." + kCrLf + kCrLf + kN +
                               " leaves it as it is and does not change its ad server entries.",
                           kN, platform::BoxButtons::Ok, platform::BoxIcon::Warning);
    }
    return read;
}

/// The block lines as the summary lists them: a dash, a blank and the name, CR LF ended.
std::string summaryLines(const std::string& newLines) {
    std::string lines = replaceAll(newLines, "127.0.0.1", "-");
    return HostsFileBuilder::lineEnding(lines) == "\n" ? replaceAll(lines, "\n", kCrLf) : lines;
}

}  // namespace

AdServerBlocking::AdServerBlocking(core::Context& context, core::StatusLog& log, ui::HelpLine& help,
                                   core::Settings& settings, PlaceholderServer& server)
    : m_files(context.platform.files),
      m_dialogs(context.platform.dialogs),
      m_resolver(context.platform.resolver),
      m_scheduler(context.platform.scheduler),
      m_state(context.state),
      m_paths(context.paths),
      m_form(context.form),
      m_stats(context.stats),
      m_log(log),
      m_help(help),
      m_settings(settings),
      m_server(server) {
    m_form.chkAdServers.onClick = [this] { chkAdServers_Click(); };
}

void AdServerBlocking::ReadLocalBanListAndUpdateHostsFile(bool bShow) {
    showProgress(true);
    m_form.lblHelpText.setCaption("Initializing Default Blocked Ad Server List...");
    // The status line is cleared for the summary to come; the help line shows the progress.
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
    // An exit ran meanwhile and put the user's file back: it stays so.
    if (stopped()) {
        return;
    }

    // No message runs from the read to the write, so no other change of the file is lost.
    const std::string& hostsFile = m_paths.strHostsFile;
    const platform::ReadResult hostsRead = readHostsFile(m_files, m_dialogs, hostsFile);
    if (hostsRead.refused()) {
        showProgress(false);
        return;
    }
    const std::string hostsText = hostsRead.content.value_or("");
    const std::string usersOwn =
        record().userHasNone ? "" : m_files.read(hostsFile + kBackupSuffix).value_or("");
    const HostsFileBuilder::Merge merge = HostsFileBuilder::merge(
        hostsText, defaultNames, userNames, m_strExcludeArray, usersOwn, m_resolver.hostName());
    logRejected(merge.rejected);
    for (const std::string& name : merge.reserved) {
        status("#Ad server entry names this machine, left out of the hosts file: '" + name + "'");
    }
    m_form.lblHelpText.setCaption("Tweaking Hosts Entries...");
    m_form.lblHelpText.setCaption("Set File Contents...");
    const bool ok = writeHostsFile(merge.text, true);
    // The write-failure box is a nested loop too.
    if (stopped()) {
        return;
    }

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
    m_settings.Save();
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
    if (stopped()) {
        return;
    }

    const platform::ReadResult hostsRead = readHostsFile(m_files, m_dialogs, m_paths.strHostsFile);
    if (hostsRead.refused()) {
        showProgress(false);
        return;
    }
    const std::optional<std::string>& current = hostsRead.content;
    const std::string hostsText = current.value_or("");
    const HostsFileBuilder::Removal removal =
        HostsFileBuilder::remove(hostsText, defaultNames, userNames, m_resolver.hostName());
    logRejected(removal.rejected);
    // A missing file has no entries to take out and is not made.
    const bool ok = !current || writeHostsFile(removal.text, false);
    if (stopped()) {
        return;
    }
    if (ok) {
        m_state.bHostsFullySet = false;
    }
    m_settings.Save();
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

AdServerBlocking::LineRemoval AdServerBlocking::removeHostsLines(
    std::span<const std::string> names) {
    if (m_state.bExiting) {
        return LineRemoval::Failed;
    }
    // No message runs from the read to the write, so no other change of the file is lost.
    const std::string& hostsFile = m_paths.strHostsFile;
    const platform::ReadResult hostsRead = readHostsFile(m_files, m_dialogs, hostsFile);
    if (hostsRead.refused()) {
        return LineRemoval::Failed;
    }
    if (hostsRead.content.value_or("").empty()) {
        return LineRemoval::NoHostsFile;
    }
    const std::string& hostsText = *hostsRead.content;
    const std::string usersOwn =
        record().userHasNone ? "" : m_files.read(hostsFile + kBackupSuffix).value_or("");
    const std::string text =
        HostsFileBuilder::withoutAdded(hostsText, names, {}, usersOwn, m_resolver.hostName());
    if (text == hostsText) {
        return LineRemoval::Done;
    }
    // The file keeps whatever completeness it had: only names no longer listed go.
    const bool complete = record().isOurComplete(fingerprint(hostsText));
    return writeHostsFile(text, complete) ? LineRemoval::Done : LineRemoval::Failed;
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
    m_strExcludeArray = readWholeList(m_paths.getLocalBanIniExcludeFileName()).slots;
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
        m_help.FlashHelpText(
            kFlashPrefix + kN +
            " will now block the known list of active banner and popup ad servers.");
        m_server.StartWebServerCrap();
    } else {
        RemoveHostsBlocking();
        m_help.FlashHelpText(kFlashPrefix + kN +
                             " will no longer block banner ads (the known list of ad "
                             "servers).");
        m_server.StopWebServer();
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

core::ListFiles::List AdServerBlocking::readWholeList(const std::string& path) {
    std::vector<core::ListFiles::LongEntry> tooLong;
    core::ListFiles::List list = core::ListFiles::readWhole(m_files, path, kMaxEntryChars, tooLong);
    for (const core::ListFiles::LongEntry& entry : tooLong) {
        status("#Entry D" + std::to_string(entry.index) + " of " + path + " is longer than " +
               std::to_string(kMaxEntryChars) + " characters, no host name; left out: '" +
               entry.start + "...'");
    }
    return list;
}

std::vector<std::string> AdServerBlocking::readList(const std::string& path, int& count) {
    core::ListFiles::List list = readWholeList(path);
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
    const std::string& hostsFile = m_paths.strHostsFile;
    const std::string backup = hostsFile + kBackupSuffix;
    m_record.reset();
    Record& rec = record();
    const std::optional<std::string> current = m_files.read(hostsFile);
    const std::string print = fingerprint(current);
    const bool edited = rec.known() && !rec.isOurs(print);
    if (!edited && rec.known() && print != rec.hosts) {
        // Killed between a change and its record: the change is what is there.
        rec.hosts = rec.pending;
        rec.complete = rec.pendingComplete;
    }
    // A user known to have no hosts file gets no backup of the program's file.
    const bool makeBackup = !present(backup) && (edited || !rec.known() || !rec.userHasNone);
    if (edited || makeBackup) {
        // The user's own part: the file without the lines the program added to it.
        std::string own = current.value_or("");
        // After an edit the record cannot tell which of its two entries the user edited.
        if (current && (rec.complete || (edited && !rec.pending.empty() && rec.pendingComplete))) {
            int nDefault = 0;
            int nUser = 0;
            const std::vector<std::string> defaultNames =
                readList(m_paths.getLocalBanIniFileName(), nDefault);
            const std::vector<std::string> userNames =
                readList(m_paths.getUserBanIniFileName(), nUser);
            if (stopped()) {
                return;
            }
            own = HostsFileBuilder::withoutAdded(*current, defaultNames, userNames,
                                                 m_files.read(backup).value_or(""),
                                                 m_resolver.hostName());
        }
        if (makeBackup) {
            if (current) {
                m_files.write(backup, own);
            }
            rec.userHasNone = !current.has_value();
        } else if (edited) {
            // Edited since the last exit: the edit is the user's, the backup and the parked
            // copy (built on the old file) are out of date.
            if (current) {
                m_files.write(backup, own);
            }
            rec.userHasNone = !current.has_value();
            m_files.remove(hostsFile + kFullSuffix);
            rec.parked.clear();
            status("#" + hostsFile +
                   " was changed since the last exit: it is kept as the "
                   "user's own hosts file");
        }
    }
    if (edited || !rec.known()) {
        rec.hosts = print;
        rec.complete = false;
    }
    rec.pending.clear();
    saveRecord();
    // The flag in the settings may be stale (saved at other moments): the file decides.
    m_state.bHostsFullySet = rec.complete && print == rec.hosts;
}

void AdServerBlocking::RestoreFullHostsFile() {
    const std::string& hostsFile = m_paths.strHostsFile;
    const std::string full = hostsFile + kFullSuffix;
    const std::optional<std::string> parked = m_files.read(full);
    // Only the copy the program parked itself goes in: anything else there is rebuilt.
    if (!parked || record().parked.empty() || fingerprint(parked) != record().parked) {
        if (m_files.exists(full)) {
            m_files.remove(full);
            status("#" + full +
                   " is not the hosts file Zorvik parked: the list is "
                   "built again");
        }
        ReadLocalBanListAndUpdateHostsFile(true);
        return;
    }
    m_form.lblHelpText.setCaption("Restore " + kN + "  " + kN +
                                  " Hosts File instead of the users original hosts file..");
    pump();
    if (stopped()) {
        return;
    }
    m_scheduler.wait(300ms);
    if (stopped()) {
        return;
    }
    // One atomic copy replaces the hosts file: the machine is never without one. The complete
    // file goes only once it is in place.
    Record& rec = record();
    rec.pending = fingerprint(parked);
    rec.pendingComplete = true;
    saveRecord();
    if (m_files.copy(full, hostsFile)) {
        m_files.remove(full);
        // Saved with the next change: until then the pending entry describes the file.
        rec.hosts = rec.pending;
        rec.complete = true;
        rec.parked.clear();
        m_resolver.flushNameCaches();
        m_state.bHostsFullySet = true;
        m_settings.Save();
    }
    m_form.lblHelpText.setCaption("Done Restoring " + kN + "  Hosts File from the users backup.");
}

void AdServerBlocking::RestoreUserHostsFile() {
    const std::string& hostsFile = m_paths.strHostsFile;
    const std::string backup = hostsFile + kBackupSuffix;
    const std::string full = hostsFile + kFullSuffix;
    Record& rec = record();
    const std::optional<std::string> current = m_files.read(hostsFile);
    const std::string print = fingerprint(current);
    if (rec.known() && !rec.isOurs(print)) {
        // Someone else changed the file during the run: the change is the user's and stays;
        // only the program's lines go, and what is left is the user's own from now on.
        status("#" + hostsFile +
               " was changed during the run: the change is kept as the "
               "user's own hosts file");
        if (current) {
            int nDefault = 0;
            int nUser = 0;
            const std::vector<std::string> defaultNames =
                readList(m_paths.getLocalBanIniFileName(), nDefault);
            const std::vector<std::string> userNames =
                readList(m_paths.getUserBanIniFileName(), nUser);
            const std::string own = HostsFileBuilder::withoutAdded(
                *current, defaultNames, userNames, m_files.read(backup).value_or(""),
                m_resolver.hostName());
            if (m_files.write(backup, own)) {
                rec.userHasNone = false;
            }
            if (replaceHostsFile(own, false)) {
                m_state.bHostsFullySet = false;
            }
            saveRecord();
        }
        return;
    }
    if (!rec.userHasNone && !present(backup)) {
        // No hosts file at all: nothing to take out, and none is made.
        if (current) {
            RemoveBanListFromHostsFile();
        }
        return;
    }
    if (alreadyUsersOwn(current)) {
        // Already so (a hosts file the program could not change, a read-only mount say):
        // nothing is written, so nothing can fail, and the record learns what the file is.
        status("#" + hostsFile + " already is the user's own hosts file: nothing to put back");
        rec.hosts = print;
        rec.complete = false;
        rec.pending.clear();
        saveRecord();
        m_state.bHostsFullySet = false;
        return;
    }
    // Only the complete file this program built is parked; never the user's own or a stranger.
    const bool built = current && rec.known() && rec.isOurComplete(print);
    m_form.lblHelpText.setCaption("Delete  " + kN + "  Hosts File " + full + "...");
    m_scheduler.wait(200ms);
    if (built) {
        parkCompleteFile(*current);
    }
    m_form.lblHelpText.setCaption("Restore Original User Hosts File...");
    m_scheduler.wait(200ms);

    bool ok = false;
    if (rec.userHasNone) {
        // There was no hosts file: nothing is what goes back.
        rec.pending = fingerprint(std::nullopt);
        rec.pendingComplete = false;
        saveRecord();
        ok = !m_files.exists(hostsFile) || m_files.remove(hostsFile);
    } else if (const auto own = m_files.isDirectory(backup) ? std::nullopt : m_files.read(backup)) {
        rec.pending = fingerprint(own);
        rec.pendingComplete = false;
        saveRecord();
        ok = m_files.copy(backup, hostsFile);
    }
    if (ok) {
        m_resolver.flushNameCaches();
        m_state.bHostsFullySet = false;
        rec.hosts = rec.pending;
        rec.complete = false;
        // What the next start compares the file with: the user's own, put back.
        saveRecord();
    } else {
        saveRecord();
        reportRestoreFailure();
    }
    m_form.lblHelpText.setCaption("Done copying files...");
}

bool AdServerBlocking::alreadyUsersOwn(const std::optional<std::string>& current) {
    const std::string backup = m_paths.strHostsFile + kBackupSuffix;
    if (record().userHasNone) {
        return !current;
    }
    return current && !m_files.isDirectory(backup) && m_files.read(backup) == current;
}

void AdServerBlocking::parkCompleteFile(const std::string& text) {
    const std::string full = m_paths.strHostsFile + kFullSuffix;
    // Recorded first: a kill before the copy leaves the old copy or none, which the next start
    // rebuilds rather than installs; a kill after it leaves the copy the record names.
    Record& rec = record();
    const std::string previous = rec.parked;
    rec.parked = fingerprint(text);
    saveRecord();
    if (!m_files.copy(m_paths.strHostsFile, full)) {
        rec.parked = previous;
    }
}

void AdServerBlocking::reportRestoreFailure() {
    const std::string& hostsFile = m_paths.strHostsFile;
    const std::string backup = hostsFile + kBackupSuffix;
    status("#Could not put the user's own hosts file back: " + hostsFile +
           " still blocks the listed ad servers; the user's file stays in " + backup);
    m_form.lblStatus.setCaption(m_form.lblStatus.caption() + kCrLf + kN +
                                " could not put your own hosts file back.");
    m_dialogs.messageBox(restoreFailureText(hostsFile, backup), kN, platform::BoxButtons::Ok,
                         platform::BoxIcon::Warning);
}

void AdServerBlocking::startUpHostsFile() {
    if (stopped()) {
        return;
    }
    if (m_state.bBlockAdServers) {
        m_server.StartWebServerCrap();
    }
    if (m_files.exists(m_paths.getLocalBanIniFileName())) {
        setAdServerButtonsEnabled(m_state.bBlockAdServers);
        if (m_state.bBlockAdServers && !IsHostsFullySet()) {
            RestoreFullHostsFile();
        }
    }
    if (stopped()) {
        return;
    }
    if (m_state.bBlockAdServers &&
        m_files.size(m_paths.strHostsFile).value_or(0) < kTooSmallBytes) {
        ReadLocalBanListAndUpdateHostsFile(true);
    }
}

void AdServerBlocking::restoreHostsFileAtExit() {
    m_inExit = true;
    if (m_state.bBlockAdServers && !m_form.chkStartup.checked()) {
        RestoreUserHostsFile();
    }
    m_inExit = false;
}

bool AdServerBlocking::present(const std::string& path) const {
    return m_files.exists(path) || m_files.isDirectory(path);
}

std::string AdServerBlocking::fingerprint(const std::optional<std::string>& text) {
    if (!text) {
        return "none";
    }
    // FNV-1a: not a defence against anyone, only a cheap way to tell two files apart.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : *text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char print[48];
    std::snprintf(print, sizeof print, "%zu-%016llx", text->size(),
                  static_cast<unsigned long long>(hash));
    return print;
}

AdServerBlocking::Record& AdServerBlocking::record() {
    if (m_record) {
        return *m_record;
    }
    m_record = Record();
    Record& rec = *m_record;
    m_savedRecord = m_files.read(m_paths.dataFile(kRecordFile)).value_or("");
    std::istringstream in(m_savedRecord);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "Hosts") {
            rec.hosts = value;
        } else if (key == "Complete") {
            rec.complete = value == "1";
        } else if (key == "Pending") {
            rec.pending = value;
        } else if (key == "PendingComplete") {
            rec.pendingComplete = value == "1";
        } else if (key == "Parked") {
            rec.parked = value;
        } else if (key == "UserHasNone") {
            rec.userHasNone = value == "1";
        }
    }
    return rec;
}

void AdServerBlocking::saveRecord() {
    const Record& rec = record();
    std::string text =
        "Hosts=" + rec.hosts + "\nComplete=" + (rec.complete ? "1" : "0") +
        "\nPending=" + rec.pending + "\nPendingComplete=" + (rec.pendingComplete ? "1" : "0") +
        "\nParked=" + rec.parked + "\nUserHasNone=" + (rec.userHasNone ? "1" : "0") + "\n";
    if (text != m_savedRecord && m_files.write(m_paths.dataFile(kRecordFile), text)) {
        m_savedRecord = std::move(text);
    }
}

std::string AdServerBlocking::restoreFailureText(const std::string& hostsFile,
                                                 const std::string& backup) {
    return kN + " encountered a problem:" + kCrLf + kCrLf + kN +
           " could not put your own hosts file back. The file named '" + hostsFile +
           "' still blocks the listed ad servers." + kCrLf + kCrLf +
           "Your own hosts file is kept, unchanged, in the file named '" + backup + "'.";
}

void AdServerBlocking::logRejected(const std::vector<std::string>& rejected) {
    for (const std::string& entry : rejected) {
        status(
            "#Ad server entry is not a host name, left out of the hosts "
            "file: '" +
            entry + "'");
    }
}

bool AdServerBlocking::writeHostsFile(const std::string& text, bool complete) {
    if (replaceHostsFile(text, complete)) {
        return true;
    }
    // The box gives the usual advice; the reason itself (the system's, or the helper's that
    // writes the file for a user) goes to the status log.
    status("#" + m_paths.strHostsFile + " could not be written: " + m_files.writeError());
    m_dialogs.messageBox(writeFailureText(m_paths.strHostsFile), kN, platform::BoxButtons::Ok,
                         platform::BoxIcon::Warning);
    return false;
}

bool AdServerBlocking::replaceHostsFile(const std::string& text, bool complete) {
    Record& rec = record();
    const std::string print = fingerprint(text);
    const std::string& hostsFile = m_paths.strHostsFile;
    if (fingerprint(m_files.read(hostsFile)) == print) {
        // Already so: nothing is written, the record learns what the file is.
        rec.hosts = print;
        rec.complete = complete;
        saveRecord();
        return true;
    }
    rec.pending = print;
    rec.pendingComplete = complete;
    saveRecord();
    if (!m_files.write(hostsFile, text)) {
        return false;
    }
    // Not saved now (each save is a synced write): the pending entry already describes the file
    // on disk, and the next change saves this one with it.
    rec.hosts = print;
    rec.complete = complete;
    m_resolver.flushNameCaches();
    return true;
}

void AdServerBlocking::showProgress(bool shown) {
    m_form.ProgressBar1.setMax(100);
    m_form.ProgressBar1.setValue(0);
    m_form.ProgressBar1.setVisible(shown);
}

void AdServerBlocking::pump() {
    m_scheduler.pump();
}

void AdServerBlocking::status(const std::string& text) {
    m_log.AddToStatus(text);
}

}  // namespace halvern::adservers

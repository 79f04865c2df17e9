#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "adservers/PlaceholderServer.h"
#include "core/Context.h"
#include "core/ListFiles.h"
#include "core/Settings.h"
#include "core/StatusLog.h"
#include "ui/HelpLine.h"

namespace halvern::adservers {

/// Ad-server blocking through the hosts file: the builder and the removal, the switch
/// chkAdServers, the allowed list in memory, and the user's backup "zvb" and the complete copy
/// "zvf" at start-up and exit. Every replacement of the hosts file is one atomic step.
class AdServerBlocking {
public:
    /// The files of the hosts file's two copies: the user's backup and the complete file.
    static constexpr const char* kBackupSuffix = "zvb";
    static constexpr const char* kFullSuffix = "zvf";
    /// A hosts file this long or longer can hold the complete list; a shorter one is rebuilt.
    static constexpr std::uint64_t kFullySetBytes = 14001;
    static constexpr std::uint64_t kTooSmallBytes = 10000;
    /// The record of what the program put in the hosts file, in the program folder.
    static constexpr const char* kRecordFile = "zvhosts.dat";
    /// The longest list entry read: comfortably above the longest host name (253), so that a
    /// name is always read whole; a longer entry is no name and is left out, never cut.
    static constexpr std::size_t kMaxEntryChars = 1024;

    /// Saves through the settings, shows progress in the help line, traces to the status log,
    /// and starts and stops the placeholder server with the switch. Wires chkAdServers.
    AdServerBlocking(core::Context& context, core::StatusLog& log, ui::HelpLine& help,
                     core::Settings& settings, PlaceholderServer& server);
    AdServerBlocking(const AdServerBlocking&) = delete;
    AdServerBlocking& operator=(const AdServerBlocking&) = delete;

    /// Where the system hosts file is.
    static std::string locateHostsFile(const platform::Resolver& resolver) {
        return resolver.hostsFilePath();
    }

    /// Merges the default, user and allowed lists into the hosts file; bShow puts the summary
    /// into the status text. A write failure shows its message box.
    void ReadLocalBanListAndUpdateHostsFile(bool bShow);
    /// Takes every default-list and user-list line out of the hosts file.
    void RemoveBanListFromHostsFile();
    /// What removeHostsLines did.
    enum class LineRemoval { Done, NoHostsFile, Failed };
    /// Takes the block lines of the names out of the hosts file (whole lines, the last one too,
    /// in the file's own line ending) in one read and one atomic write, keeping the lines of the
    /// user's own file; NoHostsFile for a missing or empty file, Failed when it could not be read
    /// or written (a box says so) or the exit has begun.
    LineRemoval removeHostsLines(std::span<const std::string> names);
    /// The builder with its summary, then the "now configured" text; nothing while loading.
    void ApplyHostsBlocking();
    /// The removal; nothing while loading.
    void RemoveHostsBlocking();
    /// (Re)loads the allowed list into strExcludeArray.
    void setExcludeArray();
    const std::vector<std::string>& getExcludeArray() const { return m_strExcludeArray; }

    /// True when the hosts file is marked complete and is at least 14001 bytes long.
    bool IsHostsFullySet() const;
    void setHostsFullySet(bool value) { m_state.bHostsFullySet = value; }
    bool getHostsFullySet() const { return m_state.bHostsFullySet; }
    /// Enables or disables the commands that edit the ad-server lists.
    void setAdServerButtonsEnabled(bool enabled);

    /// Copies the user's hosts file to "zvb" unless a backup exists. A hosts file that is no
    /// longer what the program left there was edited by hand: it becomes the user's own (the
    /// backup is refreshed from it, without the program's lines) and the parked copy, built on
    /// the old one, is dropped. Also derives bHostsFullySet from the file.
    void BackupUserHostsFile();
    /// Puts the complete file "zvf" back over the hosts file when it is the one the program
    /// parked, or builds it.
    void RestoreFullHostsFile();
    /// Parks the complete file the program built in "zvf" and puts the user's backup back over
    /// it (or takes the hosts file away when the user had none); without a backup only the list
    /// entries are taken out. A hosts file changed by someone else during the run keeps the
    /// change (it becomes the user's own) and loses only the program's lines; a failed restore
    /// is reported and keeps the backup.
    void RestoreUserHostsFile();

    /// The start-up steps after the backup: web server, commands, complete file, rebuild of a
    /// hosts file that is too small.
    void startUpHostsFile();
    /// The exit step: the user's own hosts file comes back unless the program starts with the
    /// session or ad-server blocking is off.
    void restoreHostsFileAtExit();

    /// The switch "Block Banner Ads and Many Popup Ads (using the list of known ad servers)".
    void chkAdServers_Click();

    /// The message shown when the hosts file cannot be written.
    static std::string writeFailureText(const std::string& hostsFile);
    /// The message shown when the user's own hosts file could not be put back at exit.
    static std::string restoreFailureText(const std::string& hostsFile, const std::string& backup);

    /// A short fingerprint of a file's content (its size and a 64-bit hash), "none" for no file.
    static std::string fingerprint(const std::optional<std::string>& text);

    /// A list with its entries whole; those longer than kMaxEntryChars are gaps, logged.
    core::ListFiles::List readWholeList(const std::string& path);

private:
    /// What the program put in the hosts file, kept in a small file of its own (replaced
    /// atomically), so that it describes the file even after a kill: "pending" is saved before
    /// every change of the hosts file, and "hosts" takes its value once the change is done (saved
    /// with the next change, or at exit). A hosts file that matches neither was changed by
    /// someone else. The settings file is no place for it: it is saved at other moments, and
    /// not at all while the settings load.
    struct Record {
        std::string hosts;             // fingerprint of what the program last put there
        bool complete = false;         // and whether that held the block list
        std::string pending;           // fingerprint of the change begun last
        bool pendingComplete = false;  // and whether it held the block list
        std::string parked;            // fingerprint of the complete copy parked in "zvf"
        bool userHasNone = false;      // the user had no hosts file: exit takes it away
        bool known() const { return !hosts.empty(); }
        bool isOurs(const std::string& print) const {
            return print == hosts || (!pending.empty() && print == pending);
        }
        /// The file with this fingerprint is the complete file the program wrote: the last one
        /// recorded, or the one it was writing when the record was last saved.
        bool isOurComplete(const std::string& print) const {
            return (print == hosts && complete) ||
                   (!pending.empty() && print == pending && pendingComplete);
        }
    };

    /// True once the exit has begun, outside the exit's own steps: the caller stops.
    bool stopped() const { return m_state.bExiting && !m_inExit; }
    Record& record();
    void saveRecord();
    /// Replaces the hosts file, keeping the record true to it; complete says whether the new
    /// text holds the block list.
    bool replaceHostsFile(const std::string& text, bool complete);
    /// True when the hosts file (current) already is what the exit would put back: the user's
    /// backup byte for byte, or no file for a user who had none.
    bool alreadyUsersOwn(const std::optional<std::string>& current);
    /// Parks the hosts file, the complete one the program built, in "zvf".
    void parkCompleteFile(const std::string& text);
    void reportRestoreFailure();
    /// A file, or a folder in its place.
    bool present(const std::string& path) const;
    std::vector<std::string> readList(const std::string& path, int& count);
    void logRejected(const std::vector<std::string>& rejected);
    bool writeHostsFile(const std::string& text, bool complete);
    void showProgress(bool shown);
    void pump();
    void status(const std::string& text);

    platform::FileSystem& m_files;
    platform::Dialogs& m_dialogs;
    platform::Resolver& m_resolver;
    platform::Scheduler& m_scheduler;
    core::MainState& m_state;
    const core::AppPaths& m_paths;
    forms::MainForm& m_form;
    forms::StatsForm& m_stats;
    core::StatusLog& m_log;
    ui::HelpLine& m_help;
    core::Settings& m_settings;
    PlaceholderServer& m_server;
    /// The allowed list: slots 0..n, "" for a gap, slot n always "".
    std::vector<std::string> m_strExcludeArray{""};
    std::optional<Record> m_record;
    /// The record's text as last read or written.
    std::string m_savedRecord;
    /// True while the exit's own steps run.
    bool m_inExit = false;
};

}  // namespace halvern::adservers

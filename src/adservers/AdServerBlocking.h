#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/AppPaths.h"
#include "core/MainState.h"
#include "forms/MainForm.h"
#include "forms/StatsForm.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Scheduler.h"
#include "platform/Shell.h"

namespace halvern::adservers {

/// Ad-server blocking through the hosts file: the builder and the removal, the switch
/// chkAdServers, the allowed list in memory, and the user's backup "zvb" and the complete copy
/// "zvf" at start-up and exit. Every replacement of the hosts file is one atomic step.
class AdServerBlocking {
public:
    /// What other subsystems provide; an empty callback does nothing.
    struct Callbacks {
        /// Saves the settings.
        std::function<void()> Save;
        /// Shows a text in the help line and blinks it.
        std::function<void(const std::string&)> FlashHelpText;
        /// Adds a line to the status log ("#" marks a detail line).
        std::function<void(const std::string&)> AddToStatus;
        /// Starts and stops the placeholder web server.
        std::function<void()> StartWebServerCrap;
        std::function<void()> StopWebServer;
        /// Lets pending messages run; the scheduler's pump when empty.
        std::function<void()> pump;
    };

    /// The files of the hosts file's two copies: the user's backup and the complete file.
    static constexpr const char* kBackupSuffix = "zvb";
    static constexpr const char* kFullSuffix = "zvf";
    /// A hosts file this long or longer can hold the complete list; a shorter one is rebuilt.
    static constexpr std::uint64_t kFullySetBytes = 14001;
    static constexpr std::uint64_t kTooSmallBytes = 10000;

    /// Installs the click handler of chkAdServers.
    AdServerBlocking(platform::FileSystem& files, platform::Dialogs& dialogs,
                     platform::Shell& shell, platform::Scheduler& scheduler, core::MainState& state,
                     const core::AppPaths& paths, forms::MainForm& form, forms::StatsForm& stats,
                     Callbacks callbacks);
    AdServerBlocking(const AdServerBlocking&) = delete;
    AdServerBlocking& operator=(const AdServerBlocking&) = delete;

    /// Where the system hosts file is.
    static std::string locateHostsFile(const platform::Shell& shell) {
        return shell.hostsFilePath();
    }

    /// Merges the default, user and allowed lists into the hosts file; bShow puts the summary
    /// into the status text. A write failure shows its message box.
    void ReadLocalBanListAndUpdateHostsFile(bool bShow);
    /// Takes every default-list and user-list line out of the hosts file.
    void RemoveBanListFromHostsFile();
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

    /// Copies the user's hosts file to "zvb" unless a backup exists: it is never replaced.
    void BackupUserHostsFile();
    /// Puts the complete file "zvf" back over the hosts file, or builds it when there is none.
    void RestoreFullHostsFile();
    /// Parks the hosts file in "zvf" and puts the user's backup back over it; without a
    /// backup only the list entries are taken out.
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

private:
    std::vector<std::string> readList(const std::string& path, int& count);
    void logRejected(const std::vector<std::string>& rejected);
    bool writeHostsFile(const std::string& text);
    void showProgress(bool shown);
    void pump();
    void run(const std::function<void()>& callback) const;

    platform::FileSystem& m_files;
    platform::Dialogs& m_dialogs;
    platform::Shell& m_shell;
    platform::Scheduler& m_scheduler;
    core::MainState& m_state;
    const core::AppPaths& m_paths;
    forms::MainForm& m_form;
    forms::StatsForm& m_stats;
    Callbacks m_callbacks;
    /// The allowed list: slots 0..n, "" for a gap, slot n always "".
    std::vector<std::string> m_strExcludeArray{""};
};

}  // namespace halvern::adservers

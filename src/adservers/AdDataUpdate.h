#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adservers/AdServerBlocking.h"
#include "adservers/ListValidators.h"
#include "adservers/UpdateFetch.h"
#include "adservers/UpdateList.h"
#include "core/Context.h"
#include "core/Settings.h"
#include "core/StatusLog.h"
#include "ui/HelpLine.h"

namespace halvern::adservers {

/// The ad-data update: asks the update server for the date of its data, downloads the ad-server
/// list into the default list file, takes the servers that went inactive out of the hosts file,
/// refreshes the spyware list, remembers the date and rebuilds the hosts file. Runs by hand
/// (menu, Ctrl+D, the Download buttons) and, with automatic download on, every few starts after
/// the tenth blocked item. Wires mnuUpdate, cmdData, cmdData2, cmdRemoval and chkAuto.
class AdDataUpdate {
public:
    /// The spyware list download, run after the removals with bShowStatus, inside the update's
    /// download job.
    using SpywareDownload = std::function<void(bool bShowStatus)>;

    /// The file beside the lists that keeps the server's validators of each list.
    static constexpr const char* kValidatorsFile = "zvupdate.dat";
    /// The automatic check runs when this many items were blocked since the start ...
    static constexpr int kAutoBlockedCount = 10;
    /// ... on every start whose number is a multiple of this.
    static constexpr int kAutoEveryStarts = 3;
    /// The progress bar moves once per this many lines.
    static constexpr int kProgressLines = 20;

    AdDataUpdate(core::Context& context, core::StatusLog& log, ui::HelpLine& help,
                 core::Settings& settings, AdServerBlocking& blocking, UpdateFetch& fetch,
                 SpywareDownload spywareDownload);
    ~AdDataUpdate();
    AdDataUpdate(const AdDataUpdate&) = delete;
    AdDataUpdate& operator=(const AdDataUpdate&) = delete;

    /// The whole update; while another download runs, only the status line says so (with
    /// bShowStatus).
    void UpdateAdData(bool bShowStatus);
    /// Downloads domains.txt and rewrites the default list; the body, or "" on failure.
    std::string getConfigData(bool bShowStatus, std::string& errorText);
    /// Downloads removals.txt, takes its servers out of the hosts file and records them in
    /// removals.ini.
    void ProcessHostRemovals(bool bShowStatus);

    /// "&Download Latest Ad Blocking Data" (Ctrl+D).
    void mnuUpdate_Click();
    /// The Download buttons: from now on every update downloads, whatever the dates say.
    void cmdData_Click();
    void cmdData2_Click();
    /// The removals alone.
    void cmdRemoval_Click();
    /// The automatic-download switch.
    void chkAuto_Click();

    /// The placeholder server answered an ad: starts the automatic update when its time has
    /// come. Only decides; the update itself runs from the event loop, outside the server's
    /// handler, and after the download under way when one runs.
    void autoUpdateCheck();
    /// Counts this start of the program (once per start), for the automatic update.
    void countStart();
    /// Starts of the program so far, this one included.
    int starts() const { return m_starts; }
    bool forceDownload() const { return m_bForceDownload; }

    /// A date as month/day/year (or year-month-day) as a day number for comparison; nothing for
    /// a text that is no date.
    static std::optional<int> dayNumber(std::string_view date);

private:
    enum class Outcome { Failed, NotModified, Changed };

    void runUpdate(bool bShowStatus);
    /// The automatic update now, or once the download under way ends.
    void runAutoUpdate();
    /// Tells the user that another download runs.
    void showBusy();
    Outcome downloadDomains(bool conditional, std::string& errorText, std::string& body);
    Outcome downloadRemovals(bool conditional);
    /// Writes the default list in one write and notes the names that left it.
    bool writeDefaultList(std::vector<std::string> names);
    /// Takes the lines of names that left the default list out of the hosts file.
    void cutLeftNames();
    /// Walks the lines with their status text and the progress bar, letting events run every
    /// few lines; the entries, or nothing when the exit began meanwhile.
    std::optional<std::vector<std::string>> walkLines(
        const UpdateList& list, const std::function<std::string(const std::string&)>& statusOf);
    std::string dataIsCurrentText(const std::string& serverDate) const;
    std::string today() const;
    bool stopped() const { return m_state.bExiting; }

    platform::FileSystem& m_files;
    platform::Scheduler& m_scheduler;
    platform::UserStore& m_userStore;
    core::MainState& m_state;
    const core::AppPaths& m_paths;
    forms::MainForm& m_form;
    forms::StatsForm& m_stats;
    core::StatusLog& m_log;
    ui::HelpLine& m_help;
    core::Settings& m_settings;
    AdServerBlocking& m_blocking;
    UpdateFetch& m_fetch;
    SpywareDownload m_spywareDownload;
    ListValidators m_validators;

    bool m_bForceDownload = false;
    int m_starts = 0;
    platform::Scheduler::Id m_autoRun = 0;
    /// The automatic update waiting for the download under way.
    UpdateFetch::WaitId m_autoWait = 0;
    /// Names the last list download dropped from the default list whose hosts lines are still
    /// to go.
    std::vector<std::string> m_leftNames;
};

}  // namespace halvern::adservers

#include "adservers/AdDataUpdate.h"

#include <algorithm>
#include <chrono>
#include <unordered_set>

#include "adservers/HostName.h"
#include "core/ListFiles.h"

namespace halvern::adservers {

namespace {

using namespace std::chrono_literals;
const std::string kCrLf = "\r\n";
const std::string kN = core::kServiceName;
constexpr int kDomainsTimeout = 20;
constexpr int kRemovalsTimeout = 20;
constexpr int kUpdateDateTimeout = 12;

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

/// A number of one to four digits, or -1.
int number(std::string_view text) {
    if (text.empty() || text.size() > 4) {
        return -1;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysIn(int month, int year) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDays[month - 1];
}

/// The numbered-list file of entries, as the program writes every list: CR LF lines.
std::string listFileText(const std::vector<std::string>& entries) {
    std::string text = "[" + std::string(core::ListFiles::kCountSection) +
                       "]\r\nN=" + std::to_string(entries.size()) + "\r\n[" +
                       core::ListFiles::kItemSection + "]\r\n";
    std::size_t size = text.size();
    for (const std::string& entry : entries) {
        size += entry.size() + 10;
    }
    text.reserve(size);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text.append("D").append(std::to_string(i)).append("=").append(entries[i]).append(kCrLf);
    }
    return text;
}

/// Keeps the names the hosts file builder takes, as it will see them: host names that are not
/// this machine's localhost. Anything else would be blocked as some other name, or not at all.
void keepHostNames(std::vector<std::string>& names, core::StatusLog& log) {
    std::erase_if(names, [&log](const std::string& name) {
        if (name.empty()) {
            return true;
        }
        if (HostName::isValid(name) && !HostName::namesThisMachine(name, {})) {
            return false;
        }
        log.AddToStatus("#Downloaded ad-server entry is not a host name to block, left out: '" +
                        name.substr(0, 80) + (name.size() > 80 ? "...'" : "'"));
        return true;
    });
}

}  // namespace

AdDataUpdate::AdDataUpdate(core::Context& context, core::StatusLog& log, ui::HelpLine& help,
                           core::Settings& settings, AdServerBlocking& blocking, UpdateFetch& fetch,
                           SpywareDownload spywareDownload)
    : m_files(context.platform.files),
      m_scheduler(context.platform.scheduler),
      m_userStore(context.platform.userStore),
      m_state(context.state),
      m_paths(context.paths),
      m_form(context.form),
      m_stats(context.stats),
      m_log(log),
      m_help(help),
      m_settings(settings),
      m_blocking(blocking),
      m_fetch(fetch),
      m_spywareDownload(std::move(spywareDownload)),
      m_validators(context.platform.files, context.paths, kValidatorsFile) {
    m_form.mnuUpdate.onClick = [this] { mnuUpdate_Click(); };
    m_form.cmdData.onClick = [this] { cmdData_Click(); };
    m_form.cmdData2.onClick = [this] { cmdData2_Click(); };
    m_form.cmdRemoval.onClick = [this] { cmdRemoval_Click(); };
    m_form.chkAuto.onClick = [this] { chkAuto_Click(); };
    m_form.chkAuto.setToolTip(
        "Every few times this software runs, it checks to see if new Ad Configuration data is "
        "needed.  You can uncheck this and simply click the \"Download\" button below to "
        "manually get the most recent ad blocking data.");
    const std::string downloadTip =
        "This downloads a list of ad servers that this software will block.  It also downloads "
        "any removals (ad servers that are no longer active).";
    m_form.cmdData.setToolTip(downloadTip);
    m_form.cmdData2.setToolTip(downloadTip);
}

AdDataUpdate::~AdDataUpdate() {
    m_scheduler.cancel(m_autoRun);
    m_fetch.cancelWait(m_autoWait);
}

void AdDataUpdate::showBusy() {
    m_log.AddToStatus("#A download is under way: the update waits for another request");
    m_form.lblStatus.setCaption(UpdateFetch::kBusyText);
}

void AdDataUpdate::mnuUpdate_Click() {
    if (m_fetch.busy()) {
        showBusy();
        return;
    }
    m_form.A.setTab(forms::MainForm::kTabStartup);
    m_form.lblStatus.setCaption("Please wait...");
    UpdateAdData(true);
}

void AdDataUpdate::cmdData_Click() {
    if (m_state.bLoadingSettings) {
        return;
    }
    cmdData2_Click();
}

void AdDataUpdate::cmdData2_Click() {
    m_bForceDownload = true;
    mnuUpdate_Click();
}

void AdDataUpdate::cmdRemoval_Click() {
    UpdateFetch::Job job(m_fetch);
    if (!job.started()) {
        showBusy();
        return;
    }
    ProcessHostRemovals(true);
}

void AdDataUpdate::UpdateAdData(bool bShowStatus) {
    UpdateFetch::Job job(m_fetch);
    if (!job.started()) {
        if (bShowStatus) {
            showBusy();
        }
        return;
    }
    runUpdate(bShowStatus);
}

void AdDataUpdate::runUpdate(bool bShowStatus) {
    m_stats.setLastUpdate(m_state.DateUpdate);
    std::string errorText;
    if (!m_files.exists(m_paths.getLocalBanIniFileName())) {
        const std::string body = getConfigData(bShowStatus, errorText);
        // The body itself is no status text: only the news that the list arrived.
        if (!body.empty() && !stopped()) {
            m_form.lblStatus.setCaption("got config because it wasn't here locally ");
        }
        return;
    }

    const std::string serverDate = trimmed(
        m_fetch.FetchURL(m_fetch.serverUrl(kUpdateDatePath), kUpdateDateTimeout, errorText));
    if (stopped()) {
        return;
    }
    if (serverDate.empty()) {
        if (bShowStatus) {
            m_form.lblStatus.setCaption(
                "Problems checking ad server database.  Please check your internet connection and "
                "try again in a few minutes.  If you use Windows ME or NT, you may not be able to "
                "connect.  In this case, download the latest  version of " +
                kN + " at any time.  Error: " + errorText);
        }
        return;
    }
    if (m_state.DateUpdate == "Never") {
        m_state.DateUpdate = "1/1/2001";
    }
    const std::optional<int> local = dayNumber(m_state.DateUpdate);
    const std::optional<int> server = dayNumber(serverDate);
    // A date that does not convert makes the comparison fail: the update downloads.
    if (local && server && *local >= *server && !m_bForceDownload) {
        if (bShowStatus) {
            m_form.lblStatus.setCaption(dataIsCurrentText(serverDate));
        }
        return;
    }

    // Unforced, the lists come only when they changed on the server.
    const bool conditional = !m_bForceDownload;
    std::string body;
    const Outcome domains = downloadDomains(conditional, errorText, body);
    if (stopped()) {
        return;
    }
    if (domains == Outcome::Failed) {
        if (bShowStatus) {
            m_form.lblStatus.setCaption(
                m_form.lblHelpText.caption() +
                "Tried and failed to downloaded ad config data. Error=" + errorText);
        }
        return;
    }

    const bool leftNames = !m_leftNames.empty();
    const Outcome removals = downloadRemovals(conditional);
    if (stopped()) {
        return;
    }
    cutLeftNames();
    if (m_spywareDownload) {
        m_spywareDownload(true);
    }
    if (stopped()) {
        return;
    }

    m_state.DateUpdate = today();
    m_form.lblDateUpdate.setCaption("Last Updated today!");
    m_stats.setLastUpdate("Last Updated today!");
    m_settings.Save();

    const bool changed = domains == Outcome::Changed || removals == Outcome::Changed || leftNames;
    if (m_state.bBlockAdServers) {
        if (changed) {
            m_blocking.ReadLocalBanListAndUpdateHostsFile(bShowStatus);
        } else if (bShowStatus) {
            // Nothing new on the server: the hosts file stays as it is.
            m_form.lblStatus.setCaption(dataIsCurrentText(serverDate));
        }
        m_blocking.setAdServerButtonsEnabled(true);
    } else {
        m_form.lblStatus.setCaption(
            "WARNING: You have unchecked the 'Block Ad Servers...' checkbox so no ad servers are "
            "being blocked." +
            m_form.lblStatus.caption());
        m_blocking.setAdServerButtonsEnabled(false);
    }
}

std::string AdDataUpdate::getConfigData(bool, std::string& errorText) {
    std::string body;
    return downloadDomains(false, errorText, body) == Outcome::Changed ? body : std::string();
}

AdDataUpdate::Outcome AdDataUpdate::downloadDomains(bool conditional, std::string& errorText,
                                                    std::string& body) {
    const std::string listFile = m_paths.getLocalBanIniFileName();
    const Validators sent =
        conditional ? m_validators.forList(kDomainsPath, m_files.read(listFile)) : Validators{};
    Fetched fetched =
        m_fetch.fetch(m_fetch.serverUrl(kDomainsPath), kDomainsTimeout, errorText, sent);
    if (stopped()) {
        return Outcome::Failed;
    }
    if (fetched.notModified) {
        m_log.AddToStatus("#The ad-server list did not change on the server");
        return Outcome::NotModified;
    }
    if (fetched.body.empty()) {
        m_form.lblStatus.setCaption("config connect failed.");
        return Outcome::Failed;
    }
    const UpdateList list = UpdateList::parse(fetched.body);
    // A list without a single entry would leave no ad server blocked: it is no complete list.
    if (!list.complete || list.entryCount() == 0) {
        m_form.lblStatus.setCaption(
            "Internet download of the " + kN +
            "  Active Ad blocking Serve configuration data failed or didn't complete.  Please try "
            "again later.");
        return Outcome::Failed;
    }

    m_form.lblHelpText.setCaption("Downloading Ad Server data from " + kN + " ...");
    std::optional<std::vector<std::string>> names = walkLines(list, [](const std::string& line) {
        return line.front() == '*' ? "Configure Popup Ad Server '" + line + "'"
                                   : "Configure Banner Ad Server '" + line + "'";
    });
    if (!names) {
        return Outcome::Failed;
    }
    for (std::string& name : *names) {
        if (name.front() == '*') {
            name.erase(0, 1);
        }
    }
    keepHostNames(*names, m_log);
    if (names->empty()) {
        m_log.AddToStatus("#The ad-server list holds no host name: the list is kept as it was");
        m_form.ProgressBar1.setVisible(false);
        return Outcome::Failed;
    }
    if (!writeDefaultList(std::move(*names))) {
        errorText = "could not write " + m_paths.getLocalBanIniWriteFileName();
        m_form.ProgressBar1.setVisible(false);
        return Outcome::Failed;
    }
    m_form.ProgressBar1.setVisible(false);
    m_validators.remember(kDomainsPath, fetched.validators,
                          m_files.read(m_paths.getLocalBanIniWriteFileName()).value_or(""));
    body = std::move(fetched.body);
    return Outcome::Changed;
}

std::optional<std::vector<std::string>> AdDataUpdate::walkLines(
    const UpdateList& list, const std::function<std::string(const std::string&)>& statusOf) {
    m_form.ProgressBar1.setMax(std::max<int>(1, static_cast<int>(list.lines.size())));
    m_form.ProgressBar1.setValue(0);
    m_form.ProgressBar1.setVisible(true);
    std::vector<std::string> entries;
    entries.reserve(list.lines.size());
    for (std::size_t i = 0; i < list.lines.size(); ++i) {
        const std::string& line = list.lines[i];
        const bool entry = UpdateList::isEntry(line);
        if (entry) {
            entries.push_back(line);
        }
        // Events run every few lines, not on each: a long list stays quick and the window live.
        // The status shows the line at hand whenever the window can paint it.
        if (i % kProgressLines == 0) {
            if (entry) {
                m_form.lblStatus.setCaption(statusOf(line));
            }
            m_form.ProgressBar1.setValue(static_cast<int>(i));
            m_scheduler.pump();
            if (stopped()) {
                return std::nullopt;
            }
        }
    }
    if (!entries.empty()) {
        m_form.lblStatus.setCaption(statusOf(entries.back()));
    }
    return entries;
}

bool AdDataUpdate::writeDefaultList(std::vector<std::string> kept) {
    if (stopped()) {
        return false;
    }
    if (kept.size() > static_cast<std::size_t>(core::ListFiles::kMaxEntries)) {
        // The list's count is a 16-bit number: a longer list would read as an empty one.
        m_log.AddToStatus("#The ad-server list holds " + std::to_string(kept.size()) +
                          " names; the first " + std::to_string(core::ListFiles::kMaxEntries) +
                          " are kept");
        kept.resize(core::ListFiles::kMaxEntries);
    }
    // The old list is read right before the new one replaces it, with no event in between.
    // The shipped list is read until the first download, which writes the user's own copy.
    const std::vector<std::string> old =
        core::ListFiles::readArray(m_files, m_paths.getLocalBanIniFileName());
    if (!m_files.write(m_paths.getLocalBanIniWriteFileName(), listFileText(kept))) {
        return false;
    }
    // Names that left the list: their lines would stay in the hosts file, where neither the
    // switch nor the exit takes them out any more. The user's own list keeps its names.
    const std::vector<std::string> user =
        core::ListFiles::readArray(m_files, m_paths.getUserBanIniFileName());
    std::unordered_set<std::string_view> listed(kept.begin(), kept.end());
    listed.insert(user.begin(), user.end());
    for (const std::string& name : old) {
        if (!name.empty() && !listed.contains(name)) {
            m_leftNames.push_back(name);
        }
    }
    return true;
}

void AdDataUpdate::ProcessHostRemovals(bool) {
    downloadRemovals(false);
}

AdDataUpdate::Outcome AdDataUpdate::downloadRemovals(bool conditional) {
    const std::string removalsFile = m_paths.getLocalRemovalsIniFileName();
    const Validators sent = conditional
                                ? m_validators.forList(kRemovalsPath, m_files.read(removalsFile))
                                : Validators{};
    std::string errorText;
    const Fetched fetched =
        m_fetch.fetch(m_fetch.serverUrl(kRemovalsPath), kRemovalsTimeout, errorText, sent);
    if (stopped()) {
        return Outcome::Failed;
    }
    if (fetched.notModified) {
        m_log.AddToStatus("#The list of inactive ad servers did not change on the server");
        return Outcome::NotModified;
    }
    if (fetched.body.empty()) {
        m_form.lblStatus.setCaption("removal config connect failed.");
        return Outcome::Failed;
    }
    const UpdateList list = UpdateList::parse(fetched.body);
    if (!list.complete) {
        m_form.lblStatus.setCaption(
            "Internet download of the " + kN +
            "  Inactive Ad Servers configuration data failed or didn't complete.  Please try "
            "again later.");
        return Outcome::Failed;
    }

    m_form.lblHelpText.setCaption("Processing Inactive Hosts (removals)...");
    std::optional<std::vector<std::string>> names = walkLines(
        list, [](const std::string& line) { return "Removing Inactive Server '" + line + "'"; });
    if (!names) {
        return Outcome::Failed;
    }
    // The hosts file is read and written back in one step, the removals list right after it.
    std::vector<std::string> cut = *names;
    cut.insert(cut.end(), m_leftNames.begin(), m_leftNames.end());
    const AdServerBlocking::LineRemoval removal = m_blocking.removeHostsLines(cut);
    m_form.ProgressBar1.setVisible(false);
    if (removal != AdServerBlocking::LineRemoval::Done || stopped()) {
        return Outcome::Failed;
    }
    m_leftNames.clear();
    const std::string text = listFileText(*names);
    if (!m_files.write(removalsFile, text)) {
        return Outcome::Failed;
    }
    m_validators.remember(kRemovalsPath, fetched.validators, text);
    return Outcome::Changed;
}

void AdDataUpdate::cutLeftNames() {
    if (m_leftNames.empty() || stopped()) {
        return;
    }
    if (m_blocking.removeHostsLines(m_leftNames) != AdServerBlocking::LineRemoval::Failed) {
        m_leftNames.clear();
    }
}

void AdDataUpdate::chkAuto_Click() {
    if (m_state.bLoadingSettings) {
        return;
    }
    m_settings.MsgBoxOnce(kN + " can keep itself up to date by automatically downloading ad "
                               "blocking data from our server.  This is similar to auto-update "
                               "for a virus checker.  You may manually download the ad blocking "
                               "data by clicking the button below.",
                          "Automatic Update", "MSGAutoAdData");
    if (stopped()) {
        return;
    }
    m_state.bAutoDownload = m_form.chkAuto.checked();
    if (m_state.bAutoDownload) {
        m_form.lblStatus.setCaption(
            kN + " will occasionally download ad blocking data from the " + kN +
            " Server automatically.  This will happen every two weeks or so with normal use.  "
            "This makes sure you have the latest ad server data definitions to keep " +
            kN + " up to date.");
        m_help.FlashHelpText("You can also get this data yourself.  Choose CTRL-D to get it now!");
    } else {
        m_form.lblStatus.setCaption(
            kN + " will no longer automatically download ad blocking data from the " + kN +
            " Server.  Make sure you choose CTRL-D to get this data once in a while to make sure "
            "you keep " +
            kN + " up to date!");
        m_help.FlashHelpText(
            "If you're concerned about privacy, read our license agreement and privacy statement "
            "on the " +
            std::string(core::kPublisherApp) + " site.");
    }
}

void AdDataUpdate::autoUpdateCheck() {
    if (m_state.nBlockedToday != kAutoBlockedCount || !m_state.bAutoDownload ||
        m_starts % kAutoEveryStarts != 0 || m_autoRun != 0 || m_autoWait != 0) {
        return;
    }
    // The server's handler only counts the ad; the update, with its waits, runs on its own.
    m_autoRun = m_scheduler.callAfter(0ms, [this] {
        m_autoRun = 0;
        runAutoUpdate();
    });
}

void AdDataUpdate::runAutoUpdate() {
    m_autoWait = 0;
    if (stopped()) {
        return;
    }
    if (m_fetch.busy()) {
        // Its moment comes once: it runs when the download under way ends, not never.
        m_log.AddToStatus("#The automatic update waits for the download under way");
        m_autoWait = m_fetch.afterCurrentJob([this] { runAutoUpdate(); });
        return;
    }
    m_form.A.setTab(forms::MainForm::kTabStartup);
    UpdateAdData(true);
}

void AdDataUpdate::countStart() {
    const std::string stored = m_userStore.get(core::kUserStoreApp, "State", "Starts", "0");
    int count = 0;
    for (char c : stored) {
        if (c < '0' || c > '9' || count > 100000000) {
            count = 0;
            break;
        }
        count = count * 10 + (c - '0');
    }
    m_starts = count + 1;
    m_userStore.set(core::kUserStoreApp, "State", "Starts", std::to_string(m_starts));
}

std::optional<int> AdDataUpdate::dayNumber(std::string_view date) {
    const std::string text = trimmed(date);
    const char separator = text.find('/') != std::string::npos ? '/' : '-';
    int parts[3];
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        const auto end = i < 2 ? text.find(separator, pos) : text.size();
        if (end == std::string::npos) {
            return std::nullopt;
        }
        parts[i] = number(std::string_view(text).substr(pos, end - pos));
        if (parts[i] < 0) {
            return std::nullopt;
        }
        pos = end + 1;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    if (separator == '-') {
        year = parts[0], month = parts[1], day = parts[2];
    } else {
        month = parts[0], day = parts[1], year = parts[2];
        // Two digits: 00-29 are this century, 30-99 the last one.
        if (year < 100) {
            year += year < 30 ? 2000 : 1900;
        }
    }
    if (year < 100 || month < 1 || month > 12 || day < 1 || day > daysIn(month, year)) {
        return std::nullopt;
    }
    return year * 372 + (month - 1) * 31 + (day - 1);
}

std::string AdDataUpdate::dataIsCurrentText(const std::string& serverDate) const {
    return kN + "  data is Current. " + kCrLf + kCrLf + kN + "  was last updated on " +
           m_state.DateUpdate + "." + kCrLf + kCrLf + "The latest updates from the " + kN +
           "  Server were available on " + serverDate + ".";
}

std::string AdDataUpdate::today() const {
    const platform::LocalTime now = m_scheduler.localTime();
    return std::to_string(now.month) + "/" + std::to_string(now.day) + "/" +
           std::to_string(now.year);
}

}  // namespace halvern::adservers

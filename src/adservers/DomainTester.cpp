#include "adservers/DomainTester.h"

#include <algorithm>

#include "adservers/AdServerBlocking.h"
#include "adservers/DomainTesterFiles.h"
#include "adservers/HostsFileBuilder.h"
#include "base/ValueConversion.h"
#include "core/ListFiles.h"

namespace halvern::adservers {

namespace {

using base::ValueConversion::lowerAscii;
using platform::BoxButtons;
using platform::BoxIcon;

const std::string kCrLf = "\r\n";
const std::string kN = core::kServiceName;

}  // namespace

DomainTester::DomainTester(core::Context& context)
    : m_http(context.platform.http),
      m_scheduler(context.platform.scheduler),
      m_files(context.platform.files),
      m_dialogs(context.platform.dialogs),
      m_launcher(context.platform.launcher),
      m_resolver(context.platform.resolver),
      m_state(context.state),
      m_paths(context.paths),
      m_Timer1(context.platform.scheduler, "Timer1", 1000, false) {
    DomainTesterForm& f = m_form;
    m_Timer1.onTimer = [this] { Timer1_Timer(); };
    f.cmdTest.onClick = [this] { cmdTest_Click(); };
    f.cmdTestFail.onClick = [this] { cmdTestFail_Click(); };
    f.cmdUpdate.onClick = [this] { cmdUpdate_Click(); };
    f.Command2.onClick = [this] {
        // The hosts in hand finish; no new one starts.
        m_bStopTest = true;
        if (m_run) {
            m_run->stopping = true;
        }
        if (m_pass) {
            m_pass->stopping = true;
        }
    };
    f.Command3.onClick = [this] { m_form.lstTry.clear(); };
    f.cmdStopTimer.onClick = [this] { m_Timer1.setEnabled(false); };
    f.cmdOpenDomains.onClick = [this] { m_launcher.openInEditor(serverFile("domains.txt")); };
    f.cmdOpenRemovals.onClick = [this] { m_launcher.openInEditor(serverFile("removals.txt")); };
    f.cmdOK.onClick = [this] { unload(); };
    f.frmTestDomains.onQueryUnload = [this](forms::UnloadMode) {
        unload();
        return false;
    };
}

DomainTester::~DomainTester() {
    cancelAll();
}

void DomainTester::show() {
    if (m_form.frmTestDomains.visible()) {
        m_form.frmTestDomains.raiseRequested().emit();
        return;
    }
    Form_Load();
    m_form.frmTestDomains.show();
}

void DomainTester::unload() {
    cancelAll();
    m_Timer1.setEnabled(false);
    m_form.frmTestDomains.hide();
}

void DomainTester::Form_Load() {
    DomainTesterForm& f = m_form;
    cancelAll();
    f.lstTry.clear();
    f.lstFail.clear();
    f.lblTryCount.setCaption("0");
    f.lblFailCount.setCaption("0");
    m_nRetryCountdown = kRetryTicks;
    m_nFailTries = 0;
    m_bStopTest = false;
    m_Timer1.setEnabled(false);
    f.lblTries.setCaption("Fail Tries: 0");
    f.ProgressBar1.setValue(0);
    if (f.txtDir.text().empty()) {
        f.txtDir.setText(m_paths.dataFile("zshared/"));
    }
}

std::string DomainTester::urlFor(const std::string& entry) {
    const auto scheme = entry.find("://");
    if (scheme == std::string::npos) {
        return "http://" + entry + (entry.find('/') == std::string::npos ? "/" : "");
    }
    const std::string name = lowerAscii(entry.substr(0, scheme));
    // Only web addresses: a file:// entry would read the publisher's own files.
    return name == "http" || name == "https" ? entry : std::string();
}

std::string DomainTester::hostOf(const std::string& entry) {
    const auto scheme = entry.find("://");
    const std::size_t begin = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t end = entry.find_first_of("/:?#", begin);
    return lowerAscii(entry.substr(begin, end == std::string::npos ? end : end - begin));
}

void DomainTester::cmdTest_Click() {
    if (m_run) {
        return;
    }
    m_form.cmdTest.setEnabled(false);
    TestDomainList();
}

void DomainTester::TestDomainList() {
    m_bStopTest = false;
    const platform::BoxAnswer answer =
        m_dialogs.messageBox("Click YES for main list of ad servers (zorvikhosts.ini).  " + kCrLf +
                                 "Click NO to retest removal list (removals.ini)",
                             kN, BoxButtons::YesNo, BoxIcon::Question);
    if (m_state.bExiting || !m_form.frmTestDomains.visible()) {
        m_form.cmdTest.setEnabled(true);
        return;
    }
    const std::string path = answer == platform::BoxAnswer::Yes
                                 ? m_paths.getLocalBanIniFileName()
                                 : m_paths.getLocalRemovalsIniFileName();
    // Entries whole, as the hosts build reads them: Fix never writes a long name back cut.
    std::vector<core::ListFiles::LongEntry> tooLong;
    core::ListFiles::List list =
        core::ListFiles::readWhole(m_files, path, AdServerBlocking::kMaxEntryChars, tooLong);
    TestRun run;
    // "pause Test" pressed while the question was open ends the run at once.
    run.stopping = m_bStopTest;
    run.count = list.count;
    run.slots = std::move(list.slots);
    // A paused run resumes with the last host it tested; "Clear Try List" starts it at D0.
    run.next = std::max(m_form.lstTry.listCount() - 1, 0);
    m_form.ProgressBar1.setMax(std::max(run.count - 1, 0));
    m_run = std::move(run);
    readBlocked();
    fill();
}

void DomainTester::cmdTestFail_Click() {
    startRetryPass();
}

void DomainTester::startRetryPass() {
    if (m_pass) {
        m_passAgain = true;
        return;
    }
    m_bStopTest = false;
    m_Timer1.setEnabled(false);
    m_form.cmdTestFail.setEnabled(false);
    RetryPass pass;
    pass.hosts = m_form.lstFail.items();
    m_form.ProgressBar1.setMax(static_cast<int>(pass.hosts.size()));
    m_form.ProgressBar1.setValue(0);
    m_pass = std::move(pass);
    readBlocked();
    fill();
}

void DomainTester::Timer1_Timer() {
    --m_nRetryCountdown;
    m_form.lblStatus.setCaption("Retry Fail List in " + std::to_string(m_nRetryCountdown));
    if (m_nRetryCountdown < 1) {
        m_form.lblStatus.setCaption("Retrying Fail List NOW");
        startRetryPass();
    }
}

void DomainTester::fill() {
    if (m_filling) {
        return;  // a transfer answered at once, inside the loop below: the loop goes on
    }
    m_filling = true;
    for (int started = 0; inHand() < kMaxInFlight; ++started) {
        const bool retry = m_pass && !m_pass->stopping && m_pass->next < m_pass->hosts.size();
        const bool test = m_run && !m_run->stopping && m_run->next < m_run->count;
        if (!retry && !test) {
            break;
        }
        if (started == kStartsPerTurn) {
            // The rest start on the next turn of the loop, so that it never waits long.
            if (m_refill == 0) {
                m_refill = m_scheduler.callAfter(platform::Millis(0), [this] {
                    m_refill = 0;
                    fill();
                });
            }
            break;
        }
        if (retry) {
            startRetryHost();
        } else {
            startTestHost();
        }
    }
    m_filling = false;
    if (m_run && m_run->inHand == 0 && (m_run->stopping || m_run->next >= m_run->count)) {
        endTestRun();
    }
    if (m_pass && m_pass->inHand == 0 &&
        (m_pass->stopping || m_pass->next >= m_pass->hosts.size())) {
        endPass();
    }
}

void DomainTester::startTestHost() {
    DomainTesterForm& f = m_form;
    const int index = m_run->next++;
    f.ProgressBar1.setValue(index);
    const std::string& host = m_run->slots[static_cast<std::size_t>(index)];
    if (host.empty()) {
        return;
    }
    f.lstTry.addItem(host);
    f.lblTryCount.setCaption(std::to_string(f.lstTry.listCount()));
    f.lblTryStatus.setCaption("Trying " + host);
    if (isBlocked(host)) {
        f.lblErr.setCaption("skipping (blocked in " + m_resolver.hostsFilePath() + ") " + host);
        return;
    }
    const std::string url = urlFor(host);
    if (url.empty()) {
        f.lblErr.setCaption("skipping (not http or https) " + host);
        return;
    }
    const std::uint64_t key = m_nextJob++;
    m_jobs[key] = Job{host, url, false};
    ++m_run->inHand;
    launch(key);
}

void DomainTester::startRetryHost() {
    DomainTesterForm& f = m_form;
    const std::string host = m_pass->hosts[m_pass->next++];
    f.lblFailStatus.setCaption("trying " + host);
    f.lblFailCount.setCaption(std::to_string(f.lstFail.listCount()));
    const std::string url = urlFor(host);
    if (isBlocked(host) || url.empty()) {
        // Not asked: our own block would answer. It stays on the list as it failed before.
        f.lblFailStatus.setCaption("skipping (blocked in " + m_resolver.hostsFilePath() + ") " +
                                   host);
        f.ProgressBar1.setValue(++m_pass->done);
        return;
    }
    const std::uint64_t key = m_nextJob++;
    m_jobs[key] = Job{host, url, true};
    ++m_pass->inHand;
    launch(key);
}

void DomainTester::launch(std::uint64_t key) {
    Job& job = m_jobs.at(key);
    ++job.tries;
    const int token = ++job.launches;
    job.started = m_scheduler.now();
    platform::HttpRequest request;
    request.url = job.url;
    request.timeout = kTimeout;
    request.maxBody = kMaxBody;
    // Bytes that came are an answer, however many more the host would send.
    request.truncateAtMax = true;
    const platform::Http::Id transfer =
        m_http.start(request, [this, key, token](const platform::HttpResponse& response) {
            answered(key, token, response);
        });
    // A backend may answer inside start(): the job may be gone or launched again by then.
    const auto it = m_jobs.find(key);
    if (it != m_jobs.end() && it->second.launches == token) {
        it->second.transfer = transfer;
    }
}

void DomainTester::answered(std::uint64_t key, int launch, const platform::HttpResponse& response) {
    const auto it = m_jobs.find(key);
    if (it == m_jobs.end() || it->second.launches != launch) {
        return;
    }
    if (m_state.bExiting) {
        unload();
        return;
    }
    Job& job = it->second;
    Answer answer{response.ok && !response.body.empty(), response.body, response.error};
    // As the fetch does: a quick failure or empty answer is asked again at once, a slow one is
    // not.
    if (!answer.ok && m_scheduler.now() - job.started < kFastAnswer && job.tries < kMaxTries) {
        this->launch(key);
        return;
    }
    if (!answer.ok && answer.error.empty()) {
        answer.error = "No Response Returned";
    }
    if (!answer.ok && !job.retry && job.attempt < 3) {
        if (++job.attempt == 3) {
            m_form.lblFailStatus.setCaption("Trying " + job.host + " again");
        }
        job.tries = 0;
        this->launch(key);
        return;
    }
    const Job done = std::move(job);
    m_jobs.erase(it);
    if (done.retry) {
        retryAnswered(done, answer);
    } else {
        testAnswered(done, answer);
    }
    fill();
}

void DomainTester::testAnswered(const Job& job, const Answer& answer) {
    DomainTesterForm& f = m_form;
    if (m_run) {
        --m_run->inHand;
    }
    if (answer.ok && job.attempt == 1) {
        f.txtResult.setText(answer.body);
    } else if (!answer.ok) {
        f.lstFail.addItem(job.host);
        f.lblFailCount.setCaption(std::to_string(f.lstFail.listCount()));
        f.lblFailStatus.setCaption("Failed " + job.host);
    }
    f.lblErr.setCaption(job.host + " Err#=0 Desc='" + (answer.ok ? "" : answer.error) + "'");
}

void DomainTester::retryAnswered(const Job& job, const Answer& answer) {
    DomainTesterForm& f = m_form;
    if (!m_pass) {
        return;
    }
    --m_pass->inHand;
    f.ProgressBar1.setValue(++m_pass->done);
    if (!answer.ok) {
        return;
    }
    f.lblFailStatus.setCaption("Worked! " + job.host);
    // Lines of one host are alike: the first one goes.
    const auto& items = f.lstFail.items();
    const auto line = std::find(items.begin(), items.end(), job.host);
    if (line != items.end()) {
        f.lstFail.removeItem(static_cast<int>(line - items.begin()));
    }
    f.lblFailCount.setCaption(std::to_string(f.lstFail.listCount()));
    f.txtResult.setText(answer.body);
}

void DomainTester::endTestRun() {
    m_run.reset();
    m_form.cmdTest.setEnabled(true);
    m_form.ProgressBar1.setValue(0);
    startRetryPass();
}

void DomainTester::endPass() {
    const bool stopped = m_pass->stopping;
    m_pass.reset();
    m_form.cmdTestFail.setEnabled(true);
    if (stopped) {
        m_passAgain = false;
        return;
    }
    m_nRetryCountdown = kRetryTicks;
    m_Timer1.setEnabled(true);
    ++m_nFailTries;
    m_form.lblTries.setCaption("Fail list tries: " + std::to_string(m_nFailTries));
    m_form.ProgressBar1.setValue(0);
    if (m_passAgain) {
        m_passAgain = false;
        startRetryPass();
    }
}

void DomainTester::cancelAll() {
    m_scheduler.cancel(m_refill);
    m_refill = 0;
    for (const auto& [key, job] : m_jobs) {
        m_http.cancel(job.transfer);
    }
    m_jobs.clear();
    m_run.reset();
    m_pass.reset();
    m_passAgain = false;
    m_form.cmdTest.setEnabled(true);
    m_form.cmdTestFail.setEnabled(true);
}

void DomainTester::readBlocked() {
    m_blocked.clear();
    const std::string text = m_files.read(m_resolver.hostsFilePath()).value_or("");
    std::size_t begin = 0;
    while (begin < text.size()) {
        const auto lf = text.find('\n', begin);
        std::string_view line(text.data() + begin,
                              (lf == std::string::npos ? text.size() : lf) - begin);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (const std::string_view name = HostsFileBuilder::blockedName(line); !name.empty()) {
            m_blocked.insert(lowerAscii(name));
        }
        begin = lf == std::string::npos ? text.size() : lf + 1;
    }
}

bool DomainTester::isBlocked(const std::string& entry) const {
    return !m_blocked.empty() && m_blocked.contains(hostOf(entry));
}

std::string DomainTester::serverFile(const char* name) const {
    std::string folder = m_form.txtDir.text();
    if (!folder.empty() && !folder.ends_with('/')) {
        folder += '/';
    }
    return folder + name;
}

void DomainTester::cmdUpdate_Click() {
    m_Timer1.setEnabled(false);
    fixDomains(serverFile("domains.txt"));
    fixRemovals(serverFile("removals.txt"));
}

std::optional<std::string> DomainTester::readServerFile(const std::string& path) {
    const platform::ReadResult read =
        m_files.readLimited(path, platform::FileSystem::kMaxFileBytes);
    if (read.content) {
        return read.content;
    }
    if (read.refused()) {
        // Writing it without its content would lose the list.
        m_dialogs.messageBox(path + " could not be read (" + read.error + ") and was not changed",
                             kN, BoxButtons::Ok, BoxIcon::Warning);
    } else {
        m_dialogs.messageBox(path + " does not exist", kN, BoxButtons::Ok, BoxIcon::None);
    }
    return std::nullopt;
}

void DomainTester::fixDomains(const std::string& path) {
    DomainTesterForm& f = m_form;
    std::optional<std::string> text = readServerFile(path);
    if (!text) {
        return;
    }
    f.lblStatus.setCaption("Clearing " + path);
    f.ProgressBar1.setMax(f.lstFail.listCount());
    for (int i = 0; i < f.lstFail.listCount(); ++i) {
        f.ProgressBar1.setValue(i);
        f.lstFail.setListIndex(i);
        const std::string& host = f.lstFail.item(i);
        *text = DomainTesterFiles::withoutLine(*text, host);
        f.lblErr.setCaption("clearing " + host);
    }
    writeServerFile(path, *text);
}

void DomainTester::fixRemovals(const std::string& path) {
    DomainTesterForm& f = m_form;
    const std::optional<std::string> text = readServerFile(path);
    if (!text) {
        return;
    }
    const std::string eol(DomainTesterFiles::lineEnding(*text));
    // New lines go before a trailing "[END]": the readers of the file need it last.
    const std::size_t at = DomainTesterFiles::insertPoint(*text);
    std::string head = text->substr(0, at);
    const std::string tail = text->substr(at);
    if (!head.empty() && !head.ends_with('\n')) {
        head += eol;
    }
    head += "#" + DomainTesterFiles::generalDate(m_scheduler.localTime()) + eol;
    f.lblStatus.setCaption("Adding to " + path);
    for (int i = 0; i < f.lstFail.listCount(); ++i) {
        f.ProgressBar1.setValue(i);
        f.lstFail.setListIndex(i);
        const std::string& host = f.lstFail.item(i);
        if (DomainTesterFiles::hasLine(head, host) || DomainTesterFiles::hasLine(tail, host)) {
            f.lblErr.setCaption("skipping (in list) " + host);
        } else {
            f.lblErr.setCaption("adding " + host);
            head += host + eol;
        }
    }
    writeServerFile(path, head + tail);
}

void DomainTester::writeServerFile(const std::string& path, const std::string& text) {
    // The server's folder starts out in the data folder, which holds no such folder at first.
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        m_files.makeDirectories(path.substr(0, slash));
    }
    if (m_files.write(path, text)) {
        return;
    }
    const std::string failed = path + " could not be written (" + m_files.writeError() + ")";
    m_form.lblStatus.setCaption(failed);
    m_dialogs.messageBox(failed + " and was not changed", kN, BoxButtons::Ok, BoxIcon::Warning);
}

}  // namespace halvern::adservers

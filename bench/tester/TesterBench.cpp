// The domain tester over a list of hosts, on the real loop and the real transfers: "1 TEST" and
// the retry pass that follows it, or (--one-by-one) the old loop that asks one host at a time,
// three attempts each, then retries the failures one at a time. Prints the wall time, the CPU
// time of the process, the loop's worst lateness and the failed hosts.
//
//   tester_bench LIST_FILE [--one-by-one]

#include <sys/resource.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "adservers/DomainTester.h"
#include "core/ListFiles.h"
#include "platform/fake/FakeAutostart.h"
#include "platform/fake/FakeBrowser.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FakeInputDevice.h"
#include "platform/fake/FakeLauncher.h"
#include "platform/fake/FakePasswordHasher.h"
#include "platform/fake/FakeProcesses.h"
#include "platform/fake/FakeProgramProcess.h"
#include "platform/fake/FakeRegistry.h"
#include "platform/fake/FakeResolver.h"
#include "platform/fake/FakeScratchFiles.h"
#include "platform/fake/FakeSingleInstance.h"
#include "platform/fake/FakeSound.h"
#include "platform/fake/FakeTcpListener.h"
#include "platform/fake/FakeTray.h"
#include "platform/fake/FakeUserStore.h"
#include "platform/linux/CurlHttp.h"
#include "platform/linux/PollScheduler.h"
#include "platform/linux/PosixFileSystem.h"

using namespace halvern;
using namespace std::chrono_literals;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

/// The CPU time of this thread.
platform::Millis threadCpu() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return platform::Millis(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

/// Measures how late the loop runs a callback due every 10 ms, and how much of that lateness the
/// loop spent working (the rest is the machine giving the process no time).
struct LatenessProbe {
    explicit LatenessProbe(platform::Scheduler& scheduler) : m_scheduler(scheduler) { arm(); }
    ~LatenessProbe() { m_scheduler.cancel(m_pending); }
    void arm() {
        m_due = m_scheduler.now() + 10ms;
        m_cpu = threadCpu();
        m_pending = m_scheduler.callAfter(10ms, [this] {
            const platform::Millis late = m_scheduler.now() - m_due;
            worst = std::max(worst, late);
            worstBusy = std::max(worstBusy, std::min(late, threadCpu() - m_cpu));
            arm();
        });
    }
    platform::Millis worst{0};
    platform::Millis worstBusy{0};

private:
    platform::Scheduler& m_scheduler;
    platform::Millis m_due{0};
    platform::Millis m_cpu{0};
    platform::Scheduler::Id m_pending = 0;
};

/// One fetch as the old program made it: a quick failure is asked again at once, 11 times in all.
bool fetch(platform::Http& http, platform::Scheduler& scheduler, const std::string& url) {
    for (int tries = 0; tries < adservers::DomainTester::kMaxTries; ++tries) {
        const platform::Millis started = scheduler.now();
        platform::HttpRequest request;
        request.url = url;
        request.timeout = adservers::DomainTester::kTimeout;
        const platform::HttpResponse response = http.get(scheduler, request);
        if (response.ok && !response.body.empty()) {
            return true;
        }
        if (scheduler.now() - started >= adservers::DomainTester::kFastAnswer) {
            return false;
        }
    }
    return false;
}

/// The old loop, one host at a time: seconds per host, and the hosts that failed.
int oneByOne(platform::PollScheduler& scheduler, platform::Http& http,
             const std::vector<std::string>& hosts) {
    std::vector<std::string> failed;
    std::printf("%-28s %8s %10s %10s\n", "host", "result", "test (s)", "retry (s)");
    for (const std::string& host : hosts) {
        const std::string url = adservers::DomainTester::urlFor(host);
        const platform::Millis started = scheduler.now();
        bool ok = false;
        for (int attempt = 0; attempt < 3 && !ok; ++attempt) {
            ok = fetch(http, scheduler, url);
        }
        const double test = static_cast<double>((scheduler.now() - started).count()) / 1000.0;
        double retry = 0;
        if (!ok) {
            const platform::Millis again = scheduler.now();
            fetch(http, scheduler, url);
            retry = static_cast<double>((scheduler.now() - again).count()) / 1000.0;
            failed.push_back(host);
        }
        std::printf("%-28s %8s %10.3f %10.3f\n", host.c_str(), ok ? "ok" : "failed", test, retry);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: tester_bench LIST_FILE [--one-by-one]\n", stderr);
        return 2;
    }
    const std::string listFile = std::filesystem::absolute(argv[1]).string();
    const bool sequential = argc > 2 && std::string(argv[2]) == "--one-by-one";

    platform::PollScheduler scheduler;
    platform::PosixFileSystem files;
    platform::FakeDialogs dialogs;  // answers Yes: the default list
    platform::FakeUserStore userStore;
    platform::FakeLauncher launcher;
    platform::FakeProgramProcess process;
    platform::FakeResolver resolver;
    resolver.hostsFile = std::filesystem::path(listFile).parent_path() / "hosts";
    platform::FakeSingleInstance instance;
    platform::FakeTray tray;
    platform::FakeSound sound;
    platform::FakeTcpListener listener;
    platform::FakeDesktop desktop;
    platform::FakeProcesses processes{scheduler};
    platform::CurlHttp http(scheduler);
    platform::FakePasswordHasher hasher;
    platform::FakeScratchFiles scratch;
    platform::FakeRegistry registry;
    platform::FakeBrowser browser;
    platform::FakeInputDevice input;
    platform::FakeAutostart autostart;
    platform::Platform platform{scheduler, files,     dialogs,   userStore, launcher,
                                process,   resolver,  instance,  tray,      sound,
                                listener,  desktop,   processes, http,      hasher,
                                scratch,   autostart, registry,  browser,   input};

    if (sequential) {
        std::vector<std::string> hosts;
        core::ListFiles::forEachEntry(
            files, listFile, [&hosts](int, const std::string& entry) { hosts.push_back(entry); });
        return oneByOne(scheduler, http, hosts);
    }

    core::MainState state;
    forms::MainForm form;
    forms::StatsForm stats;
    core::AppPaths paths(std::filesystem::path(listFile).parent_path().string(),
                         resolver.hostsFile);
    core::Context context{platform, state, form, stats, paths};
    // The tester reads the default list from the program folder.
    std::filesystem::copy_file(listFile, paths.getLocalBanIniFileName(),
                               std::filesystem::copy_options::overwrite_existing);
    adservers::DomainTester tester(context);
    tester.show();

    LatenessProbe probe(scheduler);
    const double cpu = cpuSeconds();
    const platform::Millis started = scheduler.now();
    tester.form().cmdTest.click();
    const platform::Millis testEnded = [&] {
        scheduler.runUntil([&] { return !tester.testRunning(); }, 3600s);
        return scheduler.now();
    }();
    scheduler.runUntil([&] { return tester.nFailTries() >= 1; }, 3600s);
    const double seconds = static_cast<double>((scheduler.now() - started).count()) / 1000.0;
    const double cpuUsed = cpuSeconds() - cpu;

    std::set<std::string> failed(tester.form().lstFail.items().begin(),
                                 tester.form().lstFail.items().end());
    std::printf("hosts tried      %d\n", tester.form().lstTry.listCount());
    std::printf("test run         %.2f s\n",
                static_cast<double>((testEnded - started).count()) / 1000.0);
    std::printf("with retry pass  %.2f s\n", seconds);
    std::printf("cpu              %.2f s\n", cpuUsed);
    std::printf("loop late by     %lld ms at worst, %lld ms of it busy\n",
                static_cast<long long>(probe.worst.count()),
                static_cast<long long>(probe.worstBusy.count()));
    std::printf("failed           %zu\n", failed.size());
    for (const std::string& host : failed) {
        std::printf("FAILED %s\n", host.c_str());
    }
    return 0;
}

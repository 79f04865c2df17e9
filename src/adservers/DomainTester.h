#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "adservers/DomainTesterForm.h"
#include "core/Context.h"
#include "forms/Timer.h"

namespace halvern::adservers {

/// The domain tester, a maintenance window for the publishers of the ad-server data: it requests
/// every host of the default list (or of the removals list), collects the hosts that do not
/// answer, retries them on a 25 s countdown, and cuts the failures out of the server copy of
/// domains.txt into removals.txt. Many hosts are in hand at once (up to kMaxInFlight), each
/// with its three attempts in turn, so a run over thousands of hosts takes about as long as its
/// slowest host; the window stays live throughout. Wires every control of its window.
class DomainTester {
public:
    /// The hosts in hand at once, over the test run and the retry pass together.
    static constexpr int kMaxInFlight = 256;
    /// The most hosts one turn of the loop starts; the rest start on the next turns.
    static constexpr int kStartsPerTurn = 32;
    /// Each request's limit.
    static constexpr platform::Millis kTimeout{5000};
    /// A fast failure (under 500 ms) is asked again at once, 11 times in all.
    static constexpr platform::Millis kFastAnswer{500};
    static constexpr int kMaxTries = 11;
    /// The most of an answer read: the tester only needs to know that one came, so a longer
    /// body is cut here and still counts as an answer.
    static constexpr std::size_t kMaxBody = 1u << 20;
    /// Ticks of Timer1 from a completed retry pass to the next.
    static constexpr int kRetryTicks = 25;

    explicit DomainTester(core::Context& context);
    ~DomainTester();
    DomainTester(const DomainTester&) = delete;
    DomainTester& operator=(const DomainTester&) = delete;

    DomainTesterForm& form() { return m_form; }
    /// The retry countdown: 1000 ms, off at load, on after each completed retry pass.
    forms::Timer& timer() { return m_Timer1; }

    /// Opens the window with empty lists, or brings the open one to the front.
    void show();
    /// Closes the window: every transfer is stopped and the lists are lost.
    void unload();

    /// The address fetched for a list entry: a bare name becomes "http://name/"; an entry with
    /// another scheme than http or https gives "" and is not fetched.
    static std::string urlFor(const std::string& entry);
    /// The host name of an entry, lower-cased.
    static std::string hostOf(const std::string& entry);

    void Form_Load();
    void cmdTest_Click();
    void TestDomainList();
    void cmdTestFail_Click();
    void Timer1_Timer();
    void cmdUpdate_Click();

    bool testRunning() const { return m_run.has_value(); }
    bool passRunning() const { return m_pass.has_value(); }
    int inHand() const { return static_cast<int>(m_jobs.size()); }
    int nRetryCountdown() const { return m_nRetryCountdown; }
    int nFailTries() const { return m_nFailTries; }

private:
    /// One host in hand: its attempts of a test run (three) or of a retry pass (one), and the
    /// quick repeats of a fast failure within each attempt.
    struct Job {
        std::string host;
        std::string url;
        bool retry = false;
        int attempt = 1;
        int tries = 0;
        int launches = 0;
        platform::Millis started{0};
        std::uint64_t transfer = 0;
    };
    /// A test run over a list: its entries, the next index, and the hosts in hand.
    struct TestRun {
        std::vector<std::string> slots;
        int count = 0;
        int next = 0;
        int inHand = 0;
        bool stopping = false;
    };
    /// A retry pass over the failure list as it was when the pass began.
    struct RetryPass {
        std::vector<std::string> hosts;
        std::size_t next = 0;
        int inHand = 0;
        int done = 0;
        bool stopping = false;
    };
    struct Answer {
        bool ok = false;
        std::string body;
        std::string error;
    };

    void startRetryPass();
    /// Puts hosts in hand until the limit is reached or nothing is left; then ends what ended.
    void fill();
    void startTestHost();
    void startRetryHost();
    void launch(std::uint64_t key);
    void answered(std::uint64_t key, int launch, const platform::HttpResponse& response);
    void testAnswered(const Job& job, const Answer& answer);
    void retryAnswered(const Job& job, const Answer& answer);
    void endTestRun();
    void endPass();
    void cancelAll();
    /// The names the hosts file sends to 127.0.0.1: testing them would test our own block.
    void readBlocked();
    bool isBlocked(const std::string& entry) const;
    void fixDomains(const std::string& path);
    void fixRemovals(const std::string& path);
    /// The file's text, or nothing with a box when it is missing or cannot be read.
    std::optional<std::string> readServerFile(const std::string& path);
    /// Writes the file; a box and the status line say so when it cannot be written.
    void writeServerFile(const std::string& path, const std::string& text);
    std::string serverFile(const char* name) const;

    platform::Http& m_http;
    platform::Scheduler& m_scheduler;
    platform::FileSystem& m_files;
    platform::Dialogs& m_dialogs;
    platform::Launcher& m_launcher;
    platform::Resolver& m_resolver;
    core::MainState& m_state;
    const core::AppPaths& m_paths;
    DomainTesterForm m_form;
    forms::Timer m_Timer1;

    bool m_bStopTest = false;
    int m_nRetryCountdown = kRetryTicks;
    int m_nFailTries = 0;
    std::optional<TestRun> m_run;
    std::optional<RetryPass> m_pass;
    /// A pass was asked for while one ran: it starts when that one ends.
    bool m_passAgain = false;
    std::map<std::uint64_t, Job> m_jobs;
    std::uint64_t m_nextJob = 1;
    std::unordered_set<std::string> m_blocked;
    bool m_filling = false;
    platform::Scheduler::Id m_refill = 0;
};

}  // namespace halvern::adservers

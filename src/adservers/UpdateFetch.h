#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "core/Context.h"
#include "core/StatusLog.h"
#include "platform/Http.h"

namespace halvern::adservers {

/// The files on the update server.
inline constexpr std::string_view kUpdateDatePath = "/zshared/updatedate.txt";
inline constexpr std::string_view kDomainsPath = "/zshared/domains.txt";
inline constexpr std::string_view kRemovalsPath = "/zshared/removals.txt";
inline constexpr std::string_view kSpywarePath = "/zshared/spyware.txt";
inline constexpr std::string_view kVersionPath = "/zshared/version.txt";

/// The update server's address without a trailing slash: the UpdateServer setting when it holds
/// one, else the address this program was built with. Every download from the update server
/// (the ad-server lists, the spyware list, the version) starts from it.
std::string updateServer(const core::MainState& state);
/// The address this program was built with (the HALVERN_UPDATE_SERVER build option).
std::string builtInUpdateServer();

/// Text for the publisher's web forms: every CR LF becomes "DA"; before the first "?" the
/// characters % , blank / ~ : $ & are percent-encoded, from the "?" on nothing changes.
std::string URLEncode(std::string_view text);

/// The proxy for the transfers from the ProxyName and ProxyPort settings: the name as it stands
/// ("host:port" or "http=host:port;https=host:port"), a bare host joined with the port, or ""
/// to follow the environment.
std::string proxySetting(std::string_view proxyName, std::string_view proxyPort);

/// True for an address the program fetches: http or https only, whatever its case.
bool isWebAddress(std::string_view url);

/// The server's validators of a downloaded file, sent back for a conditional download.
struct Validators {
    std::string etag;
    std::string lastModified;
    bool empty() const { return etag.empty() && lastModified.empty(); }
};

/// What a fetch brought back.
struct Fetched {
    /// The body, "" on failure.
    std::string body;
    /// The server said the file did not change since the validators sent.
    bool notModified = false;
    /// The validators of this answer, for the next conditional download.
    Validators validators;
};

/// The one way the program downloads: plain GETs with a timeout and a bounded retry of quick
/// empty answers, over the platform's transfers, one download job at a time. Each wait keeps the
/// event loop running, and ends early once the exit has begun.
class UpdateFetch {
public:
    /// An empty answer that came back faster than this is asked for again at once.
    static constexpr platform::Millis kFastAnswer{500};
    /// The most attempts of one fetch.
    static constexpr int kMaxTries = 11;
    /// The timeout of a fetch given none (0 or less), in seconds.
    static constexpr int kDefaultTimeoutSeconds = 30;
    /// The error text of an empty body without an error.
    static constexpr const char* kNoResponse = "No Response Returned";
    /// The status line of a download asked for while another one runs.
    static constexpr const char* kBusyText =
        "Another download is still running.  Please try again when it is done.";

    UpdateFetch(core::Context& context, core::StatusLog& log);
    ~UpdateFetch();
    UpdateFetch(const UpdateFetch&) = delete;
    UpdateFetch& operator=(const UpdateFetch&) = delete;

    /// The body of the answer, or "" on failure, when errorText receives why (the transfer's
    /// error, or "No Response Returned" for an empty body); on success errorText stays as it
    /// was.
    std::string FetchURL(const std::string& url, int timeoutSeconds, std::string& errorText);
    /// FetchURL with the validators of the copy the program has: a server that answers "not
    /// modified" gives notModified and no error.
    Fetched fetch(const std::string& url, int timeoutSeconds, std::string& errorText,
                  const Validators& validators = {});
    /// The address of a path ("/zshared/domains.txt") on the update server.
    std::string serverUrl(std::string_view path) const;

    /// Holds the one download job while it lives; started() is false when another job runs.
    class Job {
    public:
        explicit Job(UpdateFetch& fetch);
        ~Job();
        Job(const Job&) = delete;
        Job& operator=(const Job&) = delete;
        bool started() const { return m_started; }

    private:
        UpdateFetch& m_fetch;
        bool m_started;
    };
    /// True while a download job runs.
    bool busy() const { return m_busy; }

    using WaitId = std::uint64_t;
    /// Runs `then` once, from the event loop, after the download job under way ends (on the
    /// next turn when none runs). A job started before its turn comes makes it wait again.
    WaitId afterCurrentJob(std::function<void()> then);
    /// Forgets a waiting `then`; an unknown id is ignored.
    void cancelWait(WaitId id);

private:
    /// Runs the waiting callbacks from the loop once no job runs.
    void wakeWaiting();
    void runWaiting();

    /// One GET that keeps the loop running until its answer, its time limit or the exit.
    platform::HttpResponse get(const platform::HttpRequest& request);

    platform::Http& m_http;
    platform::Scheduler& m_scheduler;
    const core::MainState& m_state;
    core::StatusLog& m_log;
    bool m_busy = false;
    std::map<WaitId, std::function<void()>> m_waiting;
    WaitId m_nextWait = 1;
    platform::Scheduler::Id m_wake = 0;
};

}  // namespace halvern::adservers

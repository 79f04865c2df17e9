#include "adservers/UpdateFetch.h"

#include <optional>

#ifndef HALVERN_UPDATE_SERVER
#define HALVERN_UPDATE_SERVER "https://updates.halvern.org"
#endif

namespace halvern::adservers {

namespace {

/// The transfer gets a little longer than its own time limit before the wait gives up on it.
constexpr platform::Millis kGrace{5000};

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

const char* encoded(char c) {
    switch (c) {
        case '%':
            return "%25";
        case ',':
            return "%2C";
        case ' ':
            return "%20";
        case '/':
            return "%2F";
        case '~':
            return "%7E";
        case ':':
            return "%3A";
        case '$':
            return "%24";
        case '&':
            return "%26";
        default:
            return nullptr;
    }
}

}  // namespace

std::string builtInUpdateServer() {
    return HALVERN_UPDATE_SERVER;
}

std::string updateServer(const core::MainState& state) {
    std::string_view address = trimmed(state.UpdateServer);
    if (address.empty()) {
        address = HALVERN_UPDATE_SERVER;
    }
    while (address.ends_with('/')) {
        address.remove_suffix(1);
    }
    return std::string(address);
}

std::string URLEncode(std::string_view text) {
    std::string result;
    result.reserve(text.size() * 3);
    bool query = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            result += "DA";
            ++i;
            continue;
        }
        const char* code = query ? nullptr : encoded(text[i]);
        query = query || text[i] == '?';
        if (code) {
            result += code;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string proxySetting(std::string_view proxyName, std::string_view proxyPort) {
    const std::string_view name = trimmed(proxyName);
    const std::string_view port = trimmed(proxyPort);
    if (name.empty()) {
        return {};
    }
    // A per-scheme list or a name that carries its port stands as it is.
    if (port.empty() || name.find_first_of("=:") != std::string_view::npos) {
        return std::string(name);
    }
    return std::string(name) + ":" + std::string(port);
}

bool isWebAddress(std::string_view url) {
    return startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://");
}

UpdateFetch::UpdateFetch(core::Context& context, core::StatusLog& log)
    : m_http(context.platform.http),
      m_scheduler(context.platform.scheduler),
      m_state(context.state),
      m_log(log) {}

UpdateFetch::~UpdateFetch() {
    m_scheduler.cancel(m_wake);
}

UpdateFetch::WaitId UpdateFetch::afterCurrentJob(std::function<void()> then) {
    const WaitId id = m_nextWait++;
    m_waiting.emplace(id, std::move(then));
    if (!m_busy) {
        wakeWaiting();
    }
    return id;
}

void UpdateFetch::cancelWait(WaitId id) {
    m_waiting.erase(id);
}

void UpdateFetch::wakeWaiting() {
    if (m_waiting.empty() || m_wake != 0) {
        return;
    }
    // From the loop, not from the end of the job: the caller of the job finishes first.
    m_wake = m_scheduler.callAfter(platform::Millis(0), [this] {
        m_wake = 0;
        runWaiting();
    });
}

void UpdateFetch::runWaiting() {
    // Each in turn, while no job runs: one that starts a download leaves the rest waiting for
    // its end.
    while (!m_busy && !m_waiting.empty() && !m_state.bExiting) {
        const auto first = m_waiting.begin();
        const std::function<void()> then = std::move(first->second);
        m_waiting.erase(first);
        then();
    }
}

std::string UpdateFetch::FetchURL(const std::string& url, int timeoutSeconds,
                                  std::string& errorText) {
    return fetch(url, timeoutSeconds, errorText).body;
}

Fetched UpdateFetch::fetch(const std::string& url, int timeoutSeconds, std::string& errorText,
                           const Validators& validators) {
    Fetched result;
    // A file:// or any other scheme would read local files or talk to other services.
    if (!isWebAddress(url)) {
        errorText = "Only http and https addresses are fetched: '" + url + "'";
        m_log.AddToStatus("#Not fetched: " + errorText);
        return result;
    }
    platform::HttpRequest request;
    request.url = url;
    request.timeout =
        std::chrono::seconds(timeoutSeconds >= 1 ? timeoutSeconds : kDefaultTimeoutSeconds);
    request.etag = validators.etag;
    request.lastModified = validators.lastModified;

    // Only quick empty answers are asked for again: a real timeout or a slow failure is not
    // repeated.
    platform::HttpResponse response;
    platform::Millis lastDuration{0};
    int tries = 0;
    while (result.body.empty() && !result.notModified && lastDuration < kFastAnswer &&
           tries < kMaxTries && !m_state.bExiting) {
        ++tries;
        const platform::Millis started = m_scheduler.now();
        response = get(request);
        lastDuration = m_scheduler.now() - started;
        result.body = response.ok ? response.body : std::string();
        result.notModified = response.ok && response.notModified;
    }
    if (response.ok) {
        result.validators = {response.etag, response.lastModified};
    }
    if (!response.error.empty()) {
        errorText = response.error;
    } else if (result.body.empty() && !result.notModified) {
        errorText = kNoResponse;
    }
    m_log.AddToStatus("#Fetched " + url + " in " + std::to_string(tries) + " tries: " +
                      (result.notModified    ? std::string("not modified")
                       : result.body.empty() ? errorText
                                             : std::to_string(result.body.size()) + " bytes"));
    return result;
}

std::string UpdateFetch::serverUrl(std::string_view path) const {
    return updateServer(m_state) + std::string(path);
}

platform::HttpResponse UpdateFetch::get(const platform::HttpRequest& request) {
    std::optional<platform::HttpResponse> answer;
    const platform::Http::Id id =
        m_http.start(request, [&answer](const platform::HttpResponse& r) { answer = r; });
    // The exit ends the wait at once: the transfer is dropped, and the caller writes nothing.
    m_scheduler.runUntil([&] { return answer.has_value() || m_state.bExiting; },
                         request.timeout + kGrace);
    if (answer) {
        return *answer;
    }
    m_http.cancel(id);
    platform::HttpResponse dropped;
    dropped.error = m_state.bExiting ? "Cancelled by the exit" : "Timeout was reached";
    return dropped;
}

UpdateFetch::Job::Job(UpdateFetch& fetch) : m_fetch(fetch), m_started(!fetch.m_busy) {
    if (m_started) {
        m_fetch.m_busy = true;
    }
}

UpdateFetch::Job::~Job() {
    if (m_started) {
        m_fetch.m_busy = false;
        m_fetch.wakeWaiting();
    }
}

}  // namespace halvern::adservers

#include "platform/linux/CurlHttp.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

namespace halvern::platform {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr long kMaxRedirects = 5;

std::string lower(std::string_view text) {
    std::string out(text);
    std::ranges::transform(out, out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

/// The scheme of an address, lower-cased ("https"); empty without one.
std::string schemeOf(const std::string& url) {
    const auto colon = url.find("://");
    return colon == std::string::npos ? std::string() : lower(url.substr(0, colon));
}

/// The proxy the setting's text gives for a scheme: "host:port" serves every scheme, while
/// "http=host:port;https=host:port" names one per scheme and an address whose scheme has no entry
/// goes direct (an empty answer).
std::string proxyFor(const std::string& setting, const std::string& scheme) {
    if (setting.find('=') == std::string::npos) {
        return std::string(trim(setting));
    }
    std::string_view rest = setting;
    while (!rest.empty()) {
        const auto end = rest.find(';');
        const std::string_view entry = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const auto equals = entry.find('=');
        if (equals != std::string_view::npos && lower(trim(entry.substr(0, equals))) == scheme) {
            return std::string(trim(entry.substr(equals + 1)));
        }
    }
    return {};
}

void stripByteOrderMark(std::string& body) {
    if (body.starts_with(kByteOrderMark)) {
        body.erase(0, kByteOrderMark.size());
    }
}

/// A header value may not carry a line break into the request.
bool safeHeaderValue(const std::string& value) {
    return value.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

struct CurlTransfer {
    Http::Id id = 0;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    std::function<void(const HttpResponse&)> done;
    std::size_t maxBody = 0;
    bool truncateAtMax = false;
    bool tooBig = false;
    /// When the whole transfer, redirects included, must be over.
    Millis deadline{0};
    int redirects = 0;
    HttpResponse response;
    /// The answer waits in a callback of its own until it is handed over.
    std::optional<Scheduler::Id> delivery;
    char errorText[CURL_ERROR_SIZE] = {};
};

struct CurlHttp::Impl {
    Scheduler& scheduler;
    Options options;
    CURLM* multi = nullptr;
    std::string proxy;
    std::map<Http::Id, std::unique_ptr<CurlTransfer>> transfers;
    std::map<curl_socket_t, Scheduler::Id> watches;
    std::optional<Scheduler::Id> timer;
    Http::Id nextId = 1;

    Impl(Scheduler& loop, Options opts) : scheduler(loop), options(std::move(opts)) {
        multi = curl_multi_init();
        if (multi) {
            curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &Impl::onSocket);
            curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
            curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &Impl::onTimer);
            curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
        }
    }

    ~Impl() {
        for (auto& [id, transfer] : transfers) {
            release(*transfer);
            if (transfer->delivery) {
                scheduler.cancel(*transfer->delivery);
            }
        }
        transfers.clear();
        if (multi) {
            curl_multi_cleanup(multi);
        }
        for (const auto& [socket, watch] : watches) {
            scheduler.unwatch(watch);
        }
        if (timer) {
            scheduler.cancel(*timer);
        }
    }

    // curl asks to watch a socket for the events in `what`, or to forget it.
    static int onSocket(CURL*, curl_socket_t socket, int what, void* self, void*) {
        static_cast<Impl*>(self)->watchSocket(socket, what);
        return 0;
    }

    void watchSocket(curl_socket_t socket, int what) {
        auto it = watches.find(socket);
        if (what == CURL_POLL_REMOVE) {
            if (it != watches.end()) {
                scheduler.unwatch(it->second);
                watches.erase(it);
            }
            return;
        }
        const int events = ((what & CURL_POLL_IN) ? Scheduler::kReadable : 0) |
                           ((what & CURL_POLL_OUT) ? Scheduler::kWritable : 0);
        if (it != watches.end()) {
            scheduler.setWatchEvents(it->second, events);
            return;
        }
        watches[socket] = scheduler.watchFd(socket, events,
                                            [this, socket](int ready) { onReady(socket, ready); });
    }

    void onReady(curl_socket_t socket, int ready) {
        const int mask = ((ready & Scheduler::kReadable) ? CURL_CSELECT_IN : 0) |
                         ((ready & Scheduler::kWritable) ? CURL_CSELECT_OUT : 0);
        int running = 0;
        curl_multi_socket_action(multi, socket, mask, &running);
        collect();
    }

    // curl asks to be woken after `ms` (-1: not at all); it is woken on the loop, not inside this
    // call.
    static int onTimer(CURLM*, long ms, void* self) {
        static_cast<Impl*>(self)->setTimer(ms);
        return 0;
    }

    void setTimer(long ms) {
        if (timer) {
            scheduler.cancel(*timer);
            timer.reset();
        }
        if (ms < 0) {
            return;
        }
        timer = scheduler.callAfter(Millis(ms), [this] {
            timer.reset();
            int running = 0;
            curl_multi_socket_action(multi, CURL_SOCKET_TIMEOUT, 0, &running);
            collect();
        });
    }

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
        auto& transfer = *static_cast<CurlTransfer*>(user);
        const std::size_t length = size * count;
        const std::string_view line = trim(std::string_view(data, length));
        if (line.starts_with("HTTP/")) {
            // Each answer of a redirect chain starts afresh: only the last one counts.
            transfer.response.body.clear();
            transfer.response.etag.clear();
            transfer.response.lastModified.clear();
            return length;
        }
        const auto colon = line.find(':');
        if (colon != std::string_view::npos) {
            const std::string name = lower(trim(line.substr(0, colon)));
            const std::string_view value = trim(line.substr(colon + 1));
            if (name == "etag") {
                transfer.response.etag = value;
            } else if (name == "last-modified") {
                transfer.response.lastModified = value;
            }
        }
        return length;
    }

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
        auto& transfer = *static_cast<CurlTransfer*>(user);
        const std::size_t length = size * count;
        long status = 0;
        curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 400) {
            // An error page is not wanted: stop reading it.
            return 0;
        }
        if (status >= 300 && status < 400) {
            // A redirect's own page is skipped.
            return length;
        }
        const std::size_t room = transfer.maxBody - transfer.response.body.size();
        if (length > room) {
            // Reading stops here either way: a caller that asked for it keeps what fits.
            transfer.tooBig = true;
            if (transfer.truncateAtMax) {
                transfer.response.body.append(data, room);
            }
            return 0;
        }
        transfer.response.body.append(data, length);
        return length;
    }

    /// Sets a transfer up; false when curl cannot take it.
    bool prepare(CurlTransfer& transfer, const HttpRequest& request) {
        CURL* easy = curl_easy_init();
        if (!easy) {
            return false;
        }
        transfer.easy = easy;
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorText);
        curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
#if LIBCURL_VERSION_NUM >= 0x075500
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS);
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS);
#endif
        // Redirects are followed here, hop by hop, so that each picks its scheme's proxy.
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!options.caFile.empty()) {
            curl_easy_setopt(easy, CURLOPT_CAINFO, options.caFile.c_str());
        }
        // A timeout of 0 would mean none at all.
        const long timeout = static_cast<long>(std::max<Millis::rep>(request.timeout.count(), 1));
        const long connect = std::min(
            timeout, static_cast<long>(std::max<Millis::rep>(options.connectTimeout.count(), 1)));
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeout);
        transfer.deadline = scheduler.now() + Millis(timeout);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connect);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, options.stallBytesPerSecond);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME,
                         static_cast<long>(options.stallTime.count()));
        if (!request.truncateAtMax) {
            // A length announced over the cap fails before the body comes.
            const auto maxSize = static_cast<curl_off_t>(std::min<std::size_t>(
                request.maxBody, static_cast<std::size_t>(std::numeric_limits<curl_off_t>::max())));
            curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, maxSize);
        }
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
        if (!request.etag.empty() && safeHeaderValue(request.etag)) {
            transfer.headers =
                curl_slist_append(transfer.headers, ("If-None-Match: " + request.etag).c_str());
        }
        if (!request.lastModified.empty() && safeHeaderValue(request.lastModified)) {
            transfer.headers = curl_slist_append(
                transfer.headers, ("If-Modified-Since: " + request.lastModified).c_str());
        }
        if (transfer.headers) {
            curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers);
        }
        chooseProxy(easy, request.url);
        return curl_multi_add_handle(multi, easy) == CURLM_OK;
    }

    void chooseProxy(CURL* easy, const std::string& url) {
        if (!proxy.empty()) {
            // The setting replaces the environment entirely, its exceptions included; an empty
            // proxy means a direct connection.
            const std::string chosen = proxyFor(proxy, schemeOf(url));
            curl_easy_setopt(easy, CURLOPT_PROXY, chosen.c_str());
            curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
        }
    }

    /// Sends the transfer on to the address a redirect names; false when it is not to follow.
    bool followRedirect(CurlTransfer& transfer, long status) {
        static constexpr long kRedirects[] = {301, 302, 303, 307, 308};
        char* location = nullptr;
        if (std::ranges::find(kRedirects, status) == std::end(kRedirects) ||
            curl_easy_getinfo(transfer.easy, CURLINFO_REDIRECT_URL, &location) != CURLE_OK ||
            !location) {
            return false;
        }
        if (transfer.redirects >= kMaxRedirects) {
            transfer.response.error =
                "Maximum (" + std::to_string(kMaxRedirects) + ") redirects followed";
            return false;
        }
        const Millis left = transfer.deadline - scheduler.now();
        if (left <= Millis(0)) {
            transfer.response.error = "Timeout was reached";
            return false;
        }
        // Copied first: the address belongs to the handle.
        const std::string next = location;
        ++transfer.redirects;
        curl_multi_remove_handle(multi, transfer.easy);
        transfer.response = HttpResponse{};
        transfer.tooBig = false;
        transfer.errorText[0] = '\0';
        // The allowed protocols stay set: an address other than http or https fails.
        curl_easy_setopt(transfer.easy, CURLOPT_URL, next.c_str());
        curl_easy_setopt(transfer.easy, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
        chooseProxy(transfer.easy, next);
        if (curl_multi_add_handle(multi, transfer.easy) != CURLM_OK) {
            transfer.response.error = "The transfer could not be started";
            return false;
        }
        return true;
    }

    void release(CurlTransfer& transfer) {
        if (transfer.easy) {
            curl_multi_remove_handle(multi, transfer.easy);
            curl_easy_cleanup(transfer.easy);
            transfer.easy = nullptr;
        }
        if (transfer.headers) {
            curl_slist_free_all(transfer.headers);
            transfer.headers = nullptr;
        }
    }

    void collect() {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            CurlTransfer* transfer = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
            const CURLcode result = message->data.result;
            if (transfer) {
                finish(*transfer, result);
            }
        }
    }

    void finish(CurlTransfer& transfer, CURLcode result) {
        HttpResponse& response = transfer.response;
        long status = 0;
        curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
        if (result == CURLE_OK && followRedirect(transfer, status)) {
            return;
        }
        response.status = static_cast<int>(status);
        if (!response.error.empty()) {
            // The redirect was not followed; the reason is set.
        } else if (status >= 400) {
            response.error = "HTTP error " + std::to_string(status);
        } else if (transfer.tooBig && transfer.truncateAtMax) {
            // The body was cut at the cap on purpose: what came is the answer.
            response.ok = true;
            response.truncated = true;
            stripByteOrderMark(response.body);
        } else if (transfer.tooBig || result == CURLE_FILESIZE_EXCEEDED) {
            response.error = "Maximum file size exceeded";
        } else if (result == CURLE_OPERATION_TIMEDOUT) {
            // Connecting too long, stalling or outlasting the request's time: one text for all,
            // the one a nested wait gives when it runs out.
            response.error = "Timeout was reached";
        } else if (result != CURLE_OK) {
            response.error =
                transfer.errorText[0] != '\0' ? transfer.errorText : curl_easy_strerror(result);
        } else if (status == 304) {
            response.ok = true;
            response.notModified = true;
            response.body.clear();
        } else if (status >= 300) {
            // A redirect without an address to follow: its body is not what was asked for.
            response.error = "HTTP error " + std::to_string(status) + " without a usable Location";
        } else {
            response.ok = true;
            stripByteOrderMark(response.body);
        }
        if (!response.ok) {
            response.body.clear();
            response.etag.clear();
            response.lastModified.clear();
        }
        release(transfer);
        deliverLater(transfer);
    }

    void deliverLater(CurlTransfer& transfer) {
        const Http::Id id = transfer.id;
        transfer.delivery = scheduler.callAfter(Millis(0), [this, id] { deliver(id); });
    }

    void deliver(Http::Id id) {
        auto it = transfers.find(id);
        if (it == transfers.end()) {
            return;
        }
        // Taken out first: `done` may start, cancel or wait for other transfers.
        std::unique_ptr<CurlTransfer> transfer = std::move(it->second);
        transfers.erase(it);
        transfer->done(transfer->response);
    }
};

void CurlHttp::initGlobal() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlHttp::CurlHttp(Scheduler& scheduler) : CurlHttp(scheduler, Options{}) {}

CurlHttp::CurlHttp(Scheduler& scheduler, Options options) {
    initGlobal();
    m = std::make_unique<Impl>(scheduler, std::move(options));
}

CurlHttp::~CurlHttp() = default;

Http::Id CurlHttp::start(const HttpRequest& request,
                         std::function<void(const HttpResponse&)> done) {
    const Id id = m->nextId++;
    auto transfer = std::make_unique<CurlTransfer>();
    transfer->id = id;
    transfer->done = std::move(done);
    transfer->maxBody = request.maxBody;
    transfer->truncateAtMax = request.truncateAtMax;
    CurlTransfer& ref = *transfer;
    m->transfers.emplace(id, std::move(transfer));
    if (!m->multi || !m->prepare(ref, request)) {
        m->release(ref);
        ref.response.error = "The transfer could not be started";
        m->deliverLater(ref);
    }
    return id;
}

void CurlHttp::cancel(Id id) {
    auto it = m->transfers.find(id);
    if (it == m->transfers.end()) {
        return;
    }
    std::unique_ptr<CurlTransfer> transfer = std::move(it->second);
    m->transfers.erase(it);
    m->release(*transfer);
    if (transfer->delivery) {
        m->scheduler.cancel(*transfer->delivery);
    }
}

void CurlHttp::setProxy(const std::string& proxy) {
    m->proxy = proxy;
}

std::size_t CurlHttp::activeCount() const {
    return m->transfers.size();
}

}  // namespace halvern::platform

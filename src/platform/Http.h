#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Scheduler.h"

namespace halvern::platform {

/// One GET.
struct HttpRequest {
    std::string url;
    /// The whole request, connection included, must end within this time.
    Millis timeout{30000};
    /// A longer body is a failure, unless truncateAtMax.
    std::size_t maxBody = std::size_t{32} * 1024 * 1024;
    /// A longer body is cut at maxBody and the transfer ends there as an answer (`truncated`):
    /// for a caller that only needs to know that something came.
    bool truncateAtMax = false;
    /// Sent back for a conditional download when not empty.
    std::string etag;
    std::string lastModified;
};

/// The answer to one GET.
struct HttpResponse {
    /// True when a body (possibly empty) or "not modified" came back with a status below 400.
    bool ok = false;
    int status = 0;
    /// The body, a leading UTF-8 byte-order mark removed.
    std::string body;
    /// Why it failed ("HTTP error 404", the transfer library's text), empty on success.
    std::string error;
    /// The server answered 304 to a conditional request: nothing changed.
    bool notModified = false;
    /// The body went past the request's maxBody and was cut there (truncateAtMax only).
    bool truncated = false;
    std::string etag;
    std::string lastModified;
};

/// Internet transfers, run on the event loop. Only http and https addresses are fetched, for the
/// first request and every redirect.
class Http {
public:
    using Id = std::uint64_t;

    virtual ~Http() = default;

    /// Starts a transfer; `done` is called once, on the event loop, unless it is cancelled.
    virtual Id start(const HttpRequest& request, std::function<void(const HttpResponse&)> done) = 0;
    /// Stops a transfer without calling its `done`; unknown or finished ids are ignored.
    virtual void cancel(Id id) = 0;
    /// The proxy to use: the setting's text ("host:port", or "http=host:port;https=host:port"),
    /// or empty to follow the environment (http_proxy, https_proxy, all_proxy, no_proxy).
    virtual void setProxy(const std::string& proxy) = 0;

    /// A GET that looks blocking: the loop keeps running handlers until the answer is in.
    HttpResponse get(Scheduler& scheduler, const HttpRequest& request);
};

}  // namespace halvern::platform

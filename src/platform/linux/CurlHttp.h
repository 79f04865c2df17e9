#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/Http.h"
#include "platform/Scheduler.h"

namespace halvern::platform {

/// Transfers with libcurl's multi interface, run on the program's event loop: curl's sockets are
/// watched and its timer is scheduled on the Scheduler, so no thread is started and the loop stays
/// live while a transfer runs. Only http and https are fetched, for the first request and every
/// redirect (at most 5); certificates are verified. A transfer fails when it cannot connect in
/// time, when it stalls, when it outlasts the request's timeout, when its body outgrows the
/// request's cap ("Maximum file size exceeded", unless the request cuts it there) and when the
/// server answers with a status of 400 or more ("HTTP error 404"); every kind of timeout says
/// "Timeout was reached". `done` always runs from a callback of its own on the loop, never inside a
/// socket handler.
class CurlHttp final : public Http {
public:
    struct Options {
        /// Certificates of the authorities to trust instead of the system's (for tests).
        std::string caFile;
        /// The connection must be up within this time (and within the request's timeout).
        Millis connectTimeout{15000};
        /// A transfer slower than stallBytesPerSecond for stallTime has stalled.
        long stallBytesPerSecond = 1;
        std::chrono::seconds stallTime{20};
    };

    explicit CurlHttp(Scheduler& scheduler);
    CurlHttp(Scheduler& scheduler, Options options);
    CurlHttp(const CurlHttp&) = delete;
    CurlHttp& operator=(const CurlHttp&) = delete;
    /// Stops every transfer without calling its `done`.
    ~CurlHttp() override;

    /// Initialises libcurl once per process; call it early, before other threads start (the
    /// constructor calls it too).
    static void initGlobal();

    Id start(const HttpRequest& request, std::function<void(const HttpResponse&)> done) override;
    void cancel(Id id) override;
    void setProxy(const std::string& proxy) override;

    /// Transfers started and not yet delivered or cancelled.
    std::size_t activeCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace halvern::platform

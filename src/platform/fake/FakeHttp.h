#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Http.h"

namespace halvern::platform {

/// Scripted answers by address: each takes its `delay` of virtual time. An address without a
/// script fails as an unreachable host would. Every request is recorded in order.
class FakeHttp final : public Http {
public:
    struct Script {
        int status = 200;
        std::string body;
        Millis delay{10};
        /// Failure text instead of an answer (a refused connection, a timeout).
        std::string error;
        std::string etag;
        std::string lastModified;
    };

    explicit FakeHttp(Scheduler& scheduler) : m_scheduler(scheduler) {}

    Id start(const HttpRequest& request, std::function<void(const HttpResponse&)> done) override;
    void cancel(Id id) override;
    void setProxy(const std::string& value) override { proxy = value; }

    /// Answers for an address, used in turn; the last one repeats.
    std::map<std::string, std::vector<Script>> scripts;
    std::vector<HttpRequest> requests;
    std::string proxy;
    int active = 0;

private:
    Scheduler& m_scheduler;
    std::map<Id, Scheduler::Id> m_pending;
    std::map<std::string, std::size_t> m_used;
    Id m_nextId = 1;
};

}  // namespace halvern::platform

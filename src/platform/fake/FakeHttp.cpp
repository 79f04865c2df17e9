#include "platform/fake/FakeHttp.h"

#include <algorithm>

namespace halvern::platform {

Http::Id FakeHttp::start(const HttpRequest& request,
                         std::function<void(const HttpResponse&)> done) {
    requests.push_back(request);
    const Id id = m_nextId++;
    HttpResponse response;
    Millis delay{10};
    auto it = scripts.find(request.url);
    if (it == scripts.end() || it->second.empty()) {
        response.error = "Could not resolve host";
    } else {
        std::size_t& used = m_used[request.url];
        const Script& script = it->second[std::min(used, it->second.size() - 1)];
        ++used;
        delay = script.delay;
        if (delay > request.timeout) {
            delay = request.timeout;
            response.error = "Timeout was reached";
        } else if (!script.error.empty()) {
            response.error = script.error;
        } else if (script.status >= 400) {
            response.status = script.status;
            response.error = "HTTP error " + std::to_string(script.status);
        } else if (script.status == 304) {
            response.ok = true;
            response.status = 304;
            response.notModified = true;
        } else if (script.body.size() > request.maxBody && !request.truncateAtMax) {
            response.status = script.status;
            response.error = "Maximum file size exceeded";
        } else {
            response.ok = true;
            response.status = script.status;
            response.body = script.body;
            if (response.body.size() > request.maxBody) {
                response.body.resize(request.maxBody);
                response.truncated = true;
            }
            if (response.body.starts_with("\xEF\xBB\xBF")) {
                response.body.erase(0, 3);
            }
            response.etag = script.etag;
            response.lastModified = script.lastModified;
        }
    }
    ++active;
    m_pending[id] = m_scheduler.callAfter(delay, [this, id, response, done] {
        m_pending.erase(id);
        --active;
        done(response);
    });
    return id;
}

void FakeHttp::cancel(Id id) {
    auto it = m_pending.find(id);
    if (it != m_pending.end()) {
        m_scheduler.cancel(it->second);
        m_pending.erase(it);
        --active;
    }
}

}  // namespace halvern::platform

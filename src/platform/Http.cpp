#include "platform/Http.h"

#include <optional>

namespace halvern::platform {

HttpResponse Http::get(Scheduler& scheduler, const HttpRequest& request) {
    std::optional<HttpResponse> answer;
    const Id id = start(request, [&answer](const HttpResponse& response) { answer = response; });
    // The transfer has its own time limit; the loop's limit only guards against a backend that
    // never answers.
    if (!scheduler.runUntil([&answer] { return answer.has_value(); },
                            request.timeout + Millis(5000))) {
        cancel(id);
        HttpResponse timedOut;
        timedOut.error = "Timeout was reached";
        return timedOut;
    }
    return *answer;
}

}  // namespace halvern::platform

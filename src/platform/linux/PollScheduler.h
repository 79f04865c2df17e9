#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

#include "platform/Scheduler.h"

namespace halvern::platform {

/// A poll()-based event loop on the real clock, for tests, benchmarks and tools without Qt.
/// Callbacks due at the same moment run in the order they were scheduled. Handlers may cancel or
/// unwatch anything, themselves included, while the loop dispatches.
class PollScheduler final : public Scheduler {
public:
    PollScheduler();

    Millis now() const override;
    LocalTime localTime() const override;
    Id callAfter(Millis delay, Callback callback) override;
    void cancel(Id id) override;
    Id watchFd(int fd, int events, std::function<void(int ready)> handler) override;
    void setWatchEvents(Id id, int events) override;
    void unwatch(Id id) override;
    /// Runs the callbacks due now and the handlers of descriptors ready now, without waiting.
    void pump() override;
    /// Runs the loop until the duration has passed.
    void wait(Millis duration) override;
    bool runUntil(const std::function<bool()>& done, Millis limit) override;

    /// Runs the loop until a handler calls stop().
    void run();
    /// Makes run() return after the current handler.
    void stop() { m_stopRequested = true; }
    /// Callbacks waiting to run.
    std::size_t pendingCount() const { return m_timers.size(); }

private:
    struct Watch {
        int fd;
        int events;
        std::function<void(int)> handler;
        bool running = false;
    };
    /// Runs due callbacks, then waits up to timeout (capped by the next callback) for
    /// descriptors and runs their handlers.
    void step(Millis timeout);
    /// Runs the callbacks due now; true when one ran.
    bool runDueTimers();
    void pollWatches(Millis timeout);
    void dispatch(Id id, int ready);

    std::chrono::steady_clock::time_point m_origin;
    Id m_lastId = 0;
    // (due time, id) orders same-time callbacks by scheduling order.
    std::map<std::pair<Millis, Id>, Callback> m_timers;
    std::unordered_map<Id, Millis> m_timerDue;
    std::map<Id, std::shared_ptr<Watch>> m_watches;
    bool m_stopRequested = false;
};

}  // namespace halvern::platform

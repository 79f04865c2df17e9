#pragma once

#include <map>
#include <utility>

#include "platform/Scheduler.h"

namespace halvern::platform {

/// A virtual clock: nothing happens until a test advances it. Callbacks run in time order, and
/// those due at the same moment in the order they were scheduled.
class FakeScheduler final : public Scheduler {
public:
    Millis now() const override { return m_now; }
    LocalTime localTime() const override;
    Id callAfter(Millis delay, Callback callback) override;
    void cancel(Id id) override;
    Id watchFd(int fd, int events, std::function<void(int)> handler) override;
    void setWatchEvents(Id id, int events) override;
    void unwatch(Id id) override;
    /// Runs the callbacks due now and polls the watched descriptors once, without waiting.
    void pump() override;
    /// Advances the virtual clock, running every callback that falls due on the way.
    void wait(Millis duration) override { advance(duration); }
    /// Advances the virtual clock callback by callback until `done` answers true or the limit.
    bool runUntil(const std::function<bool()>& done, Millis limit) override;

    /// Moves the clock forward, running due callbacks at their own times.
    void advance(Millis duration);
    /// Sets the wall-clock time that localTime() starts from (it moves with the clock).
    void setLocalTime(LocalTime time) { m_wallStart = time, m_wallOrigin = m_now; }
    /// Callbacks waiting to run.
    std::size_t pendingCount() const { return m_queue.size(); }
    /// How often pump() ran: how often a long step let pending messages run.
    std::size_t pumpCount() const { return m_pumpCount; }

private:
    struct Watch {
        int fd;
        int events;
        std::function<void(int)> handler;
        bool running = false;
    };
    /// Runs the callbacks due now, up to the id given (by default every one, new ones included).
    void runDue(Id lastBefore = static_cast<Id>(-1));
    void pollWatches();

    Millis m_now{0};
    Millis m_wallOrigin{0};
    std::size_t m_pumpCount = 0;
    LocalTime m_wallStart{2026, 12, 10, 9, 0, 0};
    Id m_lastId = 0;
    // (due time, id) orders same-time callbacks by scheduling order.
    std::map<std::pair<Millis, Id>, Callback> m_queue;
    std::map<Id, Watch> m_watches;
};

}  // namespace halvern::platform

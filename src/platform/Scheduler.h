#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace halvern::platform {

using Millis = std::chrono::milliseconds;

/// The wall-clock time of day and date, as the user's clock shows it.
struct LocalTime {
    int year = 2001;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

/// The one event loop: time, one-shot callbacks, file-descriptor watches and DoEvents.
class Scheduler {
public:
    using Callback = std::function<void()>;
    using Id = std::uint64_t;
    enum FdEvents : int { kReadable = 1, kWritable = 2 };

    virtual ~Scheduler() = default;

    /// Monotonic time since an arbitrary origin.
    virtual Millis now() const = 0;
    /// The local time of day, for time stamps.
    virtual LocalTime localTime() const = 0;

    /// Runs the callback once, on the loop, after the delay; returns an id for cancel().
    virtual Id callAfter(Millis delay, Callback callback) = 0;
    /// Forgets a pending callback; unknown or finished ids are ignored.
    virtual void cancel(Id id) = 0;

    /// Calls the handler on the loop whenever the descriptor is ready for the given events.
    virtual Id watchFd(int fd, int events, std::function<void(int ready)> handler) = 0;
    /// Changes the events a watch waits for (0 pauses it).
    virtual void setWatchEvents(Id id, int events) = 0;
    virtual void unwatch(Id id) = 0;

    /// Runs whatever is due now, then returns (the old DoEvents).
    virtual void pump() = 0;
    /// Lets the given time pass while the loop keeps running handlers (a Sleep that keeps the
    /// window live).
    virtual void wait(Millis duration) = 0;
    /// Keeps the loop running handlers until `done` answers true or the limit has passed (a
    /// nested wait for a transfer or a child); returns what `done` answers at the end.
    virtual bool runUntil(const std::function<bool()>& done, Millis limit) = 0;
};

}  // namespace halvern::platform

#pragma once

#include <QObject>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

#include "platform/Scheduler.h"

class QEventLoop;
class QSocketNotifier;
class QTimer;

namespace halvern::platform {

/// The scheduler on Qt's event loop: precise single-shot timers, socket notifiers for
/// descriptors, processEvents for DoEvents and a nested event loop for a live wait.
///
/// A timer is a bare timer id of one QObject rather than a QTimer of its own: a timer that
/// ticks many times a second then costs neither an object nor a deferred delete per tick.
class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    Millis now() const override;
    LocalTime localTime() const override;
    Id callAfter(Millis delay, Callback callback) override;
    void cancel(Id id) override;
    Id watchFd(int fd, int events, std::function<void(int ready)> handler) override;
    void setWatchEvents(Id id, int events) override;
    void unwatch(Id id) override;
    void pump() override;
    void wait(Millis duration) override;
    bool runUntil(const std::function<bool()>& done, Millis limit) override;

    /// Ends every wait now in progress at once, as when the program is stopped during one; later
    /// waits last their full time again.
    void interrupt();

private:
    struct Watch {
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
        std::shared_ptr<std::function<void(int)>> handler;
        int events = 0;
        bool running = false;
    };
    void enableNotifiers(Watch& watch);
    void fire(int qtTimer);
    void notify(Id id, int ready);
    void retire(std::unique_ptr<QSocketNotifier>& notifier);

    /// Owns the timer ids and hands their events to fire().
    class TimerHost final : public QObject {
    public:
        explicit TimerHost(QtScheduler& owner) : m_owner(owner) {}

    protected:
        void timerEvent(QTimerEvent* event) override;

    private:
        QtScheduler& m_owner;
    };

    QObject m_context;
    TimerHost m_timerHost{*this};
    std::chrono::steady_clock::time_point m_origin = std::chrono::steady_clock::now();
    /// The local time of the last second asked for: a burst of stamps reads the zone once.
    mutable std::time_t m_localSecond = -1;
    mutable LocalTime m_local{};
    Id m_lastId = 0;
    struct Pending {
        int qtTimer = 0;
        Callback callback;
    };
    std::map<Id, Pending> m_timers;
    /// Qt's timer id to ours.
    std::map<int, Id> m_byQtTimer;
    std::map<Id, Watch> m_watches;
    std::vector<QEventLoop*> m_waits;
    bool m_interrupted = false;
};

}  // namespace halvern::platform

#include "platform/qt/QtScheduler.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <QTimerEvent>

namespace halvern::platform {

QtScheduler::QtScheduler() = default;

// The notifiers die before m_context, and with it the retired notifiers; the timers end with
// m_timerHost.
QtScheduler::~QtScheduler() {
    m_watches.clear();
}

Millis QtScheduler::now() const {
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - m_origin);
}

LocalTime QtScheduler::localTime() const {
    // The zone is read again each new second, so a change of it shows within a second.
    const std::time_t second = std::time(nullptr);
    if (second != m_localSecond) {
        const QDateTime now = QDateTime::fromSecsSinceEpoch(second);
        const QDate date = now.date();
        const QTime time = now.time();
        m_local = {date.year(), date.month(),  date.day(),
                   time.hour(), time.minute(), time.second()};
        m_localSecond = second;
    }
    return m_local;
}

Scheduler::Id QtScheduler::callAfter(Millis delay, Callback callback) {
    const Id id = ++m_lastId;
    const int qtTimer = m_timerHost.startTimer(
        static_cast<int>(std::max<Millis::rep>(delay.count(), 0)), Qt::PreciseTimer);
    if (qtTimer == 0) {
        // No event dispatcher (no application object yet): nothing can ever run it.
        return id;
    }
    m_timers.emplace(id, Pending{qtTimer, std::move(callback)});
    m_byQtTimer.emplace(qtTimer, id);
    return id;
}

void QtScheduler::TimerHost::timerEvent(QTimerEvent* event) {
    m_owner.fire(event->timerId());
}

void QtScheduler::fire(int qtTimer) {
    // Single-shot: the Qt timer ends before anything else happens.
    m_timerHost.killTimer(qtTimer);
    const auto byQt = m_byQtTimer.find(qtTimer);
    if (byQt == m_byQtTimer.end()) {
        return;
    }
    const auto it = m_timers.find(byQt->second);
    m_byQtTimer.erase(byQt);
    if (it == m_timers.end()) {
        return;
    }
    // The entry goes before the callback runs, so the callback may schedule or cancel freely.
    Callback callback = std::move(it->second.callback);
    m_timers.erase(it);
    callback();
}

void QtScheduler::cancel(Id id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        return;
    }
    m_timerHost.killTimer(it->second.qtTimer);
    m_byQtTimer.erase(it->second.qtTimer);
    m_timers.erase(it);
}

Scheduler::Id QtScheduler::watchFd(int fd, int events, std::function<void(int)> handler) {
    const Id id = ++m_lastId;
    Watch watch;
    watch.read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    watch.write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    watch.handler = std::make_shared<std::function<void(int)>>(std::move(handler));
    QObject::connect(watch.read.get(), &QSocketNotifier::activated, &m_context,
                     [this, id] { notify(id, kReadable); });
    QObject::connect(watch.write.get(), &QSocketNotifier::activated, &m_context,
                     [this, id] { notify(id, kWritable); });
    m_watches.emplace(id, std::move(watch));
    setWatchEvents(id, events);
    return id;
}

void QtScheduler::setWatchEvents(Id id, int events) {
    auto it = m_watches.find(id);
    if (it == m_watches.end()) {
        return;
    }
    it->second.events = events;
    if (!it->second.running) {
        enableNotifiers(it->second);
    }
}

void QtScheduler::enableNotifiers(Watch& watch) {
    watch.read->setEnabled((watch.events & kReadable) != 0);
    watch.write->setEnabled((watch.events & kWritable) != 0);
}

void QtScheduler::notify(Id id, int ready) {
    auto it = m_watches.find(id);
    if (it == m_watches.end()) {
        return;
    }
    if (it->second.running) {
        return;
    }
    // A handler that runs the loop is not called again for its own descriptor meanwhile: its
    // notifiers rest until it returns. Held by a copy: the handler may unwatch its descriptor.
    const auto handler = it->second.handler;
    it->second.running = true;
    it->second.read->setEnabled(false);
    it->second.write->setEnabled(false);
    (*handler)(ready);
    if (auto after = m_watches.find(id); after != m_watches.end()) {
        after->second.running = false;
        enableNotifiers(after->second);
    }
}

void QtScheduler::unwatch(Id id) {
    auto it = m_watches.find(id);
    if (it == m_watches.end()) {
        return;
    }
    retire(it->second.read);
    retire(it->second.write);
    m_watches.erase(it);
}

void QtScheduler::retire(std::unique_ptr<QSocketNotifier>& notifier) {
    // A notifier may be retired from inside its own activated signal, so Qt deletes it later;
    // the parent makes sure it goes with the scheduler should the loop not run again.
    notifier->setEnabled(false);
    notifier->setParent(&m_context);
    notifier.release()->deleteLater();
}

void QtScheduler::pump() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtScheduler::wait(Millis duration) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::max<Millis::rep>(duration.count(), 0)),
                       Qt::PreciseTimer, &loop, &QEventLoop::quit);
    m_waits.push_back(&loop);
    loop.exec();
    std::erase(m_waits, &loop);
}

bool QtScheduler::runUntil(const std::function<bool()>& done, Millis limit) {
    // A nested loop that looks at `done` after every batch of events; the timer wakes it at the
    // limit, and interrupt() ends it like a wait.
    QEventLoop loop;
    bool ended = false;
    QTimer limitTimer;
    limitTimer.setSingleShot(true);
    limitTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limitTimer, &QTimer::timeout, &loop, [&ended] { ended = true; });
    limitTimer.start(static_cast<int>(std::max<Millis::rep>(limit.count(), 0)));
    m_waits.push_back(&loop);
    m_interrupted = false;
    while (!done() && !ended && !m_interrupted) {
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    std::erase(m_waits, &loop);
    return done();
}

void QtScheduler::interrupt() {
    m_interrupted = true;
    for (QEventLoop* loop : m_waits) {
        loop->quit();
    }
}

}  // namespace halvern::platform

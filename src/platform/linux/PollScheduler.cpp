#include "platform/linux/PollScheduler.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

namespace halvern::platform {

namespace {

short toPollEvents(int events) {
    short mask = 0;
    if (events & Scheduler::kReadable) {
        mask |= POLLIN;
    }
    if (events & Scheduler::kWritable) {
        mask |= POLLOUT;
    }
    return mask;
}

}  // namespace

PollScheduler::PollScheduler() : m_origin(std::chrono::steady_clock::now()) {}

Millis PollScheduler::now() const {
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - m_origin);
}

LocalTime PollScheduler::localTime() const {
    std::time_t seconds = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&seconds, &parts);
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

Scheduler::Id PollScheduler::callAfter(Millis delay, Callback callback) {
    Id id = ++m_lastId;
    Millis due = now() + std::max(delay, Millis(0));
    m_timers.emplace(std::make_pair(due, id), std::move(callback));
    m_timerDue.emplace(id, due);
    return id;
}

void PollScheduler::cancel(Id id) {
    auto it = m_timerDue.find(id);
    if (it == m_timerDue.end()) {
        return;
    }
    m_timers.erase({it->second, id});
    m_timerDue.erase(it);
}

Scheduler::Id PollScheduler::watchFd(int fd, int events, std::function<void(int)> handler) {
    Id id = ++m_lastId;
    m_watches.emplace(id, std::make_shared<Watch>(Watch{fd, events, std::move(handler)}));
    return id;
}

void PollScheduler::setWatchEvents(Id id, int events) {
    if (auto it = m_watches.find(id); it != m_watches.end()) {
        it->second->events = events;
    }
}

void PollScheduler::unwatch(Id id) {
    m_watches.erase(id);
}

void PollScheduler::pump() {
    step(Millis(0));
}

void PollScheduler::wait(Millis duration) {
    const Millis deadline = now() + duration;
    for (Millis left = duration; left > Millis(0); left = deadline - now()) {
        step(left);
    }
    runDueTimers();
}

bool PollScheduler::runUntil(const std::function<bool()>& done, Millis limit) {
    const Millis deadline = now() + limit;
    for (Millis left = limit; !done(); left = deadline - now()) {
        if (left <= Millis(0)) {
            return done();
        }
        step(left);
    }
    return true;
}

void PollScheduler::run() {
    while (!m_stopRequested) {
        step(Millis(-1));
    }
    m_stopRequested = false;
}

void PollScheduler::step(Millis timeout) {
    if (runDueTimers()) {
        // A callback ran and may have ended a wait: look at the descriptors without blocking, so
        // runUntil sees it at once.
        timeout = Millis(0);
    }
    if (!m_timers.empty()) {
        Millis untilNext = std::max(m_timers.begin()->first.first - now(), Millis(0));
        timeout = timeout < Millis(0) ? untilNext : std::min(timeout, untilNext);
    }
    pollWatches(timeout);
}

bool PollScheduler::runDueTimers() {
    bool ran = false;
    // Callbacks scheduled while this pass runs wait for the next pass, so a callback that
    // schedules itself with no delay cannot hold the loop.
    const Id lastBefore = m_lastId;
    const Millis at = now();
    for (auto it = m_timers.begin(); it != m_timers.end() && it->first.first <= at;) {
        if (it->first.second > lastBefore) {
            ++it;
            continue;
        }
        Callback callback = std::move(it->second);
        m_timerDue.erase(it->first.second);
        m_timers.erase(it);
        callback();
        ran = true;
        // The callback may have cancelled anything: start again from the earliest.
        it = m_timers.begin();
    }
    return ran;
}

void PollScheduler::pollWatches(Millis timeout) {
    std::vector<pollfd> fds;
    std::vector<Id> ids;
    for (const auto& [id, watch] : m_watches) {
        if (watch->events != 0 && !watch->running) {
            fds.push_back(pollfd{watch->fd, toPollEvents(watch->events), 0});
            ids.push_back(id);
        }
    }
    int ms = timeout < Millis(0)
                 ? -1
                 : static_cast<int>(std::min<Millis::rep>(timeout.count(), 1 << 30));
    int count = ::poll(fds.data(), fds.size(), ms);
    if (count <= 0) {
        return;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
        short got = fds[i].revents;
        if (got == 0) {
            continue;
        }
        if (got & POLLNVAL) {
            // A descriptor closed without unwatch would make every poll return at once.
            setWatchEvents(ids[i], 0);
            continue;
        }
        // Hang-up and error wake the handler for whatever it waits for, so it meets the end or
        // the error in its own read or write.
        int ready = (got & (POLLHUP | POLLERR)) ? (kReadable | kWritable) : 0;
        if (got & POLLIN) {
            ready |= kReadable;
        }
        if (got & POLLOUT) {
            ready |= kWritable;
        }
        dispatch(ids[i], ready);
    }
}

void PollScheduler::dispatch(Id id, int ready) {
    auto it = m_watches.find(id);
    if (it == m_watches.end()) {
        return;
    }
    // Holding the watch keeps its handler alive even if the handler unwatches itself.
    std::shared_ptr<Watch> watch = it->second;
    // An earlier handler of this pass may have paused or changed the watch.
    ready &= watch->events;
    if (ready == 0 || watch->running) {
        return;
    }
    watch->running = true;
    watch->handler(ready);
    watch->running = false;
}

}  // namespace halvern::platform

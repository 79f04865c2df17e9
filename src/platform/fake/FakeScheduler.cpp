#include "platform/fake/FakeScheduler.h"

#include <poll.h>

#include <vector>

namespace halvern::platform {

LocalTime FakeScheduler::localTime() const {
    LocalTime t = m_wallStart;
    long long seconds =
        t.hour * 3600LL + t.minute * 60LL + t.second +
        std::chrono::duration_cast<std::chrono::seconds>(m_now - m_wallOrigin).count();
    t.hour = static_cast<int>((seconds / 3600) % 24);
    t.minute = static_cast<int>((seconds / 60) % 60);
    t.second = static_cast<int>(seconds % 60);
    return t;
}

Scheduler::Id FakeScheduler::callAfter(Millis delay, Callback callback) {
    const Id id = ++m_lastId;
    m_queue.emplace(std::make_pair(m_now + std::max(delay, Millis(0)), id), std::move(callback));
    return id;
}

void FakeScheduler::cancel(Id id) {
    std::erase_if(m_queue, [id](const auto& entry) { return entry.first.second == id; });
}

Scheduler::Id FakeScheduler::watchFd(int fd, int events, std::function<void(int)> handler) {
    const Id id = ++m_lastId;
    m_watches.emplace(id, Watch{fd, events, std::move(handler)});
    return id;
}

void FakeScheduler::setWatchEvents(Id id, int events) {
    if (auto it = m_watches.find(id); it != m_watches.end()) {
        it->second.events = events;
    }
}

void FakeScheduler::unwatch(Id id) {
    m_watches.erase(id);
}

void FakeScheduler::pump() {
    ++m_pumpCount;
    // As on the real loop, callbacks scheduled while this pass runs wait for the next pass, so
    // one that schedules itself without delay cannot hold the pump.
    runDue(m_lastId);
    pollWatches();
}

void FakeScheduler::advance(Millis duration) {
    const Millis end = m_now + duration;
    while (!m_queue.empty() && m_queue.begin()->first.first <= end) {
        m_now = std::max(m_now, m_queue.begin()->first.first);
        runDue();
    }
    m_now = std::max(m_now, end);  // a nested wait may have gone further
    pollWatches();
}

bool FakeScheduler::runUntil(const std::function<bool()>& done, Millis limit) {
    const Millis end = m_now + limit;
    pollWatches();
    while (!done()) {
        if (m_queue.empty() || m_queue.begin()->first.first > end) {
            m_now = std::max(m_now, end);
            pollWatches();
            return done();
        }
        m_now = std::max(m_now, m_queue.begin()->first.first);
        runDue();
        pollWatches();
    }
    return true;
}

void FakeScheduler::runDue(Id lastBefore) {
    for (auto it = m_queue.begin(); it != m_queue.end() && it->first.first <= m_now;) {
        if (it->first.second > lastBefore) {
            ++it;
            continue;
        }
        auto node = m_queue.extract(it);
        node.mapped()();
        // The callback may have cancelled anything: start again from the earliest.
        it = m_queue.begin();
    }
}

void FakeScheduler::pollWatches() {
    // Real descriptors (loopback sockets in tests) are polled without waiting.
    std::vector<Id> ids;
    for (const auto& [id, watch] : m_watches) {
        ids.push_back(id);
    }
    for (Id id : ids) {
        auto it = m_watches.find(id);
        if (it == m_watches.end() || it->second.events == 0 || it->second.running) {
            continue;
        }
        pollfd p{it->second.fd, 0, 0};
        if (it->second.events & kReadable)
            p.events |= POLLIN;
        if (it->second.events & kWritable)
            p.events |= POLLOUT;
        if (::poll(&p, 1, 0) <= 0) {
            continue;
        }
        // Hang-up and error wake the handler for whatever it waits for, and a handler hears only
        // the events it waits for.
        int ready = (p.revents & (POLLHUP | POLLERR)) ? (kReadable | kWritable) : 0;
        if (p.revents & POLLIN)
            ready |= kReadable;
        if (p.revents & POLLOUT)
            ready |= kWritable;
        ready &= it->second.events;
        if (ready == 0) {
            continue;
        }
        // A handler that runs the loop is not called again for its own descriptor meanwhile;
        // the copy keeps the handler alive should it unwatch itself.
        auto handler = it->second.handler;
        it->second.running = true;
        handler(ready);
        if (auto after = m_watches.find(id); after != m_watches.end()) {
            after->second.running = false;
        }
    }
}

}  // namespace halvern::platform

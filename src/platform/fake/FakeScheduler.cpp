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
    runDue();
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

void FakeScheduler::runDue() {
    while (!m_queue.empty() && m_queue.begin()->first.first <= m_now) {
        auto node = m_queue.extract(m_queue.begin());
        node.mapped()();
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
        if (it == m_watches.end() || it->second.events == 0) {
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
        int ready = 0;
        if (p.revents & (POLLIN | POLLHUP | POLLERR))
            ready |= kReadable;
        if (p.revents & (POLLOUT | POLLERR))
            ready |= kWritable;
        auto handler = it->second.handler;
        handler(ready);
    }
}

}  // namespace halvern::platform

#include "platform/fake/FakeInputDevice.h"

#include <iterator>
#include <utility>

namespace halvern::platform {

void FakeInputDevice::watch(const std::vector<int>& keys) {
    watched = std::set<int>(keys.begin(), keys.end());
    // No state is kept for a key no longer watched.
    for (auto it = m_latched.begin(); it != m_latched.end();) {
        it = watched.count(*it) ? std::next(it) : m_latched.erase(it);
    }
}

void FakeInputDevice::drain() {
    ++drains;
    const std::vector<int> queue = std::exchange(m_queue, {});
    for (int key : queue) {
        deliver(key);
    }
}

bool FakeInputDevice::pressedSinceLastQuery(int key) {
    queries.push_back(key);
    return m_latched.erase(key) != 0;
}

bool FakeInputDevice::anythingPending() const {
    if (!m_latched.empty()) {
        return true;
    }
    for (int key : m_down) {
        if (watched.count(key)) {
            return true;
        }
    }
    return false;
}

void FakeInputDevice::press(int key) {
    if (m_down.count(key)) {
        return;  // a held key repeats no press
    }
    m_down.insert(key);
    if (queued) {
        m_queue.push_back(key);
        return;
    }
    deliver(key);
}

void FakeInputDevice::release(int key) {
    m_down.erase(key);
}

void FakeInputDevice::tap(int key) {
    press(key);
    release(key);
}

void FakeInputDevice::deliver(int key) {
    if (!watched.count(key)) {
        return;
    }
    m_latched.insert(key);
    if (onPress) {
        onPress();
    }
}

}  // namespace halvern::platform

#include "platform/fake/FakeInputDevice.h"

#include <utility>

namespace halvern::platform {

void FakeInputDevice::watch(const std::vector<int>& keys) {
    watched = std::set<int>(keys.begin(), keys.end());
    // No state is kept for a key no longer watched.
    std::erase_if(m_latched, [this](int key) { return !watched.contains(key); });
    std::erase_if(m_down, [this](int key) { return !watched.contains(key); });
}

void FakeInputDevice::drain() {
    ++drains;
    const std::vector<Stroke> queue = std::exchange(m_queue, {});
    for (const Stroke& stroke : queue) {
        deliver(stroke);
    }
}

bool FakeInputDevice::pressedSinceLastQuery(int key) {
    queries.push_back(key);
    return m_latched.erase(key) != 0;
}

bool FakeInputDevice::anythingPending() const {
    return !m_latched.empty() || !m_down.empty();
}

void FakeInputDevice::press(int key) {
    if (!m_held.insert(key).second) {
        return;  // a held key repeats no press
    }
    if (queued) {
        m_queue.push_back({key, true});
        return;
    }
    deliver({key, true});
}

void FakeInputDevice::release(int key) {
    if (m_held.erase(key) == 0) {
        return;
    }
    if (queued) {
        m_queue.push_back({key, false});
        return;
    }
    deliver({key, false});
}

void FakeInputDevice::tap(int key) {
    press(key);
    release(key);
}

void FakeInputDevice::deliver(const Stroke& stroke) {
    if (!stroke.press) {
        m_down.erase(stroke.key);
        return;
    }
    if (!watched.contains(stroke.key)) {
        return;
    }
    m_down.insert(stroke.key);
    m_latched.insert(stroke.key);
    if (onPress) {
        onPress();
    }
}

}  // namespace halvern::platform

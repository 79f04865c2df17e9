#pragma once

#include <set>
#include <vector>

#include "platform/InputDevice.h"

namespace halvern::platform {

/// A scripted mouse and keyboard: tests press and release keys; presses and releases reach the
/// device at once, or only at the next drain() when `queued` is set (the display's queue). As on
/// a display, only watched keys keep a down flag and a latch: a key pressed while unwatched is
/// not down once it is watched.
class FakeInputDevice final : public InputDevice {
public:
    bool available() const override { return present; }
    void watch(const std::vector<int>& keys) override;
    void drain() override;
    bool pressedSinceLastQuery(int key) override;
    bool isDown(int key) const override { return m_down.contains(key); }
    bool anythingPending() const override;

    /// The user presses or releases a key (virtual-key code); tap() does both.
    void press(int key);
    void release(int key);
    void tap(int key);

    bool present = true;
    /// Presses wait in the display's queue until drain().
    bool queued = false;
    std::set<int> watched;
    /// Every key queried, in order.
    std::vector<int> queries;
    int drains = 0;

private:
    struct Stroke {
        int key = 0;
        bool press = false;
    };
    void deliver(const Stroke& stroke);
    /// The keys the user holds, watched or not.
    std::set<int> m_held;
    /// The watched keys the device saw go down.
    std::set<int> m_down;
    std::set<int> m_latched;
    std::vector<Stroke> m_queue;
};

}  // namespace halvern::platform

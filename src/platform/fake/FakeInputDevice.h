#pragma once

#include <set>
#include <vector>

#include "platform/InputDevice.h"

namespace halvern::platform {

/// A scripted mouse and keyboard: tests press and release keys; presses reach the latches of
/// watched keys at once, or only at the next drain() when `queued` is set (the display's queue).
class FakeInputDevice final : public InputDevice {
public:
    bool available() const override { return present; }
    void watch(const std::vector<int>& keys) override;
    void drain() override;
    bool pressedSinceLastQuery(int key) override;
    bool isDown(int key) const override { return m_down.count(key) != 0; }
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
    void deliver(int key);
    std::set<int> m_down;
    std::set<int> m_latched;
    std::vector<int> m_queue;
};

}  // namespace halvern::platform

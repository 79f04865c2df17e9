#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/InputDevice.h"
#include "platform/Scheduler.h"

namespace halvern::platform {

/// The mouse and keyboard of an X display, read from XInput2 raw events on the root window of
/// every master device: seen wherever the focus is, with no grab, so no program loses a key. A
/// connection of its own is read on the scheduler and by drain(). Only the watched buttons and
/// keys keep any state; every other key is dropped as it arrives, never stored. Keys are
/// recognised by their keysym through the display's keyboard map, read again when it changes.
/// xcb headers stay in the source file.
class XInputDevice final : public InputDevice {
public:
    /// Connects to `displayName`, or to $DISPLAY when empty; not available() when that fails or
    /// the display has no XInput 2.
    explicit XInputDevice(Scheduler& scheduler, const std::string& displayName = {});
    ~XInputDevice() override;
    XInputDevice(const XInputDevice&) = delete;
    XInputDevice& operator=(const XInputDevice&) = delete;

    bool available() const override;
    void watch(const std::vector<int>& keys) override;
    void drain() override;
    bool pressedSinceLastQuery(int key) override;
    bool isDown(int key) const override;
    bool anythingPending() const override;

private:
    class Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace halvern::platform

#pragma once

#include <functional>
#include <vector>

namespace halvern::platform {

/// The old virtual-key codes of the mouse buttons and keys the program watches.
namespace vk {
inline constexpr int kLButton = 1;
inline constexpr int kRButton = 2;
inline constexpr int kMButton = 4;
inline constexpr int kXButton1 = 5;
inline constexpr int kXButton2 = 6;
inline constexpr int kBack = 8;
inline constexpr int kTab = 9;
inline constexpr int kClear = 12;
inline constexpr int kReturn = 13;
inline constexpr int kShift = 16;
inline constexpr int kControl = 17;
inline constexpr int kMenu = 18;  ///< Alt
inline constexpr int kF1 = 112;
inline constexpr int kF12 = 123;
}  // namespace vk

/// The user's mouse buttons and keys, seen wherever the focus is and taken from no program.
/// Each watched key has a latch, set when the key is pressed and cleared when it is queried: a
/// press is seen once, however short it was and however long it is held.
class InputDevice {
public:
    virtual ~InputDevice() = default;

    /// False when there is no device to read (no display, no input extension).
    virtual bool available() const = 0;
    /// The keys to watch (virtual-key codes); no state is kept for any other key.
    virtual void watch(const std::vector<int>& keys) = 0;
    /// Takes in every press the device has already received, so that a query right after sees
    /// a press made a moment ago.
    virtual void drain() = 0;
    /// Whether the key was pressed since its last query; clears its latch.
    virtual bool pressedSinceLastQuery(int key) = 0;
    /// Whether the key is down now.
    virtual bool isDown(int key) const = 0;
    /// Whether any latch is set or any watched key is down: a poll would find something.
    virtual bool anythingPending() const = 0;

    /// Called on the event loop when a watched key is pressed (lets a sleeping poll wake).
    std::function<void()> onPress;
};

}  // namespace halvern::platform

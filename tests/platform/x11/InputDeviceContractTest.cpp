// The same cases against the fake input device and the XInput2 one on a private Xvfb display
// driven by XTest, so the fake the key poll is tested on cannot drift from what a display does.

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <vector>

#include "X11TestSupport.h"
#include "XTestInput.h"
#include "platform/fake/FakeInputDevice.h"
#include "platform/linux/PollScheduler.h"
#include "platform/x11/RawInputMap.h"
#include "platform/x11/XInputDevice.h"

namespace halvern::platform {
namespace {

using namespace std::chrono_literals;

/// A key or a pointer button as the display knows it: a keysym or a button number.
struct Stroke {
    bool button = false;
    unsigned code = 0;
};

constexpr Stroke button(unsigned number) {
    return {true, number};
}
constexpr Stroke key(unsigned keysym) {
    return {false, keysym};
}

/// Every code the device knows, watched at once.
const std::vector<int> kAllCodes = {
    vk::kLButton, vk::kRButton, vk::kMButton, vk::kXButton1, vk::kXButton2, vk::kBack,
    vk::kTab,     vk::kClear,   vk::kReturn,  vk::kShift,    vk::kControl,  vk::kMenu,
    112,          113,          114,          115,           116,           117,
    118,          119,          120,          121,           122,           vk::kF12};

/// The settling tap: once its press and release are seen, so is everything sent before it.
constexpr Stroke kSentinel = key(XK_Tab);

/// The fake: strokes become virtual-key codes through the display's map; a key that has none is
/// a code no one watches.
class FakeSide {
public:
    InputDevice& device() { return m_device; }
    void watch(std::vector<int> keys) {
        keys.push_back(vk::kTab);
        m_device.watch(keys);
    }
    void press(Stroke stroke) { m_device.press(code(stroke)); }
    void release(Stroke stroke) { m_device.release(code(stroke)); }
    void settle() {
        m_device.tap(code(kSentinel));
        m_device.pressedSinceLastQuery(vk::kTab);
    }
    bool waitFor(const std::function<bool()>& done) { return done(); }
    /// Presses a key that waits, unread, in the display's queue.
    void pressUnread(Stroke stroke) {
        m_device.queued = true;
        press(stroke);
        m_device.queued = false;
    }
    bool drainUntilArrived() {
        m_device.drain();
        return m_device.anythingPending();
    }
    bool makeRightAltAltGr() {
        m_remapped[XK_Alt_R] = XK_ISO_Level3_Shift;
        return true;
    }

private:
    int code(Stroke stroke) const {
        if (stroke.button) {
            const int vk = virtualKeyOfButton(stroke.code);
            return vk != 0 ? vk : -static_cast<int>(stroke.code);
        }
        const auto remapped = m_remapped.find(stroke.code);
        const unsigned keysym = remapped != m_remapped.end() ? remapped->second : stroke.code;
        const int vk = virtualKeyOfKeysym(keysym);
        return vk != 0 ? vk : -1000 - static_cast<int>(keysym & 0xFFFF);
    }

    FakeInputDevice m_device;
    std::map<unsigned, unsigned> m_remapped;
};

/// The real device on its own Xvfb display; strokes go in through XTest on a second connection.
class X11Side {
public:
    InputDevice& device() { return m_device; }
    void watch(std::vector<int> keys) {
        keys.push_back(vk::kTab);
        m_device.watch(keys);
    }
    void press(Stroke stroke) { send(stroke, true); }
    void release(Stroke stroke) { send(stroke, false); }
    void settle() {
        press(kSentinel);
        release(kSentinel);
        bool seen = false;
        const bool settled = waitFor([&] {
            seen = seen || m_device.pressedSinceLastQuery(vk::kTab);
            return seen && !m_device.isDown(vk::kTab);
        });
        ASSERT_TRUE(settled) << "the settling tap never arrived";
    }
    bool waitFor(const std::function<bool()>& done) { return testing::runUntil(m_loop, done, 5s); }
    /// XTest has the server take the press; nothing reads it until drain(), the loop not running.
    void pressUnread(Stroke stroke) { press(stroke); }
    bool drainUntilArrived() {
        // The server writes the event a moment after it answers the sender.
        for (int i = 0; i < 5000; ++i) {
            m_device.drain();
            if (m_device.anythingPending()) {
                return true;
            }
            ::usleep(1000);
        }
        return false;
    }
    /// Right Alt becomes AltGr, as in most European layouts: through XKB, as a desktop does it.
    bool makeRightAltAltGr() {
        // The key is looked up while it still is Alt.
        m_input.keycode(XK_Alt_R);
        const std::string command = "setxkbmap -display " + m_server.name() +
                                    " -layout us -option lv3:ralt_switch >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

private:
    void send(Stroke stroke, bool down) {
        if (stroke.button) {
            m_input.button(stroke.code, down);
        } else {
            m_input.key(stroke.code, down);
        }
    }

    PollScheduler m_loop;
    testing::XServer m_server{false};
    XInputDevice m_device{m_loop, m_server.name()};
    testing::XTestInput m_input{m_server.name()};
};

template <typename Side>
class InputDeviceContract : public ::testing::Test {
protected:
    InputDevice& device() { return side.device(); }
    void tap(Stroke stroke) {
        side.press(stroke);
        side.release(stroke);
    }
    /// The codes whose latch is set, each queried (and so cleared) once.
    std::vector<int> latched() {
        std::vector<int> codes;
        for (int code : kAllCodes) {
            if (device().pressedSinceLastQuery(code)) {
                codes.push_back(code);
            }
        }
        return codes;
    }

    Side side;
};

using Sides = ::testing::Types<FakeSide, X11Side>;
TYPED_TEST_SUITE(InputDeviceContract, Sides);

TYPED_TEST(InputDeviceContract, IsAvailable) {
    EXPECT_TRUE(this->device().available());
}

TYPED_TEST(InputDeviceContract, EachButtonAndKeyLatchesItsCodeOncePerPressWhileHeld) {
    struct Case {
        Stroke stroke;
        int code;
    };
    const Case cases[] = {
        {button(1), vk::kLButton},
        {button(3), vk::kRButton},
        {button(2), vk::kMButton},
        {button(8), vk::kXButton1},
        {button(9), vk::kXButton2},
        {key(XK_Control_L), vk::kControl},
        {key(XK_Control_R), vk::kControl},
        {key(XK_Alt_L), vk::kMenu},
        {key(XK_Alt_R), vk::kMenu},
        {key(XK_Shift_L), vk::kShift},
        {key(XK_Shift_R), vk::kShift},
        {key(XK_BackSpace), vk::kBack},
        {key(XK_Return), vk::kReturn},
        {key(XK_KP_Enter), vk::kReturn},
        {key(XK_F1), vk::kF1},
        {key(XK_F5), 116},
        {key(XK_F12), vk::kF12},
    };
    this->side.watch(kAllCodes);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "code " << c.code);
        this->side.press(c.stroke);
        this->side.settle();
        EXPECT_TRUE(this->device().isDown(c.code));
        EXPECT_EQ(this->latched(), std::vector<int>{c.code});
        // A second press without a release is how a held key repeats.
        this->side.press(c.stroke);
        this->side.settle();
        EXPECT_TRUE(this->device().isDown(c.code));
        EXPECT_TRUE(this->latched().empty()) << "a held key is one press";
        this->side.release(c.stroke);
        this->side.settle();
        EXPECT_FALSE(this->device().isDown(c.code));
        EXPECT_FALSE(this->device().anythingPending());
    }
}

TYPED_TEST(InputDeviceContract, ShortTapBetweenTwoQueriesIsStillSeen) {
    this->side.watch({vk::kLButton, vk::kControl});
    this->tap(button(1));
    this->tap(key(XK_Control_L));
    this->side.settle();
    EXPECT_FALSE(this->device().isDown(vk::kLButton));
    EXPECT_TRUE(this->device().anythingPending());
    EXPECT_EQ(this->latched(), (std::vector<int>{vk::kLButton, vk::kControl}));
    EXPECT_FALSE(this->device().anythingPending());
}

TYPED_TEST(InputDeviceContract, ReleasedAndPressedAgainIsSeenAgain) {
    this->side.watch({vk::kRButton});
    this->side.press(button(3));
    this->side.settle();
    EXPECT_TRUE(this->device().pressedSinceLastQuery(vk::kRButton));
    this->side.release(button(3));
    this->side.press(button(3));
    this->side.settle();
    EXPECT_TRUE(this->device().isDown(vk::kRButton));
    EXPECT_TRUE(this->device().pressedSinceLastQuery(vk::kRButton));
    // Two taps before a query are one latch: a query tells whether, not how often.
    this->side.release(button(3));
    this->tap(button(3));
    this->side.settle();
    EXPECT_TRUE(this->device().pressedSinceLastQuery(vk::kRButton));
    EXPECT_FALSE(this->device().pressedSinceLastQuery(vk::kRButton));
}

TYPED_TEST(InputDeviceContract, DrainTakesInAPressJustMadeWithoutTheLoop) {
    this->side.watch({vk::kLButton});
    this->side.pressUnread(button(1));
    EXPECT_FALSE(this->device().anythingPending()) << "nothing was read yet";
    ASSERT_TRUE(this->side.drainUntilArrived());
    EXPECT_TRUE(this->device().isDown(vk::kLButton));
    EXPECT_TRUE(this->device().pressedSinceLastQuery(vk::kLButton));
    this->side.release(button(1));
    this->side.settle();
}

TYPED_TEST(InputDeviceContract, UnwatchedKeysLeaveNoState) {
    this->side.watch({vk::kLButton});
    this->side.press(key(XK_F5));
    this->tap(key(XK_a));
    this->tap(key(XK_Control_L));
    this->side.settle();
    EXPECT_FALSE(this->device().anythingPending());
    EXPECT_TRUE(this->latched().empty());
    // Watched now, while it is still held: its earlier press left nothing.
    this->side.watch({vk::kLButton, 116});
    EXPECT_FALSE(this->device().isDown(116));
    EXPECT_FALSE(this->device().anythingPending());
    this->side.release(key(XK_F5));
    this->side.press(key(XK_F5));
    this->side.settle();
    EXPECT_TRUE(this->device().isDown(116));
    EXPECT_EQ(this->latched(), std::vector<int>{116});
    // No longer watched: its down flag and latch go at once.
    this->side.release(key(XK_F5));
    this->side.press(key(XK_F5));
    this->side.settle();
    this->side.watch({vk::kLButton});
    EXPECT_FALSE(this->device().isDown(116));
    EXPECT_FALSE(this->device().pressedSinceLastQuery(116));
    EXPECT_FALSE(this->device().anythingPending());
    this->side.release(key(XK_F5));
    this->side.settle();
}

TYPED_TEST(InputDeviceContract, WheelIsIgnored) {
    this->side.watch(kAllCodes);
    for (unsigned wheel : {4U, 5U, 6U, 7U}) {
        this->tap(button(wheel));
    }
    this->side.press(button(4));
    this->side.settle();
    EXPECT_FALSE(this->device().anythingPending());
    EXPECT_TRUE(this->latched().empty());
    this->side.release(button(4));
    this->side.settle();
}

TYPED_TEST(InputDeviceContract, AltGrIsNeitherControlNorAlt) {
    this->side.watch(kAllCodes);
    ASSERT_TRUE(this->side.makeRightAltAltGr()) << "setxkbmap could not change the keymap";
    this->side.press(key(XK_Alt_R));
    this->side.settle();
    EXPECT_FALSE(this->device().anythingPending());
    EXPECT_TRUE(this->latched().empty());
    this->side.release(key(XK_Alt_R));
    // The other Alt still is one.
    this->tap(key(XK_Alt_L));
    this->side.settle();
    EXPECT_EQ(this->latched(), std::vector<int>{vk::kMenu});
}

TYPED_TEST(InputDeviceContract, PressOfAWatchedKeyCallsOnPressOnce) {
    int presses = 0;
    this->device().onPress = [&presses] { ++presses; };
    this->side.watch({vk::kControl});
    this->tap(key(XK_a));
    this->side.press(key(XK_Control_L));
    this->side.press(key(XK_Control_L));
    ASSERT_TRUE(this->side.waitFor([&] { return presses >= 1; }));
    this->side.release(key(XK_Control_L));
    this->side.settle();
    EXPECT_EQ(presses, 2) << "one for Ctrl, one for the settling tap";
}

}  // namespace
}  // namespace halvern::platform

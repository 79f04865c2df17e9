#pragma once

#include <gtest/gtest.h>

#include "adservers/PlaceholderServer.h"
#include "platform/InputDevice.h"
#include "popups/UserIntent.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"
#include "ui/TrayIcon.h"

namespace halvern::popups::fixture {

using namespace std::chrono_literals;
namespace vk = platform::vk;

/// User intent and the hot keys on the fake input device and the virtual clock, with the tray
/// icon that owns the temporary allow. The start-up windows (the 2 s click window and the
/// 2.5 s double-click grace that run from the load) are over when a test begins, and the clock
/// stands on a tick of the 50 ms key poll.
class IntentTest : public ::testing::Test {
protected:
    IntentTest() { clock.advance(3000ms); }

    /// The user presses and releases a key between two polls.
    void tap(int key) { input.tap(key); }
    /// Lets the next poll run.
    void poll() { clock.advance(50ms); }
    /// Taps a key and lets the poll take it.
    void press(int key) {
        tap(key);
        poll();
    }
    /// How many polls have read the device so far (each reads every watched key).
    std::size_t polls() const { return input.queries.size() / 24; }

    testing::FakePlatform fake;
    platform::FakeScheduler& clock = fake.clock;
    platform::FakeInputDevice& input = fake.input;
    testing::ProgramParts parts{fake.platform, {testing::FakePlatform::kAppFolder, "/etc/hosts"}};
    core::MainState& state = parts.state;
    forms::MainForm& form = parts.form;
    adservers::PlaceholderServer server{parts.context, parts.log, parts.rings, parts.counter,
                                        [] {}};
    ui::TrayIcon tray{parts.context, parts.settings};
    UserIntent intent{parts.context, server};
};

}  // namespace halvern::popups::fixture

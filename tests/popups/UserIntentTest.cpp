#include "popups/UserIntent.h"

#include <set>
#include <string>
#include <vector>

#include "IntentFixture.h"

namespace halvern::popups::fixture {
namespace {

using UserIntentTest = IntentTest;

TEST_F(UserIntentTest, WatchesOnlyTheKeysThePollReads) {
    EXPECT_EQ(input.watched,
              (std::set<int>{1,   2,   4,   5,   6,   8,   9,   12,  13,  16,  17,  18,
                             112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123}));
}

TEST_F(UserIntentTest, TheFirstSecondsAfterTheLoadAreADoubleClickGrace) {
    testing::FakePlatform other;
    testing::ProgramParts parts2{other.platform, {testing::FakePlatform::kAppFolder, "/etc/hosts"}};
    adservers::PlaceholderServer server2{parts2.context, parts2.log, parts2.rings, parts2.counter,
                                         [] {}};
    UserIntent fresh{parts2.context, server2};
    EXPECT_TRUE(fresh.IsUserJustDoubleClicked());
    other.clock.advance(2499ms);
    EXPECT_TRUE(fresh.IsUserJustDoubleClicked());
    other.clock.advance(1ms);
    EXPECT_FALSE(fresh.IsUserJustDoubleClicked());
}

TEST_F(UserIntentTest, AButtonOpensTheClickWindowForTwoSeconds) {
    struct Case {
        int button;
        const char* keyText;
        bool UserIntent::*flag;
    };
    for (const Case& c : {Case{vk::kLButton, "[LBUTTON]", &UserIntent::bLClick},
                          Case{vk::kRButton, "[RBUTTON]", &UserIntent::bRClick}}) {
        SCOPED_TRACE(c.keyText);
        press(c.button);
        EXPECT_TRUE(intent.IsMouseClick());
        EXPECT_TRUE(intent.*c.flag);
        EXPECT_FALSE(intent.IsHotKeyDown());
        EXPECT_EQ(form.LblKeyName.caption(), c.keyText);
        EXPECT_EQ(form.LblVKeycode.caption(), std::to_string(c.button));
        clock.advance(1999ms);
        EXPECT_TRUE(intent.IsMouseClick());
        clock.advance(1ms);
        EXPECT_FALSE(intent.IsMouseClick());
        EXPECT_EQ(form.LblKeyName.caption(), "reset LC and CNTRL: timer");
        clock.advance(1000ms);
    }
}

TEST_F(UserIntentTest, AHeldPressCountsOnceAndAnotherPressDoesNotExtendTheWindow) {
    input.press(vk::kLButton);
    poll();
    EXPECT_EQ(intent.nLClicks, 1);
    clock.advance(350ms);  // held: no second press within the double-click window
    EXPECT_EQ(intent.nLClicks, 1);
    clock.advance(650ms);
    EXPECT_FALSE(intent.IsUserJustDoubleClicked());
    input.release(vk::kLButton);
    press(vk::kLButton);  // again, inside the click window
    EXPECT_TRUE(intent.IsMouseClick());
    clock.advance(949ms);  // 1999 ms after the first press
    EXPECT_TRUE(intent.IsMouseClick());
    clock.advance(1ms);
    EXPECT_FALSE(intent.IsMouseClick());
}

TEST_F(UserIntentTest, TwoPressesOfOneButtonWithin400msAreADoubleClick) {
    struct Case {
        const char* name;
        int first;
        int second;
        platform::Millis apart;
        bool doubleClick;
    };
    const Case cases[] = {
        {"left twice 300 ms apart", vk::kLButton, vk::kLButton, 300ms, true},
        {"right twice 300 ms apart", vk::kRButton, vk::kRButton, 300ms, true},
        {"left twice 500 ms apart", vk::kLButton, vk::kLButton, 500ms, false},
        {"left then right 100 ms apart", vk::kLButton, vk::kRButton, 100ms, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        press(c.first);
        clock.advance(c.apart - 50ms);
        press(c.second);
        EXPECT_EQ(intent.IsUserJustDoubleClicked(), c.doubleClick);
        if (c.doubleClick) {
            // The grace lasts 2.5 s from the second press.
            clock.advance(2499ms);
            EXPECT_TRUE(intent.IsUserJustDoubleClicked());
            clock.advance(1ms);
            EXPECT_FALSE(intent.IsUserJustDoubleClicked());
        }
        clock.advance(5000ms);
    }
}

TEST_F(UserIntentTest, AShortTapBetweenPollsIsSeen) {
    clock.advance(20ms);
    tap(vk::kLButton);  // down and up within a few ms, long before the next poll
    clock.advance(30ms);
    EXPECT_TRUE(intent.IsMouseClick());
}

TEST_F(UserIntentTest, TakingInPressesSeesAClickBeforeThePoll) {
    // A popup opened on mousedown is decided a few ms after the press: the press still waits
    // in the display's queue, and the next poll is up to 50 ms away.
    input.queued = true;
    clock.advance(10ms);
    input.press(vk::kLButton);
    EXPECT_FALSE(intent.IsMouseClick());
    intent.takeInPresses();
    EXPECT_GE(input.drains, 1);
    EXPECT_TRUE(intent.IsMouseClick());
    EXPECT_EQ(form.LblKeyName.caption(), "[LBUTTON]");
    input.release(vk::kLButton);
    clock.advance(40ms);  // the poll finds the press already taken
    EXPECT_EQ(intent.nLClicks, 1);
}

TEST_F(UserIntentTest, CtrlAndAltCountAsHeldUntilAnotherKeyOrTheWindowEnds) {
    struct Case {
        const char* name;
        std::vector<int> keys;
        bool hotKeyDown;
        const char* keyText;
    };
    const Case cases[] = {
        {"Ctrl", {vk::kControl}, true, "[CONTROL]"},
        {"Alt", {vk::kMenu}, true, "[ALT]"},
        {"Shift alone", {vk::kShift}, false, ""},
        {"Ctrl then Shift", {vk::kControl, vk::kShift}, true, ""},
        {"Ctrl then Enter", {vk::kControl, vk::kReturn}, false, ""},
        {"Alt then Tab", {vk::kMenu, vk::kTab}, false, ""},
        {"Ctrl then Backspace", {vk::kControl, vk::kBack}, false, ""},
        {"Ctrl then the middle button", {vk::kControl, vk::kMButton}, false, ""},
        {"Ctrl then a side button", {vk::kControl, vk::kXButton2}, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.LblKeyName.setCaption("");
        for (int key : c.keys) {
            press(key);
        }
        EXPECT_EQ(intent.IsHotKeyDown(), c.hotKeyDown);
        EXPECT_FALSE(intent.IsMouseClick());
        EXPECT_EQ(form.LblKeyName.caption(), c.keyText);
        EXPECT_EQ(form.LblVKeycode.caption(), std::to_string(c.keys.back()));
        clock.advance(2000ms);
        EXPECT_FALSE(intent.IsHotKeyDown());
        clock.advance(1000ms);
    }
}

TEST_F(UserIntentTest, TheStartupTabHoldsKeysBackOnlyWhileTheWindowShowsIt) {
    struct Case {
        const char* name;
        bool shown;
        int tab;
        bool seen;
    };
    const Case cases[] = {
        {"shown on the Startup tab", true, forms::MainForm::kTabStartup, false},
        {"hidden, left on the Startup tab", false, forms::MainForm::kTabStartup, true},
        {"shown on another tab", true, forms::MainForm::kTabHotKeys, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.frmMain.setVisible(c.shown);
        form.A.setTab(c.tab);
        press(vk::kLButton);
        press(vk::kControl);
        EXPECT_EQ(intent.IsMouseClick(), c.seen);
        EXPECT_EQ(intent.IsHotKeyDown(), c.seen);
        // A press held back is dropped, not taken later.
        form.A.setTab(forms::MainForm::kTabStatus);
        poll();
        EXPECT_EQ(intent.IsMouseClick(), c.seen);
        clock.advance(3000ms);
    }
}

TEST_F(UserIntentTest, ANavigationEndsTheClickButCtrlStillEndsWithAWindow) {
    press(vk::kControl);
    press(vk::kLButton);  // Ctrl-click on a link
    clock.advance(300ms);
    intent.setMouseClick(false, "BeforeNavigate2");
    EXPECT_FALSE(intent.IsMouseClick());
    EXPECT_EQ(form.LblKeyName.caption(), "BeforeNavigate2");
    // The new page's popups are still allowed for a click window from the navigation ...
    EXPECT_TRUE(intent.IsHotKeyDown());
    clock.advance(1500ms);
    intent.setMouseClick(false, "NavigateComplete2");  // later resets do not extend it
    clock.advance(499ms);
    EXPECT_TRUE(intent.IsHotKeyDown());
    // ... and then the modifier is cleared, where it once stayed set for good.
    clock.advance(1ms);
    EXPECT_FALSE(intent.IsHotKeyDown());
    EXPECT_FALSE(intent.timerClickReset.enabled());
    intent.setMouseClick(false, "DocumentComplete");
    clock.advance(10000ms);
    EXPECT_FALSE(intent.IsHotKeyDown());
}

TEST_F(UserIntentTest, ANavigationWithoutAModifierStopsTheClickWindow) {
    press(vk::kLButton);
    intent.setMouseClick(false, "BeforeNavigate2");
    EXPECT_FALSE(intent.IsMouseClick());
    EXPECT_FALSE(intent.timerClickReset.enabled());
}

TEST_F(UserIntentTest, ThreeBlocksWithinFourSecondsLengthenTheClickWindowOnce) {
    struct Case {
        const char* name;
        int blocks;
        int clickWindow;
    };
    for (const Case& c : {Case{"two blocks", 2, 2000}, Case{"three blocks", 3, 2500}}) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < c.blocks; ++i) {
            intent.CountManyPops();
            clock.advance(1000ms);
        }
        clock.advance(4000ms);
        EXPECT_EQ(intent.timerClickReset.interval(), c.clickWindow);
        EXPECT_FALSE(intent.TimerManyPops.enabled());
    }
    EXPECT_TRUE(intent.bManyPopsAdjusted);
    // A second burst changes nothing.
    for (int i = 0; i < 5; ++i) {
        intent.CountManyPops();
    }
    EXPECT_FALSE(intent.TimerManyPops.enabled());
    clock.advance(5000ms);
    EXPECT_EQ(intent.timerClickReset.interval(), 2500);
    // The longer window holds a click for 2.5 s.
    press(vk::kLButton);
    clock.advance(2499ms);
    EXPECT_TRUE(intent.IsMouseClick());
    clock.advance(1ms);
    EXPECT_FALSE(intent.IsMouseClick());
}

TEST_F(UserIntentTest, BlocksSpreadOverMoreThanFourSecondsAreNoBurst) {
    for (int i = 0; i < 6; ++i) {
        intent.CountManyPops();
        clock.advance(2100ms);
    }
    EXPECT_FALSE(intent.bManyPopsAdjusted);
    EXPECT_EQ(intent.timerClickReset.interval(), 2000);
}

TEST_F(UserIntentTest, TheTraySwitchesAreAnswered) {
    EXPECT_FALSE(intent.IsTempPopsAllowed());
    EXPECT_FALSE(intent.IsTempSoundOff());
    form.mnuTrayPopups.click();
    form.mnuTraySound.click();
    EXPECT_TRUE(intent.IsTempPopsAllowed());
    EXPECT_TRUE(intent.IsTempSoundOff());
}

TEST_F(UserIntentTest, TheKeyPollSleepsWhileThereIsNothingToFind) {
    EXPECT_TRUE(intent.keyPollAsleep());
    EXPECT_FALSE(intent.Timerkeys.enabled());
    const std::size_t before = polls();
    clock.advance(60000ms);
    EXPECT_EQ(polls(), before);
}

TEST_F(UserIntentTest, APressWakesThePollAtItsOwnRhythm) {
    // The poll ran on every multiple of 50 ms before it slept; a press 17 ms past one is taken
    // 33 ms later, as the running poll would have taken it.
    for (const platform::Millis offset : {17ms, 1ms, 49ms}) {
        SCOPED_TRACE(offset.count());
        clock.advance(10000ms + offset);
        tap(vk::kLButton);
        clock.advance(50ms - offset - 1ms);
        EXPECT_FALSE(intent.IsMouseClick());
        clock.advance(1ms);
        EXPECT_TRUE(intent.IsMouseClick());
        EXPECT_TRUE(intent.keyPollAsleep());  // and sleeps again after it
        clock.advance(5000ms);
    }
}

TEST_F(UserIntentTest, TheKeyPollRunsWhileAKeyIsHeld) {
    input.press(vk::kControl);
    const std::size_t before = polls();
    clock.advance(1000ms);
    EXPECT_FALSE(intent.keyPollAsleep());
    EXPECT_EQ(polls() - before, 20U);
    input.release(vk::kControl);
    poll();
    EXPECT_TRUE(intent.keyPollAsleep());
}

}  // namespace
}  // namespace halvern::popups::fixture

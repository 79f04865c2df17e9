#include "ui/HelpLine.h"

#include <gtest/gtest.h>

#include "platform/fake/FakeScheduler.h"

using namespace std::chrono_literals;
using halvern::platform::FakeScheduler;
using halvern::ui::HelpLine;

namespace {

struct HelpLineTest : ::testing::Test {
    FakeScheduler clock;
    halvern::forms::MainForm form;
    HelpLine help{clock, form};
};

TEST_F(HelpLineTest, BlinksTwiceIn150MsStepsThenShowsLineAndStatus) {
    form.lblStatus.setVisible(false);
    help.FlashHelpText("Look here");
    EXPECT_EQ(form.lblHelpText.caption(), "Look here");
    EXPECT_TRUE(form.lblHelpText.visible());

    struct Step {
        int atMs;
        bool helpVisible;
        bool running;
    };
    int elapsed = 0;
    for (const Step& s : {Step{149, true, true}, Step{150, false, true}, Step{300, true, true},
                          Step{450, false, true}, Step{599, false, true}, Step{600, true, false},
                          Step{1200, true, false}}) {
        clock.advance(std::chrono::milliseconds(s.atMs - elapsed));
        elapsed = s.atMs;
        EXPECT_EQ(form.lblHelpText.visible(), s.helpVisible) << s.atMs << " ms";
        EXPECT_EQ(help.TimerFlash.enabled(), s.running) << s.atMs << " ms";
    }
    EXPECT_TRUE(form.lblStatus.visible());
    EXPECT_EQ(help.nHelpFlashTicks, 0);
}

TEST_F(HelpLineTest, ASecondFlashAfterTheFirstEndedBlinksAgain) {
    help.FlashHelpText("one");
    clock.advance(600ms);
    help.FlashHelpText("two");
    EXPECT_EQ(form.lblHelpText.caption(), "two");
    clock.advance(150ms);
    EXPECT_FALSE(form.lblHelpText.visible());
    clock.advance(450ms);
    EXPECT_TRUE(form.lblHelpText.visible());
    EXPECT_FALSE(help.TimerFlash.enabled());
}

}  // namespace

// Popup blocking in the program as it is built: the switch, the one-minute restart, the signals
// the title scanner reads.

#include <gtest/gtest.h>

#include "popups/PopupBlocking.h"
#include "program/Program.h"
#include "support/FakePlatform.h"
#include "titles/TitleBlocking.h"

namespace {

using namespace std::chrono_literals;
using halvern::platform::TargetId;

struct ProgramPopupsTest : ::testing::Test {
    ProgramPopupsTest() {
        fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
        fake.browser.connect();
        page = fake.browser.openPage("https://news.example/");
        program.Form_Load();
    }
    halvern::testing::FakePlatform fake;
    halvern::program::Program program{fake.platform};
    TargetId page;
};

TEST_F(ProgramPopupsTest, TheSwitchFollowsTheBrowserAndOffLetsEveryHeldPopupRun) {
    ASSERT_NE(program.popups().tracker(), nullptr);
    program.popups().intent.TimerDClickOK.setEnabled(false);
    EXPECT_FALSE(fake.browser.cancelled.empty() && fake.browser.openPopup(page).empty());
    EXPECT_EQ(fake.browser.cancelled.size(), 1u) << "blocking is on";

    fake.browser.held.push_back("P90");
    program.form().chkIEPops.click();
    EXPECT_EQ(program.popups().tracker(), nullptr);
    EXPECT_EQ(fake.browser.allowed, std::vector<TargetId>{"P90"});
    EXPECT_FALSE(program.form().chkJavaPops.enabled());
    EXPECT_FALSE(fake.browser.connected()) << "no longer followed";

    program.form().chkIEPops.click();
    EXPECT_NE(program.popups().tracker(), nullptr);
    EXPECT_TRUE(fake.browser.connected());
    EXPECT_TRUE(program.form().chkJavaPops.enabled());
}

TEST_F(ProgramPopupsTest, OneMinuteAfterTheStartTheTrackerIsMadeAnewOnce) {
    fake.clock.advance(3s);  // the start-up timer makes it again too
    const auto before = fake.browser.followCalls.size();
    fake.browser.held.push_back("P91");
    fake.clock.advance(56s);
    EXPECT_EQ(fake.browser.followCalls,
              (std::vector<bool>(fake.browser.followCalls.begin(),
                                 fake.browser.followCalls.begin() + before)))
        << "not yet";
    fake.clock.advance(1s);
    ASSERT_EQ(fake.browser.followCalls.size(), before + 2);
    EXPECT_EQ(fake.browser.followCalls[before], false);
    EXPECT_EQ(fake.browser.followCalls[before + 1], true);
    EXPECT_EQ(fake.browser.allowed, std::vector<TargetId>{"P91"}) << "every held popup decided";
    EXPECT_TRUE(program.form().lblHelpText.caption().starts_with(
        "Zorvik will now perform special processing"));
    fake.clock.advance(60s);
    EXPECT_EQ(fake.browser.followCalls.size(), before + 2) << "once only";
}

TEST_F(ProgramPopupsTest, TheTitleScannerReadsTheBrowsersActivityAndTheKeys) {
    halvern::titles::BrowserSignals& signals = program.titles().scanner.browser;
    ASSERT_TRUE(signals.isBrowserActive && signals.IsHotKeyDown && signals.CheckKeys &&
                signals.isCurrentPageWhiteListed);
    program.popups().intent.TimerDClickOK.setEnabled(false);
    fake.clock.advance(5s);
    EXPECT_FALSE(signals.isBrowserActive());
    fake.browser.startNavigation(page, "https://news.example/next");
    EXPECT_TRUE(signals.isBrowserActive());
    fake.clock.advance(4s);
    EXPECT_FALSE(signals.isBrowserActive());
    program.popups().intent.TimerLDClick.setEnabled(true);
    EXPECT_TRUE(signals.isBrowserActive()) << "a click still counted";
    program.popups().intent.TimerLDClick.setEnabled(false);
    program.popups().intent.bHotKeyDown = true;
    EXPECT_TRUE(signals.IsHotKeyDown());
}

TEST_F(ProgramPopupsTest, TheExitLetsHeldPopupsRunAndStopsFollowing) {
    fake.browser.held.push_back("P92");
    program.mnuFileExit_Click();
    EXPECT_EQ(fake.browser.allowed, std::vector<TargetId>{"P92"});
    EXPECT_EQ(fake.browser.followCalls.back(), false);
    EXPECT_FALSE(fake.browser.onPopupHeld);
}

}  // namespace

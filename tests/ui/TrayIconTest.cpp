#include "ui/TrayIcon.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/IniDocument.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FakeScheduler.h"
#include "support/FakePlatform.h"

using namespace std::chrono_literals;
using halvern::platform::BoxIcon;
using halvern::platform::FakeDialogs;
using halvern::platform::FakeScheduler;
using halvern::platform::FakeTray;
using halvern::platform::TrayMouse;
using halvern::platform::TrayPicture;
using halvern::ui::TrayIcon;

namespace {

/// The tray's tip field holds 64 characters.
std::string fitted(const std::string& tip) {
    return tip.substr(0, 64);
}

struct TrayIconTest : ::testing::Test {
    TrayIconTest() {
        state.nDefaultAdServers = 100;
        state.nUserAdServers = 5;
        state.nTotalAdServers = 105;
        state.nBlockedToday = 3;
        state.nTotBlocked = 42;
        state.DateUpdate = "5/6/2004";
        form.frmMain.show();
        form.frmMain.raiseRequested().connect([this] { ++raises; });
        form.trayMenuRequested.connect([this] { ++menus; });
    }

    halvern::testing::FakePlatform fake;
    FakeTray& tray = fake.tray;
    FakeScheduler& clock = fake.clock;
    FakeDialogs& dialogs = fake.dialogs;
    halvern::core::MainState state;
    halvern::forms::MainForm form;
    halvern::forms::StatsForm stats;
    halvern::core::AppPaths paths{halvern::testing::FakePlatform::kAppFolder, "/etc/hosts"};
    halvern::core::Context context{fake.platform, state, form, stats, paths};
    halvern::core::Settings settings{context, {}};
    TrayIcon icon{context, settings};
    /// What the settings file says, "" for a missing key.
    std::string saved(const char* key) const {
        return halvern::base::IniDocument::parse(fake.files.text(paths.getIniFileName()))
            .get("Settings", key)
            .value_or("");
    }
    int raises = 0;
    int menus = 0;
};

TEST_F(TrayIconTest, TrayIconOnAddsWithTheCountsAndDoesNothingWhileLoading) {
    state.bLoadingSettings = true;
    icon.TrayIconOn(false, true);
    EXPECT_EQ(tray.requests, 0);
    EXPECT_FALSE(state.bInTray);

    state.bLoadingSettings = false;
    icon.TrayIconOn(false, true);
    EXPECT_TRUE(tray.shown);
    EXPECT_TRUE(state.bIconAdded);
    EXPECT_TRUE(state.bInTray);
    EXPECT_EQ(tray.tip,
              fitted("Zorvik blocked 42 ads.  Update on 5/6/2004. 105 ad servers blocked."));
    EXPECT_EQ(icon.windowIcon(), TrayPicture::On);

    icon.TrayIconOn(true, false);
    EXPECT_EQ(tray.picture, TrayPicture::Gray);
    state.nDefaultAdServers = 0;
    icon.TrayIconOn(false, false);
    EXPECT_EQ(tray.tip, "Zorvik");
    EXPECT_EQ(tray.picture, TrayPicture::On) << "the main window's icon, which is now picOn";
}

TEST_F(TrayIconTest, FailedAddLeavesIconAddedFalseSoGoToTrayAddsAgain) {
    tray.accepts = false;
    icon.TrayIconOn(false, true);
    EXPECT_FALSE(state.bIconAdded);
    EXPECT_TRUE(state.bInTray);

    tray.accepts = true;
    icon.GoToTray();
    EXPECT_TRUE(tray.shown);
    EXPECT_EQ(tray.tip, "Zorvik Started. Right-Click here for more options...");
    EXPECT_FALSE(form.frmMain.visible());
    EXPECT_TRUE(state.bMinimized);
}

TEST_F(TrayIconTest, GoToTrayAfterTheIconWasRemovedShowsItAgain) {
    icon.TrayIconOn(false, true);
    icon.TrayIconDelete();
    EXPECT_FALSE(tray.shown);
    EXPECT_FALSE(state.bInTray);
    icon.GoToTray();
    EXPECT_TRUE(tray.shown);
    EXPECT_TRUE(state.bInTray);
    icon.GoToTray();
    EXPECT_TRUE(tray.shown);
}

TEST_F(TrayIconTest, GoToTrayRefreshesStatisticsOnlyWhenTheWindowWasShown) {
    icon.GoToTray();
    EXPECT_EQ(stats.lblDateUpdate.caption(), "Last Updated 5/6/2004");
    EXPECT_EQ(stats.lblTotHosts.caption(), "105");
    EXPECT_EQ(stats.frmStats.caption(), "Ads 3 : 42");

    state.nBlockedToday = 9;
    icon.GoToTray();
    EXPECT_EQ(stats.frmStats.caption(), "Ads 3 : 42") << "already hidden: no refresh";
}

TEST_F(TrayIconTest, DisplaySettingsClosesStatisticsAndBringsTheWindowForward) {
    icon.GoToTray();
    stats.frmStats.show();
    stats.ngClickMiniStatsButton = 3;
    form.lblHelpText.setCaption("other");

    form.mnuTraySettings.click();
    EXPECT_FALSE(stats.frmStats.visible());
    EXPECT_EQ(stats.ngClickMiniStatsButton, 0);
    EXPECT_TRUE(form.frmMain.visible());
    EXPECT_FALSE(state.bMinimized);
    EXPECT_EQ(raises, 1);
    EXPECT_EQ(form.lblHelpText.caption(),
              "* Hold down the ALT or CTRL (control) key while clicking to temporarily allow "
              "popup windows to open.");
}

TEST_F(TrayIconTest, LeftClickShowsSettingsRightClickAsksForTheMenuUnlessLocked) {
    icon.GoToTray();
    tray.mouse(TrayMouse::RightUp);
    EXPECT_EQ(menus, 1);
    EXPECT_FALSE(form.frmMain.visible());

    tray.mouse(TrayMouse::LeftUp);
    EXPECT_TRUE(form.frmMain.visible());
    EXPECT_EQ(raises, 1);

    icon.GoToTray();
    icon.isSettingsLocked = [] { return true; };
    tray.mouse(TrayMouse::RightUp);
    EXPECT_EQ(menus, 1);
    EXPECT_TRUE(form.frmMain.visible()) << "locked: the settings window asks for the password";
}

struct TipRotationTest : TrayIconTest {
    /// The tip shown at each of the first count ticks, 10 s apart.
    std::vector<std::string> tipsOfTicks(int count) {
        std::vector<std::string> tips;
        for (int i = 0; i < count; ++i) {
            clock.advance(10s);
            tips.push_back(tray.tip);
        }
        return tips;
    }
};

TEST_F(TipRotationTest, TicksShowTodayTheUpdateOrTheTotalByTheirNumber) {
    icon.TrayIconOn(false, true);
    const std::string today =
        fitted("Zorvik  blocked 3 ads today.  Right-Click here for more options...");
    const std::string update = "Last Ad Update on  5/6/2004. 105 ad servers blocked.";
    const std::string total =
        fitted("Zorvik  blocked 42 total ads to date.  Click here to bring up Zorvik .");
    const auto tips = tipsOfTicks(10);
    const std::vector<std::string> expected = {total, today, total, update, total,
                                               today, total, today, total,  update};
    EXPECT_EQ(tips, expected);
    EXPECT_EQ(icon.nTrayTicks, 10);
    EXPECT_EQ(tray.picture, TrayPicture::On);
}

TEST_F(TipRotationTest, EmptyAdServerListNeverRotates) {
    state.nDefaultAdServers = 0;
    icon.TrayIconOn(false, true);
    for (const std::string& tip : tipsOfTicks(4)) {
        EXPECT_EQ(tip, "Zorvik . Right-Click for more options...");
    }
}

TEST_F(TipRotationTest, TemporarilyAllowedPopupsShowTheDisabledPictureOnEveryTick) {
    icon.TrayIconOn(false, true);
    form.mnuTrayPopups.click();
    for (int i = 0; i < 3; ++i) {
        clock.advance(10s);
        EXPECT_EQ(tray.picture, TrayPicture::Disable);
        EXPECT_EQ(tray.tip, "Zorvik  temporarily disabled - allowing popups.  Press F9");
    }
}

TEST_F(TipRotationTest, NothingIsSentWhileTheIconIsNotInTheTray) {
    clock.advance(30s);
    EXPECT_EQ(tray.requests, 0);
    EXPECT_EQ(icon.nTrayTicks, 3);
}

TEST_F(TrayIconTest, FlashAlternatesFiveTimesAndEndsNormalAfterTwoAndAHalfSeconds) {
    icon.TrayIconOn(false, true);
    icon.TimerTrayFlash.setEnabled(true);
    for (int tick = 1; tick <= 10; ++tick) {
        clock.advance(250ms);
        EXPECT_EQ(tray.picture, tick % 2 ? TrayPicture::Gray : TrayPicture::On) << tick;
    }
    EXPECT_TRUE(icon.TimerTrayFlash.enabled());
    clock.advance(250ms);
    EXPECT_FALSE(icon.TimerTrayFlash.enabled());
    EXPECT_EQ(tray.picture, TrayPicture::On);
    EXPECT_EQ(icon.nTrayFlashTicks, 0);
    EXPECT_EQ(tray.requests, 12);
}

TEST_F(TrayIconTest, FlashStopsAtOnceWhenTheIconIsNotInTheTray) {
    icon.TimerTrayFlash.setEnabled(true);
    clock.advance(250ms);
    EXPECT_FALSE(icon.TimerTrayFlash.enabled());
    EXPECT_EQ(tray.requests, 0);
}

TEST_F(TrayIconTest, PopupSwitchTogglesCaptionCheckAndPicture) {
    struct Case {
        const char* hotKey;
        const char* offCaption;
        const char* onCaption;
    };
    for (const Case& c :
         {Case{"9", "F9 - Block Popup Ads - OFF (click here to block popups again)",
               "F9 - Block Popup Ads - ON (click here to temporarily allow popups)"},
          Case{"0", "-- Block Popup Ads - OFF (click here to block popups again)",
               "-- Block Popup Ads - ON (click here to temporarily allow popups)"},
          Case{"", "-- Block Popup Ads - OFF (click here to block popups again)",
               "-- Block Popup Ads - ON (click here to temporarily allow popups)"}}) {
        state.ngOnOff = c.hotKey;
        icon.TrayIconOn(false, true);
        form.mnuTrayPopups.click();
        EXPECT_TRUE(state.bTempPopsAllowed);
        EXPECT_FALSE(form.mnuTrayPopups.checked());
        EXPECT_EQ(form.mnuTrayPopups.caption(), c.offCaption);
        EXPECT_EQ(tray.picture, TrayPicture::Disable);

        form.mnuTrayPopups.click();
        EXPECT_FALSE(state.bTempPopsAllowed);
        EXPECT_TRUE(form.mnuTrayPopups.checked());
        EXPECT_EQ(form.mnuTrayPopups.caption(), c.onCaption);
        EXPECT_EQ(tray.picture, TrayPicture::Normal);
        EXPECT_TRUE(state.bIconAdded);
    }
    icon.TrayIconDelete();
    form.mnuTrayPopups.click();
    EXPECT_FALSE(state.bIconAdded) << "modifying a removed icon fails";
}

TEST_F(TrayIconTest, SoundSwitchTogglesCaptionAndCheck) {
    form.mnuTraySound.click();
    EXPECT_TRUE(state.bTempSoundOff);
    EXPECT_FALSE(form.mnuTraySound.checked());
    EXPECT_EQ(form.mnuTraySound.caption(),
              "Ad Blocking sounds - OFF (click here to turn sounds on)");
    form.mnuTraySound.click();
    EXPECT_FALSE(state.bTempSoundOff);
    EXPECT_TRUE(form.mnuTraySound.checked());
    EXPECT_EQ(form.mnuTraySound.caption(),
              "Ad Blocking sounds - ON (click here to turn off sounds)");
}

TEST_F(TrayIconTest, StatisticsEntryShowsTheWindowWithTheCounts) {
    form.mnuTrayStats.click();
    EXPECT_TRUE(stats.frmStats.visible());
    EXPECT_EQ(stats.frmStats.caption(), "Ads 3 : 42");
    EXPECT_EQ(stats.lbltot.caption(), "3");
    EXPECT_EQ(stats.lblTotBlocked.caption(), "42");
    EXPECT_EQ(stats.lblTotHosts.caption(), "105");
    EXPECT_EQ(stats.lblDateUpdate.caption(), "Last Updated 5/6/2004");
}

TEST_F(TrayIconTest, MiniStatsExplainsFromTheSecondClickOn) {
    form.cmdMiniStats.click();
    EXPECT_TRUE(dialogs.boxes().empty());
    EXPECT_TRUE(stats.frmStats.visible());

    form.cmdMiniStats.click();
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].icon, BoxIcon::Information);
    EXPECT_EQ(dialogs.boxes()[0].text,
              "The Mini Stats Window should already be open.  Look at the bottom of the Windows "
              "screen and see the row or program buttons on your 'Task Bar' (to the right of "
              "the Windows Start Button.  \r\n\r\nYou should see the mini Stats for Zorvik: "
              "\r\n\"Ads 3 : 42\" \r\n\r\nThis means 3 ads have been blocked today, and 42 "
              "blocked since installing Zorvik. \r\n\r\nYou can click the Mini-Stats button to "
              "enlarge the status window. The status Window can be closed or minimized at any "
              "time which will not shut down Zorvik.");

    stats.Form_Unload();
    form.cmdMiniStats.click();
    EXPECT_EQ(dialogs.boxes().size(), 1u) << "closing the window starts the count again";
}

TEST_F(TrayIconTest, ResetZeroesTheCountsWritesTheZeroThenSaves) {
    stats.setToday(3);
    stats.setLifeTime(42);
    form.lbltot.setCaption("3");
    form.lblTotBlocked.setCaption("42");

    form.mnuSettingsReset.click();
    EXPECT_EQ(state.nTotBlocked, 0);
    EXPECT_EQ(state.nBlockedToday, 0);
    EXPECT_EQ(form.lbltot.caption(), "0");
    EXPECT_EQ(form.lblTotBlocked.caption(), "0");
    EXPECT_EQ(stats.frmStats.caption(), "Ads 0 : 0");
    // The zero is written although the settings' own save never writes a count of 0.
    EXPECT_EQ(saved("nTotBlocked"), "0");
    EXPECT_GE(fake.files.writes(paths.getIniFileName()), 1);
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].text, "The total number of ads blocked has been reset to zero.");
}

TEST_F(TrayIconTest, AResetWhoseZeroCannotBeWrittenSaysSo) {
    const std::string ini = paths.getIniFileName();
    fake.files.put(ini, "[Settings]\r\nnTotBlocked=42\r\n");
    fake.files.setReadOnly(ini);
    form.mnuSettingsReset.click();
    EXPECT_EQ(state.nTotBlocked, 0) << "this session counts from zero";
    EXPECT_EQ(saved("nTotBlocked"), "42");
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].text,
              "The total number of ads blocked could not be saved as zero: " + ini +
                  " could not be written.");
    EXPECT_EQ(dialogs.boxes()[0].icon, halvern::platform::BoxIcon::Warning);
}

TEST_F(TrayIconTest, ResetDoesNothingWhileTheSettingsLoad) {
    state.bLoadingSettings = true;
    form.mnuSettingsReset.click();
    EXPECT_EQ(state.nTotBlocked, 42);
    EXPECT_FALSE(fake.files.exists(paths.getIniFileName()));
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(TrayIconTest, TheResetButtonResetsAsTheMenuEntryDoes) {
    form.cmdReset.click();
    EXPECT_EQ(state.nTotBlocked, 0);
    EXPECT_EQ(form.lblTotBlocked.caption(), "0");
    EXPECT_EQ(saved("nTotBlocked"), "0");
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].text, "The total number of ads blocked has been reset to zero.");

    state.bLoadingSettings = true;
    state.nTotBlocked = 7;
    form.cmdReset.click();
    EXPECT_EQ(state.nTotBlocked, 7) << "nothing while the settings load";
}

}  // namespace

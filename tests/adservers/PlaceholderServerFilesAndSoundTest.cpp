#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "PlaceholderServerFixture.h"

namespace halvern::adservers {
namespace {

using namespace fixture;

TEST_F(PlaceholderServerTest, LoadFileReadsBytesOrExplainsAMissingFolder) {
    EXPECT_EQ(server.LoadFile("/opt/halvern/1by1.jpg"), kImage);
    EXPECT_EQ(server.LoadFile("/opt/halvern/missing.jpg"), "");
    EXPECT_EQ(server.LoadFile("/nowhere/1by1.jpg"), "Blocked by Zorvik ");
}

TEST_F(PlaceholderServerTest, MissingImageStillGetsAValidReplyAndCounts) {
    server.StartWebServerCrap();
    files.put("/opt/halvern/zorvik.ini", "");  // the folder stays
    files.remove("/opt/halvern/1by1.jpg");
    const HttpReply reply = ask("GET /x.gif HTTP/1.0\r\n\r\n");
    EXPECT_EQ(reply.statusLine, "HTTP/1.0 200 OK");
    EXPECT_EQ(reply.headers.at("Content-Length"), "0");
    EXPECT_EQ(reply.body, "");
    EXPECT_EQ(state.nBlockedToday, 1);
}

TEST_F(PlaceholderServerTest, ImageFromAMissingFolderIsReplacedByAText) {
    core::AppPaths elsewhere{"/gone", "/etc/hosts"};
    core::Context there{fake.platform, state, form, stats, elsewhere};
    PlaceholderServer other{there, log, rings, counter, [] {}};
    other.StartWebServerCrap();
    const HttpReply reply = ask("GET /x.gif HTTP/1.0\r\n\r\n");
    EXPECT_EQ(reply.headers.at("Content-Type"), "text/plain");
    EXPECT_EQ(reply.body, "Blocked by Zorvik ");
}

TEST_F(PlaceholderServerTest, ReplacedImageIsServedWithinASecond) {
    server.StartWebServerCrap();
    EXPECT_EQ(ask("GET /x.gif HTTP/1.0\r\n\r\n").body, kImage);
    const std::string jpeg("\xFF\xD8\xFF\xE0jpeg", 8);
    files.put("/opt/halvern/1by1.jpg", jpeg);
    clock.advance(std::chrono::milliseconds(999));
    EXPECT_EQ(ask("GET /x.gif HTTP/1.0\r\n\r\n").body, kImage);
    clock.advance(std::chrono::milliseconds(1));
    const HttpReply reply = ask("GET /x.gif HTTP/1.0\r\n\r\n");
    EXPECT_EQ(reply.body, jpeg);
    EXPECT_EQ(reply.headers.at("Content-Type"), "image/jpeg");
}

TEST_F(PlaceholderServerTest, BannerSoundFollowsTheSoundSwitches) {
    struct Case {
        bool checked;
        bool tempOff;
        std::size_t played;
    };
    const std::vector<Case> cases = {{true, false, 1}, {false, false, 0}, {true, true, 0}};
    server.StartWebServerCrap();
    for (const auto& c : cases) {
        sound.played.clear();
        form.chkBannerSound.setChecked(c.checked);
        state.bTempSoundOff = c.tempOff;
        ask("GET /x.gif HTTP/1.0\r\n\r\n");
        clock.advance(std::chrono::seconds(1));
        EXPECT_EQ(sound.played.size(), c.played) << c.checked << c.tempOff;
    }
}

TEST_F(PlaceholderServerTest, BurstOfAdsPlaysOneSoundPerWindow) {
    server.StartWebServerCrap();
    for (int i = 0; i < 2000; ++i) {
        ask("GET /x.gif HTTP/1.0\r\n\r\n");
    }
    EXPECT_EQ(sound.played.size(), 1u);
    clock.advance(PlaceholderServer::kSoundWindow);
    EXPECT_EQ(sound.played.size(), 2u);  // one more for the rest of the burst, at the window's end
    clock.advance(std::chrono::seconds(5));
    EXPECT_EQ(sound.played.size(), 2u);
    ask("GET /x.gif HTTP/1.0\r\n\r\n");  // a quiet spell later, the next ad is heard at once
    EXPECT_EQ(sound.played.size(), 3u);
    EXPECT_EQ(sound.played.back(), "/opt/halvern/ad.wav");
    EXPECT_EQ(state.nBlockedToday, 2001);
}

TEST_F(PlaceholderServerTest, SoundsSwitchedOffDuringABurstSilenceItsEnd) {
    server.StartWebServerCrap();
    ask("GET /a.gif HTTP/1.0\r\n\r\n");
    ask("GET /b.gif HTTP/1.0\r\n\r\n");
    state.bTempSoundOff = true;
    clock.advance(std::chrono::seconds(1));
    EXPECT_EQ(sound.played.size(), 1u);
}

TEST_F(PlaceholderServerTest, DestroyedServerLeavesNoTimerOrHandlerBehind) {
    {
        PlaceholderServer other{context, log, rings, counter, [] {}};
        other.StartWebServerCrap();
        net.connect();
        ask("GET /a.gif HTTP/1.0\r\n\r\n");
        ask("GET /b.gif HTTP/1.0\r\n\r\n");
    }
    clock.advance(std::chrono::seconds(20));  // a sweep or sound left behind would crash here
    EXPECT_FALSE(static_cast<bool>(form.cmdOn.onClick));
}

TEST(BlockCounter, CountsTodayAndToDateOnBothWindows) {
    forms::MainForm form;
    forms::StatsForm stats;
    core::MainState state;
    state.nTotBlocked = 1000;
    BlockCounter counter(form, state, stats);
    for (int i = 1; i <= 75; ++i) {
        counter.CountBlockedAd(i % 2 == 0);  // ads and popups count alike
    }
    EXPECT_EQ(form.lbltot.caption(), "75");
    EXPECT_EQ(form.lblTotBlocked.caption(), "1075");
    EXPECT_EQ(state.nTotBlocked, 1075);
    EXPECT_EQ(stats.frmStats.caption(), "Ads 75 : 1075");
}

TEST(BlockCounter, StatusTabComesForwardOnTheTenthAndEveryTwentyFifth) {
    forms::MainForm form;
    forms::StatsForm stats;
    core::MainState state;
    BlockCounter counter(form, state, stats);
    std::vector<int> switchedAt;
    for (int i = 1; i <= 100; ++i) {
        form.A.setTab(forms::MainForm::kTabAdTypes);
        counter.CountBlockedAd(false);
        if (form.A.tab() == forms::MainForm::kTabStatus) {
            switchedAt.push_back(i);
        }
    }
    EXPECT_EQ(switchedAt, (std::vector<int>{10, 25, 50, 75, 100}));
}

TEST(BlockCounter, CountersStopAtTheirLargestValue) {
    forms::MainForm form;
    forms::StatsForm stats;
    core::MainState state;
    state.nBlockedToday = std::numeric_limits<std::int32_t>::max();
    state.nTotBlocked = std::numeric_limits<std::int32_t>::max();
    BlockCounter counter(form, state, stats);
    counter.CountBlockedAd(false);
    EXPECT_EQ(state.nBlockedToday, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(form.lblTotBlocked.caption(), "2147483647");
}

}  // namespace
}  // namespace halvern::adservers

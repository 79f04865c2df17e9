#include "platform/browser/DevToolsBrowser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "BrowserMessages.h"
#include "ScriptedLauncher.h"
#include "platform/fake/FakeScheduler.h"
#include "platform/linux/LinuxTestSupport.h"

namespace halvern::platform {
namespace {

using nlohmann::json;
using namespace browsertest;
using Lines = std::vector<std::string>;

/// The browser on the virtual clock, a scripted launcher on a socket in a private folder, and
/// every event the program would see written down.
class DevToolsBrowserTest : public ::testing::Test {
protected:
    DevToolsBrowserTest() {
        ::chmod(folder.path().c_str(), 0700);
        browser.onConnected = [this] { lines.push_back("connected"); };
        browser.onDisconnected = [this] { lines.push_back("disconnected"); };
        browser.onPageOpened = [this](const BrowserPage& p) { lines.push_back("opened " + p.id); };
        browser.onPageClosed = [this](const TargetId& id, bool byUser) {
            lines.push_back("closed " + id + (byUser ? " user" : " program"));
        };
        browser.onPopupHeld = [this](const HeldPopup& p) {
            lines.push_back("held " + p.id + " by " + p.opener);
        };
        browser.onLoaded = [this](const TargetId& id) { lines.push_back("loaded " + id); };
        browser.onProtocolProblem = [this](const std::string& text) { problems.push_back(text); };
    }

    /// Follows, lets the launcher take the connection and replay the given attaches.
    void connectWith(const std::vector<std::string>& attaches) {
        launcher.listen();
        browser.follow(true);
        ASSERT_TRUE(launcher.accept());
        launcher.greet(attaches);
    }

    Lines take() { return std::exchange(lines, {}); }

    testing::TempFolder folder;
    FakeScheduler clock;
    DevToolsBrowser browser{clock, folder / "zorvik-browser.sock"};
    ScriptedLauncher launcher{folder / "zorvik-browser.sock", [this] { clock.pump(); }};
    Lines lines;
    std::vector<std::string> problems;
};

TEST_F(DevToolsBrowserTest, ConnectsOnlyWhileFollowingAndLooksForTheLauncherEvery2Seconds) {
    launcher.listen();
    EXPECT_FALSE(launcher.accept());
    launcher.stop();
    browser.follow(true);
    clock.advance(std::chrono::milliseconds(1900));
    launcher.listen();
    EXPECT_FALSE(launcher.accept());
    clock.advance(std::chrono::milliseconds(100));
    ASSERT_TRUE(launcher.accept());
    // Connected, but not yet a browser: the replay comes first.
    EXPECT_FALSE(browser.connected());
    launcher.greet({attachPage("S1", "T1", "https://a.example/"), attachPopup("S2", "P1", "T1")});
    EXPECT_TRUE(browser.connected());
    EXPECT_EQ(take(), (Lines{"connected", "opened T1", "held P1 by T1"}));
    EXPECT_EQ(browser.pages().size(), 1U);
    EXPECT_TRUE(problems.empty());
}

TEST_F(DevToolsBrowserTest, AllowAndCancelSendTheRelaysCommands) {
    connectWith({attachPage("S1", "T1", "https://a.example/"), attachPopup("S2", "P1", "T1"),
                 attachPopup("S3", "P2", "T1")});
    take();
    browser.allow("P1");
    browser.cancel("P2");
    std::vector<json> sent = launcher.commands();
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0]["method"], "Runtime.runIfWaitingForDebugger");
    EXPECT_EQ(sent[0]["sessionId"], "S2");
    EXPECT_EQ(sent[1]["method"], "Fetch.enable");
    EXPECT_EQ(sent[1]["sessionId"], "S3");
    EXPECT_EQ(sent[1]["params"], json::parse(R"({"patterns":[{"urlPattern":"*"}]})"));
    // Being cancelled, it is no longer the program's to decide.
    browser.allow("P2");
    browser.cancel("P2");
    EXPECT_TRUE(launcher.commands().empty());
    EXPECT_TRUE(browser.book().heldPopups().empty());
    // Resumed only once its requests are sure to fail.
    launcher.reply(sent[1]);
    const std::vector<json> resumed = launcher.commands();
    ASSERT_EQ(resumed.size(), 1U);
    EXPECT_EQ(resumed[0]["method"], "Runtime.runIfWaitingForDebugger");
    EXPECT_EQ(resumed[0]["sessionId"], "S3");
    EXPECT_EQ(take(), (Lines{"closed P2 program"}));

    // Its first request is failed, and once that is done it is closed.
    launcher.write(event("Fetch.requestPaused",
                         {{"requestId", "interception-1"}, {"request", {{"url", "https://ad/"}}}},
                         "S3"));
    const std::vector<json> failed = launcher.commands();
    ASSERT_EQ(failed.size(), 1U);
    EXPECT_EQ(failed[0]["method"], "Fetch.failRequest");
    EXPECT_EQ(failed[0]["sessionId"], "S3");
    EXPECT_EQ(failed[0]["params"]["requestId"], "interception-1");
    EXPECT_EQ(failed[0]["params"]["errorReason"], "BlockedByClient");
    EXPECT_TRUE(launcher.commands().empty());
    launcher.reply(failed[0]);
    const std::vector<json> closed = launcher.commands();
    ASSERT_EQ(closed.size(), 1U);
    EXPECT_EQ(closed[0]["method"], "Target.closeTarget");
    EXPECT_FALSE(closed[0].contains("sessionId"));
    EXPECT_EQ(closed[0]["params"]["targetId"], "P2");
    // Its grace passes without a second close.
    clock.advance(DevToolsBrowser::kCancelGrace);
    EXPECT_TRUE(launcher.commands().empty());
    for (const auto& batch : {sent, resumed, closed}) {
        for (const json& command : batch) {
            EXPECT_GE(command["id"].get<std::int64_t>(), 1);
            EXPECT_LE(command["id"].get<std::int64_t>(), 0x7fffffff);
            if (command["method"] != "Fetch.enable") {
                launcher.reply(command);
            }
        }
    }
    launcher.write(event("Target.detachedFromTarget", {{"sessionId", "S3"}, {"targetId", "P2"}}));
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(problems.empty());
    // Deciding twice, or deciding a page, sends nothing.
    browser.allow("P1");
    browser.cancel("P2");
    browser.cancel("T1");
    EXPECT_TRUE(launcher.commands().empty());
}

TEST_F(DevToolsBrowserTest, ACancelGoesOnWhenTheBrowserRefusesToFailItsRequests) {
    connectWith({attachPage("S1", "T1", "https://a.example/"), attachPopup("S2", "P1", "T1")});
    take();
    browser.cancel("P1");
    const std::vector<json> sent = launcher.commands();
    ASSERT_EQ(sent.size(), 1U);
    launcher.write(json({{"id", sent[0]["id"]},
                         {"sessionId", "S2"},
                         {"error", {{"code", -32000}, {"message", "refused"}}}})
                       .dump());
    // A paused popup must not stay paused: resumed all the same, and closed after the grace
    // since no request of it will be paused.
    EXPECT_EQ(launcher.commandLines(), (Lines{"Runtime.runIfWaitingForDebugger@S2"}));
    clock.advance(DevToolsBrowser::kCancelGrace - std::chrono::milliseconds(1));
    EXPECT_TRUE(launcher.commands().empty());
    clock.advance(std::chrono::milliseconds(1));
    EXPECT_EQ(launcher.commandLines(), (Lines{"Target.closeTarget"}));
    EXPECT_EQ(problems.size(), 1U);
}

TEST_F(DevToolsBrowserTest, NotFollowingLetsEveryHeldAndNewPopupRunAndStaysConnected) {
    connectWith({attachPage("S1", "T1", "https://a.example/"), attachPopup("S2", "P1", "T1"),
                 attachPopup("S3", "P2", "T1")});
    take();
    browser.follow(false);
    EXPECT_EQ(launcher.commandLines(),
              (Lines{"Runtime.runIfWaitingForDebugger@S2", "Runtime.runIfWaitingForDebugger@S3"}));
    EXPECT_FALSE(browser.connected());
    EXPECT_TRUE(browser.socketOpen());
    launcher.write(attachPopup("S4", "P3", "T1"));
    launcher.write(event("Page.loadEventFired", {{"timestamp", 1}}, "S1"));
    EXPECT_EQ(launcher.commandLines(), (Lines{"Runtime.runIfWaitingForDebugger@S4"}));
    EXPECT_TRUE(take().empty());
    // Following again, the program learns the pages as on a new connection.
    browser.follow(true);
    EXPECT_EQ(take(), (Lines{"connected", "opened T1", "opened P1", "opened P2", "opened P3"}));
    EXPECT_TRUE(launcher.commands().empty());
}

TEST_F(DevToolsBrowserTest, PopupsHeldWhenTheReplayEndsRunAtOnceWhenNotFollowing) {
    launcher.listen();
    browser.follow(true);
    ASSERT_TRUE(launcher.accept());
    browser.follow(false);
    launcher.greet({attachPage("S1", "T1", "https://a.example/"), attachPopup("S2", "P1", "T1")});
    EXPECT_EQ(launcher.commandLines(), (Lines{"Runtime.runIfWaitingForDebugger@S2"}));
    EXPECT_TRUE(take().empty());
}

TEST_F(DevToolsBrowserTest, ReconnectsWhenTheLauncherComesBackAndRebuildsItsState) {
    connectWith({attachPage("S1", "T1", "https://a.example/"), attachPopup("S2", "P1", "T1")});
    take();
    launcher.stop();
    clock.pump();
    EXPECT_EQ(take(), (Lines{"disconnected"}));
    EXPECT_FALSE(browser.connected());
    EXPECT_TRUE(browser.pages().empty());
    EXPECT_TRUE(browser.book().sessions().empty());
    // Deciding a popup of the old connection writes nothing anywhere.
    browser.allow("P1");

    clock.advance(DevToolsBrowser::kRetryInterval);
    launcher.listen();
    clock.advance(DevToolsBrowser::kRetryInterval);
    ASSERT_TRUE(launcher.accept());
    launcher.greet({attachPage("S1", "T1", "https://a.example/"),
                    attachPage("S5", "T2", "https://b.example/"), attachPopup("S2", "P1", "T1")});
    EXPECT_EQ(take(), (Lines{"connected", "opened T1", "opened T2", "held P1 by T1"}));
    browser.allow("P1");
    EXPECT_EQ(launcher.commandLines(), (Lines{"Runtime.runIfWaitingForDebugger@S2"}));
}

TEST_F(DevToolsBrowserTest, ANewerConnectionOfTheLauncherReplacesTheOlder) {
    connectWith({attachPage("S1", "T1", "https://a.example/")});
    take();
    launcher.drop();
    clock.pump();
    EXPECT_EQ(take(), (Lines{"disconnected"}));
    clock.advance(DevToolsBrowser::kRetryInterval);
    ASSERT_TRUE(launcher.accept());
    launcher.greet({attachPage("S1", "T1", "https://a.example/")});
    EXPECT_EQ(take(), (Lines{"connected", "opened T1"}));
}

TEST_F(DevToolsBrowserTest, HostileInputIsReportedDroppedAndReadingGoesOn) {
    connectWith({attachPage("S1", "T1", "https://a.example/")});
    take();
    launcher.write("{\"method\": ");
    launcher.write(event("Page.loadEventFired", {{"timestamp", 1}}, "NO-SUCH-SESSION"));
    launcher.write(R"({"id": 4242, "result": {}})");
    // Over the 32 MiB cap: dropped whole, up to its NUL.
    launcher.write(R"({"method":"Page.x","params":{"junk":")" +
                   std::string(DevToolsMessageReader::kDefaultCap, 'x') + "\"}}");
    // One message in many small pieces.
    const std::string loaded = event("Page.loadEventFired", {{"timestamp", 2}}, "S1") + '\0';
    for (const char c : loaded) {
        launcher.writeRaw(std::string(1, c));
    }
    ASSERT_EQ(problems.size(), 4U);
    EXPECT_NE(problems[0].find("malformed"), std::string::npos);
    EXPECT_NE(problems[1].find("unknown session"), std::string::npos);
    EXPECT_NE(problems[2].find("reply to no request"), std::string::npos);
    EXPECT_NE(problems[3].find("oversize"), std::string::npos);
    EXPECT_EQ(take(), (Lines{"loaded T1"}));
    EXPECT_TRUE(browser.connected());
}

TEST_F(DevToolsBrowserTest, AFolderOpenToOthersIsNotTrusted) {
    ::chmod(folder.path().c_str(), 0755);
    launcher.listen();
    browser.follow(true);
    clock.advance(DevToolsBrowser::kRetryInterval * 3);
    EXPECT_FALSE(launcher.accept());
    ASSERT_EQ(problems.size(), 1U);
    EXPECT_NE(problems[0].find("socket not used"), std::string::npos);
    ::chmod(folder.path().c_str(), 0700);
    clock.advance(DevToolsBrowser::kRetryInterval);
    EXPECT_TRUE(launcher.accept());
}

TEST_F(DevToolsBrowserTest, StoppingToFollowStopsLookingForTheLauncher) {
    browser.follow(true);
    browser.follow(false);
    EXPECT_EQ(clock.pendingCount(), 0U);
    launcher.listen();
    clock.advance(DevToolsBrowser::kRetryInterval * 2);
    EXPECT_FALSE(launcher.accept());
}

}  // namespace
}  // namespace halvern::platform

#include "platform/browser/BrowserRelay.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>

#include "BrowserMessages.h"
#include "RelayTestPeer.h"
#include "platform/browser/RelaySocket.h"

namespace halvern::platform {
namespace {

using browsertest::attachFrame;
using browsertest::attachPage;
using browsertest::attachPopup;
using browsertest::event;
using browsertest::RelayTestPeer;
using browsertest::windowOpen;
using nlohmann::json;

/// Small, so a test can send a message over it without megabytes.
constexpr std::size_t kCap = 4096;

/// A relay between a scripted browser on a socket pair and scripted Zorviks on a real socket in
/// a temporary folder. Everything runs on the test's thread: pump() lets the relay handle what
/// is waiting and collects what it sent.
class BrowserRelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::signal(SIGPIPE, SIG_IGN);
        std::string pattern = (std::filesystem::temp_directory_path() / "relay-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        socketPath = m_folder + "/relay/zorvik-browser.sock";
        std::string error;
        ASSERT_TRUE(m_listener.listen(socketPath, error)) << error;
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        browser = std::make_unique<RelayTestPeer>(pair[0]);
        relay =
            std::make_unique<BrowserRelay>(pair[1], pair[1], m_listener.fd(), ::geteuid(), kCap);
        relay->log = [this](const std::string& line) { logLines.push_back(line); };
        relay->useClock([this] { return now; });
        relay->start();
        pump();
        const auto version = browser->withMethod("Browser.getVersion");
        ASSERT_EQ(version.size(), 1U);
        browser->send(
            json{{"id", version[0]["id"]}, {"result", {{"product", "Chrome/156.0.1.2"}}}});
        pump();
    }

    void TearDown() override {
        relay.reset();
        std::filesystem::remove_all(m_folder);
    }

    /// Lets the relay handle everything waiting, then collects what reached the peers.
    void pump(std::initializer_list<RelayTestPeer*> clients = {}) {
        for (int round = 0; round < 8; ++round) {
            relay->step(0);
            browser->collect();
            for (RelayTestPeer* client : clients) {
                client->collect();
            }
        }
    }

    /// A Zorvik connected and greeted.
    std::unique_ptr<RelayTestPeer> connectClient() {
        auto client = std::make_unique<RelayTestPeer>();
        EXPECT_TRUE(client->connect(socketPath));
        pump({client.get()});
        EXPECT_TRUE(relay->clientConnected());
        return client;
    }

    /// The commands the browser received from `mark` on, as (method, session) texts.
    std::vector<std::string> commandsSince(std::size_t mark) const {
        std::vector<std::string> commands;
        for (std::size_t i = mark; i < browser->received.size(); ++i) {
            const json& message = browser->received[i];
            commands.push_back(message.value("method", "") + "@" + message.value("sessionId", ""));
        }
        return commands;
    }

    /// A page "T1" on session "S1", set up and running.
    void openPage() {
        browser->send(attachPage("S1", "T1", "http://news.test/"));
        pump();
    }

    /// A popup of T1 the browser says had no gesture, on session `session`.
    void openPopupWithoutGesture(const std::string& session, const std::string& target) {
        browser->send(windowOpen("S1", "http://ads.test/pop", false));
        browser->send(attachPopup(session, target, "T1"));
        pump();
    }

    /// The browser answers the last command it received with this method (with an error when
    /// `refused`).
    void answer(const std::string& method, bool refused = false) {
        const auto commands = browser->withMethod(method);
        ASSERT_FALSE(commands.empty()) << method;
        json reply = {{"id", commands.back()["id"]}};
        if (refused) {
            reply["error"] = {{"code", -32000}, {"message", "refused"}};
        } else {
            reply["result"] = json::object();
        }
        if (commands.back().contains("sessionId")) {
            reply["sessionId"] = commands.back()["sessionId"];
        }
        browser->send(reply);
        pump();
    }

    /// Moves the relay's clock on and lets it handle what came due.
    void advance(Millis by) {
        now += by;
        pump();
    }

    Millis now{1000000};
    std::string socketPath;
    std::unique_ptr<RelayTestPeer> browser;
    std::unique_ptr<BrowserRelay> relay;
    std::vector<std::string> logLines;

private:
    std::string m_folder;
    RelaySocket m_listener;
};

TEST_F(BrowserRelayTest, SetsTheBrowserUpWithIdsOfItsOwn) {
    ASSERT_GE(browser->received.size(), 3U);
    for (const json& command : browser->received) {
        EXPECT_LT(command["id"].get<std::int64_t>(), 0) << command.dump();
    }
    const auto discover = browser->withMethod("Target.setDiscoverTargets");
    ASSERT_EQ(discover.size(), 1U);
    EXPECT_EQ(discover[0]["params"], (json{{"discover", true}}));
    const auto attach = browser->withMethod("Target.setAutoAttach");
    ASSERT_EQ(attach.size(), 1U);
    EXPECT_FALSE(attach[0].contains("sessionId"));
    EXPECT_EQ(attach[0]["params"],
              (json{{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}}));
}

TEST_F(BrowserRelayTest, SetsUpEverySessionAndResumesAllButHeldPopups) {
    openPage();
    struct Case {
        std::string message;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {attachFrame("S1", "F1", "TF1", "http://ads.test/"),
         {"Page.enable@F1", "Target.setAutoAttach@F1", "Runtime.runIfWaitingForDebugger@F1"}},
        {browsertest::attach("", "W1", {{"targetId", "TW1"}, {"type", "service_worker"}}, true),
         {"Runtime.runIfWaitingForDebugger@W1"}},
        {attachPage("U1", "TU1", "chrome://omnibox-popup.top-chrome/", "browser_ui"),
         {"Page.enable@U1", "Target.setAutoAttach@U1", "Runtime.runIfWaitingForDebugger@U1"}},
        // A held popup is set up but stays paused while a Zorvik... here, with none, it is
        // decided: the browser said nothing of a gesture, so it runs.
        {attachPopup("P1", "TP1", "T1"),
         {"Page.enable@P1", "Target.setAutoAttach@P1", "Runtime.runIfWaitingForDebugger@P1"}},
    };
    for (const Case& c : cases) {
        const std::size_t mark = browser->received.size();
        browser->send(c.message);
        pump();
        EXPECT_EQ(commandsSince(mark), c.expected) << c.message;
    }
    // Frames attach unpaused, and only the Page domain is ever enabled.
    for (const json& command : browser->withMethod("Target.setAutoAttach")) {
        if (command.contains("sessionId")) {
            EXPECT_FALSE(command["params"]["waitForDebuggerOnStart"].get<bool>());
        }
    }
    EXPECT_TRUE(browser->withMethod("Network.enable").empty());
    EXPECT_TRUE(browser->withMethod("Runtime.enable").empty());
}

TEST_F(BrowserRelayTest, AloneCancelsOnlyPopupsTheBrowserSaysHadNoGesture) {
    openPage();
    browser->send(attachFrame("S1", "F1", "TF1", "http://ads.test/"));
    pump();
    struct Case {
        const char* name;
        std::optional<std::string> windowOpenSession;
        bool gesture;
        bool cancelled;
    };
    const Case cases[] = {
        {"no gesture", "S1", false, true},
        {"a click", "S1", true, false},
        {"no gesture, from a frame of its own", "F1", false, true},
        {"the browser said nothing", std::nullopt, false, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string session = "P" + std::to_string(++n);
        const std::string target = "TP" + std::to_string(n);
        if (c.windowOpenSession) {
            browser->send(windowOpen(*c.windowOpenSession, "http://ads.test/pop", c.gesture));
        }
        const std::size_t mark = browser->received.size();
        browser->send(attachPopup(session, target, "T1"));
        pump();
        const std::vector<std::string> commands = commandsSince(mark);
        std::vector<std::string> expected = {"Page.enable@" + session,
                                             "Target.setAutoAttach@" + session};
        // A cancelled popup is first intercepted, and resumed only once that is confirmed.
        expected.push_back((c.cancelled ? "Fetch.enable@" : "Runtime.runIfWaitingForDebugger@") +
                           session);
        EXPECT_EQ(commands, expected) << c.name;
    }
}

TEST_F(BrowserRelayTest, CancelsInTheOrderThatLetsNoRequestOut) {
    openPage();
    struct Case {
        const char* name;
        bool interceptionRefused;
    };
    // Refused or not, the cancel goes on: a popup left paused would freeze its opener.
    for (const Case& c : {Case{"intercepted", false}, Case{"interception refused", true}}) {
        openPopupWithoutGesture("P1", "TP1");
        std::size_t mark = browser->received.size();
        // Nothing moves on before the browser has answered, however long that takes.
        advance(PopupCancels::kGrace * 5);
        EXPECT_TRUE(commandsSince(mark).empty()) << c.name;
        answer("Fetch.enable", c.interceptionRefused);
        EXPECT_EQ(commandsSince(mark),
                  std::vector<std::string>{"Runtime.runIfWaitingForDebugger@P1"})
            << c.name;

        // Its first request is failed, and it is closed only once the browser has done that.
        mark = browser->received.size();
        browser->send(event("Fetch.requestPaused", {{"requestId", "R1"}}, "P1"));
        pump();
        EXPECT_EQ(commandsSince(mark), std::vector<std::string>{"Fetch.failRequest@P1"}) << c.name;
        EXPECT_EQ(browser->received.back()["params"],
                  (json{{"requestId", "R1"}, {"errorReason", "BlockedByClient"}}));
        answer("Fetch.failRequest");
        EXPECT_EQ(commandsSince(mark),
                  (std::vector<std::string>{"Fetch.failRequest@P1", "Target.closeTarget@"}))
            << c.name;
        EXPECT_EQ(browser->received.back()["params"], (json{{"targetId", "TP1"}}));

        // A request it makes before the close takes effect is failed too; nothing is closed
        // twice.
        mark = browser->received.size();
        browser->send(event("Fetch.requestPaused", {{"requestId", "R2"}}, "P1"));
        pump();
        answer("Fetch.failRequest");
        advance(PopupCancels::kGrace);
        EXPECT_EQ(commandsSince(mark), std::vector<std::string>{"Fetch.failRequest@P1"}) << c.name;
        browser->send(
            event("Target.detachedFromTarget", {{"sessionId", "P1"}, {"targetId", "TP1"}}));
        browser->send(event("Target.targetDestroyed", {{"targetId", "TP1"}}));
        pump();
    }
}

TEST_F(BrowserRelayTest, ClosesACancelledPopupThatAsksForNothingAfterItsGrace) {
    openPage();
    openPopupWithoutGesture("P1", "TP1");
    openPopupWithoutGesture("P2", "TP2");
    answer("Fetch.enable");
    now += Millis(300);
    browser->send(json{{"id", browser->withMethod("Fetch.enable")[0]["id"]},
                       {"result", json::object()},
                       {"sessionId", "P1"}});
    pump();
    const std::size_t mark = browser->received.size();
    // The user closes P2 before its grace is out: it is not closed again.
    browser->send(event("Target.detachedFromTarget", {{"sessionId", "P2"}, {"targetId", "TP2"}}));
    browser->send(event("Target.targetDestroyed", {{"targetId", "TP2"}}));
    advance(PopupCancels::kGrace - Millis(1));
    EXPECT_TRUE(commandsSince(mark).empty());
    advance(Millis(1));
    EXPECT_EQ(commandsSince(mark), std::vector<std::string>{"Target.closeTarget@"});
    EXPECT_EQ(browser->received.back()["params"], (json{{"targetId", "TP1"}}));
    advance(PopupCancels::kGrace * 3);
    EXPECT_EQ(commandsSince(mark).size(), 1U);
}

TEST_F(BrowserRelayTest, TheGraceWakesTheRelayOnTheRealClock) {
    // The monotonic clock, as in the launcher: a step with no limit returns once the grace is out.
    relay->useClock([] {
        return std::chrono::duration_cast<Millis>(
            std::chrono::steady_clock::now().time_since_epoch());
    });
    openPage();
    openPopupWithoutGesture("P1", "TP1");
    answer("Fetch.enable");
    const std::size_t mark = browser->received.size();
    for (int round = 0; round < 5 && commandsSince(mark).empty(); ++round) {
        relay->step(-1);
        browser->collect();
    }
    EXPECT_EQ(commandsSince(mark), std::vector<std::string>{"Target.closeTarget@"});
}

TEST_F(BrowserRelayTest, FailsTheRequestsOfACancelledPopupOnly) {
    openPage();
    browser->send(windowOpen("S1", "http://ads.test/pop", false));
    browser->send(attachPopup("P1", "TP1", "T1"));
    pump();
    const std::size_t mark = browser->received.size();
    browser->send(event("Fetch.requestPaused", {{"requestId", "R7"}}, "P1"));
    browser->send(event("Fetch.requestPaused", {{"requestId", "R8"}}, "S1"));
    pump();
    ASSERT_EQ(commandsSince(mark), std::vector<std::string>{"Fetch.failRequest@P1"});
    EXPECT_EQ(browser->received.back()["params"],
              (json{{"requestId", "R7"}, {"errorReason", "BlockedByClient"}}));
}

TEST_F(BrowserRelayTest, GreetsAZorvikWithTheSessionsAttachedSoFar) {
    openPage();
    browser->send(attachFrame("S1", "F1", "TF1", "http://ads.test/"));
    pump();
    auto first = connectClient();
    browser->send(windowOpen("S1", "http://ads.test/pop", false));
    browser->send(attachPopup("P1", "TP1", "T1"));
    pump({first.get()});
    // Zorvik's to decide: the launcher leaves it paused.
    EXPECT_TRUE(browser->withMethod("Fetch.enable").empty());
    EXPECT_EQ(relay->router().book().heldPopups().size(), 1U);

    auto second = connectClient();
    std::vector<std::string> greeting;
    for (const json& message : second->received) {
        greeting.push_back(message["method"].get<std::string>() + " " +
                           message["params"].value("sessionId", "") + " " +
                           message.value("sessionId", "") + " " +
                           (message["params"].value("waitingForDebugger", false) ? "held" : ""));
    }
    EXPECT_EQ(greeting,
              (std::vector<std::string>{"Relay.hello   ", "Target.attachedToTarget S1  ",
                                        "Target.attachedToTarget F1 S1 ",
                                        "Target.attachedToTarget P1  held", "Relay.ready   "}));
    EXPECT_EQ(second->received[0]["params"],
              (json{{"version", 1}, {"product", "Chrome/156.0.1.2"}}));
    // The older connection is closed; the popup is still held, now for the newer Zorvik.
    EXPECT_FALSE(first->collect());
    EXPECT_EQ(relay->router().book().heldPopups().size(), 1U);
}

TEST_F(BrowserRelayTest, RoutesZorviksCommandsAndRepliesByTheirIds) {
    openPage();
    auto zorvik = connectClient();
    const std::size_t greeting = zorvik->received.size();
    const std::string command = R"({"id":7,"method":"Page.reload","sessionId":"S1","params":{}})";
    zorvik->send(command);
    pump({zorvik.get()});
    EXPECT_EQ(browser->texts.back(), command);

    // The browser's replies: Zorvik's id goes back as written, the launcher's own never.
    browser->send(json{{"id", -100}, {"result", json::object()}});
    const std::string reply = R"({"id":7,"result":{},"sessionId":"S1"})";
    browser->send(reply);
    const std::string navigated = event("Page.loadEventFired", {{"timestamp", 1.5}}, "S1");
    browser->send(navigated);
    pump({zorvik.get()});
    ASSERT_EQ(zorvik->texts.size(), greeting + 2);
    EXPECT_EQ(zorvik->texts[greeting], reply);
    EXPECT_EQ(zorvik->texts[greeting + 1], navigated);

    // A reply is delivered once; a second with the same id is a reply to nothing.
    browser->send(reply);
    pump({zorvik.get()});
    EXPECT_EQ(zorvik->texts.size(), greeting + 2);
}

TEST_F(BrowserRelayTest, RefusesTheSetUpRelayCommandsAndIdsOutOfRange) {
    auto zorvik = connectClient();
    const std::size_t sent = browser->received.size();
    struct Case {
        std::string command;
        bool answered;
    };
    const Case cases[] = {
        {R"({"id":1,"method":"Target.setAutoAttach","params":{"autoAttach":false}})", true},
        {R"({"id":2,"method":"Target.setDiscoverTargets","params":{"discover":false}})", true},
        {R"({"id":3,"method":"Relay.hello","params":{}})", true},
        {R"({"id":4,"params":{}})", true},
        {R"({"id":0,"method":"Page.reload"})", false},
        {R"({"id":-5,"method":"Page.reload"})", false},
        {R"({"id":2147483648,"method":"Page.reload"})", false},
        {R"({"id":"9","method":"Page.reload"})", false},
        {R"({"method":"Page.reload"})", false},
    };
    for (const Case& c : cases) {
        const std::size_t before = zorvik->received.size();
        zorvik->send(c.command);
        pump({zorvik.get()});
        ASSERT_EQ(zorvik->received.size(), before + (c.answered ? 1 : 0)) << c.command;
        if (c.answered) {
            const json& answer = zorvik->received.back();
            EXPECT_EQ(answer["id"], json::parse(c.command)["id"]) << c.command;
            EXPECT_TRUE(answer.contains("error")) << c.command;
        }
    }
    EXPECT_EQ(browser->received.size(), sent);
    EXPECT_TRUE(relay->clientConnected());
}

TEST_F(BrowserRelayTest, ANewerZorvikGetsNoReplyMeantForTheOlder) {
    openPage();
    auto first = connectClient();
    first->send(R"({"id":11,"method":"Page.reload","sessionId":"S1"})");
    pump({first.get()});
    auto second = connectClient();
    const std::size_t greeted = second->received.size();
    browser->send(R"({"id":11,"result":{},"sessionId":"S1"})");
    pump({second.get()});
    EXPECT_EQ(second->received.size(), greeted);
    // The same id is free for the newer Zorvik.
    second->send(R"({"id":11,"method":"Page.reload","sessionId":"S1"})");
    pump({second.get()});
    browser->send(R"({"id":11,"result":{},"sessionId":"S1"})");
    pump({second.get()});
    EXPECT_EQ(second->received.size(), greeted + 1);
}

TEST_F(BrowserRelayTest, DecidesHeldPopupsAtOnceWhenZorvikGoes) {
    openPage();
    auto zorvik = connectClient();
    browser->send(windowOpen("S1", "http://ads.test/timer", false));
    browser->send(attachPopup("P1", "TP1", "T1"));
    browser->send(windowOpen("S1", "http://news.test/story", true));
    browser->send(attachPopup("P2", "TP2", "T1"));
    pump({zorvik.get()});
    EXPECT_EQ(relay->router().book().heldPopups().size(), 2U);
    const std::size_t mark = browser->received.size();
    zorvik->close();
    pump();
    EXPECT_FALSE(relay->clientConnected());
    EXPECT_EQ(commandsSince(mark),
              (std::vector<std::string>{"Fetch.enable@P1", "Runtime.runIfWaitingForDebugger@P2"}));
    EXPECT_TRUE(relay->router().book().heldPopups().empty());
}

TEST_F(BrowserRelayTest, ACancelGoesOnWhenAZorvikConnectsMidway) {
    openPage();
    openPopupWithoutGesture("P1", "TP1");
    auto zorvik = connectClient();
    const std::size_t mark = browser->received.size();
    answer("Fetch.enable");
    browser->send(event("Fetch.requestPaused", {{"requestId", "R1"}}, "P1"));
    pump({zorvik.get()});
    answer("Fetch.failRequest");
    EXPECT_EQ(commandsSince(mark),
              (std::vector<std::string>{"Runtime.runIfWaitingForDebugger@P1",
                                        "Fetch.failRequest@P1", "Target.closeTarget@"}));
    // The launcher's replies are its own.
    zorvik->collect();
    for (const json& message : zorvik->received) {
        EXPECT_FALSE(message.contains("id")) << message.dump();
    }
}

TEST_F(BrowserRelayTest, FinishesTheCancelAZorvikBeganBeforeItWent) {
    openPage();
    auto zorvik = connectClient();
    browser->send(attachPopup("P1", "TP1", "T1"));
    pump({zorvik.get()});
    zorvik->send(
        R"({"id":1,"method":"Fetch.enable","sessionId":"P1","params":{"patterns":[{"urlPattern":"*"}]}})");
    browser->send(R"({"id":1,"result":{},"sessionId":"P1"})");
    zorvik->send(R"({"id":2,"method":"Runtime.runIfWaitingForDebugger","sessionId":"P1"})");
    pump({zorvik.get()});
    // While Zorvik is there, its paused requests are its own to answer.
    browser->send(event("Fetch.requestPaused", {{"requestId", "R1"}}, "P1"));
    browser->send(event("Fetch.requestPaused", {{"requestId", "R2"}}, "P1"));
    pump({zorvik.get()});
    EXPECT_TRUE(browser->withMethod("Fetch.failRequest").empty());
    EXPECT_EQ(zorvik->withMethod("Fetch.requestPaused").size(), 2U);
    zorvik->send(
        R"({"id":3,"method":"Fetch.failRequest","sessionId":"P1","params":{"requestId":"R1","errorReason":"BlockedByClient"}})");
    pump({zorvik.get()});

    // It goes with R2 unanswered: the launcher fails it, and any later request, and closes the
    // popup only once the browser has failed one.
    std::size_t mark = browser->received.size();
    zorvik->close();
    pump();
    browser->send(event("Fetch.requestPaused", {{"requestId", "R3"}}, "P1"));
    pump();
    EXPECT_EQ(commandsSince(mark),
              (std::vector<std::string>{"Fetch.failRequest@P1", "Fetch.failRequest@P1"}));
    EXPECT_EQ(browser->received[mark]["params"]["requestId"], "R2");
    EXPECT_EQ(browser->received[mark + 1]["params"]["requestId"], "R3");
    mark = browser->received.size();
    browser->send(R"({"id":3,"result":{},"sessionId":"P1"})");
    pump();
    EXPECT_TRUE(commandsSince(mark).empty());
    answer("Fetch.failRequest");
    EXPECT_EQ(commandsSince(mark), std::vector<std::string>{"Target.closeTarget@"});
}

TEST_F(BrowserRelayTest, RestartsACancelAZorvikLeftBeforeItsPopupRan) {
    openPage();
    auto zorvik = connectClient();
    browser->send(attachPopup("P1", "TP1", "T1"));
    pump({zorvik.get()});
    zorvik->send(
        R"({"id":1,"method":"Fetch.enable","sessionId":"P1","params":{"patterns":[{"urlPattern":"*"}]}})");
    pump({zorvik.get()});
    const std::size_t mark = browser->received.size();
    zorvik->close();
    pump();
    // The interception Zorvik asked for may not be in place: the launcher asks again and waits
    // for its own reply, which the browser sends after Zorvik's.
    ASSERT_EQ(commandsSince(mark), std::vector<std::string>{"Fetch.enable@P1"});
    browser->send(R"({"id":1,"result":{},"sessionId":"P1"})");
    pump();
    EXPECT_EQ(commandsSince(mark).size(), 1U);
    answer("Fetch.enable");
    EXPECT_EQ(commandsSince(mark),
              (std::vector<std::string>{"Fetch.enable@P1", "Runtime.runIfWaitingForDebugger@P1"}));
    advance(PopupCancels::kGrace);
    EXPECT_EQ(commandsSince(mark).back(), "Target.closeTarget@");
}

TEST_F(BrowserRelayTest, DropsOversizeAndMalformedMessagesAndGoesOn) {
    auto zorvik = connectClient();
    const std::string deep = std::string(1000, '[') + std::string(1000, ']');
    const std::string bad[] = {"{not json", std::string(kCap + 10, 'x'), deep, "[1,2]", "42"};
    for (const std::string& message : bad) {
        browser->send(message);
        zorvik->send(message);
    }
    pump({zorvik.get()});
    EXPECT_GE(logLines.size(), 2 * std::size(bad));
    // Both ends are still served.
    const std::size_t greeted = zorvik->received.size();
    browser->send(attachPage("S1", "T1", "http://news.test/"));
    zorvik->send(R"({"id":5,"method":"Page.reload","sessionId":"S1"})");
    pump({zorvik.get()});
    EXPECT_EQ(zorvik->received.size(), greeted + 1);
    EXPECT_EQ(browser->withMethod("Page.enable").size(), 1U);
    EXPECT_EQ(browser->withMethod("Page.reload").size(), 1U);
    EXPECT_TRUE(relay->browserOpen());
    EXPECT_TRUE(relay->clientConnected());
}

TEST_F(BrowserRelayTest, AZorvikThatDoesNotReadNeverStallsTheBrowser) {
    openPage();
    auto zorvik = connectClient();
    // Far more than the socket holds: the rest waits in the relay's queue.
    const std::string filler(kCap / 2, 'a');
    for (int i = 0; i < 2000; ++i) {
        browser->send(event("Page.frameResized", {{"pad", filler}}, "S1"));
        relay->step(0);
    }
    browser->send(windowOpen("S1", "http://ads.test/pop", false));
    browser->send(attachPopup("P1", "TP1", "T1"));
    pump();
    EXPECT_EQ(browser->withMethod("Page.enable").size(), 2U);
    EXPECT_TRUE(relay->clientConnected());
    // It all arrives once Zorvik reads again, in order.
    for (int round = 0; round < 400 && zorvik->withMethod("Target.attachedToTarget").size() < 2;
         ++round) {
        pump({zorvik.get()});
    }
    EXPECT_EQ(zorvik->withMethod("Page.frameResized").size(), 2000U);
    EXPECT_EQ(zorvik->withMethod("Target.attachedToTarget").size(), 2U);
}

TEST_F(BrowserRelayTest, ClosesAConnectionFromAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to connect as another user";
    }
    // Only the socket's modes keep others out in real use; opened up here, the peer check
    // alone must refuse.
    const std::string folder = std::filesystem::path(socketPath).parent_path().string();
    ::chmod(std::filesystem::path(folder).parent_path().c_str(), 0755);
    ::chmod(folder.c_str(), 0755);
    ::chmod(socketPath.c_str(), 0666);
    int result[2];
    ASSERT_EQ(::pipe(result), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(result[0]);
        char outcome = 'x';
        RelayTestPeer peer;
        if (::setresgid(65534, 65534, 65534) == 0 && ::setresuid(65534, 65534, 65534) == 0 &&
            peer.connect(socketPath)) {
            // Wait for the relay to close it, and see whether anything came first.
            std::array<char, 4096> buffer{};
            const ssize_t got = ::read(peer.fd(), buffer.data(), buffer.size());
            outcome = got == 0 ? 'c' : 'g';
        }
        [[maybe_unused]] const ssize_t put = ::write(result[1], &outcome, 1);
        ::_exit(0);
    }
    ::close(result[1]);
    char outcome = 0;
    for (int round = 0; round < 500; ++round) {
        relay->step(10);
        pollfd ready{result[0], POLLIN, 0};
        if (::poll(&ready, 1, 0) == 1) {
            break;
        }
    }
    ASSERT_EQ(::read(result[0], &outcome, 1), 1);
    ::close(result[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(outcome, 'c') << "c: closed unread, g: greeted, x: could not connect";
    EXPECT_FALSE(relay->clientConnected());
    ASSERT_FALSE(logLines.empty());
    EXPECT_EQ(logLines.back(), "refused a connection from uid 65534");
}

}  // namespace
}  // namespace halvern::platform

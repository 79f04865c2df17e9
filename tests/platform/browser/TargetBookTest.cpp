#include "platform/browser/TargetBook.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "BrowserMessages.h"

namespace halvern::platform {
namespace {

using nlohmann::json;
using namespace browsertest;

/// A book with every event it raises written down as one line each.
struct RecordingBook {
    RecordingBook() {
        book.onPageOpened = [this](const BrowserPage& p) {
            lines.push_back("opened " + p.id + " " + p.url + (p.browserUi ? " ui" : ""));
        };
        book.onPageClosed = [this](const TargetId& id, bool byUser) {
            lines.push_back("closed " + id + (byUser ? " user" : " program"));
        };
        book.onPopupHeld = [this](const HeldPopup& p) {
            const std::string gesture =
                !p.userGesture ? "?" : (*p.userGesture ? "gesture" : "nogesture");
            lines.push_back("held " + p.id + " by " + p.opener + " " + gesture + " " + p.url);
        };
        book.onNavigationStarted = [this](const PageNavigation& n) {
            lines.push_back("starting " + n.page + " " + n.url + (n.topFrame ? "" : " frame"));
        };
        book.onNavigated = [this](const PageNavigation& n) {
            lines.push_back("navigated " + n.page + " " + n.url);
        };
        book.onLoaded = [this](const TargetId& id) { lines.push_back("loaded " + id); };
        book.onLoadingStarted = [this](const TargetId& id) { lines.push_back("busy " + id); };
        book.onLoadingStopped = [this](const TargetId& id) { lines.push_back("idle " + id); };
        book.onProblem = [this](const std::string& text) { problems.push_back(text); };
    }
    void feed(const std::string& text) { book.handleText(text); }
    std::vector<std::string> take() { return std::exchange(lines, {}); }

    TargetBook book;
    std::vector<std::string> lines;
    std::vector<std::string> problems;
};

using Lines = std::vector<std::string>;

TEST(TargetBookTest, PagesOpenAndPopupsAreHeldWithTheGestureOfTheirWindowOpen) {
    RecordingBook b;
    b.feed(attachPage("S1", "T1", "https://news.example/"));
    b.feed(windowOpen("S1", "https://ad.example/pop", true));
    b.feed(attachPopup("S2", "P1", "T1"));
    b.feed(windowOpen("S1", "https://ad.example/second", false));
    b.feed(attachPopup("S3", "P2", "T1"));
    EXPECT_EQ(b.take(), (Lines{"opened T1 https://news.example/",
                               "held P1 by T1 gesture https://ad.example/pop",
                               "held P2 by T1 nogesture https://ad.example/second"}));
    ASSERT_EQ(b.book.pages().size(), 1U);
    EXPECT_EQ(b.book.heldPopups().size(), 2U);
    EXPECT_TRUE(b.problems.empty());
}

TEST(TargetBookTest, APopupOfAFrameInItsOwnProcessCountsForItsPage) {
    RecordingBook b;
    b.feed(attachPage("S1", "T1", "https://news.example/"));
    b.feed(attachFrame("S1", "F1", "I1", "https://frames.example/"));
    b.feed(windowOpen("F1", "https://ad.example/", false));
    b.feed(attachPopup("S2", "P1", "I1"));
    EXPECT_EQ(b.take(), (Lines{"opened T1 https://news.example/",
                               "held P1 by T1 nogesture https://ad.example/"}));
    EXPECT_EQ(b.book.heldPopups().at(0).opener, "T1");
}

TEST(TargetBookTest, ALateWindowOpenIsMatchedToItsPopupNotToTheNext) {
    RecordingBook b;
    b.feed(attachPage("S1", "T1", "https://a.example/"));
    b.feed(attachPopup("S2", "P1", "T1"));
    EXPECT_EQ(b.take().back(), "held P1 by T1 ? ");
    b.feed(windowOpen("S1", "https://late.example/", true));
    EXPECT_EQ(b.book.session("S2")->userGesture, std::optional<bool>(true));
    EXPECT_EQ(b.book.heldPopups().at(0).url, "https://late.example/");
    b.feed(windowOpen("S1", "https://next.example/", false));
    b.feed(attachPopup("S3", "P2", "T1"));
    EXPECT_EQ(b.take(), (Lines{"held P2 by T1 nogesture https://next.example/"}));
}

TEST(TargetBookTest, WindowOpensOfOnePageAreNotGivenToAnother) {
    RecordingBook b;
    b.feed(attachPage("S1", "T1", "https://a.example/"));
    b.feed(attachPage("S2", "T2", "https://b.example/"));
    b.feed(windowOpen("S1", "https://from-a.example/", true));
    b.feed(attachPopup("S3", "P1", "T2"));
    EXPECT_EQ(b.take().back(), "held P1 by T2 ? ");
}

TEST(TargetBookTest, AllowedPopupBecomesAPageCancelledOneClosesAsTheProgramsOwn) {
    RecordingBook b;
    b.feed(attachPage("S1", "T1", "https://a.example/"));
    b.feed(attachPopup("S2", "P1", "T1"));
    b.feed(attachPopup("S3", "P2", "T1"));
    b.take();
    // Allowed: resumed, and from then on a page like any other (announced by nothing).
    b.book.noteCommand(command(1, "Runtime.runIfWaitingForDebugger", json::object(), "S2"));
    // Cancelled: requests failed, resumed, closed.
    b.book.noteCommand(command(2, "Fetch.enable", json::object(), "S3"));
    b.book.noteCommand(command(3, "Runtime.runIfWaitingForDebugger", json::object(), "S3"));
    b.book.noteCommand(command(4, "Target.closeTarget", {{"targetId", "P2"}}));
    EXPECT_TRUE(b.book.heldPopups().empty());
    std::vector<TargetId> ids;
    for (const BrowserPage& p : b.book.pages()) {
        ids.push_back(p.id);
    }
    EXPECT_EQ(ids, (std::vector<TargetId>{"T1", "P1"}));
    // The cancelled popup's own navigation is not the program's business.
    b.feed(event("Page.frameStartedNavigating", {{"frameId", "P2"}, {"url", "https://ad.example/"}},
                 "S3"));
    b.feed(event("Target.targetDestroyed", {{"targetId", "P2"}}));
    b.feed(event("Target.detachedFromTarget", {{"sessionId", "S3"}, {"targetId", "P2"}}));
    b.feed(event("Target.detachedFromTarget", {{"sessionId", "S2"}, {"targetId", "P1"}}));
    EXPECT_EQ(b.take(), (Lines{"closed P2 program", "closed P1 user"}));
    EXPECT_TRUE(b.problems.empty());
}

TEST(TargetBookTest, ClosingAPageDropsItsFramesSessions) {
    RecordingBook b;
    b.feed(attachPage("S1", "T1", "https://a.example/"));
    b.feed(attachFrame("S1", "F1", "I1", "https://frames.example/"));
    b.feed(event("Target.detachedFromTarget", {{"sessionId", "S1"}, {"targetId", "T1"}}));
    EXPECT_EQ(b.take().back(), "closed T1 user");
    EXPECT_EQ(b.book.session("F1"), nullptr);
    EXPECT_TRUE(b.book.sessions().empty());
}

TEST(TargetBookTest, NavigationEventsOfTopFramesAndFrames) {
    struct Case {
        const char* name;
        std::string message;
        Lines lines;
        std::string urlAfter;
    };
    const std::string start = "https://a.example/";
    const std::vector<Case> cases = {
        {"navigation starts in the top frame",
         event("Page.frameStartedNavigating", {{"frameId", "T1"}, {"url", "https://b.example/"}},
               "S1"),
         {"starting T1 https://b.example/"},
         start},
        {"navigation starts in a frame of the page",
         event("Page.frameStartedNavigating", {{"frameId", "X"}, {"url", "https://f.example/"}},
               "S1"),
         {"starting T1 https://f.example/ frame"},
         start},
        {"navigation starts in a frame of its own process",
         event("Page.frameStartedNavigating", {{"frameId", "I1"}, {"url", "https://f.example/"}},
               "F1"),
         {"starting T1 https://f.example/ frame"},
         start},
        {"a javascript: link is scheduled, not started",
         event("Page.frameScheduledNavigation",
               {{"frameId", "T1"}, {"url", "javascript:go()"}, {"reason", "scriptInitiated"}},
               "S1"),
         {"starting T1 javascript:go()"},
         start},
        {"other scheduled navigations are left to frameStartedNavigating",
         event("Page.frameScheduledNavigation",
               {{"frameId", "T1"}, {"url", "https://b.example/"}, {"reason", "metaTagRefresh"}},
               "S1"),
         {},
         start},
        {"the top frame arrives, fragment included",
         event("Page.frameNavigated",
               {{"frame", {{"id", "T1"}, {"url", "https://b.example/"}, {"urlFragment", "#x"}}}},
               "S1"),
         {"navigated T1 https://b.example/#x"},
         "https://b.example/#x"},
        {"a frame arrives: not the page's address",
         event("Page.frameNavigated",
               {{"frame", {{"id", "X"}, {"parentId", "T1"}, {"url", "https://f.example/"}}}}, "S1"),
         {},
         start},
        {"the top frame moves within its document",
         event("Page.navigatedWithinDocument", {{"frameId", "T1"}, {"url", start + "#top"}}, "S1"),
         {"navigated T1 https://a.example/#top"},
         start + "#top"},
        {"the browser's own word on the address",
         event("Target.targetInfoChanged",
               {{"targetInfo",
                 {{"targetId", "T1"}, {"type", "page"}, {"url", "https://c.example/"}}}}),
         {},
         "https://c.example/"},
        {"the top document loads",
         event("Page.loadEventFired", {{"timestamp", 1.5}}, "S1"),
         {"loaded T1"},
         start},
        {"a frame's document loads: not the page's",
         event("Page.loadEventFired", {{"timestamp", 1.5}}, "F1"),
         {},
         start},
        {"the top frame starts and stops loading",
         event("Page.frameStartedLoading", {{"frameId", "T1"}}, "S1") + '\0' +
             event("Page.frameStoppedLoading", {{"frameId", "T1"}}, "S1"),
         {"busy T1", "idle T1"},
         start},
        {"a frame's loading is not the page's",
         event("Page.frameStartedLoading", {{"frameId", "X"}}, "S1") + '\0' +
             event("Page.frameStoppedLoading", {{"frameId", "I1"}}, "F1"),
         {},
         start},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingBook b;
        b.feed(attachPage("S1", "T1", start));
        b.feed(attachFrame("S1", "F1", "I1", "https://frames.example/"));
        b.take();
        std::string rest = c.message;
        for (std::size_t end; (end = rest.find('\0')) != std::string::npos;
             rest.erase(0, end + 1)) {
            b.feed(rest.substr(0, end));
        }
        b.feed(rest);
        EXPECT_EQ(b.take(), c.lines);
        EXPECT_EQ(b.book.locationUrl("T1"), c.urlAfter);
        EXPECT_TRUE(b.problems.empty());
    }
}

TEST(TargetBookTest, PagesOfTheBrowsersOwnInterface) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"chrome://tab-search.top-chrome/", true},
        {"chrome://omnibox-popup.top-chrome/omnibox_popup_aim.html", true},
        {"devtools://devtools/bundled/inspector.html", true},
        {"chrome://settings/", false},
        {"chrome://top-chrome.example/", false},
        {"https://evil.example/chrome://x.top-chrome/", false},
        {"about:blank", false},
    };
    for (const auto& [url, ui] : cases) {
        SCOPED_TRACE(url);
        EXPECT_EQ(isBrowserUiUrl(url), ui);
    }
    RecordingBook b;
    b.feed(attachPage("S1", "U1", "chrome://omnibox-popup.top-chrome/", "browser_ui"));
    EXPECT_EQ(b.take(), (Lines{"opened U1 chrome://omnibox-popup.top-chrome/ ui"}));
}

TEST(TargetBookTest, HostileInputIsReportedAndDropped) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"malformed JSON", "{\"method\": \"Page.loadEventFired\", "},
        {"not an object", "[1, 2, 3]"},
        {"neither id nor method", "{\"params\": {}}"},
        {"an event of an unknown session",
         event("Page.loadEventFired", {{"timestamp", 1}}, "NOSUCH")},
        {"a session that is not a string", R"({"method":"Page.loadEventFired","sessionId":7})"},
        {"a reply to no request", R"({"id": 77, "result": {}})"},
        {"a reply with a malformed id", R"({"id": "1", "result": {}})"},
        {"an attach without a session",
         event("Target.attachedToTarget", {{"targetInfo", {{"targetId", "X"}}}})},
        {"nested too deeply", std::string(100000, '[') + std::string(100000, ']')},
        {"invalid UTF-8", std::string("{\"method\":\"Page.x\",\"params\":{\"a\":\"\xff\"}}")},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        RecordingBook b;
        b.feed(attachPage("S1", "T1", "https://a.example/"));
        b.take();
        b.feed(message);
        EXPECT_EQ(b.problems.size(), 1U);
        EXPECT_TRUE(b.take().empty());
        EXPECT_EQ(b.book.sessions().size(), 1U);
        // The book goes on reading.
        b.feed(event("Page.loadEventFired", {{"timestamp", 1}}, "S1"));
        EXPECT_EQ(b.take(), (Lines{"loaded T1"}));
    }
}

TEST(TargetBookTest, RepliesAnswerTheirRequestOnceAndRefusalsAreReported) {
    RecordingBook b;
    std::vector<std::int64_t> replies;
    b.book.onReply = [&](std::int64_t id, const json&) { replies.push_back(id); };
    b.book.noteCommand(command(5, "Target.closeTarget", {{"targetId", "X"}}));
    b.book.noteCommand(command(6, "Page.enable", json::object()));
    EXPECT_EQ(b.book.pendingRequests(), 2U);
    b.feed(R"({"id": 5, "error": {"code": -32602, "message": "No target with given id"}})");
    b.feed(R"({"id": 6, "result": {}})");
    b.feed(R"({"id": 6, "result": {}})");
    EXPECT_EQ(replies, (std::vector<std::int64_t>{5, 6}));
    ASSERT_EQ(b.problems.size(), 2U);
    EXPECT_NE(b.problems[0].find("Target.closeTarget refused"), std::string::npos);
    EXPECT_NE(b.problems[1].find("reply to no request"), std::string::npos);
    EXPECT_EQ(b.book.pendingRequests(), 0U);
}

TEST(TargetBookTest, TheRelaysReplayBuildsTheStateAndRaisesOnlyReady) {
    RecordingBook first;
    first.feed(attachPage("S1", "T1", "https://a.example/"));
    first.feed(attachFrame("S1", "F1", "I1", "https://frames.example/"));
    first.feed(windowOpen("S1", "https://ad.example/", false));
    first.feed(attachPopup("S2", "P1", "T1"));
    first.feed(attachPopup("S3", "P2", "T1"));
    first.book.noteCommand(command(1, "Runtime.runIfWaitingForDebugger", json::object(), "S3"));

    RecordingBook second;
    bool ready = false;
    second.book.onReady = [&] { ready = true; };
    second.feed(event("Relay.hello", {{"version", 1}, {"product", "Chrome/156"}}));
    const std::vector<std::string> replay = first.book.attachEvents();
    ASSERT_EQ(replay.size(), 4U);
    for (const std::string& message : replay) {
        second.feed(message);
    }
    EXPECT_TRUE(second.take().empty());
    EXPECT_FALSE(ready);
    second.feed(event("Relay.ready", json::object()));
    EXPECT_TRUE(ready);
    EXPECT_EQ(second.book.product(), "Chrome/156");
    ASSERT_EQ(second.book.pages().size(), 2U);
    EXPECT_EQ(second.book.pages()[1].id, "P2");
    ASSERT_EQ(second.book.heldPopups().size(), 1U);
    EXPECT_EQ(second.book.heldPopups()[0].id, "P1");
    EXPECT_EQ(second.book.heldPopups()[0].opener, "T1");
    EXPECT_EQ(second.book.session("F1")->page, "T1");
    // After the replay, events flow again.
    second.feed(event("Page.loadEventFired", {{"timestamp", 1}}, "S1"));
    EXPECT_EQ(second.take(), (Lines{"loaded T1"}));
    EXPECT_TRUE(second.problems.empty());
}

TEST(TargetBookTest, AGreetingStartsAfresh) {
    RecordingBook b;
    b.feed(attachPage("S1", "T1", "https://a.example/"));
    b.book.noteCommand(command(9, "Page.enable", json::object(), "S1"));
    b.feed(event("Relay.hello", {{"version", 1}}));
    EXPECT_TRUE(b.book.sessions().empty());
    EXPECT_EQ(b.book.pendingRequests(), 0U);
}

}  // namespace
}  // namespace halvern::platform

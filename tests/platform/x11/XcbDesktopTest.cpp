// The xcb desktop on a private Xvfb display, with openbox and without a window manager, against
// windows of zorvik_testwindow.

#include "platform/x11/XcbDesktop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <memory>
#include <optional>

#include "X11TestSupport.h"
#include "platform/linux/PollScheduler.h"

namespace halvern::platform {
namespace {

using namespace std::chrono_literals;
using testing::TestWindow;
using testing::XServer;

enum class Manager { Openbox, None };

std::string managerName(const ::testing::TestParamInfo<Manager>& info) {
    return info.param == Manager::Openbox ? "Openbox" : "NoWindowManager";
}

class XcbDesktopTest : public ::testing::TestWithParam<Manager> {
protected:
    void SetUp() override {
        // Xlib decodes COMPOUND_TEXT in the locale's terms, as in the program, which sets it.
        std::setlocale(LC_ALL, "C.UTF-8");
        server = std::make_unique<XServer>(GetParam() == Manager::Openbox);
        desktop = std::make_unique<XcbDesktop>(scheduler, server->name());
        ASSERT_TRUE(desktop->available());
        // openbox states its client list a moment after it announces itself.
        const bool managed = GetParam() == Manager::Openbox;
        ASSERT_TRUE(testing::runUntil(
            scheduler, [&] { return desktop->windowManagerPresent() == managed; }, 5s));
    }

    std::optional<WindowInfo> find(std::uint64_t id) {
        for (const WindowInfo& info : desktop->windows()) {
            if (info.id == id) {
                return info;
            }
        }
        return std::nullopt;
    }

    /// Runs the loop until the cache holds the window (or no longer does).
    bool waitListed(std::uint64_t id, bool listed = true) {
        return testing::runUntil(
            scheduler, [&] { return find(id).has_value() == listed; }, 5s);
    }

    std::vector<WindowId> ids() {
        std::vector<WindowId> list;
        for (const WindowInfo& info : desktop->windows()) {
            list.push_back(info.id);
        }
        return list;
    }

    PollScheduler scheduler;
    std::unique_ptr<XServer> server;
    std::unique_ptr<XcbDesktop> desktop;
};

TEST_P(XcbDesktopTest, ListsWindowsWithTheirPropertiesTopmostFirst) {
    TestWindow first({"--title", "Grüße aus Köln – Ωμέγα 你好", "--class", "FirstClass", "--role",
                      "pop-up", "--type", "dialog"});
    ASSERT_TRUE(waitListed(first.id()));
    TestWindow second({"--title", "Second", "--class", "Browser", "--role", "browser", "--pid",
                       "4242", "--machine", "elsewhere.example"});
    ASSERT_TRUE(waitListed(second.id()));
    ASSERT_TRUE(testing::runUntil(
        scheduler, [&] { return find(first.id())->visible; }, 5s));

    const WindowInfo one = *find(first.id());
    EXPECT_EQ(one.title, "Grüße aus Köln – Ωμέγα 你好");
    EXPECT_EQ(one.className, "FirstClass");
    EXPECT_EQ(one.role, "pop-up");
    EXPECT_EQ(one.type, "dialog");
    EXPECT_EQ(one.pid, first.pid());
    EXPECT_TRUE(one.localMachine);
    EXPECT_TRUE(one.visible);
    const WindowInfo two = *find(second.id());
    EXPECT_EQ(two.className, "Browser");
    EXPECT_EQ(two.role, "browser");
    EXPECT_EQ(two.type, "");
    EXPECT_EQ(two.pid, 4242);
    EXPECT_FALSE(two.localMachine);

    const auto at = [this](WindowId id) {
        const std::vector<WindowId> order = ids();
        return std::ranges::find(order, id) - order.begin();
    };
    // The window manager may raise the new window a moment after it lists it.
    EXPECT_TRUE(testing::runUntil(
        scheduler, [&] { return at(second.id()) < at(first.id()); }, 5s))
        << "the newest window is on top";
    EXPECT_TRUE(desktop->children(first.id()).empty());
}

TEST_P(XcbDesktopTest, DecodesTitlesInEveryEncoding) {
    struct Case {
        const char* encoding;
        const char* title;
    };
    const Case cases[] = {
        {"utf8", "Ünïcødé ✓ 日本語"},
        {"latin1", "Café Olé à la française"},
        {"compound", "Привет Café Ωmega"},
        {"compound", "Plain ASCII"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding + std::string(" ") + c.title);
        std::uint64_t id = 0;
        {
            TestWindow window({"--encoding", c.encoding, "--title", c.title});
            id = window.id();
            ASSERT_TRUE(waitListed(id));
            EXPECT_EQ(find(id)->title, c.title);
        }
        // The next window may well get the same id.
        ASSERT_TRUE(waitListed(id, false));
    }
}

TEST_P(XcbDesktopTest, CapsLongTitlesAndRepairsBrokenUtf8) {
    const std::string longTitle = std::string(3000, 'a') + std::string(1000, 'b') + "€€€€€";
    TestWindow huge({"--title", longTitle + std::string(5000, 'c')});
    TestWindow broken({"--title", "bad \xff\xfe bytes \xe2\x82"});
    TestWindow untitled({"--encoding", "none"});
    ASSERT_TRUE(waitListed(huge.id()));
    ASSERT_TRUE(waitListed(broken.id()));
    ASSERT_TRUE(waitListed(untitled.id()));

    const std::string title = find(huge.id())->title;
    EXPECT_LE(title.size(), 4096u);
    EXPECT_EQ(title.substr(0, 4000), longTitle.substr(0, 4000));
    EXPECT_EQ(find(broken.id())->title,
              "bad \xEF\xBF\xBD\xEF\xBF\xBD bytes \xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(find(untitled.id())->title, "");
}

TEST_P(XcbDesktopTest, SkipsDocksDesktopsAndOverrideRedirectWindows) {
    TestWindow dock({"--type", "dock", "--title", "Dock"});
    TestWindow background({"--type", "desktop", "--title", "Desktop"});
    TestWindow menu({"--override-redirect", "--title", "Menu"});
    TestWindow dialog({"--type", "dialog", "--title", "Dialog"});
    ASSERT_TRUE(waitListed(dialog.id()));
    scheduler.wait(200ms);
    EXPECT_FALSE(find(dock.id()));
    EXPECT_FALSE(find(background.id()));
    EXPECT_FALSE(find(menu.id()));
}

TEST_P(XcbDesktopTest, ListsTransientAndIconicWindowsAsTopLevel) {
    TestWindow main({"--title", "Main"});
    TestWindow transient({"--title", "Transient", "--transient-for", std::to_string(main.id())});
    TestWindow iconic({"--title", "Iconic", "--iconic"});
    ASSERT_TRUE(waitListed(transient.id()));
    ASSERT_TRUE(waitListed(iconic.id()));
    EXPECT_TRUE(testing::runUntil(
        scheduler, [&] { return find(iconic.id())->visible; }, 5s));
    EXPECT_TRUE(find(transient.id())->visible);
}

TEST_P(XcbDesktopTest, ClosesOnlyPolitely) {
    TestWindow polite({"--title", "Polite"});
    TestWindow rude({"--title", "Rude", "--no-delete"});
    TestWindow stubborn({"--title", "Stubborn", "--ignore-close"});
    ASSERT_TRUE(waitListed(polite.id()));
    ASSERT_TRUE(waitListed(rude.id()));
    ASSERT_TRUE(waitListed(stubborn.id()));

    const std::uint64_t before = desktop->generation();
    EXPECT_EQ(desktop->requestClose(polite.id()), CloseResult::Requested);
    EXPECT_EQ(polite.nextLine(), "close request");
    EXPECT_TRUE(polite.ended());
    EXPECT_TRUE(waitListed(polite.id(), false)) << "the closed window leaves the cache";
    EXPECT_GT(desktop->generation(), before);

    EXPECT_EQ(desktop->requestClose(rude.id()), CloseResult::NotAccepted);
    EXPECT_EQ(desktop->requestClose(stubborn.id()), CloseResult::Requested);
    EXPECT_EQ(stubborn.nextLine(), "close request");
    scheduler.wait(200ms);
    EXPECT_FALSE(rude.ended(0ms));
    EXPECT_FALSE(stubborn.ended(0ms));
    EXPECT_TRUE(find(rude.id()));
    EXPECT_TRUE(find(stubborn.id()));
}

TEST_P(XcbDesktopTest, AWindowGoneBeforeItsCloseRequestIsGone) {
    TestWindow window({"--title", "Short-lived"});
    ASSERT_TRUE(waitListed(window.id()));
    window.kill();
    // Still in the cache: the display has not said yet that it went.
    EXPECT_EQ(desktop->requestClose(window.id()), CloseResult::Gone);
    EXPECT_TRUE(waitListed(window.id(), false));
    EXPECT_EQ(desktop->requestClose(window.id()), CloseResult::Gone);
    EXPECT_EQ(desktop->requestClose(0), CloseResult::Gone);
    EXPECT_TRUE(desktop->available());
}

TEST_P(XcbDesktopTest, NotifiesOneCreatedPerNewWindowAndEveryRetitle) {
    std::vector<WindowId> created;
    std::vector<WindowId> retitled;
    std::vector<WindowId> activated;
    desktop->onCreated = [&](WindowId id) { created.push_back(id); };
    desktop->onTitleChanged = [&](WindowId id) { retitled.push_back(id); };
    desktop->onActivated = [&](WindowId id) { activated.push_back(id); };
    desktop->follow(true);

    TestWindow window({"--title", "Before", "--retitle", "After ✓", "--retitle-after", "400"});
    ASSERT_TRUE(waitListed(window.id()));
    const std::uint64_t listed = desktop->generation();
    EXPECT_EQ(window.nextLine(), "retitled");
    ASSERT_TRUE(testing::runUntil(
        scheduler, [&] { return find(window.id())->title == "After ✓"; }, 5s));
    EXPECT_GT(desktop->generation(), listed);
    scheduler.wait(300ms);  // whatever else the new window causes
    EXPECT_EQ(created, std::vector<WindowId>{window.id()});
    EXPECT_EQ(retitled, std::vector<WindowId>{window.id()});
    if (GetParam() == Manager::Openbox) {
        // openbox gives the new window the focus.
        EXPECT_NE(std::ranges::find(activated, window.id()), activated.end());
    }

    desktop->follow(false);
    created.clear();
    TestWindow unseen({"--title", "Unseen"});
    ASSERT_TRUE(waitListed(unseen.id())) << "the cache stays current without notifications";
    EXPECT_TRUE(created.empty());
}

TEST_P(XcbDesktopTest, AWindowWithTheIdOfOneGoneIsNewEvenWhenBothCameInOneBatch) {
    std::vector<WindowId> created;
    desktop->onCreated = [&](WindowId id) { created.push_back(id); };
    desktop->follow(true);
    // The same properties in both, so only the id's history tells them apart.
    const std::vector<std::string> options = {"--title", "Twin", "--pid", "4242"};
    auto first = std::make_unique<TestWindow>(options);
    const WindowId id = first->id();
    ASSERT_TRUE(waitListed(id));
    scheduler.wait(300ms);  // whatever else the new window causes
    const std::uint64_t before = desktop->generation();
    created.clear();

    // The loop does not run between the first window's end and the second's start.
    first->kill();
    first.reset();
    std::vector<std::string> later = options;
    later.insert(later.end(), {"--retitle", "Twin, retitled", "--retitle-after", "600"});
    TestWindow second(later);
    ASSERT_EQ(second.id(), id) << "the display did not give the id out again";
    EXPECT_TRUE(testing::runUntil(
        scheduler, [&] { return std::ranges::count(created, id) == 1; }, 5s));
    EXPECT_TRUE(waitListed(id));
    EXPECT_GT(desktop->generation(), before);
    // The new window is watched from the start: its retitle is seen.
    EXPECT_TRUE(testing::runUntil(
        scheduler, [&] { return find(id) && find(id)->title == "Twin, retitled"; }, 5s));
}

TEST_P(XcbDesktopTest, GenerationStaysWhileNothingChanges) {
    TestWindow window({"--title", "Still"});
    ASSERT_TRUE(waitListed(window.id()));
    scheduler.wait(300ms);
    const std::uint64_t settled = desktop->generation();
    scheduler.wait(300ms);
    EXPECT_EQ(desktop->generation(), settled);
    EXPECT_EQ(desktop->readAll().size(), desktop->windows().size());
}

INSTANTIATE_TEST_SUITE_P(X11, XcbDesktopTest, ::testing::Values(Manager::Openbox, Manager::None),
                         managerName);

TEST(XcbDesktop, FollowsTheWindowManagerGoingAway) {
    XServer server(true);
    PollScheduler scheduler;
    XcbDesktop desktop(scheduler, server.name());
    // A window mapped while openbox is still starting is never managed by it.
    ASSERT_TRUE(testing::runUntil(
        scheduler, [&] { return desktop.windowManagerPresent(); }, 5s));
    TestWindow window({"--title", "Survivor"});
    ASSERT_TRUE(testing::runUntil(
        scheduler, [&] { return desktop.windows().size() == 1; }, 5s))
        << desktop.windows().size()
        << " windows, a window manager: " << desktop.windowManagerPresent();
    ASSERT_TRUE(desktop.windowManagerPresent());
    server.stopWindowManager();
    EXPECT_TRUE(testing::runUntil(
        scheduler, [&] { return !desktop.windowManagerPresent(); }, 5s));
    EXPECT_TRUE(testing::runUntil(
        scheduler,
        [&] {
            const auto list = desktop.windows();
            return list.size() == 1 && list[0].id == window.id() && list[0].title == "Survivor";
        },
        5s));
}

TEST(XcbDesktop, OutlivesItsDisplay) {
    auto server = std::make_unique<XServer>(false);
    PollScheduler scheduler;
    XcbDesktop desktop(scheduler, server->name());
    TestWindow window({"--title", "Doomed"});
    ASSERT_TRUE(testing::runUntil(
        scheduler, [&] { return desktop.windows().size() == 1; }, 5s));
    server.reset();
    EXPECT_TRUE(testing::runUntil(
        scheduler, [&] { return !desktop.available(); }, 5s));
    EXPECT_TRUE(desktop.windows().empty());
    EXPECT_EQ(desktop.requestClose(window.id()), CloseResult::Gone);
    EXPECT_FALSE(desktop.pressButton(window.id(), "&No"));
}

TEST(XcbDesktop, IsUnavailableWithoutADisplay) {
    PollScheduler scheduler;
    XcbDesktop desktop(scheduler, ":4093");
    EXPECT_FALSE(desktop.available());
    EXPECT_TRUE(desktop.windows().empty());
    EXPECT_EQ(desktop.requestClose(0x400001), CloseResult::Gone);
    EXPECT_FALSE(desktop.pressButton(0x400001, "&No"));
}

}  // namespace
}  // namespace halvern::platform

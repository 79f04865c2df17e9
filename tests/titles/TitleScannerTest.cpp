#include "titles/TitleScanner.h"

#include <functional>

#include "TitlesFixture.h"

namespace halvern::titles::fixture {
namespace {

class TitleScannerTest : public TitlesTest {
protected:
    TitleScannerTest() { useList({"Casino", "Ad Window", "Popup"}); }
};

TEST_F(TitleScannerTest, ClosesAMatchingWindowAndRecordsItOnce) {
    const auto keep = open("Popup");  // five characters: never closed
    const auto popup = open("Online CASINO bonus", "Popwin");
    clock.advance(500ms);

    EXPECT_EQ(desktop.closeRequests, std::vector<platform::WindowId>{popup});
    EXPECT_TRUE(isOpen(keep));
    EXPECT_EQ(ring(), std::vector<std::string>{
                          "09:05:07 found 'Casino' within Window Title 'Online CASINO bonus'"});
    const std::string text =
        "User Defined Popup Blocked (sub window) 'Online CASINO bonus' 'Popwin'";
    EXPECT_EQ(statusLines.back(), text);
    EXPECT_EQ(form.lblpage.caption(), text);
    EXPECT_EQ(form.lbltype.caption(), "cancelled popup on page ");
    EXPECT_EQ(fake.sound.played, std::vector<std::string>{"/opt/halvern/pop.wav"});
    EXPECT_EQ(state.nBlockedToday, 1);
    EXPECT_TRUE(tray.TimerTrayFlash.enabled());
    EXPECT_EQ(form.lblLastTitle.caption(), "Allow Popup 'Casino' from now on...");
    EXPECT_EQ(form.lblLastTitle1.caption(),
              "A Popup Window was closed that contained 'Casino' in the Window Title.");
    EXPECT_EQ(form.mnuTrayLastPop.caption(), "-- Allow Popup 'Casino' from now on...");
    EXPECT_TRUE(form.mnuTrayLastPop.enabled());
    EXPECT_EQ(scanner.getLastPopupTitle(), "Casino");
}

TEST_F(TitleScannerTest, TheTrayEntryNamesTheBlockByTitleHotKey) {
    state.ngBlockByTitle = "9";
    open("Online casino");
    clock.advance(500ms);
    EXPECT_EQ(form.mnuTrayLastPop.caption(), "F9Allow Popup 'Casino' from now on...");
}

TEST_F(TitleScannerTest, TheGateStopsEveryClose) {
    struct Case {
        const char* name;
        std::function<void()> set;
    };
    bool hotKey = false;
    bool whiteListed = false;
    scanner.browser.IsHotKeyDown = [&] { return hotKey; };
    scanner.browser.isCurrentPageWhiteListed = [&] { return whiteListed; };
    int polls = 0;
    scanner.browser.CheckKeys = [&] { ++polls; };
    const Case cases[] = {
        {"popup blocking off", [&] { form.chkIEPops.setChecked(false); }},
        {"popups allowed for now", [&] { state.bTempPopsAllowed = true; }},
        {"hot key held", [&] { hotKey = true; }},
        {"white-listed page", [&] { whiteListed = true; }},
    };
    for (const Case& c : cases) {
        form.chkIEPops.setChecked(true);
        state.bTempPopsAllowed = hotKey = whiteListed = false;
        c.set();
        open("Online casino");
        polls = 0;
        draws = 0;
        clock.advance(2s);
        scanner.DoShellWindowEvent();
        EXPECT_TRUE(desktop.closeRequests.empty()) << c.name;
        EXPECT_EQ(draws, 0) << c.name;
        EXPECT_GT(polls, 0) << c.name;  // the keys are polled before the gate
        EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 500) << c.name;  // interval unchanged
    }
}

TEST_F(TitleScannerTest, WithoutBrowserActivityTheWalkRunsOnDrawsBelowThirty) {
    bool active = false;
    scanner.browser.isBrowserActive = [&] { return active; };
    struct Case {
        int draw;
        bool active;
        bool walks;
    };
    const Case cases[] = {{0, false, true},    {29, false, true}, {30, false, false},
                          {100, false, false}, {30, true, true},  {100, true, true}};
    for (const Case& c : cases) {
        const auto popup = open("Online casino");
        nextDraw = c.draw;
        active = c.active;
        scanner.TimerCloseByTitle_Timer();
        EXPECT_EQ(!isOpen(popup), c.walks) << c.draw << " " << c.active;
        desktop.close(popup);
    }
}

TEST_F(TitleScannerTest, TicksGoFastAndTheResetTimerPutsThemBackToHalfASecond) {
    nextDraw = 100;
    EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 500);
    clock.advance(499ms);
    EXPECT_EQ(draws, 0);
    clock.advance(1ms);
    EXPECT_EQ(draws, 1);
    EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 50);
    clock.advance(450ms);  // 550 .. 950
    EXPECT_EQ(draws, 10);
    clock.advance(50ms);  // 1000: the reset tick
    EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 500);
    EXPECT_EQ(scanner.TimerResetByTitleTimer.interval(), 2000);
    const int atReset = draws;
    clock.advance(499ms);
    EXPECT_EQ(draws, atReset);
    clock.advance(1ms);
    EXPECT_EQ(draws, atReset + 1);
    EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 50);
}

TEST_F(TitleScannerTest, ASubWindowCloseSuspendsClosingForTwoSeconds) {
    const auto other = open("Casino royale offer");
    const auto aol = open("America Online");
    platform::WindowInfo child;
    child.id = 0x9001;
    child.title = "Casino chat room";
    child.className = "AOL Child";
    child.visible = true;
    desktop.subWindows[aol].push_back(child);

    scanner.EnumCloseByTitle();
    EXPECT_EQ(desktop.closeRequests, std::vector<platform::WindowId>{0x9001});
    EXPECT_TRUE(scanner.TimerPopupTitleClosed.enabled());
    EXPECT_TRUE(isOpen(other));
    EXPECT_TRUE(scanner.strgLastTitle.empty());  // sub-windows take no part in the back-off

    clock.advance(1990ms);
    EXPECT_TRUE(isOpen(other));
    clock.advance(60ms);
    EXPECT_FALSE(scanner.TimerPopupTitleClosed.enabled());
    EXPECT_FALSE(isOpen(other));
}

TEST_F(TitleScannerTest, APopupThatKeepsComingBackIsLeftAloneOnItsEleventhReturn) {
    open("Ad Window first");  // closed at first, then nothing else matches
    scanner.EnumCloseByTitle();
    for (int repeat = 1; repeat <= 10; ++repeat) {
        open("Ad Window first");
        scanner.EnumCloseByTitle();
        EXPECT_EQ(scanner.ngSameLastTitleCount, repeat);
        EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 100);
    }
    EXPECT_EQ(desktop.closeRequests.size(), 11u);

    const auto below = open("Online casino");
    const auto eleventh = open("Ad Window first");
    scanner.EnumCloseByTitle();
    EXPECT_EQ(scanner.ngSameLastTitleCount, 0);
    EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 3500);
    EXPECT_TRUE(isOpen(eleventh));
    EXPECT_TRUE(isOpen(below));  // the walk ended at the repeat
    EXPECT_EQ(ring().size(), 11u);

    scanner.EnumCloseByTitle();  // the next pass starts afresh
    EXPECT_FALSE(isOpen(eleventh));
    EXPECT_FALSE(isOpen(below));
}

TEST_F(TitleScannerTest, TheTickKeepsTheIntervalTheWalkSet) {
    open("Ad Window first");
    scanner.TimerCloseByTitle_Timer();
    EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 50);
    open("Ad Window first");
    scanner.TimerCloseByTitle_Timer();
    EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 100);
    scanner.TimerCloseByTitle_Timer();  // nothing to close: fast again
    EXPECT_EQ(scanner.TimerCloseByTitle.interval(), 50);
}

TEST_F(TitleScannerTest, AWindowThatIgnoresTheRequestIsRecordedOnce) {
    const auto stubborn = open("Online casino");
    desktop.ignoresClose.push_back(stubborn);
    clock.advance(3s);
    EXPECT_TRUE(isOpen(stubborn));
    EXPECT_EQ(desktop.closeRequests.size(), 1u);
    EXPECT_EQ(ring().size(), 1u);
    EXPECT_EQ(fake.sound.played.size(), 1u);
    EXPECT_EQ(state.nBlockedToday, 1);
    EXPECT_EQ(scanner.ngSameLastTitleCount, 0);
}

TEST_F(TitleScannerTest, AWindowIdUsedAgainAfterItsWindowWentIsANewWindow) {
    platform::WindowInfo window;
    window.id = 0x5000;
    window.title = "Online casino";
    window.visible = true;
    desktop.open(window);
    desktop.ignoresClose.push_back(0x5000);
    scanner.EnumCloseByTitle();
    scanner.EnumCloseByTitle();
    EXPECT_EQ(ring().size(), 1u);
    desktop.close(0x5000);
    scanner.EnumCloseByTitle();
    desktop.open(window);
    scanner.EnumCloseByTitle();
    EXPECT_EQ(ring().size(), 2u);
}

TEST_F(TitleScannerTest, ANewWindowWithTheIdOfOneAskedBeforeIsClosedWithoutAWalkBetween) {
    // A window's id is free again once its program has gone, and the next program to connect
    // often gets the same one. The desktop says the window is new; no walk ran since the first
    // one went, so only that notification tells the two apart.
    titles.installShellHook();
    nextDraw = 100;  // no walk of the tick's own
    struct Case {
        const char* name;
        const char* title;
        std::function<void(platform::WindowId)> after;
    };
    const Case cases[] = {
        {"matching when it opens", "Online casino again", [](platform::WindowId) {}},
        {"retitled later", "Harmless page",
         [&](platform::WindowId id) { desktop.retitle(id, "Now an Ad Window"); }},
        {"same window content", "Online casino", [](platform::WindowId) {}},
    };
    for (const Case& c : cases) {
        platform::WindowInfo window;
        window.id = 0x6000;
        window.title = "Online casino";
        window.visible = true;
        desktop.open(window);
        ASSERT_FALSE(isOpen(0x6000)) << c.name;
        const std::size_t requests = desktop.closeRequests.size();

        window.title = c.title;
        desktop.open(window);
        c.after(0x6000);
        EXPECT_FALSE(isOpen(0x6000)) << c.name;
        EXPECT_EQ(desktop.closeRequests.size(), requests + 1) << c.name;
        desktop.close(0x6000);
    }
}

TEST_F(TitleScannerTest, ANewWindowWithTheIdOfAStubbornOneIsLookedAtAgain) {
    // The first window ignored its request and then went without the desktop's list changing in
    // between (its successor took its place in one step): the walk that found nothing must not
    // be skipped for the new window.
    titles.installShellHook();
    nextDraw = 100;
    platform::WindowInfo window;
    window.id = 0x6100;
    window.title = "Online casino";
    window.visible = true;
    desktop.ignoresClose.push_back(0x6100);
    desktop.open(window);
    scanner.EnumCloseByTitle();  // a walk that finds nothing to do
    ASSERT_EQ(desktop.closeRequests.size(), 1u);
    ASSERT_TRUE(isOpen(0x6100));

    // Its successor, with the same properties: the list reads as it did, only the notification
    // tells.
    desktop.ignoresClose.clear();
    desktop.onCreated(0x6100);
    EXPECT_FALSE(isOpen(0x6100));
    EXPECT_EQ(desktop.closeRequests.size(), 2u);
}

TEST_F(TitleScannerTest, AWindowThatTakesNoCloseRequestIsNotRecorded) {
    const auto window = open("Online casino");
    desktop.refusesClose.push_back(window);
    clock.advance(2s);
    EXPECT_TRUE(ring().empty());
    EXPECT_EQ(state.nBlockedToday, 0);
    EXPECT_EQ(std::count(statusLines.begin(), statusLines.end(),
                         "#Window 'Online casino' takes no close request; left open"),
              1);
}

TEST_F(TitleScannerTest, SkipsOwnWindowsBrowserMainWindowsHiddenAndUntitledOnes) {
    struct Case {
        const char* name;
        int pid;
        bool local;
        std::string role;
        bool visible;
        bool closed;
    };
    const Case cases[] = {
        {"own settings window", 4242, true, "", true, false},
        {"same pid on another machine", 4242, false, "", true, true},
        {"browser main window", 777, true, "browser", true, false},
        {"browser pop-up", 777, true, "pop-up", true, true},
        {"hidden", 777, true, "", false, false},
    };
    for (const Case& c : cases) {
        platform::WindowInfo window;
        window.title = "Zorvik Popup Blocker Ad Stopper v4.2.8";
        window.className = "zorvik";
        window.pid = c.pid;
        window.localMachine = c.local;
        window.role = c.role;
        window.visible = c.visible;
        const auto id = desktop.open(window);
        scanner.EnumCloseByTitle();
        EXPECT_EQ(!isOpen(id), c.closed) << c.name;
        desktop.close(id);
    }
}

TEST_F(TitleScannerTest, SparesBrowserWindowsUnlessTheyAreMarkedAsPopupsOrDialogs) {
    struct Case {
        const char* className;
        const char* role;
        const char* type;
        bool closed;
    };
    const Case cases[] = {
        {"Chromium", "", "", false},  // a main window that states no role
        {"Chromium", "browser", "", false},
        {"Google-chrome", "app", "normal", false},
        {"firefox", "", "normal", false},
        {"Chromium", "pop-up", "", true},
        {"firefox", "Popup", "", true},
        {"epiphany", "GtkFileChooserDialog", "", true},
        {"firefox", "alert", "", true},
        {"Chromium", "", "dialog", true},
        {"Brave-browser", "", "utility", true},
        {"Chromium", "", "popup_menu", true},
        {"XTerm", "", "", true},           // no browser
        {"Midori", "browser", "", false},  // a browser known by its role only
    };
    for (const Case& c : cases) {
        const auto id = open("Casino Bonus - Browser", c.className, c.role);
        desktop.topLevel.front().type = c.type;
        desktop.touch();
        scanner.EnumCloseByTitle();
        EXPECT_EQ(!isOpen(id), c.closed) << c.className << " '" << c.role << "' '" << c.type << "'";
        desktop.close(id);
    }
}

TEST_F(TitleScannerTest, TitleAndEntryLengthsCountCharactersNotBytes) {
    // Entries: "Kazin" in Cyrillic (5 characters, 10 bytes) and "K\xC3\xA4se" (4 characters,
    // 5 bytes), which the editor accepts and saves but which never closes a window.
    const std::string kazin = "\xD0\x9A\xD0\xB0\xD0\xB7\xD0\xB8\xD0\xBD";
    useList({kazin, "K\xC3\xA4se"});
    struct Case {
        std::string title;
        bool closed;
    };
    const Case cases[] = {
        {kazin + "\xD0\xBE", true},  // six characters
        {kazin, false},              // five characters: matches, but too short to close
        {"Billiger K\xC3\xA4se hier", false},
    };
    for (const Case& c : cases) {
        const auto id = open(c.title);
        scanner.EnumCloseByTitle();
        EXPECT_EQ(!isOpen(id), c.closed) << c.title;
        desktop.close(id);
    }
}

TEST_F(TitleScannerTest, TitlesAreSanitisedBeforeTheyReachTheRingAndTheLog) {
    const std::string raw = "Casino\r\nnight\t\xFF" + std::string(5000, 'x');
    open(raw);
    scanner.EnumCloseByTitle();
    ASSERT_EQ(ring().size(), 1u);
    const std::string record = ring()[0];
    EXPECT_EQ(record.find_first_of("\r\n\t"), std::string::npos);
    EXPECT_NE(record.find("'Casino  night \xEF\xBF\xBDxxx"), std::string::npos);
    EXPECT_LT(record.size(), 4096u + 100u);
    EXPECT_EQ(statusLines.back().find_first_of("\r\n\t"), std::string::npos);
}

TEST_F(TitleScannerTest, AWalkThatFoundNothingLooksAgainOnceAnythingItReadChanges) {
    // Each change comes without a notification, so only the next walk can find the window.
    struct Case {
        const char* name;
        const char* title;
        bool visible;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"retitled", "Harmless page", true,
         [&] {
             desktop.topLevel.front().title = "Ad Window now";
             desktop.touch();
         }},
        {"shown", "Casino page", false,
         [&] {
             desktop.topLevel.front().visible = true;
             desktop.touch();
         }},
        {"an entry added to the list", "Harmless page", true, [&] { useList({"Harmless"}); }},
    };
    for (const Case& c : cases) {
        useList({"Casino", "Ad Window", "Popup"});
        platform::WindowInfo window;
        window.title = c.title;
        window.visible = c.visible;
        const auto id = desktop.open(window);
        scanner.EnumCloseByTitle();
        scanner.EnumCloseByTitle();  // nothing changed: nothing found again
        ASSERT_TRUE(isOpen(id)) << c.name;
        c.change();
        scanner.EnumCloseByTitle();
        EXPECT_FALSE(isOpen(id)) << c.name;
        desktop.close(id);
    }
}

TEST_F(TitleScannerTest, TheShellHookWalksNewActivatedAndRetitledWindowsAtOnce) {
    titles.installShellHook();
    EXPECT_TRUE(desktop.following);
    const auto created = open("Online casino");
    EXPECT_FALSE(isOpen(created));

    const auto retitled = open("Harmless page");
    EXPECT_TRUE(isOpen(retitled));
    desktop.retitle(retitled, "Now an Ad Window");
    EXPECT_FALSE(isOpen(retitled));

    titles.removeShellHook();
    EXPECT_FALSE(desktop.following);
    const auto later = open("Online casino again");
    EXPECT_TRUE(isOpen(later));
    clock.advance(500ms);
    EXPECT_FALSE(isOpen(later));
}

}  // namespace
}  // namespace halvern::titles::fixture

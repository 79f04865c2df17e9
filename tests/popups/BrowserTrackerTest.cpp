// The tracker of the protected browser's pages and the events of their sinks.

#include "PopupsFixture.h"

namespace halvern::popups::fixture {
namespace {

TEST(BrowserTracker, EveryPageOpenedOrClosedRebuildsEverySink) {
    PopupWorld w;
    BrowserTracker& tracker = *w.popups.tracker();
    EXPECT_EQ(tracker.Count(), 1);
    w.fake.browser.startNavigation(w.page, "javascript:go()");
    ASSERT_TRUE(tracker.sink(w.page)->bNavJava);

    const auto second = w.fake.browser.openPage("https://shop.example/");
    EXPECT_TRUE(w.logged("# winShell_Window registered cookie=" + second));
    EXPECT_TRUE(w.logged("# cIEWindows: RefreshCol. Num=2 IECount=2"));
    EXPECT_EQ(tracker.Count(), 2);
    EXPECT_FALSE(tracker.sink(w.page)->bNavJava) << "the first page's flags start afresh";
    EXPECT_FALSE(tracker.sink(w.page)->bDownloading);
    EXPECT_TRUE(w.cancelled(w.fake.browser.openPopup(w.page)));

    w.fake.browser.closePage(second);
    EXPECT_EQ(tracker.Count(), 1);
    EXPECT_TRUE(w.logged("# cIEWindows: RefreshCol. Num=1 IECount=1"));
}

TEST(BrowserTracker, ASinkLogsWhatTheBrowserTellsOfItsPage) {
    PopupWorld w;
    const auto tools = w.fake.browser.openPage("chrome://tab-strip.top-chrome/", true);
    const std::vector<std::string> expected = {
        "# IE_Class Initialize:",
        "# ---------",
        "# app Chromium",
        "# addbar False",
        "# fname " + tools,
        "# locname ",
        "# url chrome://tab-strip.top-chrome/",
        "# type browser interface",
        "# ---------",
    };
    const auto start = w.at("# cIEWindows Add WINDOWS explorer (file manager).");
    ASSERT_GE(start, 0);
    EXPECT_EQ(std::vector<std::string>(w.lines.begin() + start + 1,
                                       w.lines.begin() + start + 1 + expected.size()),
              expected);
    EXPECT_TRUE(w.logged("# cIEWindows: RefreshCol. Num=2 IECount=1"))
        << "the browser's own pages get a sink but are no browser window";
}

TEST(BrowserTracker, TheSinksEventsKeepTheBrowsersPictureUpToDate) {
    PopupWorld w;
    BrowserTracker& tracker = *w.popups.tracker();
    platform::FakeBrowser& b = w.fake.browser;
    w.popups.TimerIEActive.setEnabled(false);

    // A navigation begun inside the click window is remembered as the clicked one.
    w.intent.bLClick = true;
    w.intent.timerClickReset.setEnabled(true);
    b.startNavigation(w.page, "https://news.example/next");
    EXPECT_TRUE(w.popups.TimerIEActive.enabled());
    EXPECT_FALSE(w.intent.IsMouseClick());
    EXPECT_EQ(w.form.LblKeyName.caption(), "reset: about to navigate");
    EXPECT_EQ(w.decision.gstrCurIEURLClicked, "https://news.example/next");
    EXPECT_TRUE(
        w.logged("BN2: nav begin (click reset) to URL 'https://news.example/next'. "
                 "ie.locationurl=" +
                 PopupWorld::kPage));
    EXPECT_TRUE(tracker.sink(w.page)->bDownloading);
    // Outside it, the log says so.
    b.startNavigation(w.page, "https://news.example/other");
    EXPECT_TRUE(w.logged("--- BN2: timerclickReset not enabled. timout=2000"));
    EXPECT_TRUE(w.logged("--- BN2: prevClickUrl = curClickUrl") == false);

    w.intent.bLClick = true;
    b.navigated(w.page, "https://news.example/next");
    EXPECT_EQ(w.decision.getCurURL(), "https://news.example/next");
    EXPECT_FALSE(w.intent.IsMouseClick());
    EXPECT_TRUE(w.logged("-Nav Complete (click reset) to \r\n    'https://news.example/next'"));

    w.intent.bLClick = true;
    b.loaded(w.page);
    EXPECT_FALSE(w.intent.IsMouseClick());
    EXPECT_EQ(w.form.LblKeyName.caption(), "reset: doc complete");
    EXPECT_FALSE(tracker.sink(w.page)->bDownloading);

    w.fake.clock.advance(4s);
    EXPECT_FALSE(w.popups.TimerIEActive.enabled()) << "4 s after the last activity";
    b.loadingStarted(w.page);
    EXPECT_TRUE(w.popups.TimerIEActive.enabled());
    EXPECT_TRUE(tracker.sink(w.page)->bDownloading);
    w.intent.bLClick = true;
    b.loadingStopped(w.page);
    EXPECT_TRUE(w.intent.IsMouseClick()) << "a finished download keeps the click";
    EXPECT_TRUE(w.logged("download Complete (reset click) to https://news.example/next"));
    EXPECT_FALSE(tracker.sink(w.page)->bDownloading);
}

TEST(BrowserTracker, AProtocolProblemIsADebugLine) {
    PopupWorld w;
    w.fake.browser.problem("message of 20000000 bytes dropped: over the size cap");
    EXPECT_EQ(w.lines, std::vector<std::string>{
                           "# browser: message of 20000000 bytes dropped: over the size cap"});
}

TEST(BrowserTracker, TheStatusLineSaysWhetherAProtectedBrowserIsConnected) {
    PopupWorld w;
    w.fake.browser.disconnect();
    EXPECT_EQ(w.form.lblStatus.caption(), BrowserTracker::noBrowserText());
    EXPECT_EQ(w.popups.tracker()->Count(), 0);
    w.fake.browser.connect();
    EXPECT_EQ(w.form.lblStatus.caption(), BrowserTracker::browserText());
    EXPECT_EQ(w.popups.tracker()->Count(), 1);

    // A tracker made while no browser runs says so in the log, leaving the status line alone.
    w.fake.browser.disconnect();
    w.form.lblStatus.setCaption("That's it!");
    w.lines.clear();
    w.popups.createBrowserTracker();
    EXPECT_TRUE(w.logged(BrowserTracker::noBrowserText()));
    EXPECT_EQ(w.form.lblStatus.caption(), "That's it!");
}

TEST(BrowserTracker, DiscardingItLetsEveryHeldPopupRun) {
    PopupWorld w;
    w.fake.browser.held.push_back("P99");  // held while the program was busy elsewhere
    w.popups.discardBrowserTracker();
    EXPECT_EQ(w.fake.browser.allowed, std::vector<platform::TargetId>{"P99"});
    EXPECT_EQ(w.fake.browser.followCalls.back(), false);
    EXPECT_FALSE(w.fake.browser.onPopupHeld) << "no event reaches a discarded tracker";
}

TEST(BrowserTracker, RunningOnlyWithTheBrowserShowsTheTrayIconWhileABrowserPageIsOpen) {
    PopupWorld w;
    w.form.chkRunIE.setChecked(true);
    w.form.frmMain.show();
    w.tray.TrayIconOn(false, true);
    ASSERT_TRUE(w.fake.tray.shown);

    const auto tools = w.fake.browser.openPage("chrome://tab-strip.top-chrome/", true);
    w.fake.browser.closePage(w.page);
    EXPECT_FALSE(w.fake.tray.shown) << "the browser's own pages do not count";
    EXPECT_FALSE(w.form.frmMain.visible());
    EXPECT_TRUE(w.logged("# cIEWindows: RefreshCol: Zero IE Windows. Delete Tray Icon."));

    w.fake.browser.openPage("https://news.example/");
    EXPECT_TRUE(w.fake.tray.shown) << "the icon comes back with the first browser page";

    // Unchecked, nothing visible happens when the last page closes.
    w.form.chkRunIE.setChecked(false);
    w.fake.browser.closePage(tools);
    for (const auto& page : w.fake.browser.pages()) {
        w.fake.browser.closePage(page.id);
    }
    EXPECT_TRUE(w.fake.tray.shown);

    // Discarding the tracker with the option on removes the icon.
    w.form.chkRunIE.setChecked(true);
    w.popups.discardBrowserTracker();
    EXPECT_FALSE(w.fake.tray.shown);
}

TEST(BrowserTracker, RunningOnlyWithTheBrowserSaysWhatItDoes) {
    PopupWorld w;
    w.form.chkRunIE.setChecked(true);
    ASSERT_EQ(w.fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(w.fake.dialogs.boxes()[0].title, "Activate Zorvik only when IE is running.");
    EXPECT_TRUE(w.form.lblStatus.caption().starts_with(
        "Zorvik will only remain active when Internet Explorer is running. If you don't"));
    EXPECT_EQ(w.form.chkRunIE.caption(),
              "Activate Zorvik Only when Internet Explorer is running -- set this ONLY if you use "
              "Internet Explorer or Zorvik will never run!");
    w.form.chkRunIE.setChecked(false);
    EXPECT_EQ(w.fake.dialogs.boxes().size(), 1u) << "the message is shown once";
    EXPECT_TRUE(w.form.lblStatus.caption().find("\r\n\r\nRemember: Zorvik is not a drain") !=
                std::string::npos);
    EXPECT_EQ(w.form.chkRunIE.caption(),
              "Activate Zorvik Only when Internet Explorer (IE) is running -- Now Zorvik is "
              "active (in the system tray) regardless if any browser is open.");
    EXPECT_EQ(w.form.lblHelpText.caption(),
              "This option can be used for all browsers.  Right click on the Zorvik icon (near "
              "the clock) to bring up the program settings.");
}

}  // namespace
}  // namespace halvern::popups::fixture

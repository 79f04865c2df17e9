// The decision on every popup a page of the protected browser asks for, on the fake browser and
// the virtual clock.

#include <functional>
#include <memory>

#include "PopupsFixture.h"
#include "popups/AddressText.h"

namespace halvern::popups::fixture {
namespace {

const std::string kP = PopupWorld::kPage;

TEST(PopupDecision, TheFirstRuleThatAppliesDecides) {
    struct Case {
        const char* name;
        std::function<void(PopupWorld&)> setUp;
        std::optional<bool> gesture;
        bool allowed;
        std::string line;
    };
    const auto tempAllow = [](PopupWorld& w) { w.parts.state.bTempPopsAllowed = true; };
    const auto hotKey = [](PopupWorld& w) { w.intent.bHotKeyDown = true; };
    const auto doubleClick = [](PopupWorld& w) { w.intent.TimerDClickOK.setEnabled(true); };
    const auto closing = [](PopupWorld& w) { w.decision.TimerNoNewWindow.setEnabled(true); };
    const auto blockAll = [](PopupWorld& w) { w.form.chkJavaPops.setChecked(true); };
    const auto scriptLink = [](PopupWorld& w) {
        w.fake.browser.startNavigation(w.page, "JavaScript:openWindow()");
    };
    const auto click = [](PopupWorld& w) { w.intent.bLClick = true; };
    const auto both = [](auto a, auto b) {
        return [a, b](PopupWorld& w) {
            a(w);
            b(w);
        };
    };
    const std::string tempLine = "*** ALLOWED: Pops Temp allowed ";
    const std::string clickLine = "*** ALLOWED: Mouse is down. User clicking on something NOW.";
    const std::string elseLine = "**** Else: BLOCKED '" + kP + "'";
    const Case cases[] = {
        {"temporary allow", tempAllow, {}, true, tempLine},
        {"hot key", hotKey, {}, true, "*** ALLOWED: Allow Hot Key Down "},
        {"double click", doubleClick, {}, true, "*** ALLOWED: User Double Clicked"},
        {"closing window", closing, {}, false, "**** BLOCKED Window Closing PopUP  '" + kP + "'"},
        {"block all", blockAll, {}, false, "**** BLOCKED POPUP'" + kP + "'"},
        {"script link", scriptLink, {}, true, "*** ALLOWED: JavaScript Popup Open"},
        {"click", click, {}, true, clickLine},
        {"nothing", [](PopupWorld&) {}, {}, false, elseLine},
        // Precedence.
        {"temporary allow beats block all", both(tempAllow, blockAll), {}, true, tempLine},
        {"hot key beats the closing window",
         both(hotKey, closing),
         {},
         true,
         "*** ALLOWED: Allow Hot Key Down "},
        {"closing window beats a click",
         both(closing, click),
         {},
         false,
         "**** BLOCKED Window Closing PopUP  '" + kP + "'"},
        {"closing window beats a script link",
         both(closing, scriptLink),
         {},
         false,
         "**** BLOCKED Window Closing PopUP  '" + kP + "'"},
        {"block all beats a script link",
         both(blockAll, scriptLink),
         {},
         false,
         "**** BLOCKED POPUP'" + kP + "'"},
        {"block all beats a click",
         both(blockAll, click),
         {},
         false,
         "**** BLOCKED POPUP'" + kP + "'"},
        // The browser's word on the gesture stops the click window only.
        {"click with a gesture", click, true, true, clickLine},
        {"click without a gesture", click, false, false, elseLine},
        {"hot key without a gesture", hotKey, false, true, "*** ALLOWED: Allow Hot Key Down "},
        {"script link without a gesture", scriptLink, false, true,
         "*** ALLOWED: JavaScript Popup Open"},
        {"no click, a gesture", [](PopupWorld&) {}, true, false, elseLine},
    };
    for (const Case& c : cases) {
        PopupWorld w;
        w.fake.browser.navigated(w.page, kP);
        c.setUp(w);
        w.lines.clear();
        const auto popup = w.fake.browser.openPopup(w.page, c.gesture);
        EXPECT_EQ(w.allowed(popup), c.allowed) << c.name;
        EXPECT_EQ(w.cancelled(popup), !c.allowed) << c.name;
        EXPECT_TRUE(w.fake.browser.held.empty()) << c.name;
        ASSERT_GE(w.lines.size(), 2u) << c.name;
        EXPECT_EQ(w.lines[0], "IE_NewWindow2: Cancel or not: getCurURL=" + kP) << c.name;
        EXPECT_TRUE(
            w.lines[1].starts_with("# popup " + popup + " of page " + w.page + ": user gesture="))
            << c.name << ": " << w.lines[1];
        EXPECT_TRUE(w.logged(c.line)) << c.name;
        EXPECT_EQ(w.decision.getCurURL(), kP) << c.name;
    }
}

TEST(PopupDecision, ATopFrameScriptLinkCountsAndAFramesDoesNot) {
    struct Case {
        const char* name;
        const char* url;
        bool topFrame;
        bool allowed;
    };
    const Case cases[] = {
        {"top frame script link", "javascript:void(window.open('/x'))", true, true},
        {"frame script link", "javascript:void(window.open('/x'))", false, false},
        {"top frame page", "https://news.example/b", true, false},
    };
    for (const Case& c : cases) {
        PopupWorld w;
        w.fake.browser.startNavigation(w.page, c.url, c.topFrame);
        const auto popup = w.fake.browser.openPopup(w.page);
        EXPECT_EQ(w.allowed(popup), c.allowed) << c.name;
    }
}

TEST(PopupDecision, TwoPopupsFromOneClickLetTheFirstThroughOnly) {
    PopupWorld w;
    w.intent.bLClick = true;
    const auto first = w.fake.browser.openPopup(w.page, true);
    const auto second = w.fake.browser.openPopup(w.page, true);
    EXPECT_TRUE(w.allowed(first));
    EXPECT_TRUE(w.cancelled(second));
    EXPECT_EQ(w.form.LblKeyName.caption(), "reset: User Clicked once before timer popped");
}

TEST(PopupDecision, AnAllowedPopupRunsTheCommonStepsInOrder) {
    PopupWorld w;
    w.fake.browser.navigated(w.page, kP);
    w.intent.TimerDClickOK.setEnabled(true);
    const auto popup = w.fake.browser.openPopup(w.page);
    ASSERT_TRUE(w.allowed(popup));
    const std::string common =
        "bNavJava False Cur url? " + kP + " bDownloading False?=False nPopUPCount=";
    EXPECT_LT(w.at("*** ALLOWED: User Double Clicked"), w.at(common));
    EXPECT_TRUE(w.popups.TimerIEActive.enabled());
    EXPECT_FALSE(w.intent.TimerDClickOK.enabled()) << "a double click lets one popup through";
    EXPECT_EQ(w.form.LblKeyName.caption(), "reset: Double Click");
    EXPECT_TRUE(w.fake.sound.played.empty());

    // The grace is over: the next popup is blocked.
    EXPECT_TRUE(w.cancelled(w.fake.browser.openPopup(w.page)));
}

TEST(PopupDecision, ABlockedPopupIsShownFlashedSoundedAndCounted) {
    PopupWorld w;
    const auto popup = w.fake.browser.openPopup(w.page);
    ASSERT_TRUE(w.cancelled(popup));
    EXPECT_EQ(w.form.lbltype.caption(), "cancelled popup on page ");
    // A blank after every "/", and the page's "&" shown as it is, not as an access key.
    EXPECT_EQ(w.form.lblpage.caption(), "https:/ / news.example/ a?x=1&&y=2");
    EXPECT_TRUE(w.tray.TimerTrayFlash.enabled());
    EXPECT_EQ(w.fake.sound.played, std::vector<std::string>{"/opt/halvern/pop.wav"});
    EXPECT_EQ(w.parts.state.nBlockedToday, 1);
    EXPECT_EQ(w.intent.bManyPopsAdjusted, false);
    EXPECT_EQ(w.decision.gstrCurIEPopURL, kP);

    // The same page again: the repeat is noted.
    w.fake.browser.openPopup(w.page);
    EXPECT_TRUE(w.logged("**** Else: Prev and Cur url are same!"));
    EXPECT_EQ(w.parts.state.nBlockedToday, 2);
}

TEST(PopupDecision, AHugeAddressIsShownCutButDecidedWhole) {
    PopupWorld w;
    const std::string huge = "https://ads.example/" + std::string(1 << 20, 'q');
    w.fake.browser.navigated(w.page, huge);
    w.fake.browser.openPopup(w.page);
    EXPECT_LT(w.form.lblpage.caption().size(), 2 * kMaxShownAddress);
    EXPECT_TRUE(w.form.lblpage.caption().ends_with("..."));
    EXPECT_EQ(w.decision.getCurURL(), huge);
    for (const std::string& line : w.lines) {
        EXPECT_LT(line.size(), 2 * kMaxShownAddress + 200);
    }
}

TEST(PopupDecision, ABurstOfBlockedPopupsStartsOneSoundPerQuarterSecond) {
    PopupWorld w;
    for (int i = 0; i < 10; ++i) {
        w.fake.browser.openPopup(w.page);
        w.fake.clock.advance(20ms);
    }
    EXPECT_EQ(w.fake.sound.played.size(), 1u) << "200 ms of popups";
    w.fake.clock.advance(50ms);
    EXPECT_EQ(w.fake.sound.played.size(), 2u) << "one more at the end of the window";
    w.fake.clock.advance(1s);
    EXPECT_EQ(w.fake.sound.played.size(), 2u) << "nothing is owed";
    w.fake.browser.openPopup(w.page);
    EXPECT_EQ(w.fake.sound.played.size(), 3u) << "a popup after a quiet spell sounds at once";
    EXPECT_EQ(w.parts.state.nBlockedToday, 11) << "every popup is counted";

    // Sounds switched off meanwhile: the owed sound is not played.
    w.fake.browser.openPopup(w.page);
    w.parts.state.bTempSoundOff = true;
    w.fake.clock.advance(300ms);
    EXPECT_EQ(w.fake.sound.played.size(), 3u);
}

TEST(PopupDecision, AUserClosingAPageBlocksPopupsForOneAndAHalfSeconds) {
    PopupWorld w;
    const auto other = w.fake.browser.openPage("https://shop.example/");
    w.fake.browser.closePage(other);
    EXPECT_TRUE(w.decision.TimerNoNewWindow.enabled());
    w.intent.bLClick = true;
    EXPECT_TRUE(w.cancelled(w.fake.browser.openPopup(w.page, true)));
    w.fake.clock.advance(1500ms);
    EXPECT_FALSE(w.decision.TimerNoNewWindow.enabled());
    w.intent.bLClick = true;
    EXPECT_TRUE(w.allowed(w.fake.browser.openPopup(w.page, true)));
}

TEST(PopupDecision, TheProgramsOwnCancelIsNoPageClosing) {
    PopupWorld w;
    w.fake.browser.openPopup(w.page);  // cancelled: the browser reports it closed
    EXPECT_FALSE(w.decision.TimerNoNewWindow.enabled());
    w.intent.bLClick = true;
    EXPECT_TRUE(w.allowed(w.fake.browser.openPopup(w.page, true)));
}

TEST(PopupDecision, BlockAllSaysWhatItDoesOnTheHelpLine) {
    PopupWorld w;
    w.form.chkJavaPops.setChecked(true);
    EXPECT_TRUE(w.form.lblHelpText.caption().starts_with(
        "Only use this setting if some popups are getting through.  If you click on something, "
        "hear the 'pop' sound"));
    w.form.chkJavaPops.setChecked(false);
    EXPECT_TRUE(w.form.lblHelpText.caption().starts_with(
        "Maximum Internet Explorer Popup Protection Disabled. This is the default since"));
    w.parts.state.bLoadingSettings = true;
    w.form.lblHelpText.setCaption("kept");
    w.form.chkJavaPops.setChecked(true);
    EXPECT_EQ(w.form.lblHelpText.caption(), "kept");
}

}  // namespace
}  // namespace halvern::popups::fixture

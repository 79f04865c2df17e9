#include "titles/ScriptErrorDismissal.h"

#include "TitlesFixture.h"

namespace halvern::titles::fixture {
namespace {

class ScriptErrorDismissalTest : public TitlesTest {
protected:
    ScriptErrorDismissalTest() {
        nextDraw = 100;  // only browser activity walks
        scanner.browser.isBrowserActive = [this] { return active; };
    }
    platform::WindowId errorBox(const std::string& title, const std::string& className,
                                std::vector<std::string> buttons = {"&Yes", "&No"}) {
        const auto id = open(title, className);
        desktop.buttons[id] = std::move(buttons);
        return id;
    }
    bool active = true;
};

TEST_F(ScriptErrorDismissalTest, AnswersTheBrowsersErrorBoxWithNoWhileTheBrowserIsActive) {
    const auto box = errorBox("Error", "Chromium");
    const auto other = errorBox("Script Error", "Chromium");
    const auto foreign = errorBox("Error", "Xmessage");
    scanner.TimerCloseByTitle_Timer();
    ASSERT_EQ(desktop.pressed.size(), 1u);
    EXPECT_EQ(desktop.pressed[0], std::make_pair(box, std::string("&No")));
    EXPECT_EQ(statusLines.back(), "Simulated Clicking &No on Error window.");
    EXPECT_EQ(form.lblpage.caption(), "No to Error Dailog");
    EXPECT_EQ(state.nBlockedToday, 1);
    EXPECT_EQ(fake.sound.played.size(), 1u);
    EXPECT_EQ(titles.dismissal.answered(), 1);
    (void)other;
    (void)foreign;

    active = false;
    scanner.TimerCloseByTitle_Timer();
    EXPECT_EQ(desktop.pressed.size(), 1u);
}

TEST_F(ScriptErrorDismissalTest, EachBoxIsAskedOnceWhetherItsButtonWasFoundOrNot) {
    // Pressing goes through the program that shows the box; one that hangs must not be asked
    // again on every tick.
    const auto noButton = errorBox("Error", "firefox", {"OK"});
    const auto answered = errorBox("Error", "Chromium");
    desktop.ignoresClose.push_back(answered);
    for (int tick = 0; tick < 10; ++tick) {
        scanner.TimerCloseByTitle_Timer();
    }
    using Asked = std::vector<std::pair<platform::WindowId, std::string>>;
    EXPECT_EQ(desktop.pressAsked, (Asked{{answered, "&No"}, {noButton, "&No"}}));
    EXPECT_EQ(
        std::count(statusLines.begin(), statusLines.end(), "No '&No' found on 'Error' window."), 1);
    EXPECT_EQ(titles.dismissal.answered(), 1);
    EXPECT_EQ(state.nBlockedToday, 1);

    // A new box is asked, also under an id the desktop used before.
    desktop.close(noButton);
    scanner.TimerCloseByTitle_Timer();
    platform::WindowInfo again;
    again.id = noButton;
    again.title = "Error";
    again.className = "firefox";
    again.visible = true;
    desktop.open(again);
    desktop.buttons[noButton] = {"&No"};
    scanner.TimerCloseByTitle_Timer();
    scanner.TimerCloseByTitle_Timer();
    EXPECT_EQ(desktop.pressAsked.size(), 3u);
    EXPECT_EQ(titles.dismissal.answered(), 2);
}

TEST_F(ScriptErrorDismissalTest, ANewBoxUnderTheIdOfOneAskedIsAskedWithNoTickBetween) {
    titles.installShellHook();
    const auto first = errorBox("Error", "firefox", {"OK"});
    scanner.TimerCloseByTitle_Timer();
    ASSERT_EQ(desktop.pressAsked.size(), 1u);

    // The box's program ends and the next one gets its id before the scan looks again.
    desktop.close(first);
    platform::WindowInfo again;
    again.id = first;
    again.title = "Error";
    again.className = "firefox";
    again.visible = true;
    desktop.open(again);
    desktop.buttons[first] = {"&No"};
    scanner.TimerCloseByTitle_Timer();
    EXPECT_EQ(desktop.pressAsked.size(), 2u);
    EXPECT_EQ(titles.dismissal.answered(), 1);
}

TEST_F(ScriptErrorDismissalTest, NoBoxIsPressedWhileTheAdviceOfAnotherIsOpen) {
    std::vector<platform::WindowId> boxes;
    for (int n = 0; n < 5; ++n) {
        boxes.push_back(errorBox("Error", "Chromium"));
    }
    int ticksDuringAdvice = 0;
    fake.dialogs.whileOpen = [&](const platform::FakeDialogs::Box&) {
        errorBox("Error", "Chromium");
        titles.dismissal.mySimulateButtonClick("Error", "&No");
        ++ticksDuringAdvice;
    };
    for (int n = 0; n < 5; ++n) {
        titles.dismissal.mySimulateButtonClick("Error", "&No");
    }
    EXPECT_EQ(ticksDuringAdvice, 1);
    EXPECT_EQ(desktop.pressAsked.size(), 5u) << "the box opened during the advice waits";
    fake.dialogs.whileOpen = nullptr;
    titles.dismissal.mySimulateButtonClick("Error", "&No");
    EXPECT_EQ(desktop.pressAsked.size(), 6u);
}

TEST_F(ScriptErrorDismissalTest, AdvisesOnTheFifthAnswerAndEveryTwentieth) {
    std::vector<int> advisedAt;
    for (int n = 1; n <= 61; ++n) {
        const auto box = errorBox("Error", "Google-chrome");
        fake.dialogs.clear();
        form.frmMain.hide();
        titles.dismissal.mySimulateButtonClick("Error", "&No");
        if (!fake.dialogs.boxes().empty()) {
            advisedAt.push_back(n);
            const auto& shown = fake.dialogs.boxes()[0];
            EXPECT_EQ(shown.title, "Helpful Advice to reduce the error messages.");
            EXPECT_EQ(shown.icon, platform::BoxIcon::Critical);
            EXPECT_EQ(shown.text.substr(0, 40), "You are seeing a lot of error boxes.  If");
            EXPECT_TRUE(form.frmMain.visible());
        }
        desktop.close(box);  // answered: the box goes
    }
    EXPECT_EQ(advisedAt, (std::vector<int>{5, 20, 40, 60}));
    EXPECT_EQ(desktop.pressed.size(), 61u);
}

}  // namespace
}  // namespace halvern::titles::fixture

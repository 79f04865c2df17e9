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

TEST_F(ScriptErrorDismissalTest, ABoxWithoutTheButtonIsReportedOnEveryActiveTick) {
    errorBox("Error", "firefox", {"OK"});
    scanner.TimerCloseByTitle_Timer();
    scanner.TimerCloseByTitle_Timer();
    EXPECT_TRUE(desktop.pressed.empty());
    EXPECT_EQ(
        std::count(statusLines.begin(), statusLines.end(), "No '&No' found on 'Error' window."), 2);
    EXPECT_EQ(state.nBlockedToday, 0);
}

TEST_F(ScriptErrorDismissalTest, AdvisesOnTheFifthAnswerAndEveryTwentieth) {
    const auto box = errorBox("Error", "Google-chrome");
    std::vector<int> advisedAt;
    for (int n = 1; n <= 61; ++n) {
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
    }
    EXPECT_EQ(advisedAt, (std::vector<int>{5, 20, 40, 60}));
    EXPECT_EQ(desktop.pressed.size(), 61u);
    (void)box;
}

}  // namespace
}  // namespace halvern::titles::fixture

// The browser's script-error box answered by the program as it is built: the title scanner's
// tick, fed with the activity the protected browser reports.

#include <gtest/gtest.h>

#include "popups/PopupBlocking.h"
#include "program/Program.h"
#include "support/FakePlatform.h"
#include "titles/TitleBlocking.h"

namespace {

using namespace std::chrono_literals;
using halvern::platform::WindowId;
using halvern::platform::WindowInfo;

struct ProgramScriptErrorTest : ::testing::Test {
    ProgramScriptErrorTest() { fake.userStore.set("Zorvik", "State", "FirstStart", "Done"); }

    WindowInfo window(const std::string& title, const std::string& className) {
        WindowInfo info;
        info.title = title;
        info.className = className;
        info.pid = 4000;
        info.localMachine = true;
        info.visible = true;
        return info;
    }
    WindowId errorBox(const std::string& className, std::vector<std::string> buttons) {
        const WindowId id = fake.desktop.open(window("Error", className));
        fake.desktop.buttons[id] = std::move(buttons);
        return id;
    }

    halvern::testing::FakePlatform fake;
    halvern::program::Program program{fake.platform};
};

TEST_F(ProgramScriptErrorTest, TheBrowsersErrorBoxIsAnsweredOnlyWhileTheBrowserIsActive) {
    // A box left from before the start, while the browser sits idle.
    fake.desktop.open(window("News - Chromium", "Chromium"));
    fake.browser.connect();
    const auto page = fake.browser.openPage("https://news.example/");
    program.Form_Load();
    fake.clock.advance(10s);
    // The double-click grace the program starts with is over by now.
    program.popups().intent.TimerDClickOK.setEnabled(false);
    const WindowId early = errorBox("Chromium", {"&Yes", "&No"});
    fake.clock.advance(10s);
    EXPECT_TRUE(fake.desktop.pressAsked.empty()) << "no browser activity, no press";

    fake.browser.startNavigation(page, "https://news.example/today");
    fake.clock.advance(600ms);
    using Pressed = std::vector<std::pair<WindowId, std::string>>;
    EXPECT_EQ(fake.desktop.pressed, (Pressed{{early, "&No"}}));
    EXPECT_EQ(program.titles().dismissal.answered(), 1);
    EXPECT_EQ(program.form().lblpage.caption(), "No to Error Dailog");

    // Activity ends 4 s after the browser's last event; its next one counts again.
    fake.clock.advance(10s);
    const WindowId later = errorBox("Chromium", {"&Yes", "&No"});
    fake.clock.advance(600ms);
    EXPECT_EQ(fake.desktop.pressed, (Pressed{{early, "&No"}})) << "an idle browser";
    fake.browser.loadingStarted(page);
    fake.clock.advance(600ms);
    EXPECT_EQ(fake.desktop.pressed, (Pressed{{early, "&No"}, {later, "&No"}}));
    EXPECT_EQ(program.titles().dismissal.answered(), 2);
}

TEST_F(ProgramScriptErrorTest, ABoxWhoseButtonCannotBeReachedIsAskedOnce) {
    program.Form_Load();
    program.popups().intent.TimerDClickOK.setEnabled(false);
    program.titles().scanner.draw = [] { return 100; };
    fake.browser.connect();
    const auto page = fake.browser.openPage("https://news.example/");
    fake.desktop.open(window("News - Chromium", "Chromium"));
    const WindowId box = errorBox("Chromium", {});
    for (int second = 0; second < 20; ++second) {
        fake.browser.loadingStarted(page);  // the user stays busy in the browser
        fake.clock.advance(1s);
    }
    using Asked = std::vector<std::pair<WindowId, std::string>>;
    EXPECT_EQ(fake.desktop.pressAsked, (Asked{{box, "&No"}}));
    EXPECT_EQ(program.titles().dismissal.answered(), 0);
}

}  // namespace

#include <gtest/gtest.h>

#include "program/Program.h"
#include "support/FakePlatform.h"
#include "titles/TitleBlocking.h"

namespace {

using namespace std::chrono_literals;
using halvern::platform::WindowInfo;

struct ProgramTitlesTest : ::testing::Test {
    ProgramTitlesTest() {
        fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
        fake.files.put("/opt/halvern/zvtitles.ini",
                       "[DomainCount]\r\nN=2\r\n[Domains]\r\nD0=Popup\r\nD1=Casino\r\n");
    }
    WindowInfo window(const std::string& title, int pid) {
        WindowInfo info;
        info.title = title;
        info.className = "Test";
        info.pid = pid;
        info.localMachine = true;
        info.visible = true;
        return info;
    }
    bool isOpen(halvern::platform::WindowId id) const {
        for (const auto& info : fake.desktop.topLevel) {
            if (info.id == id) {
                return true;
            }
        }
        return false;
    }

    halvern::testing::FakePlatform fake;
    halvern::program::Program program{fake.platform};
};

TEST_F(ProgramTitlesTest, TheLoadReadsTheListAndFollowsTheDesktopUntilTheExit) {
    program.Form_Load();
    EXPECT_EQ(program.titles().list.entries(), (std::vector<std::string>{"Popup", "Casino"}));
    EXPECT_TRUE(fake.desktop.following);

    const auto own =
        fake.desktop.open(window("Zorvik Popup Blocker Ad Stopper v4.2.8", fake.processes.selfPid));
    const auto popup = fake.desktop.open(window("Online casino offer", 4000));
    EXPECT_FALSE(isOpen(popup));
    EXPECT_TRUE(isOpen(own));
    fake.clock.advance(3s);
    EXPECT_TRUE(isOpen(own));
    EXPECT_EQ(program.form().lblLastTitle.caption(), "Allow Popup 'Casino' from now on...");

    program.mnuFileExit_Click();
    EXPECT_FALSE(fake.desktop.following);
    EXPECT_FALSE(program.titles().scanner.TimerCloseByTitle.enabled());
}

TEST_F(ProgramTitlesTest, TheEditorOpensOnTheListAndItsSaveReachesTheScanner) {
    program.Form_Load();
    auto& titles = program.titles();
    titles.openEditor();
    auto& form = titles.editor.form;
    EXPECT_TRUE(form.frmPopupTitles.visible());
    EXPECT_EQ(form.lstAdd.items(), (std::vector<std::string>{"Popup", "Casino"}));
    form.txtTitle.setText("Great Offer");
    form.cmdAdd.click();
    form.cmdOK.click();
    EXPECT_EQ(titles.list.entries(), (std::vector<std::string>{"Popup", "Casino", "Great Offer"}));
}

}  // namespace

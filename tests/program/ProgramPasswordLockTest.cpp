#include <gtest/gtest.h>

#include "program/Program.h"
#include "support/FakePlatform.h"
#include "ui/LogWindow.h"
#include "ui/PasswordLock.h"

using namespace std::chrono_literals;
using halvern::forms::MainForm;
using halvern::platform::TrayMouse;
using halvern::program::Program;

namespace {

struct ProgramPasswordLockTest : ::testing::Test {
    ProgramPasswordLockTest() {
        fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
        program.form().trayMenuRequested.connect([this] { ++menus; });
    }

    halvern::testing::FakePlatform fake;
    Program program{fake.platform};
    int menus = 0;
};

TEST_F(ProgramPasswordLockTest, ALockedStartShowsTheSettingsOnRightClickUntilTheLogin) {
    fake.userStore.set("KorvaneSoft", "Zorvik", "BlockLevel", "secret");
    program.Form_Load();
    fake.clock.advance(2500ms);  // the later start hides the window into the tray
    MainForm& form = program.form();
    ASSERT_FALSE(form.frmMain.visible());
    EXPECT_TRUE(program.passwordLock().locked());
    EXPECT_EQ(form.A.tab(), MainForm::kTabOtherPassword);
    EXPECT_TRUE(fake.hasher.isHash(*fake.userStore.get("KorvaneSoft", "Zorvik", "BlockLevel")))
        << "the old plain password is stored as a hash from the first start on";

    fake.tray.mouse(TrayMouse::RightUp);
    EXPECT_TRUE(form.frmMain.visible());
    EXPECT_EQ(menus, 0);

    form.txtPass.setText("secret");
    form.cmdPass.click();
    fake.tray.mouse(TrayMouse::RightUp);
    EXPECT_EQ(menus, 1);
}

TEST_F(ProgramPasswordLockTest, AnUnlockedStartOpensTheMenuAndTheVersionCheckStaysHidden) {
    program.Form_Load();
    EXPECT_FALSE(program.passwordLock().locked());
    fake.tray.mouse(TrayMouse::RightUp);
    EXPECT_EQ(menus, 1);
    EXPECT_FALSE(program.form().cmdNew.visible());
    EXPECT_FALSE(program.form().lblNewV.visible());
}

TEST_F(ProgramPasswordLockTest, TheLogWindowOpensOnRequestAndClosesAtExit) {
    program.Form_Load();
    program.openLogWindow();
    EXPECT_TRUE(program.logWindow().form.frmLastBlocked.visible());
    program.mnuFileExit_Click();
    EXPECT_FALSE(program.logWindow().form.frmLastBlocked.visible());
}

TEST_F(ProgramPasswordLockTest, TheLogWindowListsTheAdsTheServerAnsweredAndFollowsNewOnes) {
    program.Form_Load();
    fake.clock.advance(3s);
    ASSERT_TRUE(fake.listener.isListening());
    const auto ask = [this](const std::string& host) {
        const auto id = fake.listener.connect();
        fake.listener.clientSend(id, "GET /banner.gif HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    };
    ask("ads.one.example");
    program.openLogWindow();
    const auto& list = program.logWindow().form.lstBlocked;
    ASSERT_EQ(list.listCount(), 1);
    EXPECT_NE(list.item(0).find("'ads.one.example'"), std::string::npos) << list.item(0);

    ask("ads.two.example");
    fake.clock.advance(5s);
    ASSERT_EQ(list.listCount(), 2);
    EXPECT_NE(list.item(0).find("'ads.two.example'"), std::string::npos) << list.item(0);
}

}  // namespace

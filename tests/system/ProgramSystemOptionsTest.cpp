// The system options as the running program has them: read at the load, written by the first
// start, the toolbar button kept across a restart and removed by the uninstall.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "program/Program.h"
#include "support/FakePlatform.h"
#include "system/BrowserOptions.h"
#include "system/RegistryHelpers.h"
#include "system/ToolbarButton.h"

namespace {

using namespace std::chrono_literals;
using halvern::forms::CheckBox;
using halvern::platform::BoxAnswer;
using halvern::platform::HKEY_CURRENT_USER;
using halvern::platform::HKEY_LOCAL_MACHINE;
using halvern::program::Program;
using halvern::system::BrowserOptions;
using halvern::system::GetRegDword;
using halvern::system::QueryRegValue;
using halvern::system::SetRegDword;
using halvern::system::SetRegString;
using halvern::system::ToolbarButton;

const std::string kIni = "/opt/halvern/zorvik.ini";
const std::string kMain = BrowserOptions::kMainKey;

struct ProgramSystemOptionsTest : ::testing::Test {
    void markStartedBefore() { fake.userStore.set("Zorvik", "State", "FirstStart", "Done"); }
    std::unique_ptr<Program> start() {
        auto program = std::make_unique<Program>(fake.platform);
        program->Form_Load();
        fake.clock.advance(2500ms);
        return program;
    }

    halvern::testing::FakePlatform fake;
};

TEST_F(ProgramSystemOptionsTest, TheLoadReadsTheBrowserOptionsSilentlyAndEnablesTheControls) {
    markStartedBefore();
    ASSERT_TRUE(
        SetRegString(fake.registry, HKEY_CURRENT_USER, kMain, "Disable Script Debugger", "yes"));
    ASSERT_TRUE(SetRegString(fake.registry, HKEY_CURRENT_USER, kMain, "Play_Animations", "yes"));
    ASSERT_TRUE(SetRegString(fake.registry, HKEY_CURRENT_USER, kMain,
                             "Error Dlg Displayed On Every Error", "no"));
    ASSERT_TRUE(SetRegDword(fake.registry, HKEY_LOCAL_MACHINE, BrowserOptions::kFlashKey,
                            "Compatibility Flags", 1024));
    Program program(fake.platform);
    program.Form_Load();
    auto& form = program.form();
    EXPECT_TRUE(form.chkDisableScriptDebuggingInIE.checked());
    EXPECT_FALSE(form.chkDisableNotificationScriptErrorIE.checked());
    EXPECT_TRUE(form.chkFlashIE.checked());
    EXPECT_TRUE(form.chkPlayAnimationinWebPagesIE.checked());
    EXPECT_TRUE(fake.dialogs.boxes().empty()) << "no once-only message while loading";
    EXPECT_EQ(fake.userStore.get("Zorvik", "Messages", "MSGFlash"), std::nullopt)
        << "the first click still explains";
    EXPECT_EQ(GetRegDword(fake.registry, HKEY_LOCAL_MACHINE, BrowserOptions::kFlashKey,
                          "Compatibility Flags"),
              1024u);
    EXPECT_EQ(QueryRegValue(fake.registry, kMain, "Play_Animations", HKEY_CURRENT_USER), "yes");

    for (const CheckBox* box :
         {&form.chkDisableScriptDebuggingInIE, &form.chkDisableNotificationScriptErrorIE,
          &form.chkFlashIE, &form.chkPlayAnimationinWebPagesIE, &form.chkMessenger,
          &form.chkIEToolBar}) {
        EXPECT_TRUE(box->enabled()) << box->name();
        EXPECT_EQ(box->toolTip().find("Not available yet"), std::string::npos) << box->name();
    }
    for (const CheckBox* box :
         {&form.chkDisableScriptDebuggingInIE, &form.chkDisableNotificationScriptErrorIE,
          &form.chkFlashIE, &form.chkPlayAnimationinWebPagesIE, &form.chkIEToolBar}) {
        EXPECT_NE(box->toolTip().find("own registry file"), std::string::npos) << box->name();
    }
    EXPECT_NE(form.chkFlashIE.toolTip().find("changes nothing in Chromium"), std::string::npos);
    EXPECT_NE(form.chkIEToolBar.toolTip().find("no Linux browser reads it"), std::string::npos);
    EXPECT_NE(form.chkMessenger.toolTip().find("Linux has no Messenger service"),
              std::string::npos);
}

TEST_F(ProgramSystemOptionsTest, TheFirstStartAsksForScriptErrorNotifications) {
    auto program = start();
    EXPECT_EQ(QueryRegValue(fake.registry, kMain, "Error Dlg Displayed On Every Error",
                            HKEY_CURRENT_USER),
              "yes");
    EXPECT_FALSE(fake.registry.value(HKEY_CURRENT_USER, kMain, "Disable Script Debugger"))
        << "a box that stays unchecked writes nothing";
}

TEST_F(ProgramSystemOptionsTest, TheToolbarButtonIsWrittenAtEachLoadAndGoesWithTheUninstall) {
    markStartedBefore();
    auto program = start();
    program->form().chkIEToolBar.click();
    ASSERT_TRUE(fake.registry.keyExists(HKEY_LOCAL_MACHINE, ToolbarButton::kKey));
    program->mnuFileExit_Click();
    program.reset();

    // The key lost meanwhile is written again by the next load, which shows no message.
    ASSERT_EQ(fake.registry.removeKey(HKEY_LOCAL_MACHINE, ToolbarButton::kKey),
              halvern::platform::RegistryRemoval::Removed);
    fake.dialogs.clear();
    program = start();
    EXPECT_TRUE(program->form().chkIEToolBar.checked());
    EXPECT_EQ(QueryRegValue(fake.registry, ToolbarButton::kKey, "ButtonText", HKEY_LOCAL_MACHINE),
              "Zorvik");
    EXPECT_TRUE(fake.dialogs.boxes().empty());

    fake.dialogs.answerNext(BoxAnswer::Yes);
    program->form().mnuUninstallUninstall.click();
    EXPECT_FALSE(fake.registry.keyExists(HKEY_LOCAL_MACHINE, ToolbarButton::kKey));
}

}  // namespace

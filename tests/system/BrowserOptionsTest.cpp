#include "system/BrowserOptions.h"

#include <gtest/gtest.h>

#include <string>

#include "SystemFixture.h"
#include "system/MessengerSwitch.h"
#include "system/RegistryHelpers.h"

namespace {

using halvern::forms::CheckBox;
using halvern::forms::MainForm;
using halvern::platform::BoxIcon;
using halvern::platform::HKEY_CURRENT_USER;
using halvern::platform::HKEY_LOCAL_MACHINE;
using halvern::platform::REG_DWORD;
using halvern::platform::REG_SZ;
using halvern::platform::RegistryValue;
using halvern::system::BrowserOptions;

const std::string kMain = BrowserOptions::kMainKey;
const std::string kFlash = BrowserOptions::kFlashKey;
const std::string kRestart =
    "You must restart your Internet Explorer Browsers for this change to take effect.";
const std::string kFlashMessage = kRestart;
const std::string kAnimationMessage = kRestart + "  Animations are also known as 'Animated Gifs'.";

struct BrowserOptionsTest : halvern::testing::SystemFixture, ::testing::Test {
    BrowserOptions options{parts.context, parts.settings, parts.log};

    std::optional<RegistryValue> stored(const std::string& name) const {
        return fake.registry.value(HKEY_CURRENT_USER, kMain, name);
    }
};

/// The three boxes kept as "yes" or "no" under the main key.
struct YesNoBox {
    CheckBox MainForm::*box;
    const char* value;
};
const YesNoBox kYesNoBoxes[] = {
    {&MainForm::chkDisableScriptDebuggingInIE, "Disable Script Debugger"},
    {&MainForm::chkDisableNotificationScriptErrorIE, "Error Dlg Displayed On Every Error"},
    {&MainForm::chkPlayAnimationinWebPagesIE, "Play_Animations"},
};

TEST_F(BrowserOptionsTest, EachTextBoxStoresYesOrNoUnderTheMainKey) {
    const std::string status = form.lblStatus.caption();
    for (const YesNoBox& row : kYesNoBoxes) {
        CheckBox& box = form.*row.box;
        SCOPED_TRACE(box.name());
        box.click();
        EXPECT_EQ(stored(row.value), (RegistryValue{REG_SZ, std::string("yes\0", 4)}));
        box.click();
        EXPECT_EQ(stored(row.value), (RegistryValue{REG_SZ, std::string("no\0", 3)}));
    }
    // The key keeps the letter case the table gives it.
    ASSERT_NE(fake.registry.key(HKEY_CURRENT_USER, kMain), nullptr);
    EXPECT_EQ(
        fake.registry.key(HKEY_CURRENT_USER, "software\\microsoft\\internet explorer\\main")->path,
        "Software\\Microsoft\\Internet Explorer\\Main");
    EXPECT_EQ(form.lblStatus.caption(), status) << "success says nothing";
}

TEST_F(BrowserOptionsTest, CheckingFlashCreatesTheKeyAndClearingItDeletesTheWholeKey) {
    const std::string status = form.lblStatus.caption();
    form.chkFlashIE.click();
    EXPECT_EQ(fake.registry.value(HKEY_LOCAL_MACHINE, kFlash, "Compatibility Flags"),
              (RegistryValue{REG_DWORD, std::string("\x00\x04\x00\x00", 4)}));
    ASSERT_TRUE(halvern::system::SetRegString(fake.registry, HKEY_LOCAL_MACHINE, kFlash,
                                              "Someone else's", "value"));
    ASSERT_TRUE(halvern::system::SetRegString(fake.registry, HKEY_LOCAL_MACHINE, kFlash + "\\Sub",
                                              "x", "y"));
    form.chkFlashIE.click();
    EXPECT_FALSE(fake.registry.keyExists(HKEY_LOCAL_MACHINE, kFlash))
        << "other values and subkeys go with it";
    EXPECT_TRUE(fake.registry.keyExists(
        HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility"));
    EXPECT_EQ(form.lblStatus.caption(), status);
}

TEST_F(BrowserOptionsTest, LoadingSetsEachBoxFromItsStoredSetting) {
    struct Case {
        const char* why;
        CheckBox MainForm::*box;
        halvern::platform::RegistryRoot root;
        std::string key, name;
        RegistryValue value;
        bool checked;
    } cases[] = {
        {"yes",
         &MainForm::chkDisableScriptDebuggingInIE,
         HKEY_CURRENT_USER,
         kMain,
         "Disable Script Debugger",
         {REG_SZ, std::string("yes\0", 4)},
         true},
        {"yes without a NUL",
         &MainForm::chkDisableNotificationScriptErrorIE,
         HKEY_CURRENT_USER,
         kMain,
         "error dlg displayed on every error",
         {REG_SZ, "yes"},
         true},
        {"Yes in capitals",
         &MainForm::chkPlayAnimationinWebPagesIE,
         HKEY_CURRENT_USER,
         kMain,
         "Play_Animations",
         {REG_SZ, std::string("Yes\0", 4)},
         false},
        {"no",
         &MainForm::chkPlayAnimationinWebPagesIE,
         HKEY_CURRENT_USER,
         kMain,
         "Play_Animations",
         {REG_SZ, std::string("no\0", 3)},
         false},
        {"Flash flags",
         &MainForm::chkFlashIE,
         HKEY_LOCAL_MACHINE,
         kFlash,
         "Compatibility Flags",
         {REG_DWORD, std::string("\x00\x04\x00\x00", 4)},
         true},
        {"any Flash flag",
         &MainForm::chkFlashIE,
         HKEY_LOCAL_MACHINE,
         kFlash,
         "Compatibility Flags",
         {REG_DWORD, std::string("\x01\x00\x00\x00", 4)},
         true},
        {"Flash flags of 0",
         &MainForm::chkFlashIE,
         HKEY_LOCAL_MACHINE,
         kFlash,
         "Compatibility Flags",
         {REG_DWORD, std::string(4, '\0')},
         false},
        {"Flash flags as text",
         &MainForm::chkFlashIE,
         HKEY_LOCAL_MACHINE,
         kFlash,
         "Compatibility Flags",
         {REG_SZ, std::string("1024\0", 5)},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        halvern::testing::FakePlatform fresh;
        halvern::testing::ProgramParts freshParts{
            fresh.platform, halvern::core::AppPaths(fresh.kAppFolder, "/etc/hosts")};
        BrowserOptions freshOptions{freshParts.context, freshParts.settings, freshParts.log};
        ASSERT_TRUE(fresh.registry.setValue(c.root, c.key, c.name, c.value));
        freshParts.state.bLoadingSettings = true;
        freshOptions.readBrowserSettings();
        EXPECT_EQ((freshParts.form.*c.box).checked(), c.checked);
        EXPECT_TRUE(fresh.dialogs.boxes().empty()) << "no message while loading";
    }
}

TEST_F(BrowserOptionsTest, LoadingWithNothingStoredWritesNothing) {
    parts.state.bLoadingSettings = true;
    options.readBrowserSettings();
    for (const CheckBox* box :
         {&form.chkDisableScriptDebuggingInIE, &form.chkDisableNotificationScriptErrorIE,
          &form.chkFlashIE, &form.chkPlayAnimationinWebPagesIE}) {
        EXPECT_FALSE(box->checked()) << box->name();
    }
    EXPECT_EQ(fake.registry.changes(), 0u);
}

TEST_F(BrowserOptionsTest, FlashAndAnimationsExplainThemselvesOnTheFirstClickOnly) {
    struct Case {
        CheckBox MainForm::*box;
        std::string message, title, key;
    } cases[] = {
        {&MainForm::chkFlashIE, kFlashMessage, "Turn Flash Ads ON/OFF", "MSGFlash"},
        {&MainForm::chkPlayAnimationinWebPagesIE, kAnimationMessage, "Turn Animated Gifs  ON/OFF",
         "MSGAnimation"},
    };
    for (const Case& c : cases) {
        CheckBox& box = form.*c.box;
        SCOPED_TRACE(box.name());
        fake.dialogs.clear();
        // Checked by the settings load: silent, and the message is still to come.
        parts.state.bLoadingSettings = true;
        box.setChecked(true);
        parts.state.bLoadingSettings = false;
        EXPECT_TRUE(fake.dialogs.boxes().empty());

        box.click();
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes()[0].text, once(c.message));
        EXPECT_EQ(fake.dialogs.boxes()[0].title, c.title);
        EXPECT_EQ(fake.dialogs.boxes()[0].icon, BoxIcon::Information);
        EXPECT_EQ(fake.userStore.get("Zorvik", "Messages", c.key), "0");
        box.click();
        box.click();
        EXPECT_EQ(fake.dialogs.boxes().size(), 1u);
    }
    // The script boxes have no message.
    form.chkDisableScriptDebuggingInIE.click();
    form.chkDisableNotificationScriptErrorIE.click();
    EXPECT_EQ(fake.dialogs.boxes().size(), 1u);
}

TEST_F(BrowserOptionsTest, ASettingThatCouldNotBeStoredIsSaidInTheStatusLine) {
    fake.registry.refuseChanges(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE.registry is read-only");
    form.chkFlashIE.click();
    const std::string flashFailed =
        "Zorvik could not store the option \"Disable Macromedia Flash Ads\": "
        "HKEY_LOCAL_MACHINE.registry is read-only.  It keeps its old value.";
    EXPECT_EQ(form.lblStatus.caption(), flashFailed);
    ASSERT_FALSE(logLines.empty());
    EXPECT_EQ(logLines.back(), "#" + flashFailed);
    EXPECT_FALSE(fake.registry.keyExists(HKEY_LOCAL_MACHINE, kFlash));

    // Clearing the box fails too while the key is there to delete.
    form.lblStatus.setCaption("");
    form.chkFlashIE.click();
    EXPECT_TRUE(form.lblStatus.caption().empty()) << "no key, nothing to delete";

    fake.registry.refuseChanges(HKEY_CURRENT_USER, "Permission denied");
    form.chkDisableScriptDebuggingInIE.click();
    EXPECT_EQ(form.lblStatus.caption(),
              "Zorvik could not store the option \"Disable Script Debugging\": Permission "
              "denied.  It keeps its old value.");
}

TEST_F(BrowserOptionsTest, ClearingFlashSaysSoWhenTheKeyCannotBeDeleted) {
    form.chkFlashIE.click();
    fake.registry.refuseChanges(HKEY_LOCAL_MACHINE, "Permission denied");
    form.chkFlashIE.click();
    EXPECT_EQ(form.lblStatus.caption(),
              "Zorvik could not store the option \"Disable Macromedia Flash Ads\": Permission "
              "denied.  It keeps its old value.");
    EXPECT_TRUE(fake.registry.keyExists(HKEY_LOCAL_MACHINE, kFlash));
}

struct MessengerSwitchTest : halvern::testing::SystemFixture, ::testing::Test {
    halvern::system::MessengerSwitch messenger{parts.context};
};

TEST_F(MessengerSwitchTest, AClickSaysItHasNoEffectAndChangesNothing) {
    for (int click = 1; click <= 2; ++click) {
        form.chkMessenger.click();
        ASSERT_EQ(fake.dialogs.boxes().size(), static_cast<std::size_t>(click))
            << "every click says so, once";
        const auto& box = fake.dialogs.boxes().back();
        EXPECT_EQ(box.title, "Zorvik - Windows Messenger Service");
        EXPECT_EQ(box.text,
                  "The Messenger Service popups only occur for Windows NT, XP, and 2000 users.  "
                  "This setting has no effect for you.");
        EXPECT_EQ(box.icon, BoxIcon::Information);
        EXPECT_FALSE(form.chkMessenger.checked()) << "the box shows that nothing changed";
    }
    EXPECT_TRUE(fake.userStore.values().empty()) << "nothing stored";
    EXPECT_TRUE(fake.launcher.commands.empty()) << "nothing run";
    EXPECT_EQ(fake.registry.changes(), 0u);
}

TEST_F(MessengerSwitchTest, NothingHappensWhileTheSettingsLoad) {
    parts.state.bLoadingSettings = true;
    form.chkMessenger.setChecked(true);
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    EXPECT_TRUE(fake.userStore.values().empty());
}

}  // namespace

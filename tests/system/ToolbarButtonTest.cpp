#include "system/ToolbarButton.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "SystemFixture.h"

namespace {

using halvern::platform::BoxIcon;
using halvern::platform::HKEY_CURRENT_USER;
using halvern::platform::HKEY_LOCAL_MACHINE;
using halvern::platform::REG_SZ;
using halvern::platform::RegistryTree;
using halvern::platform::RegistryValue;
using halvern::system::ToolbarButton;

const std::string kKey = ToolbarButton::kKey;
const std::string kExplanation =
    "Clicking this option on and off will install an Zorvik Button on the IE toolbar (requires "
    "browser restart). If you plan to un-install Zorvik, you should uncheck this option first. "
    "The toolbar button allows you to bring up Zorvik quickly.  This does the same thing as "
    "clicking on the Zorvik Icon (near your clock).";
const std::string kCloseBrowsers =
    "\r\n\r\nPlease close all Internet Explorer browser windows for this change to take effect!";

struct ToolbarButtonTest : halvern::testing::SystemFixture, ::testing::Test {
    ToolbarButton button{parts.context, parts.settings, parts.help, parts.log};

    /// The button key's values as (name, text), in the order they were written.
    std::vector<std::pair<std::string, std::string>> values() const {
        std::vector<std::pair<std::string, std::string>> all;
        if (const RegistryTree::Key* key = fake.registry.key(HKEY_LOCAL_MACHINE, kKey)) {
            for (const RegistryTree::Value& v : key->values) {
                EXPECT_EQ(v.value.type, REG_SZ) << v.name;
                all.emplace_back(v.name, v.value.data);
            }
        }
        return all;
    }
};

TEST_F(ToolbarButtonTest, CheckingWritesTheKeyWithItsEightValuesAndClearingDeletesIt) {
    form.chkIEToolBar.click();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"ButtonText", "Zorvik"},
        {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
        {"Default Visible", "Yes"},
        {"Exec", "/opt/halvern/zorvik"},
        {"HotIcon", "/opt/halvern/toolhot.png"},
        {"Icon", "/opt/halvern/tool1.png"},
        {"MenuStatusBar", "Display Zorvik Settings"},
        {"MenuText", "&Zorvik Settings"},
    };
    EXPECT_EQ(values(), expected) << "texts without a terminating NUL";
    EXPECT_EQ(form.lblStatus.caption(),
              "An Zorvik settings button will now appear on your Internet Explorer Toolbar and "
              "Tools Menu." +
                  kCloseBrowsers);
    EXPECT_EQ(form.lblHelpText.caption(),
              "If you uninstall Zorvik, uncheck this option first!  Otherwise, the Toolbar "
              "button will not be uninstalled.");
    EXPECT_FALSE(fake.registry.keyExists(HKEY_CURRENT_USER, kKey));

    form.chkIEToolBar.click();
    EXPECT_FALSE(fake.registry.keyExists(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_TRUE(fake.registry.keyExists(HKEY_LOCAL_MACHINE,
                                        "Software\\Microsoft\\Internet Explorer\\Extensions"));
    EXPECT_EQ(form.lblStatus.caption(),
              "The Zorvik settings button was removed from your Internet Explorer toolbar and "
              "Tools menu." +
                  kCloseBrowsers);
    EXPECT_EQ(form.lblHelpText.caption(),
              "The Zorvik button and menu item was removed from Internet Explorer.");

    // Removing a button that is not there is no failure.
    form.chkIEToolBar.setChecked(true);
    ASSERT_TRUE(fake.registry.removeKey(HKEY_LOCAL_MACHINE, kKey) ==
                halvern::platform::RegistryRemoval::Removed);
    form.chkIEToolBar.click();
    EXPECT_TRUE(form.lblStatus.caption().starts_with("The Zorvik settings button was removed"));
}

TEST_F(ToolbarButtonTest, ExecNamesTheExecutableWithoutItsExtension) {
    const std::pair<std::string, std::string> cases[] = {
        {"/opt/halvern/zorvik", "/opt/halvern/zorvik"},
        {"/opt/Halvern Apps/zorvik.bin", "/opt/Halvern Apps/zorvik"},
        {"/opt/halvern/zorvik.tar.gz", "/opt/halvern/zorvik.tar"},
        {"/opt/halvern-4.2/zorvik", "/opt/halvern-4.2/zorvik"},
        {"/opt/halvern/.zorvik", "/opt/halvern/.zorvik"},
    };
    for (const auto& [executable, exec] : cases) {
        SCOPED_TRACE(executable);
        fake.process.executable = executable;
        ASSERT_TRUE(button.AddToolbarButton("toolhot.png", "tool1.png", "Zorvik"));
        EXPECT_EQ(fake.registry.value(HKEY_LOCAL_MACHINE, kKey, "Exec"),
                  (RegistryValue{REG_SZ, exec}));
    }
}

TEST_F(ToolbarButtonTest, TheFirstClickExplainsAndTheLoadWritesTheKeySilently) {
    // The settings load checks the box: the key is written again, and no box is shown.
    parts.state.bLoadingSettings = true;
    form.chkIEToolBar.setChecked(true);
    parts.state.bLoadingSettings = false;
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    EXPECT_EQ(values().size(), 8u);

    form.chkIEToolBar.click();
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].text, once(kExplanation));
    EXPECT_EQ(fake.dialogs.boxes()[0].title, "Internet Explorer (IE) Toolbar");
    EXPECT_EQ(fake.dialogs.boxes()[0].icon, BoxIcon::Information);
    EXPECT_EQ(values().size(), 0u);
    form.chkIEToolBar.click();
    EXPECT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(values().size(), 8u);
}

TEST_F(ToolbarButtonTest, AButtonThatCouldNotBeWrittenOrRemovedIsSaidInTheStatusLine) {
    fake.registry.refuseChanges(HKEY_LOCAL_MACHINE, "Permission denied");
    const std::string help = form.lblHelpText.caption();
    form.chkIEToolBar.click();
    const std::string addFailed =
        "Zorvik could not add its settings button to the Internet Explorer toolbar: Permission "
        "denied.";
    EXPECT_EQ(form.lblStatus.caption(), addFailed);
    EXPECT_EQ(logLines.back(), "#" + addFailed);
    EXPECT_EQ(form.lblHelpText.caption(), help) << "no claim that the button is there";
    EXPECT_FALSE(fake.registry.keyExists(HKEY_LOCAL_MACHINE, kKey));

    halvern::testing::SystemFixture other;
    ToolbarButton otherButton{other.parts.context, other.parts.settings, other.parts.help,
                              other.parts.log};
    other.form.chkIEToolBar.click();
    other.fake.registry.refuseChanges(HKEY_LOCAL_MACHINE, "Permission denied");
    other.form.chkIEToolBar.click();
    EXPECT_EQ(other.form.lblStatus.caption(),
              "Zorvik could not remove its settings button from the Internet Explorer toolbar: "
              "Permission denied.");
    EXPECT_TRUE(other.fake.registry.keyExists(HKEY_LOCAL_MACHINE, kKey));
}

}  // namespace

#include "system/StartupShortcut.h"

#include <gtest/gtest.h>

#include <string>

#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

using halvern::platform::BoxButtons;
using halvern::platform::BoxIcon;
using halvern::system::StartupShortcut;

namespace {

const std::string kEntry = "/home/user/.config/autostart/Zorvik.desktop";

const std::string kAddedStatus =
    "Zorvik was just added to the Windows startup group.  Zorvik will now start each time "
    "Windows starts. \r\n\r\nThis is the preferred way to run Zorvik and you'll have the fewest "
    "odd side effects.  Zorvik is not a drain on system resources and is designed to operate "
    "best when always running.\r\n\r\nUnCheck this option to remove Zorvik from the startup "
    "group (will not start when windows restarts).";
const std::string kAddedHelp =
    "This option should always be set unless you plan to uninstall.  Zorvik needs to configure "
    "Windows at system startup.";
const std::string kRemovedStatus =
    "Removing Zorvik from the startup group. Zorvik will no longer start when Windows "
    "restarts.\r\n\r\nZorvik runs best when set to start with Windows.  Zorvik is not a drain on "
    "system resources.  If you insist on starting Zorvik yourself, keep in mind that if you're "
    "not running Zorvik, you may see broken images where banner ads should be. Also, banner ad "
    "blocking might not work as well as if you start Zorvik with Windows startup.";
const std::string kRemovedHelp =
    "If you restart Zorvik, this option will automatically reset back on.  Only turn this off if "
    "you plan to uninstall Zorvik.";
const std::string kAddFailure =
    "Zorvik was NOT ABLE to add a shortcut to your STARTUP group so Zorvik will restart when "
    "windows starts.\r\n\r\nYou can add the shortcut yourself:\r\n\r\n1) Right click on the "
    "Windows START button (lower left of windows)\r\n2) Choose 'Open' (at the top).\r\n3) Click "
    "on the 'Programs'.\r\n4) Click on the 'Startup' folder.\r\n5) Make the 'Startup' folder "
    "window small enough so you can drag the Zorvik Icon from your desktop into this "
    "folder.\r\n6) Click OK here, minimize Zorvik, and drag the desktop icon into the 'Startup' "
    "group.\r\n\r\nThe next time windows starts, Zorvik will also start!";

std::string removalFailure(const std::string& description) {
    return "There was trouble removing the shortcut.   This might happen if you have manually "
           "renamed the shortcut some time in the past.   Otherwise, some unknown error "
           "occurred. File= " +
           kEntry + " Desc = " + description +
           "\r\n\r\nYou can manually remove any shortcuts you do not want: \r\n\r\n1) Right "
           "Click on the Windows Start button. \r\n2) Click the 'Open' menu choice. \r\n3) "
           "Double Click on the 'Programs' icon. \r\n4) Find the group named 'StartUp' and "
           "Double Click on that.\r\n\r\nFrom there, you should be able to select and delete "
           "any shortcut you do not want.";
}

struct StartupShortcutTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    halvern::testing::ProgramParts parts{fake.platform, {"/opt/halvern", "/etc/hosts"}};
    StartupShortcut shortcut{parts.context, parts.help};
    halvern::forms::MainForm& form = parts.form;
};

TEST_F(StartupShortcutTest, TheEntryStartsTheRunningExecutableAsItIsOnDisk) {
    struct Case {
        const char* executable;
        bool pictureBeside;
        const char* folder;
        const char* icon;
    } cases[] = {
        // A build tree: the shipped picture is staged next to the executable.
        {"/Home/Ann/Halvern Build/App/zorvik", true, "/Home/Ann/Halvern Build/App",
         "/Home/Ann/Halvern Build/App/zv.png"},
        // An installation: the icon theme has the program's icon under its name.
        {"/usr/bin/zorvik", false, "/usr/bin", "zorvik"},
        {"/zorvik", false, "/", "zorvik"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable);
        fake.process.executable = c.executable;
        if (c.pictureBeside) {
            fake.files.put(std::string(c.folder) + "/zv.png", "PNG");
        }
        const StartupShortcut::Location where = shortcut.getShortCutFileName("Zorvik");
        EXPECT_EQ(where.file, kEntry);
        EXPECT_EQ(where.programFolder, c.folder);

        shortcut.AddOrRemoveGroupShortCut(true, true);
        ASSERT_TRUE(fake.autostart.exists(kEntry));
        const halvern::platform::AutostartEntry& written = fake.autostart.entries.at(kEntry);
        EXPECT_EQ(written.name, "Zorvik");
        EXPECT_EQ(written.program, c.executable) << "the path is written unchanged";
        EXPECT_EQ(written.workingFolder, c.folder);
        EXPECT_EQ(written.icon, c.icon);
        EXPECT_FALSE(written.comment.empty());
        EXPECT_TRUE(fake.dialogs.boxes().empty());
    }
    EXPECT_EQ(fake.autostart.entries.size(), 1u) << "every write went to the same entry";
}

TEST_F(StartupShortcutTest, TheBoxAddsAndRemovesTheEntryAndSaysWhatThatMeans) {
    struct Step {
        bool checked;
        bool entry;
        const std::string& status;
        const std::string& help;
    } steps[] = {{true, true, kAddedStatus, kAddedHelp},
                 {false, false, kRemovedStatus, kRemovedHelp},
                 {true, true, kAddedStatus, kAddedHelp}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.checked);
        form.chkStartup.click();
        EXPECT_EQ(form.chkStartup.checked(), s.checked);
        EXPECT_EQ(fake.autostart.exists(kEntry), s.entry);
        EXPECT_EQ(form.lblStatus.caption(), s.status);
        EXPECT_EQ(form.lblHelpText.caption(), s.help);
        EXPECT_TRUE(parts.help.TimerFlash.enabled()) << "the help line blinks";
    }
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(StartupShortcutTest, CheckingTwiceInARowOverwritesTheSameEntry) {
    form.chkStartup.setChecked(true);
    fake.process.executable = "/opt/halvern-2/zorvik";
    shortcut.AddOrRemoveGroupShortCut(true, true);
    EXPECT_EQ(fake.autostart.writes(kEntry), 2);
    ASSERT_EQ(fake.autostart.entries.size(), 1u);
    EXPECT_EQ(fake.autostart.entries.at(kEntry).program, "/opt/halvern-2/zorvik");
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(StartupShortcutTest, AnEntryThatIsNotThereAfterTheWriteIsExplainedOnlyWithMessages) {
    struct Case {
        const char* why;
        bool vanish;
        const char* failure;
    } cases[] = {{"the write reports success", true, ""},
                 {"the write fails", false, "Permission denied"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        fake.dialogs.clear();
        fake.autostart.writesVanish = c.vanish;
        fake.autostart.writeFailure = c.failure;

        shortcut.AddOrRemoveGroupShortCut(true, false);
        EXPECT_TRUE(fake.dialogs.boxes().empty()) << "the silent call shows nothing";

        shortcut.AddOrRemoveGroupShortCut(true, true);
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
        const auto& box = fake.dialogs.boxes()[0];
        EXPECT_EQ(box.text, kAddFailure);
        EXPECT_EQ(box.title, "Zorvik");
        EXPECT_EQ(box.buttons, BoxButtons::Ok);
        EXPECT_EQ(box.icon, BoxIcon::Critical);
        EXPECT_FALSE(fake.autostart.exists(kEntry));
    }
}

TEST_F(StartupShortcutTest, AFailedAddByTheBoxStillKeepsTheBoxCheckedAndSaysSo) {
    fake.autostart.writeFailure = "Read-only file system";
    form.chkStartup.click();
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].text, kAddFailure);
    EXPECT_TRUE(form.chkStartup.checked());
    EXPECT_EQ(form.lblStatus.caption(), kAddedStatus);
}

TEST_F(StartupShortcutTest, AFailedRemovalGivesThePathAndTheSystemsDescription) {
    struct Case {
        const char* why;
        bool entryThere;
        const char* failure;
        const char* description;
    } cases[] = {{"deleted by hand", false, "", "No such file or directory"},
                 {"refused", true, "Permission denied", "Permission denied"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        fake.dialogs.clear();
        fake.autostart.entries.clear();
        if (c.entryThere) {
            fake.autostart.put(kEntry, shortcut.entry());
        }
        fake.autostart.removeFailure = c.failure;

        shortcut.AddOrRemoveGroupShortCut(false, false);
        EXPECT_TRUE(fake.dialogs.boxes().empty()) << "the silent call shows nothing";

        form.chkStartup.setChecked(true);
        fake.dialogs.clear();
        fake.autostart.entries.clear();
        if (c.entryThere) {
            fake.autostart.put(kEntry, shortcut.entry());
        }
        form.chkStartup.click();
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
        const auto& box = fake.dialogs.boxes()[0];
        EXPECT_EQ(box.text, removalFailure(c.description));
        EXPECT_EQ(box.title, "Zorvik");
        EXPECT_EQ(box.buttons, BoxButtons::Ok);
        EXPECT_FALSE(form.chkStartup.checked()) << "the box keeps its new state";
        EXPECT_EQ(form.lblStatus.caption(), kRemovedStatus);
    }
}

TEST_F(StartupShortcutTest, WhileTheSettingsLoadTheBoxWritesNothing) {
    parts.state.bLoadingSettings = true;
    form.lblStatus.setCaption("Loading");
    form.chkStartup.setChecked(true);
    form.chkStartup.setChecked(false);
    EXPECT_EQ(fake.autostart.writes(kEntry), 0);
    EXPECT_TRUE(fake.dialogs.boxes().empty()) << "no removal was tried";
    EXPECT_EQ(form.lblStatus.caption(), "Loading");
}

TEST_F(StartupShortcutTest, RunningOnlyWithTheBrowserIsOfferedOnlyWithTheStartWithTheSession) {
    form.chkStartup.setChecked(true);
    form.chkRunIE.setChecked(true);

    form.chkStartup.click();
    EXPECT_FALSE(form.chkRunIE.checked());
    EXPECT_FALSE(form.chkRunIE.enabled());
    form.chkStartup.click();
    EXPECT_TRUE(form.chkRunIE.enabled());
    EXPECT_FALSE(form.chkRunIE.checked()) << "the user chooses it again";
}

}  // namespace

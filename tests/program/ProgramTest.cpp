#include "program/Program.h"

#include <gtest/gtest.h>

#include "base/IniDocument.h"
#include "support/FakePlatform.h"

using namespace std::chrono_literals;
using halvern::base::IniDocument;
using halvern::platform::BoxButtons;
using halvern::platform::FakeProgramProcess;
using halvern::program::Program;

namespace {

const std::string kIni = halvern::testing::FakePlatform::kConfigFolder + "/zorvik.ini";

struct ProgramTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    Program program{fake.platform};

    void markStartedBefore() { fake.userStore.set("Zorvik", "State", "FirstStart", "Done"); }
    IniDocument ini() const { return IniDocument::parse(fake.files.text(kIni)); }
};

TEST_F(ProgramTest, FirstStartShowsTheWindowThenStoresEveryKeyOnTheStartupTimer) {
    program.Form_Load();
    auto& form = program.form();
    EXPECT_TRUE(form.frmMain.visible());
    EXPECT_EQ(form.frmMain.caption(), "Zorvik Popup Blocker Ad Stopper v4.2.8");
    EXPECT_EQ(form.frmMain.left(), 100);
    EXPECT_EQ(form.frmMain.top(), 100);
    EXPECT_TRUE(fake.tray.shown);
    EXPECT_EQ(form.lblStatus.caption(), "Please wait while  Initializes...");
    EXPECT_FALSE(fake.files.exists(kIni)) << "nothing is written while loading";

    fake.clock.advance(2499ms);
    EXPECT_FALSE(fake.files.exists(kIni));
    fake.clock.advance(1ms);

    const IniDocument doc = ini();
    for (const char* key :
         {"fOnOff", "fCloseBrowser", "fIEWhiteList", "fBlockByTitle", "bMinimized", "bAutoDownload",
          "bJavaPops", "bRunIE", "bStartup", "bIEToolBar", "bBannerSound", "bPopSound",
          "BannerSound", "PopSound", "ProxyName", "ProxyPort", "bHostsFullySet", "bBlockAdServers",
          "bBlockIEPopups"}) {
        EXPECT_TRUE(doc.get("Settings", key).has_value()) << key;
    }
    EXPECT_FALSE(doc.get("Settings", "DateUpdate").has_value());
    EXPECT_FALSE(doc.get("Settings", "nTotBlocked").has_value());
    EXPECT_EQ(doc.get("Settings", "bStartup"), "True");
    EXPECT_EQ(doc.get("Settings", "BannerSound"), "/opt/halvern/ad.wav");

    ASSERT_EQ(fake.dialogs.boxes().size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes()[0].title,
              "Firewalls and Parental Control programs. Message 1 of 3");
    EXPECT_EQ(fake.dialogs.boxes()[1].title, "Restart your Computer! Message 2 of 3");
    EXPECT_TRUE(form.frmMain.visible()) << "the first start leaves the window as it was";
    EXPECT_EQ(form.lblHelpText.caption(),
              "* Hold down the ALT, or CTRL (control) key while clicking to temporarily allow "
              "popup windows to open.");
    EXPECT_TRUE(form.lblStatus.caption().starts_with("That's it!  Zorvik  has configured"));
}

TEST_F(ProgramTest, LaterStartHidesTheWindowIntoTheTray) {
    markStartedBefore();
    program.Form_Load();
    EXPECT_TRUE(program.form().frmMain.visible());
    fake.clock.advance(2500ms);
    EXPECT_FALSE(program.form().frmMain.visible());
    EXPECT_TRUE(program.state().bInTray);
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    fake.clock.advance(60s);
    EXPECT_FALSE(program.form().frmMain.visible()) << "the start-up timer runs once";
}

TEST_F(ProgramTest, MinimizedStartNeverShowsTheWindow) {
    markStartedBefore();
    fake.files.put(kIni, "[Settings]\r\nbMinimized=True\r\n");
    int shown = 0;
    program.form().frmMain.changed().connect([&] { shown += program.form().frmMain.visible(); });
    program.Form_Load();
    fake.clock.advance(3s);
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(fake.tray.shown);
}

TEST_F(ProgramTest, SecondCopyLeavesAfter700msWithoutWritingAnything) {
    fake.instance.otherCopyRunning = true;
    program.Form_Load();
    EXPECT_TRUE(program.finished());
    EXPECT_EQ(fake.clock.now(), 700ms);
    EXPECT_EQ(fake.instance.signals, 1);
    EXPECT_FALSE(program.form().frmMain.visible());
    EXPECT_FALSE(fake.tray.shown);
    fake.clock.advance(10s);
    EXPECT_FALSE(fake.files.exists(kIni));
    EXPECT_TRUE(fake.userStore.values().empty());
}

TEST_F(ProgramTest, RunningCopyShowsItselfWhenAnotherStarts) {
    markStartedBefore();
    program.Form_Load();
    fake.clock.advance(2500ms);
    ASSERT_FALSE(program.form().frmMain.visible());
    fake.instance.onShowRequest();
    EXPECT_TRUE(program.form().frmMain.visible());
}

TEST_F(ProgramTest, MissingPlaceholderImageEndsAtOnceWithoutSaving) {
    fake.files.remove("/opt/halvern/1by1.jpg");
    try {
        program.Form_Load();
        FAIL() << "the program must end";
    } catch (const FakeProgramProcess::Terminated&) {
    }
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].text,
              "Install failure: need this file to exists: /opt/halvern / 1by1.jpg");
    EXPECT_EQ(fake.dialogs.boxes()[0].buttons, BoxButtons::Ok);
    EXPECT_FALSE(fake.files.exists(kIni));
    EXPECT_FALSE(fake.tray.shown);
}

TEST_F(ProgramTest, ClosingTheWindowHidesItIntoTheTray) {
    program.Form_Load();
    auto& frm = program.form().frmMain;
    EXPECT_FALSE(frm.queryUnload(halvern::forms::UnloadMode::FormControlMenu));
    EXPECT_FALSE(frm.visible());
    EXPECT_TRUE(fake.tray.shown);
    EXPECT_FALSE(program.finished());
    EXPECT_TRUE(frm.queryUnload(halvern::forms::UnloadMode::AppWindows));
}

TEST_F(ProgramTest, ExitSavesRemovesTheIconAndLeavesTheLoop) {
    markStartedBefore();
    program.Form_Load();
    fake.clock.advance(2500ms);
    program.form().txtProxyName.setText("proxy.example");
    program.form().mnuFileExit.click();
    EXPECT_TRUE(program.finished());
    EXPECT_TRUE(fake.process.quitRequested);
    EXPECT_FALSE(fake.tray.shown);
    EXPECT_EQ(ini().get("Settings", "ProxyName"), "proxy.example");
    const int writes = fake.files.writes(kIni);
    program.form().mnuTrayExit.click();
    EXPECT_EQ(fake.files.writes(kIni), writes) << "a second exit does nothing";
}

TEST_F(ProgramTest, ExitBeforeTheStartupTimerCancelsIt) {
    program.Form_Load();
    program.mnuFileExit_Click();
    fake.clock.advance(5s);
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(ProgramTest, BothBlockingOptionsOffShowsTheNoAdsMessage) {
    markStartedBefore();
    fake.files.put(kIni, "[Settings]\r\nbBlockAdServers=False\r\nbBlockIEPopups=0\r\n");
    program.Form_Load();
    fake.clock.advance(2500ms);
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].title, "Zorvik  - No Ads Being Blocked");
    EXPECT_TRUE(fake.dialogs.boxes()[0].text.starts_with("Zorvik  is not blocking any ads!\r\n"));
}

TEST_F(ProgramTest, StoresTheInstallPathAndHasNoMessengerServiceToStop) {
    // A choice stored elsewhere means nothing here: Linux has no Messenger service.
    fake.userStore.set("KorvaneSoft", "Zorvik", "bDisableMessenger", "True");
    program.Form_Load();
    EXPECT_EQ(fake.userStore.get("KorvaneSoft", "Installs", "Zorvik", ""), "/opt/halvern/zorvik");
    EXPECT_FALSE(program.form().chkMessenger.checked());
    EXPECT_TRUE(fake.launcher.commands.empty()) << "no service is stopped on Linux";
}

/// Exits that arrive while the start is inside one of its nested loops (a message box, the
/// build's repaints, the pause before the parked copy goes in): the exit runs whole, and nothing
/// of the start runs or is written after it.
struct ExitDuringStartTest : ProgramTest {
    static inline const std::string kHosts = "/etc/hosts";
    static inline const std::string kUsersOwn = "127.0.0.1 localhost\n10.0.0.7 nas\n";

    void SetUp() override {
        std::string list = "[DomainCount]\r\nN=600\r\n[Domains]\r\n";
        for (int i = 0; i < 600; ++i) {
            list += "D" + std::to_string(i) + "=ads" + std::to_string(i) + ".tracker.example\r\n";
        }
        fake.files.put("/opt/halvern/zorvikhosts.ini", list);
        fake.files.put(kHosts, kUsersOwn);
    }
    bool blocked() const {
        return fake.files.text(kHosts).find("127.0.0.1 ads") != std::string::npos;
    }
};

TEST_F(ExitDuringStartTest, ExitInsideTheBuildOrThePauseIsNotUndoneByTheStart) {
    // A first run builds the list and parks it at exit; the second run takes the parked copy
    // back after a 300 ms pause, the third (without the copy) builds the list again.
    markStartedBefore();
    fake.files.put(kIni, "[Settings]\r\nbStartup=False\r\n");
    {
        Program first{fake.platform};
        first.Form_Load();
        fake.clock.advance(3s);
        ASSERT_TRUE(blocked());
        first.mnuFileExit_Click();
        ASSERT_EQ(fake.files.text(kHosts), kUsersOwn);
        ASSERT_TRUE(fake.files.exists("/etc/hostszvf"));
    }
    const std::string parked = fake.files.text("/etc/hostszvf");
    struct Case {
        const char* what;
        std::chrono::milliseconds at;
        bool withParkedCopy;
    };
    for (const Case c : {Case{"in the pause before the parked copy goes in", 2600ms, true},
                         Case{"in a repaint of the build", 2500ms, false}}) {
        SCOPED_TRACE(c.what);
        if (!c.withParkedCopy) {
            fake.files.remove("/etc/hostszvf");
        }
        Program run{fake.platform};
        const auto start = fake.clock.now();
        run.Form_Load();
        // Scheduled after the start-up timer: at the same moment it runs inside the tick.
        fake.clock.callAfter(c.at, [&] { run.mnuFileExit_Click(); });
        fake.clock.advance(10s);

        EXPECT_TRUE(run.finished());
        EXPECT_GE(fake.clock.now() - start, c.at);
        EXPECT_EQ(fake.files.text(kHosts), kUsersOwn) << "blocked after the exit";
        EXPECT_EQ(ini().get("Settings", "bHostsFullySet"), "False");
        EXPECT_FALSE(run.state().bWebServerOn);
        if (c.withParkedCopy) {
            EXPECT_EQ(fake.files.text("/etc/hostszvf"), parked);
        }
    }
}

TEST_F(ExitDuringStartTest, ExitWhileTheFirstStartBoxIsOpenEndsTheStart) {
    fake.dialogs.whileOpen = [&](const halvern::platform::FakeDialogs::Box&) {
        program.mnuFileExit_Click();
    };
    program.Form_Load();
    fake.clock.advance(10s);

    EXPECT_TRUE(program.finished());
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u) << "no second box after the exit";
    EXPECT_EQ(fake.files.text(kHosts), kUsersOwn);
    EXPECT_FALSE(fake.files.exists("/etc/hostszvb"));
    EXPECT_FALSE(program.state().bWebServerOn);
}

}  // namespace

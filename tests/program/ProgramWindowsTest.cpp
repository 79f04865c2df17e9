// The settings window's and the tray menu's commands as the program wires them: the other
// subsystems' windows through their seams, the help pages, the about window, the uninstall.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/IniDocument.h"
#include "program/Program.h"
#include "support/FakePlatform.h"
#include "ui/WindowCommands.h"

using namespace std::chrono_literals;
using halvern::base::IniDocument;
using halvern::forms::CaptionControl;
using halvern::forms::MainForm;
using halvern::platform::BoxAnswer;
using halvern::platform::BoxButtons;
using halvern::program::Program;
using halvern::ui::WindowSeams;

namespace {

const std::string kIni = halvern::testing::FakePlatform::kConfigFolder + "/zorvik.ini";

struct ProgramWindowsTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    Program program{fake.platform};
    MainForm& form = program.form();
    /// The seams each command ran, in order.
    std::vector<std::string> opened;

    void fillSeams() {
        WindowSeams& s = program.windowSeams();
        s.openLogWindow = [this] { opened.emplace_back("log"); };
        s.openWhiteList = [this] { opened.emplace_back("white list"); };
        s.openAdServerEditor = [this] { opened.emplace_back("ad servers"); };
        s.openTitleEditor = [this] { opened.emplace_back("titles"); };
        s.openSpywareViewer = [this] { opened.emplace_back("spyware"); };
        s.openDomainTester = [this] { opened.emplace_back("domains"); };
        s.closeAllBrowsers = [this] { opened.emplace_back("close browsers"); };
        s.blockSpecialTitle = [this](const std::string& title) {
            opened.push_back("special " + title);
        };
    }
    void startLater() {
        fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
        program.Form_Load();
        fake.clock.advance(2500ms);
    }
    IniDocument ini() const { return IniDocument::parse(fake.files.text(kIni)); }

    struct Command {
        CaptionControl* control;
        const char* seam;
    };
    /// Every control that opens another subsystem's window or runs its command.
    std::vector<Command> commands() {
        MainForm& f = form;
        return {
            {&f.cmdLog, "log"},
            {&f.mnuTrayLastIEPop, "white list"},
            {&f.cmdAllowIEPop, "white list"},
            {&f.lblLastIEPop, "white list"},
            {&f.lblList, "ad servers"},
            {&f.cmdAllow, "ad servers"},
            {&f.cmdAddSites, "ad servers"},
            {&f.lblAllowServer, "ad servers"},
            {&f.mnuTrayAllow, "ad servers"},
            {&f.mnuTrayBlock, "ad servers"},
            {&f.mnuTrayLastPop, "titles"},
            {&f.mnuTrayBlockTitle, "titles"},
            {&f.cmdPopupTitles, "titles"},
            {&f.cmdAllowTitle, "titles"},
            {&f.lblLastTitle, "titles"},
            {&f.Label26, "spyware"},
            {&f.cmdSpyWare, "spyware"},
            {&f.lblSpyWare, "spyware"},
            {&f.cmdTestDomains, "domains"},
            {&f.mnuTrayCloseBrowser, "close browsers"},
            {&f.lblMessengerPops, "special Messenger Service"},
            {&f.lblWebPagePops, "special -- Web Page Dialog"},
        };
    }
};

TEST_F(ProgramWindowsTest, FilledSeamsKeepTheirControlsEnabledAndEachOpensItsWindow) {
    fillSeams();
    startLater();
    // Two tray entries wait for something to allow; what enables them is their owners' part.
    form.mnuTrayLastPop.setEnabled(true);
    form.mnuTrayLastIEPop.setEnabled(true);
    for (const Command& c : commands()) {
        EXPECT_TRUE(c.control->enabled()) << c.control->name();
        EXPECT_EQ(c.control->toolTip().find("Not available"), std::string::npos)
            << c.control->name();
        opened.clear();
        c.control->click();
        EXPECT_EQ(opened, std::vector<std::string>{c.seam}) << c.control->name();
    }
}

TEST_F(ProgramWindowsTest, TheProgramFillsEverySeam) {
    startLater();
    for (const Command& c : commands()) {
        EXPECT_EQ(c.control->toolTip().find("Not available yet"), std::string::npos)
            << c.control->name();
    }
}

TEST_F(ProgramWindowsTest, EmptySeamsDisableTheirControlsWithTheReasonAndKeepThemDisabled) {
    const std::string ownTip = form.cmdAllow.toolTip();
    program.windowSeams() = WindowSeams{};
    startLater();
    for (const Command& c : commands()) {
        EXPECT_FALSE(c.control->enabled()) << c.control->name();
        EXPECT_NE(c.control->toolTip().find("Not available yet: this build of Zorvik has no "),
                  std::string::npos)
            << c.control->name() << ": " << c.control->toolTip();
        // Code that enables the control as things happen (an ad server blocked) cannot make it
        // an inert control again.
        c.control->setEnabled(true);
        EXPECT_FALSE(c.control->enabled()) << c.control->name();
    }
    EXPECT_EQ(form.cmdAllow.toolTip(),
              ownTip +
                  "  (Not available yet: this build of Zorvik has no ad-server list "
                  "editor.)");
    EXPECT_EQ(form.cmdLog.toolTip().find("recently-blocked log window"),
              form.cmdLog.toolTip().size() - std::string("recently-blocked log window.)").size());
}

TEST_F(ProgramWindowsTest, TheTrayAllowEntryShowsTheSettingsBeforeTheEditor) {
    fillSeams();
    startLater();
    ASSERT_FALSE(form.frmMain.visible());
    program.stats().frmStats.show();
    bool shownFirst = false;
    program.windowSeams().openAdServerEditor = [&] {
        shownFirst = form.frmMain.visible() && !program.stats().frmStats.visible();
    };
    form.mnuTrayAllow.click();
    EXPECT_TRUE(shownFirst);
    EXPECT_FALSE(program.state().bMinimized);
}

TEST_F(ProgramWindowsTest, HelpCommandsOpenTheProjectsPages) {
    startLater();
    struct Case {
        CaptionControl* control;
        const char* url;
    };
    const Case cases[] = {
        {&form.mnuHelpWeb, "https://halvern.org/help"},
        {&form.picOn, "https://halvern.org/help"},
        {&form.mnuHelpTut, "https://halvern.org/help/audio"},
        {&form.mnuTrayFeedback, "https://halvern.org/help/audio"},
        {&form.mnuHelpFeedback, "https://halvern.org/feedback"},
        {&form.mnuUninstallFeedback, "https://halvern.org/feedback"},
        {&form.cmdFeedback, "https://halvern.org/feedback"},
        {&form.mnuOptionsTellFriend, "https://halvern.org/tell-a-friend"},
        {&form.mnuTrayTellFriend, "https://halvern.org/tell-a-friend"},
        {&form.lbladaware, "https://halvern.org/spyware-removal"},
        // The start records the program in the "Installs" values, which the rating reports.
        {&form.Command3, "https://halvern.org/security-rating?installed=Zorvik"},
        {&program.about().lblAddress, "https://halvern.org"},
    };
    for (const Case& c : cases) {
        fake.launcher.opened.clear();
        c.control->click();
        EXPECT_EQ(fake.launcher.opened, std::vector<std::string>{c.url}) << c.control->name();
    }
    // The audio help button is hidden in this build, but it works like its menu entry.
    EXPECT_FALSE(form.cmdHelpOnline.visible());
    fake.launcher.opened.clear();
    form.cmdHelpOnline.click();
    EXPECT_EQ(fake.launcher.opened, std::vector<std::string>{"https://halvern.org/help/audio"});
}

TEST_F(ProgramWindowsTest, AboutShowsNameVersionLicenceAndAddress) {
    startLater();
    auto& about = program.about();
    EXPECT_FALSE(about.frmAbout.visible());
    int raised = 0;
    about.frmAbout.raiseRequested().connect([&] { ++raised; });
    form.mnuHelpAbout.click();
    EXPECT_TRUE(about.frmAbout.visible());
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(about.frmAbout.caption(), "About Zorvik");
    EXPECT_EQ(about.lblName.caption(), "Zorvik");
    EXPECT_EQ(about.lblVersion.caption(), "Version 4.2.8");
    EXPECT_FALSE(about.lblLicence.caption().empty());
    EXPECT_EQ(about.lblAddress.caption(), "https://halvern.org");
    about.cmdOK.click();
    EXPECT_FALSE(about.frmAbout.visible());
}

TEST_F(ProgramWindowsTest, UninstallAnsweredNoChangesNothing) {
    startLater();
    form.chkIEToolBar.setChecked(true);
    std::vector<std::string> unchecked;
    for (halvern::forms::CheckBox* box :
         {&form.chkAdServers, &form.chkIEToolBar, &form.chkStartup}) {
        box->changed().connect([&unchecked, box] {
            if (!box->checked()) {
                unchecked.push_back(box->name());
            }
        });
    }
    fake.dialogs.clear();
    fake.dialogs.answerNext(BoxAnswer::No);
    form.mnuUninstallUninstall.click();
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(fake.dialogs.boxes()[0].title, "Zorvik");
    EXPECT_EQ(fake.dialogs.boxes()[0].text,
              "To Un-Install Zorvik : \r\n--1) Click YES to the question below so Zorvik  can "
              "save some settings for the uninstall process.\r\n--2) Use Control Panel - "
              "Add/Remove programs to un-install Zorvik  completely.\r\n\r\nDo you want to start "
              "the un-install process now?");
    EXPECT_TRUE(unchecked.empty());
    EXPECT_TRUE(form.chkAdServers.checked());
    EXPECT_FALSE(program.finished());
    EXPECT_FALSE(fake.process.quitRequested);
}

TEST_F(ProgramWindowsTest, UninstallAnsweredYesUnchecksInOrderSaysSoAndExits) {
    std::string list =
        "[DomainCount]\r\nN=2\r\n[Domains]\r\nD0=ads.example\r\nD1=track.example\r\n";
    fake.files.put("/opt/halvern/zorvikhosts.ini", list);
    fake.files.put("/etc/hosts", "127.0.0.1 localhost\n");
    startLater();
    ASSERT_NE(fake.files.text("/etc/hosts").find("127.0.0.1 ads.example"), std::string::npos);
    form.chkIEToolBar.setChecked(true);

    std::vector<std::string> unchecked;
    for (halvern::forms::CheckBox* box :
         {&form.chkAdServers, &form.chkIEToolBar, &form.chkStartup}) {
        box->changed().connect([&unchecked, box] {
            if (!box->checked()) {
                unchecked.push_back(box->name());
            }
        });
    }
    fake.dialogs.clear();
    fake.dialogs.answerNext(BoxAnswer::Yes);
    form.mnuUninstallUninstall.click();

    EXPECT_EQ(unchecked, (std::vector<std::string>{"chkAdServers", "chkIEToolBar", "chkStartup"}));
    ASSERT_GE(fake.dialogs.boxes().size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes().back().text,
              "Now go to your control panel - add/remove programs to run the Zorvik  uninstall."
              "\r\n\r\nZorvik  will now close.");
    EXPECT_TRUE(program.finished());
    EXPECT_TRUE(fake.process.quitRequested);
    EXPECT_EQ(fake.files.text("/etc/hosts").find("ads.example"), std::string::npos)
        << "the hosts file lost the block list";
    EXPECT_FALSE(program.state().bWebServerOn);
    const IniDocument saved = ini();
    EXPECT_EQ(saved.get("Settings", "bBlockAdServers"), "False");
    EXPECT_EQ(saved.get("Settings", "bIEToolBar"), "False");
    EXPECT_EQ(saved.get("Settings", "bStartup"), "False");
}

TEST(WindowCommandsTip, OwnTipFirstThenTheReason) {
    EXPECT_EQ(halvern::ui::WindowCommands::unavailableTip("", "domain tester"),
              "Not available yet: this build of Zorvik has no domain tester.");
    EXPECT_EQ(halvern::ui::WindowCommands::unavailableTip("Opens the log.", "log window"),
              "Opens the log.  (Not available yet: this build of Zorvik has no log window.)");
}

}  // namespace

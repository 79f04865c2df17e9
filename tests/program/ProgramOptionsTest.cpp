// The settings window's options as the running program has them: the browser popup switch across
// a restart, and the controls of features still to come.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/IniDocument.h"
#include "program/Program.h"
#include "support/FakePlatform.h"
#include "titles/TitleBlocking.h"
#include "ui/PasswordLock.h"

namespace {

using namespace std::chrono_literals;
using halvern::base::IniDocument;
using halvern::forms::Control;
using halvern::forms::MainForm;
using halvern::platform::WindowId;
using halvern::platform::WindowInfo;
using halvern::program::Program;

const std::string kIni = halvern::testing::FakePlatform::kConfigFolder + "/zorvik.ini";

struct ProgramOptionsTest : ::testing::Test {
    ProgramOptionsTest() {
        fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
        fake.files.put("/opt/halvern/zvtitles.ini",
                       "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=Casino\r\n");
    }
    /// A run of the program, started and past its start-up timer.
    std::unique_ptr<Program> start() {
        auto program = std::make_unique<Program>(fake.platform);
        program->Form_Load();
        fake.clock.advance(2500ms);
        return program;
    }
    WindowId openPopup() {
        WindowInfo info;
        info.title = "Online casino offer";
        info.className = "Test";
        info.pid = 4000;
        info.localMachine = true;
        info.visible = true;
        return fake.desktop.open(info);
    }
    bool isOpen(WindowId id) const {
        for (const auto& info : fake.desktop.topLevel) {
            if (info.id == id) {
                return true;
            }
        }
        return false;
    }
    std::string stored(const char* key) const {
        return IniDocument::parse(fake.files.text(kIni)).get("Settings", key).value_or("");
    }

    halvern::testing::FakePlatform fake;
};

TEST_F(ProgramOptionsTest, UncheckedPopupBlockingStaysOffAfterARestartAndClosesNoTitle) {
    auto first = start();
    ASSERT_TRUE(first->form().chkIEPops.checked());
    first->form().chkIEPops.click();
    EXPECT_TRUE(first->form().lblHelpText.caption().starts_with("Zorvik will no longer use"));
    first->mnuFileExit_Click();
    first.reset();
    EXPECT_EQ(stored("bBlockIEPopups"), "False");

    auto second = start();
    MainForm& form = second->form();
    EXPECT_FALSE(form.chkIEPops.checked());
    EXPECT_FALSE(second->state().bBlockIEPopups);
    const WindowId popup = openPopup();
    fake.clock.advance(3s);
    EXPECT_TRUE(isOpen(popup)) << "no window is closed by title while the switch is off";

    // Checked again, the next scan closes it, and the next start keeps it on.
    form.chkIEPops.click();
    fake.clock.advance(3s);
    EXPECT_FALSE(isOpen(popup));
    second->mnuFileExit_Click();
    second.reset();
    EXPECT_EQ(stored("bBlockIEPopups"), "True");
    EXPECT_TRUE(start()->form().chkIEPops.checked());
}

TEST_F(ProgramOptionsTest, PopupOptionsAreOfferedAndFollowTheirSwitches) {
    fake.files.put(kIni,
                   "[Settings]\r\nbStartup=True\r\nbRunIE=False\r\nbBlockIEPopups=True\r\n"
                   "fOnOff=5\r\n");
    fake.userStore.set("KorvaneSoft", "Zorvik", "BlockLevel", "secret");
    auto program = start();
    MainForm& form = program->form();
    const Control* offered[] = {&form.cmbOnOff,        &form.cmbIEWhiteList, &form.cmbBlockByTitle,
                                &form.cmbCloseBrowser, &form.chkJavaPops,    &form.chkRunIE};
    for (const Control* control : offered) {
        EXPECT_EQ(control->toolTip().find("Not available"), std::string::npos) << control->name();
    }
    EXPECT_EQ(form.cmbOnOff.text(), "F5");
    form.txtPass.setText("secret");
    form.cmdPass.click();
    ASSERT_FALSE(program->passwordLock().locked());
    for (const Control* control : offered) {
        EXPECT_TRUE(control->enabled()) << control->name() << " after the login";
    }

    // Block-all only while the popup switch is on; running with the browser only while the
    // program starts with the session.
    form.chkIEPops.click();
    EXPECT_FALSE(form.chkJavaPops.enabled());
    form.chkIEPops.click();
    EXPECT_TRUE(form.chkJavaPops.enabled());
    form.chkStartup.click();
    EXPECT_FALSE(form.chkRunIE.enabled());
    form.chkStartup.click();
    EXPECT_TRUE(form.chkRunIE.enabled());
}

TEST_F(ProgramOptionsTest, StartWithTheSessionIsSavedAndItsTipSaysWhatItDoesHere) {
    auto program = start();
    MainForm& form = program->form();
    EXPECT_TRUE(form.chkStartup.enabled());
    EXPECT_NE(form.chkStartup.toolTip().find("autostart entry in ~/.config/autostart"),
              std::string::npos)
        << form.chkStartup.toolTip();
    EXPECT_EQ(form.chkStartup.toolTip().find("Not available"), std::string::npos);
    form.chkStartup.click();
    EXPECT_FALSE(form.chkStartup.checked());
    program->mnuFileExit_Click();
    EXPECT_EQ(stored("bStartup"), "False");
}

}  // namespace

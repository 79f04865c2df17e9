// The settings window's options as the running program has them: the browser popup switch across
// a restart.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/IniDocument.h"
#include "program/Program.h"
#include "support/FakePlatform.h"
#include "titles/TitleBlocking.h"

namespace {

using namespace std::chrono_literals;
using halvern::base::IniDocument;
using halvern::forms::MainForm;
using halvern::platform::WindowId;
using halvern::platform::WindowInfo;
using halvern::program::Program;

const std::string kIni = "/opt/halvern/zorvik.ini";

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

}  // namespace

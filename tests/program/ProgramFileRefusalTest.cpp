#include <gtest/gtest.h>

#include "program/Program.h"
#include "support/FakePlatform.h"

using namespace std::chrono_literals;
using halvern::platform::FileSystem;
using halvern::program::Program;

namespace {

const std::string kIni = halvern::testing::FakePlatform::kConfigFolder + "/zorvik.ini";
const std::string kDefaultList = "/opt/halvern/zorvikhosts.ini";
const std::string kUserList = halvern::testing::FakePlatform::kDataFolder + "/userhosts.ini";

struct ProgramFileRefusalTest : ::testing::Test {
    ProgramFileRefusalTest() { fake.userStore.set("Zorvik", "State", "FirstStart", "Done"); }

    bool boxSays(const std::string& text) const {
        for (const auto& box : fake.dialogs.boxes()) {
            if (box.text == text) {
                return true;
            }
        }
        return false;
    }

    halvern::testing::FakePlatform fake;
    Program program{fake.platform};
};

TEST_F(ProgramFileRefusalTest, AFifoOrOversizedSettingsOrListIsTakenAsMissingAndLogged) {
    fake.files.putSpecial(kIni);
    const std::string list = "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=ads.example\r\n";
    fake.files.put(kDefaultList, list + std::string(FileSystem::kMaxSettingsBytes, '\n'));
    fake.files.put(kUserList, "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=mine.example\r\n");

    program.Form_Load();
    fake.clock.advance(2500ms);
    EXPECT_TRUE(fake.tray.shown) << "the program started";
    EXPECT_TRUE(program.state().bBlockAdServers) << "the settings' defaults apply";
    EXPECT_EQ(fake.files.text("/etc/hosts"), "127.0.0.1 mine.example\n");

    auto& form = program.form();
    form.cmdClear.click();
    form.chkDebug.setChecked(true);
    form.chkAdServers.click();
    const std::string& log = form.txtStatus.text();
    EXPECT_NE(log.find("#File not read: '" + kDefaultList +
                       "': " + std::to_string(list.size() + FileSystem::kMaxSettingsBytes) +
                       " bytes, over the limit of 16777216 bytes"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("#File not read: '" + kIni + "': not a regular file"), std::string::npos)
        << log;
}

TEST_F(ProgramFileRefusalTest, AHostsFileThatIsNoFileIsLeftAsItIsWithAMessage) {
    fake.files.putSpecial("/etc/hosts");
    program.Form_Load();
    fake.clock.advance(2500ms);
    EXPECT_TRUE(
        boxSays("Zorvik could not read the file named '/etc/hosts': not a regular file."
                "\r\n\r\nZorvik leaves it as it is and does not change its ad server "
                "entries."));
    EXPECT_EQ(fake.files.writes("/etc/hosts"), 0);
    EXPECT_FALSE(fake.files.exists("/etc/hostszvb")) << "a FIFO is not copied";
    EXPECT_FALSE(program.state().bHostsFullySet);
}

}  // namespace

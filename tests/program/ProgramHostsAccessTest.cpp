#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/IniDocument.h"
#include "program/Program.h"
#include "support/FakePlatform.h"

using namespace std::chrono_literals;
using halvern::base::IniDocument;
using halvern::platform::BoxIcon;
using halvern::platform::HostsAccess;
using halvern::program::Program;
using Status = HostsAccess::Status;

namespace {

const std::string kIni = halvern::testing::FakePlatform::kConfigFolder + "/zorvik.ini";
const std::string kHosts = "/etc/hosts";
const std::string kUsersHosts = "127.0.0.1 localhost\n10.1.1.1 printer.lan\n";
const std::string kWithout =
    "Zorvik runs without ad-server blocking: it leaves /etc/hosts as it is. Popup, title and "
    "spyware blocking work as usual.";

/// A user's Zorvik whose run has no access to the hosts file and port 80.
struct ProgramHostsAccessTest : ::testing::Test {
    ProgramHostsAccessTest() {
        fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
        fake.files.put("/opt/halvern/zorvikhosts.ini",
                       "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=ads.example\r\n");
        fake.files.put(kHosts, kUsersHosts);
    }
    /// Loads with the access given and runs the start-up timer.
    Program& start(const HostsAccess& access) {
        fake.platform.claimHostsAccess = [this, access] {
            ++claims;
            return access;
        };
        program.emplace(fake.platform);
        program->Form_Load();
        fake.clock.advance(2500ms);
        return *program;
    }
    std::optional<std::string> storedSwitch() const {
        return IniDocument::parse(fake.files.text(kIni)).get("Settings", "bBlockAdServers");
    }

    halvern::testing::FakePlatform fake;
    std::optional<Program> program;
    int claims = 0;
};

TEST_F(ProgramHostsAccessTest, WithoutTheHelperTheRunSaysWhyAndLeavesHostsFileAndPortAlone) {
    const struct {
        HostsAccess access;
        std::string box;
        BoxIcon icon;
        std::string toolTip;
    } cases[] = {
        {{Status::HeldByOther, "bob", ""},
         "The Zorvik of the user 'bob' blocks ad servers on this machine. Only one user's Zorvik "
         "at a time can block them.\r\n\r\n" +
             kWithout +
             "\r\n\r\nYour own choice is kept: ad-server blocking comes back when you start Zorvik "
             "again while no other user's Zorvik blocks ad servers.",
         BoxIcon::Information,
         "Ad-server blocking is off for this run: the Zorvik of the user 'bob' blocks ad servers "
         "on this machine, and only one user's Zorvik at a time can. Your own choice is kept for "
         "the next start."},
        {{Status::HeldByOther, "", ""},
         "Another user's Zorvik blocks ad servers on this machine. Only one user's Zorvik at a "
         "time can block them.\r\n\r\n" +
             kWithout +
             "\r\n\r\nYour own choice is kept: ad-server blocking comes back when you start Zorvik "
             "again while no other user's Zorvik blocks ad servers.",
         BoxIcon::Information,
         "Ad-server blocking is off for this run: another user's Zorvik blocks ad servers on this "
         "machine, and only one user's Zorvik at a time can. Your own choice is kept for the next "
         "start."},
        {{Status::NotAuthorised, "", "uid 1001 is not in the group zorvik"},
         "Zorvik cannot block ad servers for you: zorvik-helper, which writes /etc/hosts and "
         "opens port 80 for Zorvik, does not serve your user (uid 1001 is not in the group "
         "zorvik).\r\n\r\nTo fix this, have your user added to the group 'zorvik' (for example: "
         "sudo usermod -aG zorvik YOUR-USER-NAME), log out and in again, and start Zorvik "
         "again.\r\n\r\n" +
             kWithout,
         BoxIcon::Warning,
         "Ad-server blocking is off for this run: zorvik-helper does not serve your user. Have "
         "your user added to the group 'zorvik', log out and in again, and start Zorvik again."},
        {{Status::Unavailable, "", "/run/zorvik-helper.sock: No such file or directory"},
         "Zorvik cannot block ad servers: zorvik-helper, which writes /etc/hosts and opens port "
         "80 for Zorvik, does not answer (/run/zorvik-helper.sock: No such file or directory)."
         "\r\n\r\nTo fix this, install Zorvik's package, which runs zorvik-helper as a system "
         "service, or start zorvik-helper as root; then start Zorvik again.\r\n\r\n" +
             kWithout,
         BoxIcon::Warning,
         "Ad-server blocking is off for this run: zorvik-helper does not answer. Install Zorvik's "
         "package or start zorvik-helper as root, then start Zorvik again."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box.substr(0, 40));
        fake.dialogs.clear();
        fake.files.put(kIni, "[Settings]\r\nbBlockAdServers=True\r\n");
        Program& zorvik = start(c.access);

        ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes()[0].text, c.box);
        EXPECT_EQ(fake.dialogs.boxes()[0].title, "Zorvik");
        EXPECT_EQ(fake.dialogs.boxes()[0].icon, c.icon);
        auto& form = zorvik.form();
        EXPECT_FALSE(form.chkAdServers.checked());
        EXPECT_FALSE(form.chkAdServers.enabled());
        EXPECT_EQ(form.chkAdServers.toolTip(), c.toolTip);
        EXPECT_FALSE(form.cmdOn.enabled()) << "the web server cannot start either";
        EXPECT_FALSE(zorvik.state().bBlockAdServers);
        // It keeps running: the tray and the other blocking.
        EXPECT_TRUE(fake.tray.shown);
        EXPECT_FALSE(zorvik.finished());
        EXPECT_TRUE(zorvik.state().bBlockIEPopups);

        form.cmdOn.click();
        form.chkAdServers.click();
        zorvik.mnuFileExit_Click();
        EXPECT_EQ(fake.listener.listenCalls, 0) << "port 80 is not even tried";
        EXPECT_EQ(fake.files.text(kHosts), kUsersHosts);
        EXPECT_EQ(fake.files.writes(kHosts), 0);
        EXPECT_FALSE(fake.files.exists(kHosts + "zvb"));
        EXPECT_FALSE(
            fake.files.exists(halvern::testing::FakePlatform::kDataFolder + "/zvhosts.dat"));
        EXPECT_EQ(fake.resolver.cacheFlushes, 0);
        // Saved at the exit, but the user's own choice stays for the next run that can block.
        EXPECT_TRUE(IniDocument::parse(fake.files.text(kIni)).get("Settings", "bStartup"));
        EXPECT_EQ(storedSwitch(), "True");
    }
}

TEST_F(ProgramHostsAccessTest, ASecondCopyNeverClaimsTheHelperFromTheFirst) {
    fake.instance.otherCopyRunning = true;
    start({Status::Unavailable, "", "gone"});
    EXPECT_TRUE(program->finished());
    EXPECT_EQ(claims, 0);
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(ProgramHostsAccessTest, ASwitchNeverStoredStaysUnstoredAndTheDefaultComesBack) {
    start({Status::Unavailable, "", "gone"});
    program->mnuFileExit_Click();
    ASSERT_TRUE(fake.files.exists(kIni));
    EXPECT_EQ(storedSwitch(), std::nullopt);

    // The next run holds the helper: the default, blocking, is the user's choice again.
    fake.dialogs.clear();
    Program& next = start({});
    EXPECT_TRUE(next.form().chkAdServers.checked());
    EXPECT_TRUE(next.form().chkAdServers.enabled());
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    EXPECT_TRUE(fake.listener.isListening());
    EXPECT_EQ(fake.files.text(kHosts), "127.0.0.1 ads.example\n" + kUsersHosts);
}

}  // namespace

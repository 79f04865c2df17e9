// Where the running program reads and writes its files: settings in the configuration folder,
// lists and state in the data folder, shipped files in the program folder, and an earlier
// build's files brought over from beside the executable.
#include <gtest/gtest.h>

#include "base/IniDocument.h"
#include "program/Program.h"
#include "support/FakePlatform.h"

namespace {

using namespace std::chrono_literals;
using Script = halvern::platform::FakeHttp::Script;
using halvern::testing::FakePlatform;

const std::string kShipped = FakePlatform::kAppFolder;
const std::string kConfig = FakePlatform::kConfigFolder;
const std::string kData = FakePlatform::kDataFolder;
const std::string kServer = "http://mirror.test";

std::string listFile(const std::vector<std::string>& entries) {
    std::string text = "[DomainCount]\r\nN=" + std::to_string(entries.size()) + "\r\n[Domains]\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += "D" + std::to_string(i) + "=" + entries[i] + "\r\n";
    }
    return text;
}

struct ProgramFilesTest : ::testing::Test {
    ProgramFilesTest() { fake.userStore.set("Zorvik", "State", "FirstStart", "Done"); }

    void serve(const std::string& path, std::string body) {
        Script script;
        script.status = 200;
        script.body = std::move(body);
        script.delay = 10ms;
        fake.http.scripts[kServer + path] = {script};
    }
    void startAndSettle() {
        program.Form_Load();
        fake.clock.advance(3000ms);
    }

    FakePlatform fake;
    halvern::program::Program program{fake.platform};
};

TEST_F(ProgramFilesTest, SettingsAndStateGoToTheUsersFoldersNeverBesideTheExecutable) {
    fake.files.put(kShipped + "/zorvikhosts.ini", listFile({"ads.example"}));
    startAndSettle();
    program.mnuFileExit_Click();

    EXPECT_TRUE(fake.files.exists(kConfig + "/zorvik.ini"));
    EXPECT_TRUE(fake.files.exists(kData + "/zvhosts.dat"));
    for (const char* name : {"zorvik.ini", "zvhosts.dat", "zvupdate.dat"}) {
        EXPECT_EQ(fake.files.writes(kShipped + "/" + name), 0) << name;
    }
    EXPECT_EQ(fake.files.writes(kShipped + "/zorvikhosts.ini"), 0);
    EXPECT_NE(fake.files.text("/etc/hosts").find("127.0.0.1 ads.example"), std::string::npos);
}

TEST_F(ProgramFilesTest, TheFirstDownloadWritesTheUsersOwnListsAndTheShippedOnesStay) {
    const std::string shippedList = listFile({"old.example"});
    const std::string shippedSpyware = "[Spyware]\r\nold.exe=1:1:Old\r\n";
    fake.files.put(kShipped + "/zorvikhosts.ini", shippedList);
    fake.files.put(kShipped + "/zvspyware.ini", shippedSpyware);
    fake.files.put(kConfig + "/zorvik.ini", "[Settings]\r\nUpdateServer=" + kServer + "/\r\n");
    serve("/zshared/updatedate.txt", "12/10/2026");
    serve("/zshared/domains.txt", "new.example\r\n[END]");
    serve("/zshared/removals.txt", "gone.example\r\n[END]");
    serve("/zshared/spyware.txt", "spy.exe:Shows ads\r\n[END]");
    startAndSettle();
    EXPECT_EQ(program.paths().getLocalBanIniFileName(), kShipped + "/zorvikhosts.ini");

    program.form().mnuUpdate.click();
    fake.clock.advance(1000ms);

    EXPECT_EQ(fake.files.text(kShipped + "/zorvikhosts.ini"), shippedList);
    EXPECT_EQ(fake.files.text(kShipped + "/zvspyware.ini"), shippedSpyware);
    EXPECT_EQ(fake.files.text(kData + "/zorvikhosts.ini"), listFile({"new.example"}));
    EXPECT_TRUE(fake.files.exists(kData + "/removals.ini"));
    const auto spyware =
        halvern::base::IniDocument::parse(fake.files.text(kData + "/zvspyware.ini"));
    EXPECT_TRUE(spyware.get("Spyware", "old.exe").has_value()) << "the shipped entries stay";
    EXPECT_TRUE(spyware.get("Spyware", "spy.exe").has_value());
    // From now on the user's copy is the one read.
    EXPECT_EQ(program.paths().getLocalBanIniFileName(), kData + "/zorvikhosts.ini");
    EXPECT_EQ(program.paths().strgSpyWareFile(), kData + "/zvspyware.ini");
    const std::string hosts = fake.files.text("/etc/hosts");
    EXPECT_NE(hosts.find("127.0.0.1 new.example"), std::string::npos) << hosts;
    EXPECT_EQ(hosts.find("old.example"), std::string::npos) << hosts;
}

TEST_F(ProgramFilesTest, AListNeverWrittenFollowsTheShippedOneWhileTheUserHasNone) {
    fake.files.put(kShipped + "/zvtitles.ini", listFile({"Shipped Popup"}));
    startAndSettle();
    EXPECT_EQ(program.paths().getZVTitleIniFileName(), kShipped + "/zvtitles.ini");
    EXPECT_EQ(program.paths().getUserTitleIniFileName(), kData + "/usertitles.ini");
    EXPECT_EQ(program.paths().placeholderImage(), kShipped + "/1by1.jpg");
}

TEST_F(ProgramFilesTest, OpeningTheDefaultListEditsTheUsersOwnCopy) {
    fake.files.put(kShipped + "/zorvikhosts.ini", listFile({"ads.example"}));
    startAndSettle();
    program.form().mnuFileOpen.click();
    ASSERT_EQ(fake.launcher.edited, std::vector<std::string>{kData + "/zorvikhosts.ini"});
    EXPECT_EQ(fake.files.text(kData + "/zorvikhosts.ini"), listFile({"ads.example"}));
    EXPECT_EQ(program.paths().getLocalBanIniFileName(), kData + "/zorvikhosts.ini");

    program.form().mnuHelpReadMe.click();
    EXPECT_EQ(fake.launcher.edited.back(), kShipped + "/readme.txt");
}

TEST_F(ProgramFilesTest, AnEarlierBuildsSettingsAndListsAreBroughtOverAtTheStart) {
    fake.files.put(kShipped + "/zorvik.ini", "[Settings]\r\nbBlockIEPopups=False\r\n");
    fake.files.put(kShipped + "/userhosts.ini", listFile({"mine.example"}));
    startAndSettle();
    EXPECT_FALSE(fake.files.exists(kShipped + "/zorvik.ini"));
    EXPECT_FALSE(fake.files.exists(kShipped + "/userhosts.ini"));
    EXPECT_EQ(fake.files.text(kData + "/userhosts.ini"), listFile({"mine.example"}));
    EXPECT_FALSE(program.form().chkIEPops.checked()) << "the old settings are the ones read";
    EXPECT_NE(fake.files.text("/etc/hosts").find("127.0.0.1 mine.example"), std::string::npos);
}

TEST_F(ProgramFilesTest, ASecondCopyBringsNothingOver) {
    fake.instance.otherCopyRunning = true;
    fake.files.put(kShipped + "/zorvik.ini", "[Settings]\r\n");
    program.Form_Load();
    EXPECT_TRUE(fake.files.exists(kShipped + "/zorvik.ini"));
    EXPECT_FALSE(fake.files.isDirectory(kConfig));
}

}  // namespace

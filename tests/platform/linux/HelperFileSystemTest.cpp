#include "platform/linux/HelperFileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "FakeHelperConnection.h"
#include "adservers/AdServerBlocking.h"
#include "platform/fake/FakeFileSystem.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

namespace halvern::platform {
namespace {

using testing::FakeHelperConnection;
using Calls = std::vector<std::string>;

const std::string kHosts = "/etc/hosts";
const std::string kBackup = "/etc/hostszvb";
const std::string kFull = "/etc/hostszvf";
const std::string kConfig = "/home/ann/.config/halvern";

struct HelperFileSystemTest : ::testing::Test {
    HelperFileSystemTest() {
        files.put(kHosts, "127.0.0.1 localhost\n");
        files.put(kBackup, "127.0.0.1 localhost\n");
        files.put(kConfig + "/zorvik.ini", "[Settings]\n");
        files.makeDirectories("/tmp");
    }

    FakeFileSystem files;
    FakeHelperConnection helper{files};
    HelperFileSystem helped{files, helper, {kHosts, kBackup, kFull}};
};

TEST_F(HelperFileSystemTest, OnlyTheHostsFileAndItsCopiesAreChangedByTheHelper) {
    const struct {
        const char* change;
        std::function<bool(FileSystem&)> run;
        Calls helperCalls;  // empty: done directly
    } cases[] = {
        {"write the hosts file",
         [](FileSystem& f) { return f.write(kHosts, "x"); },
         {"write /etc/hosts"}},
        {"write the backup",
         [](FileSystem& f) { return f.write(kBackup, "x"); },
         {"write /etc/hostszvb"}},
        {"write the parked copy",
         [](FileSystem& f) { return f.write(kFull, "x"); },
         {"write /etc/hostszvf"}},
        {"put the backup back",
         [](FileSystem& f) { return f.copy(kBackup, kHosts); },
         {"copy /etc/hostszvb /etc/hosts"}},
        {"park the complete file",
         [](FileSystem& f) { return f.copy(kHosts, kFull); },
         {"copy /etc/hosts /etc/hostszvf"}},
        {"remove the backup",
         [](FileSystem& f) { return f.remove(kBackup); },
         {"remove /etc/hostszvb"}},
        {"rename a copy away",
         [](FileSystem& f) { return f.rename(kBackup, "/tmp/b"); },
         {"rename /etc/hostszvb /tmp/b"}},
        {"rename onto the hosts file",
         [](FileSystem& f) {
             return f.copy(kConfig + "/zorvik.ini", "/tmp/h") && f.rename("/tmp/h", kHosts);
         },
         {"rename /tmp/h /etc/hosts"}},
        {"recover the hosts file",
         [](FileSystem& f) {
             f.recover(kHosts);
             return true;
         },
         {"recover /etc/hosts"}},
        // Everything else is the user's own.
        {"write the settings",
         [](FileSystem& f) { return f.write(kConfig + "/zorvik.ini", "x"); },
         {}},
        {"write a look-alike name", [](FileSystem& f) { return f.write("/etc/hostsx", "x"); }, {}},
        {"copy the hosts file out", [](FileSystem& f) { return f.copy(kHosts, "/tmp/h"); }, {}},
        {"remove a file of the user's",
         [](FileSystem& f) { return f.write("/tmp/r", "") && f.remove("/tmp/r"); },
         {}},
        {"recover the record",
         [](FileSystem& f) {
             f.recover(kConfig + "/zvhosts.dat");
             return true;
         },
         {}},
        {"read the hosts file and its copies",
         [](FileSystem& f) {
             return f.read(kHosts) && f.readLimited(kBackup, 100).content && f.exists(kHosts) &&
                    f.size(kHosts) && !f.isDirectory(kHosts);
         },
         {}},
    };
    for (const auto& c : cases) {
        files.put(kHosts, "127.0.0.1 localhost\n");
        files.put(kBackup, "127.0.0.1 localhost\n");
        helper.calls.clear();
        EXPECT_TRUE(c.run(helped)) << c.change;
        EXPECT_EQ(helper.calls, c.helperCalls) << c.change;
    }
}

TEST_F(HelperFileSystemTest, TheHelpersRefusalIsTheWriteErrorOfEveryChange) {
    const std::string why = "the new text maps 'bank.example' to 10.0.0.7, not to 127.0.0.1";
    helper.refusal = why;
    EXPECT_FALSE(helped.write(kHosts, "10.0.0.7 bank.example\n"));
    EXPECT_EQ(helped.writeError(), why);
    EXPECT_EQ(files.text(kHosts), "127.0.0.1 localhost\n");

    helper.refusal = "only /etc/hosts and its copies";
    EXPECT_FALSE(helped.copy(kHosts, kFull));
    EXPECT_EQ(helped.writeError(), "only /etc/hosts and its copies");
    helper.refusal = "lost";
    EXPECT_FALSE(helped.remove(kBackup));
    EXPECT_EQ(helped.writeError(), "lost");
    EXPECT_TRUE(files.exists(kBackup));

    // A failure on root's side carries the system's reason.
    helper.refusal.clear();
    files.setReadOnly(kHosts);
    EXPECT_FALSE(helped.write(kHosts, "x"));
    EXPECT_EQ(helped.writeError(), "Permission denied");
}

TEST_F(HelperFileSystemTest, ADirectWriteKeepsTheSystemsReason) {
    files.setReadOnly(kConfig + "/zorvik.ini");
    EXPECT_FALSE(helped.write(kConfig + "/zorvik.ini", "x"));
    EXPECT_EQ(helped.writeError(), "Permission denied");
    EXPECT_TRUE(helper.calls.empty());
}

TEST_F(HelperFileSystemTest, RefusedReadsOfTheWrappedFilesReachTheProgram) {
    files.putSpecial(kConfig + "/fifo");
    std::vector<std::string> refused;
    helped.onReadRefused = [&](const std::string& path, const ReadResult&) {
        refused.push_back(path);
    };
    EXPECT_TRUE(helped.readLimited(kConfig + "/fifo", 100).refused());
    EXPECT_EQ(refused, std::vector<std::string>{kConfig + "/fifo"});
}

/// Ad-server blocking as a user sees it: the hosts file goes through the helper, and when the
/// helper refuses, the usual box comes with the helper's reason in the status log.
TEST_F(HelperFileSystemTest, AdServerBlockingReachesTheHostsFileThroughTheHelper) {
    halvern::testing::FakePlatform fake;
    FakeHelperConnection rootHelper{fake.files};
    HelperFileSystem userFiles{fake.files, rootHelper, {kHosts, kBackup, kFull}};
    Platform platform{fake.clock,    userFiles,      fake.dialogs,   fake.userStore, fake.launcher,
                      fake.process,  fake.resolver,  fake.instance,  fake.tray,      fake.sound,
                      fake.listener, fake.desktop,   fake.processes, fake.http,      fake.hasher,
                      fake.scratch,  fake.autostart, fake.registry,  fake.browser,   fake.input};
    halvern::testing::ProgramParts parts{platform, {"/opt/halvern", kHosts}};
    adservers::PlaceholderServer server{parts.context, parts.log, parts.rings, parts.counter,
                                        [] {}};
    adservers::AdServerBlocking blocking{parts.context, parts.log, parts.help, parts.settings,
                                         server};
    std::vector<std::string> log;
    parts.log.observe([&](const std::string& text) { log.push_back(text); });
    fake.files.put(kHosts, "127.0.0.1 localhost\n");
    fake.files.put("/opt/halvern/zorvikhosts.ini",
                   "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=ads.example\r\n");

    blocking.ReadLocalBanListAndUpdateHostsFile(false);
    EXPECT_EQ(rootHelper.calls, Calls{"write /etc/hosts"});
    EXPECT_EQ(fake.files.text(kHosts), "127.0.0.1 ads.example\n127.0.0.1 localhost\n");
    EXPECT_TRUE(fake.dialogs.boxes().empty());

    rootHelper.refusal = "line 2 maps 'ads.example' elsewhere than 127.0.0.1";
    fake.files.put(kHosts, "127.0.0.1 localhost\n");
    blocking.ReadLocalBanListAndUpdateHostsFile(false);
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].text, adservers::AdServerBlocking::writeFailureText(kHosts));
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "#/etc/hosts could not be written: line 2 maps 'ads.example' elsewhere "
                        "than 127.0.0.1"),
              log.end());
}

}  // namespace
}  // namespace halvern::platform

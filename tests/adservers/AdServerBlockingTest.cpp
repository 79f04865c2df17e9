#include "adservers/AdServerBlocking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "support/FakePlatform.h"

using namespace std::chrono_literals;
using halvern::adservers::AdServerBlocking;
using Names = std::vector<std::string>;

namespace {

const std::string kHosts = "/etc/hosts";
const std::string kBackup = "/etc/hostszvb";
const std::string kFull = "/etc/hostszvf";
const std::string kDefaultList = "/opt/halvern/zorvikhosts.ini";
const std::string kUserList = "/opt/halvern/userhosts.ini";
const std::string kAllowedList = "/opt/halvern/zorvikhostsexc.ini";
const std::string kIni = "/opt/halvern/zorvik.ini";

std::string listFile(const Names& entries) {
    std::string text = "[DomainCount]\r\nN=" + std::to_string(entries.size()) + "\r\n[Domains]\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += "D" + std::to_string(i) + "=" + entries[i] + "\r\n";
    }
    return text;
}

/// A default list long enough that its hosts file passes the 14001-byte mark.
Names manyNames(int count) {
    Names names;
    for (int i = 0; i < count; ++i) {
        names.push_back("ads" + std::to_string(i) + ".tracker.example");
    }
    return names;
}

struct AdServerBlockingTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    halvern::core::MainState state;
    halvern::core::AppPaths paths{"/opt/halvern", kHosts};
    halvern::forms::MainForm form;
    halvern::forms::StatsForm stats;
    halvern::core::Context context{fake.platform, state, form, stats, paths};
    halvern::core::StatusLog statusLog{form, fake.clock};
    halvern::core::BlockedRings rings{fake.dialogs};
    halvern::ui::HelpLine help{fake.clock, form};
    halvern::core::Settings settings{context, {}};
    halvern::adservers::BlockCounter counter{form, state, stats};
    halvern::adservers::PlaceholderServer server{context, statusLog, rings, counter, [] {}};
    AdServerBlocking blocking{context, statusLog, help, settings, server};
    Names log;

    AdServerBlockingTest() {
        statusLog.observe([this](const std::string& text) { log.push_back(text); });
    }
    /// Settings written: the first save creates zorvik.ini, a later one rewrites it.
    int saves() const { return fake.files.writes(kIni); }
    /// The placeholder server listens while blocking is on.
    bool serving() const { return fake.listener.isListening(); }
    /// The text the help line flashed last.
    std::string flashed() const { return form.lblHelpText.caption(); }
    /// The status text without the settings' own "Settings Saved" line, which a save puts in
    /// front of it.
    std::string status() const {
        const std::string& text = form.lblStatus.caption();
        const std::string saved = "Settings Saved\r\n";
        return text.starts_with(saved) ? text.substr(saved.size()) : text;
    }

    void lists(const Names& defaults, const Names& users = {}, const Names& allowed = {}) {
        fake.files.put(kDefaultList, listFile(defaults));
        fake.files.put(kUserList, listFile(users));
        fake.files.put(kAllowedList, listFile(allowed));
        blocking.setExcludeArray();
    }
    std::string hosts() const { return fake.files.text(kHosts); }
};

TEST_F(AdServerBlockingTest, BuildsAnEmptyHostsFileAndSummarisesTheNamesAdded) {
    lists({"a.example", "b.example"});
    blocking.ReadLocalBanListAndUpdateHostsFile(true);

    EXPECT_EQ(hosts(), "127.0.0.1 a.example\n127.0.0.1 b.example\n");
    EXPECT_EQ(status(),
              "Data for 2 blocked ad servers and 0 allowed ad servers was configured:\r\n"
              "- a.example\r\n- b.example\r\n\r\n\r\n"
              "You should restart your computer if you want these changes to take effect.");
    EXPECT_EQ(state.nDefaultAdServers, 2);
    EXPECT_EQ(state.nUserAdServers, 0);
    EXPECT_EQ(state.nTotalAdServers, 2);
    EXPECT_EQ(form.lblTotHosts.caption(), "2");
    EXPECT_EQ(stats.lblTotHosts.caption(), "2");
    EXPECT_TRUE(state.bHostsFullySet);
    EXPECT_EQ(saves(), 1);
    EXPECT_EQ(fake.resolver.cacheFlushes, 1);
    EXPECT_FALSE(form.ProgressBar1.visible());
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(AdServerBlockingTest, SecondBuildAddsNothingAndLeavesTheFileAlone) {
    lists({"a.example"}, {"u.example"});
    blocking.ReadLocalBanListAndUpdateHostsFile(false);
    const std::string first = hosts();
    form.lblStatus.setCaption("kept");
    blocking.ReadLocalBanListAndUpdateHostsFile(true);

    EXPECT_EQ(hosts(), first);
    EXPECT_EQ(fake.files.writes(kHosts), 1);
    EXPECT_TRUE(status().starts_with(
        "Data for 0 blocked ad servers and 0 allowed ad servers was configured:\r\n\r\n\r\n"));
}

TEST_F(AdServerBlockingTest, AllowedNamesCountInTheSummaryAndLeaveLongerNamesWhole) {
    fake.files.put(kHosts,
                   "127.0.0.1 localhost\r\n127.0.0.1 ads.x.example\r\n"
                   "127.0.0.1 ads.x.example.org\r\n");
    lists({"ads.x.example", "b.example"}, {}, {"ads.x.example", "  "});
    blocking.ReadLocalBanListAndUpdateHostsFile(true);

    EXPECT_EQ(hosts(),
              "127.0.0.1 b.example\r\n127.0.0.1 localhost\r\n127.0.0.1 ads.x.example.org\r\n");
    // The allowed list's count, its blank entry included.
    EXPECT_TRUE(status().starts_with(
        "Data for 1 blocked ad servers and 2 allowed ad servers was configured:\r\n"
        "- b.example\r\n\r\n"));
}

TEST_F(AdServerBlockingTest, InvalidEntriesAreSkippedAndLogged) {
    lists({"ok.example", "evil.example 127.0.0.1 bank.example"}, {"x.example#note"});
    blocking.ReadLocalBanListAndUpdateHostsFile(true);

    EXPECT_EQ(hosts(), "127.0.0.1 ok.example\n");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0],
              "#Ad server entry is not a host name, left out of the hosts file: "
              "'evil.example 127.0.0.1 bank.example'");
    EXPECT_TRUE(log[1].find("'x.example#note'") != std::string::npos);
}

TEST_F(AdServerBlockingTest, LongEntriesAreReadWholeAndNeverBlockedCutShort) {
    const std::string label(63, 'a');
    const std::string longest = label + "." + label + "." + label + "." + std::string(61, 'b');
    const std::string tooLong = std::string(259, 'c') + ".com";
    const std::string huge(4880, 'd');
    lists({longest, tooLong, "ok.example"}, {huge});
    blocking.ReadLocalBanListAndUpdateHostsFile(true);

    EXPECT_EQ(hosts(), "127.0.0.1 " + longest + "\n127.0.0.1 ok.example\n");
    EXPECT_EQ(state.nTotalAdServers, 4);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0],
              "#Entry D0 of /opt/halvern/userhosts.ini is longer than 1024 characters, no "
              "host name; left out: '" +
                  std::string(40, 'd') + "...'");
    EXPECT_EQ(log[1],
              "#Ad server entry is not a host name, left out of the hosts file: '" + tooLong + "'");

    // The switch takes the whole name out again, and only it.
    fake.files.put(kHosts, hosts() + "127.0.0.1 " + longest.substr(0, 249) + "\n");
    blocking.RemoveBanListFromHostsFile();
    EXPECT_EQ(hosts(), "127.0.0.1 " + longest.substr(0, 249) + "\n");
}

TEST_F(AdServerBlockingTest, TheMachinesNamesStayWithTheUsersOwnAddress) {
    fake.resolver.machineHostName = "workbox";
    const std::string usersOwn = "127.0.0.1\tlocalhost\n127.0.1.1\tworkbox\n";
    fake.files.put(kHosts, usersOwn);
    lists({"localhost", "WorkBox", "ads.example"}, {"localhost.localdomain"});
    blocking.ReadLocalBanListAndUpdateHostsFile(true);

    EXPECT_EQ(hosts(), "127.0.0.1 ads.example\n" + usersOwn);
    EXPECT_EQ(log, (Names{
                       "#Ad server entry names this machine, left out of the hosts file: "
                       "'localhost'",
                       "#Ad server entry names this machine, left out of the hosts file: "
                       "'WorkBox'",
                       "#Ad server entry names this machine, left out of the hosts file: "
                       "'localhost.localdomain'",
                   }));
}

TEST_F(AdServerBlockingTest, WriteFailureShowsTheMessageAndKeepsTheFile) {
    fake.files.put(kHosts, "127.0.0.1 localhost\n");
    fake.files.setReadOnly(kHosts);
    lists({"a.example"});
    form.lblStatus.setCaption("before");
    blocking.ReadLocalBanListAndUpdateHostsFile(false);

    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].title, "Zorvik");
    EXPECT_EQ(fake.dialogs.boxes()[0].buttons, halvern::platform::BoxButtons::Ok);
    EXPECT_EQ(
        fake.dialogs.boxes()[0].text,
        "Zorvik encountered a problem:\r\n\r\nZorvik could not write to the file named "
        "'/etc/hosts'\r\n\r\nThe most likely reason for this error is: You need to change the "
        "permissions on this file so this user can write to this file (it may be set to read "
        "only). \r\n\r\n1) You may need to logon as the administrator and find this file using "
        "Windows Explorer. \r\n2) Right click on the file, choose properties, and click on the "
        "security tab. \r\n3) Make sure the file isn't read only and if necessary, add the "
        "'Everyone' group and \r\ngive the 'Everyone' group 'Full' control of the file and the "
        "directory. \r\n4) Once you've done this, you shouldn't see this message again.\r\n\r\n"
        "If this is a company computer, contact your system administrator so they can set the "
        "proper permissions.");
    EXPECT_EQ(hosts(), "127.0.0.1 localhost\n");
    EXPECT_FALSE(state.bHostsFullySet);
    EXPECT_FALSE(status().starts_with("Data for"));
    EXPECT_EQ(fake.resolver.cacheFlushes, 0);
    EXPECT_NE(
        std::find(log.begin(), log.end(), "#/etc/hosts could not be written: Permission denied"),
        log.end())
        << "the system's reason is logged";
}

TEST_F(AdServerBlockingTest, ExitDuringTheWriteFailureBoxStopsTheBuildAndTheRemoval) {
    fake.files.put(kHosts, "127.0.0.1 a.example\n");
    fake.files.setReadOnly(kHosts);
    lists({"a.example", "b.example"});
    fake.dialogs.whileOpen = [&](const auto&) { state.bExiting = true; };
    blocking.ReadLocalBanListAndUpdateHostsFile(true);
    state.bExiting = false;
    blocking.RemoveBanListFromHostsFile();
    EXPECT_EQ(fake.dialogs.boxes().size(), 2u);
    EXPECT_EQ(saves(), 0) << "nothing is saved after the exit";
    EXPECT_TRUE(form.cmdAllow.enabled()) << "the removal stopped at the box";
}

TEST_F(AdServerBlockingTest, RemovalTakesOutListLinesEvenTheLastWithoutLineBreak) {
    fake.files.put(kHosts,
                   "127.0.0.1 a.example\r\n\r\n127.0.0.1 localhost\r\n"
                   "127.0.0.1 a.example.org\r\n127.0.0.1 u.example");
    lists({"a.example"}, {"u.example"}, {"u.example"});
    state.bHostsFullySet = true;
    state.nDefaultAdServers = 1;
    form.lbltype.setCaption("Banner");
    blocking.RemoveBanListFromHostsFile();

    EXPECT_EQ(hosts(), "\r\n127.0.0.1 localhost\r\n127.0.0.1 a.example.org\r\n");
    EXPECT_FALSE(state.bHostsFullySet);
    EXPECT_EQ(status(),
              "\r\nAd Servers are no longer blocked.  \r\n\r\nYOU MUST SHUT DOWN AND RESTART your "
              "computer for this change to take effect.");
    EXPECT_EQ(form.lblHelpText.caption(), "Processing 1 Hosts...");
    EXPECT_EQ(state.nDefaultAdServers, 0);
    EXPECT_EQ(form.lbltype.caption(), "");
    EXPECT_FALSE(form.cmdAllow.enabled());
    EXPECT_FALSE(form.cmdAddSites.enabled());
    EXPECT_FALSE(form.mnuTrayAllow.enabled());
    EXPECT_EQ(saves(), 1);
    EXPECT_EQ(fake.resolver.cacheFlushes, 1);
}

TEST_F(AdServerBlockingTest, FailedRemovalIsNotReportedAsDone) {
    fake.files.put(kHosts, "127.0.0.1 a.example\n");
    fake.files.setReadOnly(kHosts);
    lists({"a.example"});
    state.bHostsFullySet = true;
    blocking.RemoveBanListFromHostsFile();

    EXPECT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(hosts(), "127.0.0.1 a.example\n");
    EXPECT_TRUE(state.bHostsFullySet);
    EXPECT_EQ(status(), "");
}

TEST_F(AdServerBlockingTest, SwitchOnBuildsStartsTheServerAndSaysSo) {
    lists({"a.example"});
    blocking.setAdServerButtonsEnabled(false);
    state.bBlockAdServers = false;
    form.chkAdServers.click();

    EXPECT_TRUE(state.bBlockAdServers);
    EXPECT_EQ(hosts(), "127.0.0.1 a.example\n");
    EXPECT_TRUE(status().ends_with(
        "take effect.\r\nZorvik has now configured your system to block ads.\r\n\r\nYOU MUST "
        "SHUT DOWN AND RESTART your computer for this change to take effect."));
    EXPECT_EQ(flashed(),
              "PLEASE RESTART YOUR COMPUTER FOR THESE CHANGES TO TAKE EFFECT. "
              "Zorvik will now block the known list of active banner and popup ad "
              "servers.");
    EXPECT_TRUE(serving());
    EXPECT_TRUE(form.cmdAllow.enabled() && form.cmdAddSites.enabled() &&
                form.mnuTrayAllow.enabled());

    form.chkAdServers.click();
    EXPECT_FALSE(state.bBlockAdServers);
    EXPECT_EQ(hosts(), "");
    EXPECT_EQ(flashed(),
              "PLEASE RESTART YOUR COMPUTER FOR THESE CHANGES TO TAKE EFFECT. Zorvik will no "
              "longer block banner ads (the known list of ad servers).");
    EXPECT_FALSE(serving());
    EXPECT_FALSE(form.cmdAllow.enabled());
}

TEST_F(AdServerBlockingTest, SwitchDoesNothingWhileLoading) {
    lists({"a.example"});
    const std::string helpBefore = flashed();
    state.bLoadingSettings = true;
    state.bBlockAdServers = false;
    form.chkAdServers.setChecked(true);
    blocking.ApplyHostsBlocking();
    blocking.RemoveHostsBlocking();

    EXPECT_FALSE(state.bBlockAdServers);
    EXPECT_FALSE(fake.files.exists(kHosts));
    EXPECT_EQ(flashed(), helpBefore);
    EXPECT_FALSE(serving());
    EXPECT_EQ(saves(), 0);
}

TEST_F(AdServerBlockingTest, FullySetNeedsTheFlagAnd14001Bytes) {
    struct Case {
        bool flag;
        std::size_t bytes;
        bool fullySet;
    };
    for (const Case c : {Case{true, 14000, false}, Case{true, 14001, true},
                         Case{false, 20000, false}, Case{true, 0, false}}) {
        if (c.bytes > 0) {
            fake.files.put(kHosts, std::string(c.bytes, '#'));
        } else {
            fake.files.remove(kHosts);
        }
        state.bHostsFullySet = c.flag;
        EXPECT_EQ(blocking.IsHostsFullySet(), c.fullySet) << c.bytes;
    }
}

TEST_F(AdServerBlockingTest, ProgressPumpsEvery50EntriesNotEachOne) {
    lists(manyNames(500), manyNames(10));
    blocking.ReadLocalBanListAndUpdateHostsFile(false);
    // 10 repaints on the default list, one between the phases.
    EXPECT_EQ(fake.clock.pumpCount(), 11u);
}

struct HostsFileDanceTest : AdServerBlockingTest {
    static inline const std::string kUsersOwn =
        "# my machine\r\n127.0.0.1 localhost\r\n\r\n10.0.0.7 nas\r\n";

    void SetUp() override {
        fake.files.put(kHosts, kUsersOwn);
        lists(manyNames(600));
        state.bBlockAdServers = true;
    }
    void startUp() {
        blocking.BackupUserHostsFile();
        blocking.startUpHostsFile();
    }
};

TEST_F(HostsFileDanceTest, FirstStartBacksUpAndBuildsThenExitPutsTheUsersFileBack) {
    startUp();
    EXPECT_EQ(fake.files.text(kBackup), kUsersOwn);
    EXPECT_TRUE(serving());
    EXPECT_TRUE(form.cmdAllow.enabled());
    const std::string complete = hosts();
    EXPECT_GE(complete.size(), 14001u);
    EXPECT_TRUE(complete.ends_with("127.0.0.1 localhost\r\n10.0.0.7 nas\r\n"));
    EXPECT_TRUE(blocking.IsHostsFullySet());

    const auto before = fake.clock.now();
    blocking.restoreHostsFileAtExit();
    EXPECT_EQ(hosts(), kUsersOwn);
    EXPECT_EQ(fake.files.text(kFull), complete);
    EXPECT_EQ(fake.files.text(kBackup), kUsersOwn);
    EXPECT_FALSE(state.bHostsFullySet);
    EXPECT_EQ(fake.clock.now() - before, 400ms);
    EXPECT_EQ(form.lblHelpText.caption(), "Done copying files...");
}

TEST_F(HostsFileDanceTest, NextStartPutsTheParkedCompleteFileBack) {
    startUp();
    blocking.restoreHostsFileAtExit();
    const std::string complete = fake.files.text(kFull);
    const int builds = fake.files.writes(kHosts);

    const auto before = fake.clock.now();
    startUp();
    EXPECT_EQ(fake.files.text(kBackup), kUsersOwn);
    EXPECT_EQ(hosts(), complete);
    EXPECT_FALSE(fake.files.exists(kFull));
    EXPECT_TRUE(state.bHostsFullySet);
    EXPECT_EQ(fake.files.writes(kHosts), builds + 1);
    EXPECT_EQ(fake.clock.now() - before, 300ms);
    EXPECT_EQ(form.lblHelpText.caption(),
              "Done Restoring Zorvik  Hosts File from the users backup.");
}

TEST_F(HostsFileDanceTest, HandEditBetweenRunsBecomesTheUsersOwnFileAndSurvivesTheExit) {
    // The edit lands on the user's file put back at exit, or on the complete file left in place
    // while starting with the session; either way it is the user's from then on. A block line
    // the user adds to their own file is theirs too.
    for (const bool withSession : {false, true}) {
        SCOPED_TRACE(withSession ? "left complete" : "left the user's");
        const std::string line =
            withSession ? "10.0.0.8 printer\r\n" : "127.0.0.1 ads5.tracker.example\r\n";
        fake.files.remove(kBackup);
        fake.files.remove(kFull);
        fake.files.put(kHosts, kUsersOwn);
        form.chkStartup.setChecked(withSession);
        startUp();
        blocking.restoreHostsFileAtExit();
        fake.files.put(kHosts, hosts() + line);

        startUp();
        const std::string own =
            withSession ? "# my machine\r\n127.0.0.1 localhost\r\n10.0.0.7 nas\r\n" + line
                        : kUsersOwn + line;
        EXPECT_EQ(fake.files.text(kBackup), own);
        EXPECT_FALSE(fake.files.exists(kFull)) << "the parked copy was built on the old file";
        EXPECT_TRUE(hosts().ends_with("10.0.0.7 nas\r\n" + line));
        EXPECT_NE(hosts().find("127.0.0.1 ads599.tracker.example\r\n"), std::string::npos);
        EXPECT_TRUE(state.bHostsFullySet);

        form.chkStartup.setChecked(false);
        blocking.restoreHostsFileAtExit();
        EXPECT_EQ(hosts(), own);
    }
}

TEST_F(HostsFileDanceTest, EditDuringTheRunIsKeptAndTheListStillGoesAtExit) {
    startUp();
    const std::string line = "10.0.0.9 scanner\r\n";
    fake.files.put(kHosts, hosts() + line);
    blocking.restoreHostsFileAtExit();
    const std::string own = "# my machine\r\n127.0.0.1 localhost\r\n10.0.0.7 nas\r\n" + line;
    EXPECT_EQ(hosts(), own);
    EXPECT_EQ(fake.files.text(kBackup), own);
    EXPECT_FALSE(state.bHostsFullySet);

    // The next start takes it as the user's own, without a second edit.
    startUp();
    EXPECT_TRUE(hosts().ends_with(own));
    blocking.restoreHostsFileAtExit();
    EXPECT_EQ(hosts(), own);
}

TEST_F(HostsFileDanceTest, OnlyTheCopyParkedByTheProgramIsInstalled) {
    struct Case {
        const char* what;
        std::optional<std::string> parked;
    };
    for (const Case& c : {Case{"garbage", std::string("garbage\n")}, Case{"empty", std::string()},
                          Case{"another complete file", kUsersOwn + "127.0.0.1 x.example\r\n"}}) {
        SCOPED_TRACE(c.what);
        fake.files.remove(kBackup);
        fake.files.put(kHosts, kUsersOwn);
        startUp();
        blocking.restoreHostsFileAtExit();
        ASSERT_TRUE(fake.files.exists(kFull));
        fake.files.put(kFull, *c.parked);

        startUp();
        EXPECT_NE(hosts(), *c.parked);
        EXPECT_NE(hosts().find("127.0.0.1 ads0.tracker.example\r\n"), std::string::npos);
        EXPECT_TRUE(hosts().ends_with("127.0.0.1 localhost\r\n10.0.0.7 nas\r\n"));
        EXPECT_FALSE(fake.files.exists(kFull));
        EXPECT_TRUE(state.bHostsFullySet);
    }
}

TEST_F(HostsFileDanceTest, ExitParksOnlyTheCompleteFileThisProgramBuilt) {
    startUp();
    blocking.restoreHostsFileAtExit();
    const std::string complete = fake.files.text(kFull);
    // The next run ends before its start-up step: the user's file is in place and is not parked
    // over the complete copy.
    blocking.restoreHostsFileAtExit();
    EXPECT_EQ(fake.files.text(kFull), complete);
    EXPECT_EQ(hosts(), kUsersOwn);

    // A build that could not be written leaves nothing of the program's to park either.
    startUp();
    fake.files.setReadOnly(kHosts, false);
    blocking.restoreHostsFileAtExit();
    fake.files.remove(kFull);
    fake.files.setReadOnly(kHosts);
    startUp();
    fake.files.setReadOnly(kHosts, false);
    blocking.restoreHostsFileAtExit();
    EXPECT_FALSE(fake.files.exists(kFull));
    EXPECT_EQ(hosts(), kUsersOwn);
}

TEST_F(HostsFileDanceTest, StaleFullySetFlagDoesNotKeepTheListOut) {
    // A user's file long enough to pass for a complete one, and a flag that still says complete
    // (a crash after the exit put the user's file back and before the settings were saved).
    const std::string bigOwn = kUsersOwn + "# " + std::string(20000, '=') + "\r\n";
    fake.files.put(kHosts, bigOwn);
    startUp();
    blocking.restoreHostsFileAtExit();
    ASSERT_EQ(hosts(), bigOwn);
    fake.files.remove(kFull);
    state.bHostsFullySet = true;

    startUp();
    EXPECT_NE(hosts().find("127.0.0.1 ads0.tracker.example\r\n"), std::string::npos);
    EXPECT_TRUE(state.bHostsFullySet);
}

TEST_F(HostsFileDanceTest, FailedRestoreAtExitIsReportedAndKeepsTheBackup) {
    struct Case {
        const char* what;
        bool backupIsFolder;
    };
    for (const Case c : {Case{"hosts file cannot be written", false},
                         Case{"a folder in place of the backup", true}}) {
        SCOPED_TRACE(c.what);
        fake.files.setReadOnly(kHosts, false);
        fake.files.put(kHosts, kUsersOwn);
        fake.files.remove(kBackup);
        fake.dialogs.clear();
        log.clear();
        startUp();
        const std::string complete = hosts();
        if (c.backupIsFolder) {
            fake.files.remove(kBackup);
            fake.files.makeDirectories(kBackup);
        } else {
            fake.files.setReadOnly(kHosts);
        }
        blocking.restoreHostsFileAtExit();

        EXPECT_EQ(hosts(), complete);
        if (!c.backupIsFolder) {
            EXPECT_EQ(fake.files.text(kBackup), kUsersOwn);
        }
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes()[0].text,
                  AdServerBlocking::restoreFailureText(kHosts, kBackup));
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(),
                  "#Could not put the user's own hosts file back: /etc/hosts still blocks the "
                  "listed ad servers; the user's file stays in /etc/hostszvb");
        EXPECT_TRUE(status().ends_with("\r\nZorvik could not put your own hosts file back."));
        EXPECT_TRUE(state.bHostsFullySet);
    }
}

TEST_F(HostsFileDanceTest, ReadOnlyHostsFileIsLeftAloneAtExitWithoutABox) {
    // A read-only bind mount: every start says it could not write, and the file never changes.
    fake.files.setReadOnly(kHosts);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        fake.dialogs.clear();
        log.clear();
        startUp();
        ASSERT_EQ(fake.dialogs.boxes().size(), 2u);
        EXPECT_EQ(fake.dialogs.boxes()[1].text, AdServerBlocking::writeFailureText(kHosts));
        fake.dialogs.clear();

        blocking.restoreHostsFileAtExit();
        EXPECT_TRUE(fake.dialogs.boxes().empty()) << "nothing to put back, nothing to fail";
        EXPECT_EQ(hosts(), kUsersOwn);
        EXPECT_EQ(fake.files.text(kBackup), kUsersOwn);
        EXPECT_FALSE(fake.files.exists(kFull));
        EXPECT_FALSE(state.bHostsFullySet);
        EXPECT_EQ(log.back(),
                  "#/etc/hosts already is the user's own hosts file: nothing to put back");
        EXPECT_FALSE(status().ends_with("could not put your own hosts file back."));
    }
    EXPECT_EQ(fake.files.writes(kHosts), 0);
}

TEST_F(HostsFileDanceTest, MissingHostsFileIsMissingAgainAfterExit) {
    fake.files.remove(kHosts);
    startUp();
    EXPECT_FALSE(fake.files.exists(kBackup));
    EXPECT_TRUE(hosts().starts_with("127.0.0.1 ads0.tracker.example\n"));
    // The first exit starts with the session and leaves the list in place.
    form.chkStartup.setChecked(true);
    blocking.restoreHostsFileAtExit();
    form.chkStartup.setChecked(false);

    // Every later exit takes the file away again.
    for (int run = 0; run < 2; ++run) {
        startUp();
        EXPECT_TRUE(hosts().starts_with("127.0.0.1 ads0.tracker.example\n"));
        blocking.restoreHostsFileAtExit();
        EXPECT_FALSE(fake.files.exists(kHosts)) << run;
        EXPECT_TRUE(fake.files.exists(kFull)) << run;
        EXPECT_FALSE(fake.files.exists(kBackup)) << run;
    }
}

TEST_F(HostsFileDanceTest, AllowedListTakesOutOnlyLinesTheProgramAdded) {
    // localhost is listed and allowed; the user's own localhost line stays, the program's other
    // allowed line goes.
    lists({"a.example", "localhost", "b.example"}, {}, {"localhost", "b.example"});
    fake.files.put(kHosts, kUsersOwn + "127.0.0.1 b.example\r\n");
    blocking.BackupUserHostsFile();
    fake.files.put(kBackup, kUsersOwn);
    blocking.startUpHostsFile();
    EXPECT_EQ(hosts(),
              "127.0.0.1 a.example\r\n# my machine\r\n127.0.0.1 localhost\r\n"
              "10.0.0.7 nas\r\n");
}

TEST_F(HostsFileDanceTest, ExitLeavesTheCompleteFileWhenStartingWithTheSession) {
    startUp();
    const std::string complete = hosts();
    form.chkStartup.setChecked(true);
    blocking.restoreHostsFileAtExit();
    EXPECT_EQ(hosts(), complete);
    EXPECT_FALSE(fake.files.exists(kFull));
    EXPECT_TRUE(state.bHostsFullySet);
}

TEST_F(HostsFileDanceTest, ExitLeavesTheFileAloneWhenBlockingIsOff) {
    startUp();
    const std::string complete = hosts();
    state.bBlockAdServers = false;
    blocking.restoreHostsFileAtExit();
    EXPECT_EQ(hosts(), complete);
    EXPECT_FALSE(fake.files.exists(kFull));
}

TEST_F(HostsFileDanceTest, ExitWithoutBackupOnlyTakesTheEntriesOut) {
    blocking.startUpHostsFile();
    ASSERT_FALSE(fake.files.exists(kBackup));
    blocking.restoreHostsFileAtExit();
    EXPECT_EQ(hosts(), "# my machine\r\n127.0.0.1 localhost\r\n10.0.0.7 nas\r\n");
    EXPECT_FALSE(fake.files.exists(kFull));
}

TEST_F(HostsFileDanceTest, FailedRestoreKeepsTheCompleteCopyForTheNextStart) {
    startUp();
    blocking.restoreHostsFileAtExit();
    fake.files.setReadOnly(kHosts);
    state.bHostsFullySet = false;
    blocking.startUpHostsFile();
    EXPECT_EQ(hosts(), kUsersOwn);
    EXPECT_TRUE(fake.files.exists(kFull));
    EXPECT_FALSE(state.bHostsFullySet);
}

TEST_F(HostsFileDanceTest, StartRebuildsAHostsFileUnder10000Bytes) {
    // Without the default list the complete copy is not consulted: only the size decides.
    fake.files.remove(kDefaultList);
    fake.files.put(kUserList, listFile({"a.example"}));
    struct Case {
        std::size_t bytes;
        bool rebuilt;
    };
    for (const Case c : {Case{9999, true}, Case{10000, false}}) {
        const std::string text = std::string(c.bytes - 1, '#') + "\n";
        fake.files.put(kHosts, text);
        blocking.startUpHostsFile();
        EXPECT_EQ(hosts() == "127.0.0.1 a.example\n" + text, c.rebuilt) << c.bytes;
        EXPECT_EQ(hosts() == text, !c.rebuilt) << c.bytes;
    }
}

TEST_F(HostsFileDanceTest, StartWithoutDefaultListOrBlockingDisablesTheCommands) {
    state.bBlockAdServers = false;
    blocking.startUpHostsFile();
    EXPECT_FALSE(form.cmdAddSites.enabled());
    EXPECT_EQ(hosts(), kUsersOwn);
    EXPECT_FALSE(serving());

    fake.files.remove(kDefaultList);
    form.cmdAddSites.setEnabled(true);
    state.bBlockAdServers = true;
    blocking.startUpHostsFile();
    EXPECT_TRUE(form.cmdAddSites.enabled());
    EXPECT_TRUE(serving());
}

}  // namespace

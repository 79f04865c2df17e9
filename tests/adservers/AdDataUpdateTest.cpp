#include "adservers/AdDataUpdate.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "UpdateFixture.h"
#include "core/ListFiles.h"

namespace halvern::adservers::fixture {
namespace {

const std::string kDate = "/zshared/updatedate.txt";
const std::string kDomains = "/zshared/domains.txt";
const std::string kRemovals = "/zshared/removals.txt";
const std::string kFailedPrefix = "Tried and failed to downloaded ad config data. Error=";

class AdDataUpdateTest : public UpdateTest {
protected:
    AdDataUpdateTest() {
        state.DateUpdate = "11/1/2026";
        lists({"old.example", "a.example"});
        fake.files.put(kHosts, "127.0.0.1 localhost\r\n");
        blocking.BackupUserHostsFile();
        blocking.ReadLocalBanListAndUpdateHostsFile(false);
        form.lblStatus.setCaption("");
        statuses.clear();
        log.clear();
    }

    /// A server with newer data: the date, the lists.
    void newerData(const Names& domains = {"a.example", "*b.example"},
                   const Names& removals = {"gone.example"}) {
        serve(kDate, "12/1/2026");
        serve(kDomains, served(domains));
        serve(kRemovals, served(removals));
    }
    int writes(const std::string& path) const { return fake.files.writes(path); }
};

TEST_F(AdDataUpdateTest, CtrlDFetchesTheDateAndTheListsInOrderAndRebuildsTheHostsFile) {
    fake.files.put(kHosts, text(kHosts) + "127.0.0.1 gone.example\r\n");
    serve(kDate, "12/1/2026\r\n");
    serve(kDomains, served({"*b.example", "a.example", "# note", "", "  c.example  "}));
    serve(kRemovals, served({"gone.example"}));
    form.mnuUpdate.click();

    EXPECT_EQ(requested(), (Names{kDate, kDomains, kRemovals}));
    EXPECT_EQ(fake.http.requests[0].timeout, 12000ms);
    EXPECT_EQ(fake.http.requests[1].timeout, 20000ms);
    EXPECT_EQ(fake.http.requests[2].timeout, 20000ms);
    EXPECT_EQ(spywareRuns, std::vector<bool>{true});
    EXPECT_EQ(requestsBeforeSpyware, 3u) << "the spyware list comes after the removals";

    EXPECT_EQ(text(kDefaultList), listFile({"b.example", "a.example", "c.example"}));
    EXPECT_EQ(text(kRemovalsList), listFile({"gone.example"}));
    EXPECT_EQ(text(kHosts),
              "127.0.0.1 b.example\r\n127.0.0.1 c.example\r\n127.0.0.1 a.example\r\n"
              "127.0.0.1 localhost\r\n");
    EXPECT_EQ(state.DateUpdate, "12/10/2026");
    EXPECT_EQ(form.lblDateUpdate.caption(), "Last Updated today!");
    EXPECT_EQ(stats.lblDateUpdate.caption(), "Last Updated today!");
    EXPECT_EQ(form.A.tab(), forms::MainForm::kTabStartup);
    EXPECT_EQ(statuses.front(), "Please wait...");
    EXPECT_TRUE(statusShown("Configure Popup Ad Server '*b.example'"));
    EXPECT_TRUE(statusShown("Configure Banner Ad Server 'c.example'"));
    EXPECT_TRUE(statusShown("Removing Inactive Server 'gone.example'"));
    EXPECT_TRUE(form.lblStatus.caption().starts_with(
        "Settings Saved\r\nData for 2 blocked ad servers and 0 allowed ad servers was "
        "configured:\r\n- b.example\r\n- c.example\r\n"))
        << form.lblStatus.caption();
    EXPECT_FALSE(form.ProgressBar1.visible());
    EXPECT_TRUE(form.cmdAddSites.enabled());
    EXPECT_NE(text(kIni).find("DateUpdate=12/10/2026"), std::string::npos);
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(AdDataUpdateTest, EachFailureStopsAtItsStepWithItsText) {
    const std::string problems =
        "Problems checking ad server database.  Please check your internet connection and try "
        "again in a few minutes.  If you use Windows ME or NT, you may not be able to connect.  "
        "In this case, download the latest  version of Zorvik at any time.  Error: ";
    const std::string incomplete =
        "Internet download of the Zorvik  Active Ad blocking Serve configuration data failed or "
        "didn't complete.  Please try again later.";
    // The list's own failure text shows first, then the update's, behind the help line.
    const std::string failed = "help: " + kFailedPrefix;
    const struct {
        const char* name;
        Script date;
        Script domains;
        Names asked;
        std::string shownOnTheWay;
        std::string status;
    } cases[] = {
        {"no date",
         failure("Could not connect"),
         reply(200, ""),
         {kDate},
         "",
         problems + "Could not connect"},
        {"date 404", reply(404, "x"), reply(200, ""), {kDate}, "", problems + "HTTP error 404"},
        {"list 500",
         reply(200, "12/1/2026"),
         reply(500, ""),
         {kDate, kDomains},
         "config connect failed.",
         failed + "HTTP error 500"},
        {"list cut short",
         reply(200, "12/1/2026"),
         reply(200, "a.example\r\nb.exa"),
         {kDate, kDomains},
         incomplete,
         failed},
        {"a line break after [END]",
         reply(200, "12/1/2026"),
         reply(200, "a.example\r\n[END]\r\n"),
         {kDate, kDomains},
         incomplete,
         failed},
        {"[END] alone",
         reply(200, "12/1/2026"),
         reply(200, "[END]"),
         {kDate, kDomains},
         incomplete,
         failed},
        {"only comments",
         reply(200, "12/1/2026"),
         reply(200, "# none\r\n\r\n[END]"),
         {kDate, kDomains},
         incomplete,
         failed},
    };
    const std::string listBefore = text(kDefaultList);
    const std::string hostsBefore = text(kHosts);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake.http.requests.clear();
        fake.http.scripts.clear();
        statuses.clear();
        form.lblHelpText.setCaption("help: ");
        serve(kDate, c.date);
        serve(kDomains, c.domains);
        form.mnuUpdate.click();
        Names asked = requested();
        asked.erase(std::unique(asked.begin(), asked.end()), asked.end());
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(form.lblStatus.caption(), c.status);
        if (!c.shownOnTheWay.empty()) {
            EXPECT_TRUE(statusShown(c.shownOnTheWay));
        }
        EXPECT_EQ(text(kDefaultList), listBefore);
        EXPECT_EQ(text(kHosts), hostsBefore);
        EXPECT_EQ(state.DateUpdate, "11/1/2026");
        EXPECT_TRUE(spywareRuns.empty());
    }
}

TEST_F(AdDataUpdateTest, AFailedListShowsTheTransfersError) {
    serve(kDate, "12/1/2026");
    serve(kDomains, reply(404, "Not Found"));
    form.lblHelpText.setCaption("");
    form.mnuUpdate.click();
    EXPECT_EQ(form.lblStatus.caption(), kFailedPrefix + "HTTP error 404");
}

TEST_F(AdDataUpdateTest, CurrentDataIsNotDownloadedUntilADownloadButtonIsPressed) {
    const struct {
        const char* local;
        const char* server;
        bool current;
    } dates[] = {
        {"12/1/2026", "12/1/2026", true},   {"12/2/2026", "12/1/2026", true},
        {"Never", "1/1/2001", true},        {"11/30/2026", "12/1/2026", false},
        {"12/1/2026", "2026-12-02", false}, {"12/1/2026", "<html>", false},
        {"1/1/26", "12/31/2025", true},     {"x", "12/1/2026", false},
    };
    for (const auto& d : dates) {
        SCOPED_TRACE(std::string(d.local) + " / " + d.server);
        fake.http.requests.clear();
        state.DateUpdate = d.local;
        newerData();
        serve(kDate, std::string(d.server));
        update.UpdateAdData(true);
        EXPECT_EQ(requested().size(), d.current ? 1u : 3u);
        if (d.current) {
            EXPECT_EQ(form.lblStatus.caption(),
                      "Zorvik  data is Current. \r\n\r\nZorvik  was last updated on " +
                          state.DateUpdate +
                          ".\r\n\r\nThe latest updates from the Zorvik  Server were available "
                          "on " +
                          d.server + ".");
        }
    }

    state.DateUpdate = "12/1/2026";
    serve(kDate, "12/1/2026");
    state.bLoadingSettings = true;
    form.cmdData.click();
    EXPECT_FALSE(update.forceDownload()) << "cmdData does nothing while the settings load";
    state.bLoadingSettings = false;
    fake.http.requests.clear();
    form.cmdData.click();
    EXPECT_TRUE(update.forceDownload());
    EXPECT_EQ(requested(), (Names{kDate, kDomains, kRemovals}));
    fake.http.requests.clear();
    state.DateUpdate = "12/10/2026";
    form.mnuUpdate.click();
    EXPECT_EQ(requested().size(), 3u) << "forced for the rest of the run";
}

TEST_F(AdDataUpdateTest, WithBlockingOffTheUpdateWarnsAndOnlyTheRemovalsTouchTheHostsFile) {
    fake.files.put(kHosts, "127.0.0.1 localhost\r\n127.0.0.1 gone.example\r\n");
    state.bBlockAdServers = false;
    newerData();
    form.mnuUpdate.click();
    EXPECT_EQ(text(kHosts), "127.0.0.1 localhost\r\n");
    EXPECT_TRUE(form.lblStatus.caption().starts_with(
        "WARNING: You have unchecked the 'Block Ad Servers...' checkbox so no ad servers are "
        "being blocked.Settings Saved\r\n"))
        << form.lblStatus.caption();
    EXPECT_FALSE(form.cmdAddSites.enabled());
    EXPECT_EQ(state.DateUpdate, "12/10/2026");
}

TEST_F(AdDataUpdateTest, RemovalsTakeWholeLinesInTheFilesOwnLineEnding) {
    const struct {
        const char* name;
        std::string hosts;
        std::string after;
    } cases[] = {
        {"CR LF", "127.0.0.1 localhost\r\n127.0.0.1 gone.example\r\n127.0.0.1 keep.example\r\n",
         "127.0.0.1 localhost\r\n127.0.0.1 keep.example\r\n"},
        {"LF", "127.0.0.1 localhost\n127.0.0.1 gone.example\n127.0.0.1 keep.example\n",
         "127.0.0.1 localhost\n127.0.0.1 keep.example\n"},
        {"last line", "127.0.0.1 localhost\r\n127.0.0.1 gone.example", "127.0.0.1 localhost\r\n"},
        {"neighbours", "127.0.0.1 gone.example.com\r\n127.0.0.1 gone.example\r\n# gone.example\r\n",
         "127.0.0.1 gone.example.com\r\n# gone.example\r\n"},
        {"other address", "0.0.0.0 gone.example\n127.0.0.1  gone.example\n",
         "0.0.0.0 gone.example\n127.0.0.1  gone.example\n"},
    };
    serve(kRemovals, served({"gone.example", "# note", "", "also.example"}));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake.files.put(kHosts, c.hosts);
        form.cmdRemoval.click();
        EXPECT_EQ(text(kHosts), c.after);
        EXPECT_EQ(text(kRemovalsList), listFile({"gone.example", "also.example"}));
    }
}

TEST_F(AdDataUpdateTest, RemovalsKeepTheUsersOwnLinesAndTheRecordFollowsTheFile) {
    // The user's own file blocks gone.example too: that line is theirs and stays.
    fake.files.put(kBackup, "127.0.0.1 localhost\r\n127.0.0.1 gone.example\r\n");
    fake.files.put(kHosts,
                   "127.0.0.1 a.example\r\n127.0.0.1 localhost\r\n127.0.0.1 gone.example\r\n");
    blocking.ReadLocalBanListAndUpdateHostsFile(false);
    serve(kRemovals, served({"gone.example", "old.example"}));
    form.cmdRemoval.click();
    EXPECT_EQ(text(kHosts),
              "127.0.0.1 a.example\r\n127.0.0.1 localhost\r\n127.0.0.1 gone.example\r\n");

    // A later start still knows the file as the program's own: no hand edit is reported.
    log.clear();
    blocking.BackupUserHostsFile();
    for (const std::string& line : log) {
        EXPECT_EQ(line.find("was changed"), std::string::npos) << line;
    }
    EXPECT_EQ(text(kBackup), "127.0.0.1 localhost\r\n127.0.0.1 gone.example\r\n");
}

TEST_F(AdDataUpdateTest, RemovalsWithoutAHostsFileOrACompleteListChangeNothing) {
    fake.files.remove(kHosts);
    serve(kRemovals, served({"gone.example"}));
    form.cmdRemoval.click();
    EXPECT_FALSE(fake.files.exists(kHosts));
    EXPECT_FALSE(fake.files.exists(kRemovalsList));

    fake.files.put(kHosts, "127.0.0.1 gone.example\r\n");
    const struct {
        Script script;
        const char* status;
    } failures[] = {
        {reply(404, ""), "removal config connect failed."},
        {reply(200, "gone.example\r\n"),
         "Internet download of the Zorvik  Inactive Ad Servers configuration data failed or "
         "didn't complete.  Please try again later."},
    };
    for (const auto& f : failures) {
        serve(kRemovals, f.script);
        form.cmdRemoval.click();
        EXPECT_EQ(form.lblStatus.caption(), f.status);
        EXPECT_EQ(text(kHosts), "127.0.0.1 gone.example\r\n");
        EXPECT_FALSE(fake.files.exists(kRemovalsList));
    }
    // An empty list is complete: nothing to remove, and removals.ini says so.
    serve(kRemovals, "[END]");
    form.cmdRemoval.click();
    EXPECT_EQ(text(kRemovalsList), listFile({}));
}

TEST_F(AdDataUpdateTest, AFailedRemovalStillAdvancesTheDateAndRebuilds) {
    newerData();
    serve(kRemovals, reply(500, ""));
    form.mnuUpdate.click();
    EXPECT_TRUE(statusShown("removal config connect failed."));
    EXPECT_EQ(state.DateUpdate, "12/10/2026");
    EXPECT_NE(text(kHosts).find("127.0.0.1 b.example"), std::string::npos);
    EXPECT_EQ(spywareRuns.size(), 1u);
}

TEST_F(AdDataUpdateTest, NamesThatLeftTheDefaultListLeaveTheHostsFile) {
    lists({"old.example", "a.example", "mine.example"}, {"mine.example"});
    blocking.ReadLocalBanListAndUpdateHostsFile(false);
    ASSERT_NE(text(kHosts).find("127.0.0.1 old.example"), std::string::npos);
    newerData({"a.example", "b.example"});
    serve(kRemovals, reply(404, ""));  // the cut does not wait for the removals
    form.mnuUpdate.click();
    EXPECT_EQ(text(kHosts).find("old.example"), std::string::npos) << text(kHosts);
    EXPECT_NE(text(kHosts).find("127.0.0.1 mine.example"), std::string::npos)
        << "a name of the user's own list stays";
    EXPECT_NE(text(kHosts).find("127.0.0.1 b.example"), std::string::npos);

    // Switching blocking off takes every line of the program out again.
    blocking.RemoveBanListFromHostsFile();
    EXPECT_EQ(text(kHosts), "127.0.0.1 localhost\r\n");
}

TEST_F(AdDataUpdateTest, TheFirstDownloadFillsAMissingListAndSaysSoWithoutTheBody) {
    fake.files.remove(kDefaultList);
    serve(kDomains, served({"a.example", "*b.example"}));
    form.mnuUpdate.click();
    EXPECT_EQ(requested(), Names{kDomains});
    EXPECT_EQ(text(kDefaultList), listFile({"a.example", "b.example"}));
    EXPECT_EQ(form.lblStatus.caption(), "got config because it wasn't here locally ");
    EXPECT_EQ(state.DateUpdate, "11/1/2026");

    fake.files.remove(kDefaultList);
    serve(kDomains, reply(404, ""));
    form.mnuUpdate.click();
    EXPECT_EQ(form.lblStatus.caption(), "config connect failed.");
    EXPECT_FALSE(fake.files.exists(kDefaultList));
}

TEST_F(AdDataUpdateTest, AnUnchangedListOnTheServerIsNeitherRewrittenNorRebuilt) {
    Script domains = reply(200, served({"a.example", "b.example"}));
    domains.etag = "\"d1\"";
    domains.lastModified = "Tue, 01 Dec 2026 10:00:00 GMT";
    Script removals = reply(200, served({"gone.example"}));
    removals.etag = "\"r1\"";
    serve(kDate, "12/1/2026");
    serve(kDomains, domains);
    serve(kRemovals, removals);
    form.mnuUpdate.click();
    EXPECT_TRUE(fake.http.requests[1].etag.empty()) << "no validators kept yet";

    // The server has a newer date, but the same lists.
    state.DateUpdate = "11/1/2026";
    fake.http.requests.clear();
    serve(kDomains, reply(304, ""));
    serve(kRemovals, reply(304, ""));
    const int listWrites = writes(kDefaultList);
    const int hostsWrites = writes(kHosts);
    form.mnuUpdate.click();
    ASSERT_EQ(requested(), (Names{kDate, kDomains, kRemovals}));
    EXPECT_EQ(fake.http.requests[1].etag, "\"d1\"");
    EXPECT_EQ(fake.http.requests[1].lastModified, "Tue, 01 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(fake.http.requests[2].etag, "\"r1\"");
    EXPECT_EQ(fake.http.requests[2].lastModified, "");
    EXPECT_EQ(writes(kDefaultList), listWrites);
    EXPECT_EQ(writes(kHosts), hostsWrites);
    EXPECT_EQ(state.DateUpdate, "12/10/2026");
    EXPECT_EQ(form.lblStatus.caption(),
              "Zorvik  data is Current. \r\n\r\nZorvik  was last updated on 12/10/2026.\r\n\r\n"
              "The latest updates from the Zorvik  Server were available on 12/1/2026.");

    // A list file changed by hand is downloaded whole again; so is every forced download.
    fake.files.put(kDefaultList, listFile({"edited.example"}));
    state.DateUpdate = "11/1/2026";
    fake.http.requests.clear();
    form.mnuUpdate.click();
    EXPECT_TRUE(fake.http.requests[1].etag.empty());
    EXPECT_EQ(fake.http.requests[2].etag, "\"r1\"");
    fake.http.requests.clear();
    form.cmdData2.click();
    EXPECT_TRUE(fake.http.requests[1].etag.empty());
    EXPECT_TRUE(fake.http.requests[2].etag.empty());
}

TEST_F(AdDataUpdateTest, TheAutomaticUpdateRunsOnTheTenthBlockOfEveryThirdStart) {
    const struct {
        int starts;
        bool option;
        int blocked;
        bool runs;
    } cases[] = {
        {3, true, 10, true},  {6, true, 10, true},   {1, true, 10, false}, {2, true, 10, false},
        {4, true, 10, false}, {3, false, 10, false}, {3, true, 9, false},  {3, true, 11, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.starts) + " starts, " + std::to_string(c.blocked));
        fake.userStore.set("Zorvik", "State", "Starts", std::to_string(c.starts - 1));
        update.countStart();
        ASSERT_EQ(update.starts(), c.starts);
        state.bAutoDownload = c.option;
        state.nBlockedToday = c.blocked;
        fake.http.requests.clear();
        newerData();
        form.A.setTab(forms::MainForm::kTabAdTypes);
        update.autoUpdateCheck();
        EXPECT_TRUE(fake.http.requests.empty()) << "nothing runs inside the server's handler";
        fake.clock.advance(0ms);
        EXPECT_EQ(!fake.http.requests.empty(), c.runs);
        EXPECT_EQ(form.A.tab(), c.runs ? forms::MainForm::kTabStartup : 0);
    }
}

TEST_F(AdDataUpdateTest, TheTenthAnsweredAdStartsTheUpdateAfterItsAnswer) {
    fake.userStore.set("Zorvik", "State", "Starts", "2");
    update.countStart();
    EXPECT_EQ(fake.userStore.get("Zorvik", "State", "Starts", ""), "3");
    newerData();
    server.StartWebServerCrap();
    for (int i = 0; i < 10; ++i) {
        const auto id = fake.listener.connect();
        fake.listener.clientSend(id, "GET /ad.gif HTTP/1.0\r\nHost: ads.example\r\n\r\n");
        EXPECT_FALSE(fake.listener.reply(id).empty());
    }
    EXPECT_EQ(state.nBlockedToday, 10);
    EXPECT_TRUE(fake.http.requests.empty());
    fake.clock.advance(0ms);
    EXPECT_EQ(requested(), (Names{kDate, kDomains, kRemovals}));
    // The ads after the tenth start nothing more.
    const auto id = fake.listener.connect();
    fake.listener.clientSend(id, "GET /ad.gif HTTP/1.0\r\nHost: ads.example\r\n\r\n");
    fake.clock.advance(1000ms);
    EXPECT_EQ(requested().size(), 3u);
}

TEST_F(AdDataUpdateTest, OneDownloadAtATime) {
    newerData();
    serve(kDomains, reply(200, served({"a.example"}), 3000ms));
    // Ctrl+D again, the automatic update and the removals, all while the list downloads.
    fake.clock.callAfter(1000ms, [this] {
        form.mnuUpdate.click();
        form.cmdRemoval.click();
        update.UpdateAdData(true);
    });
    form.mnuUpdate.click();
    EXPECT_EQ(requested(), (Names{kDate, kDomains, kRemovals}));
    EXPECT_FALSE(fetch.busy());
}

TEST_F(AdDataUpdateTest, ARequestDuringAnotherDownloadSaysSoOnTheStatusLine) {
    const struct {
        const char* name;
        std::function<void()> click;
    } buttons[] = {
        {"Ctrl+D", [this] { form.mnuUpdate.click(); }},
        {"Download", [this] { form.cmdData.click(); }},
        {"the other Download", [this] { form.cmdData2.click(); }},
        {"HRem", [this] { form.cmdRemoval.click(); }},
    };
    newerData();
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.name);
        form.lblStatus.setCaption("");
        {
            UpdateFetch::Job running(fetch);
            b.click();
            fake.clock.advance(100ms);
        }
        EXPECT_EQ(form.lblStatus.caption(), UpdateFetch::kBusyText);
        EXPECT_TRUE(fake.http.requests.empty());
    }
}

TEST_F(AdDataUpdateTest, AnAutomaticUpdateDueDuringADownloadRunsWhenItEnds) {
    fake.userStore.set("Zorvik", "State", "Starts", "2");
    update.countStart();
    state.bAutoDownload = true;
    newerData();
    serve(kDomains, reply(200, served({"a.example"}), 3000ms));
    fake.clock.callAfter(1000ms, [this] {
        state.nBlockedToday = AdDataUpdate::kAutoBlockedCount;
        update.autoUpdateCheck();
    });
    form.mnuUpdate.click();
    EXPECT_EQ(requested(), (Names{kDate, kDomains, kRemovals}));
    EXPECT_EQ(state.DateUpdate, "12/10/2026");

    form.A.setTab(forms::MainForm::kTabAdTypes);
    fake.clock.advance(0ms);
    EXPECT_EQ(requested(), (Names{kDate, kDomains, kRemovals, kDate}))
        << "the automatic update ran after Ctrl+D's";
    EXPECT_EQ(form.A.tab(), forms::MainForm::kTabStartup);
    fake.clock.advance(10s);
    EXPECT_EQ(requested().size(), 4u) << "and only once";
}

TEST_F(AdDataUpdateTest, AnExitDuringTheUpdateWritesNothing) {
    const struct {
        const char* name;
        platform::Millis at;
    } moments[] = {
        {"during the date", 5ms}, {"during the list", 30ms}, {"during the removals", 2030ms}};
    for (const auto& m : moments) {
        SCOPED_TRACE(m.name);
        state.bExiting = false;
        fake.http.requests.clear();
        newerData();
        serve(kDomains, reply(200, served({"a.example", "b.example"}), 20ms));
        serve(kRemovals, reply(200, served({"a.example"}), 5000ms));
        const std::string hosts = text(kHosts);
        const std::string list = text(kDefaultList);
        const int iniWrites = writes(kIni);
        const platform::Millis start = fake.clock.now();
        fake.clock.callAfter(m.at, [this] { state.bExiting = true; });
        form.mnuUpdate.click();
        EXPECT_LT(fake.clock.now() - start, m.at + 10ms) << "the exit does not wait";
        EXPECT_EQ(fake.http.active, 0);
        EXPECT_EQ(text(kHosts), hosts);
        EXPECT_EQ(writes(kIni), iniWrites);
        EXPECT_EQ(state.DateUpdate, "11/1/2026");
        EXPECT_TRUE(spywareRuns.empty());
        if (m.at < 30ms) {
            EXPECT_EQ(text(kDefaultList), list);
        }
        fake.clock.advance(10000ms);
    }
}

TEST_F(AdDataUpdateTest, AnExitWhileTheRemovalsAreListedLeavesTheHostsFileAlone) {
    Names many;
    for (int i = 0; i < 100; ++i) {
        many.push_back("gone" + std::to_string(i) + ".example");
    }
    fake.files.put(kHosts, text(kHosts) + "127.0.0.1 gone1.example\r\n");
    const std::string hosts = text(kHosts);
    serve(kRemovals, served(many));
    // A handler that runs while the status lines show: the exit.
    fake.clock.callAfter(10ms, [this] { state.bExiting = true; });
    form.cmdRemoval.click();
    EXPECT_EQ(text(kHosts), hosts);
    EXPECT_FALSE(fake.files.exists(kRemovalsList));
}

TEST_F(AdDataUpdateTest, TheAutomaticDownloadSwitchExplainsItself) {
    form.chkAuto.setChecked(false);
    EXPECT_FALSE(state.bAutoDownload);
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].title, "Automatic Update");
    EXPECT_TRUE(fake.dialogs.boxes()[0].text.starts_with(
        "Zorvik can keep itself up to date by automatically downloading ad blocking data from "
        "our server.  This is similar to auto-update for a virus checker.  You may manually "
        "download the ad blocking data by clicking the button below."));
    EXPECT_EQ(form.lblStatus.caption(),
              "Zorvik will no longer automatically download ad blocking data from the Zorvik "
              "Server.  Make sure you choose CTRL-D to get this data once in a while to make "
              "sure you keep Zorvik up to date!");
    EXPECT_EQ(form.lblHelpText.caption(),
              "If you're concerned about privacy, read our license agreement and privacy "
              "statement on the KorvaneSoft site.");

    form.chkAuto.setChecked(true);
    EXPECT_TRUE(state.bAutoDownload);
    EXPECT_EQ(fake.dialogs.boxes().size(), 1u) << "the box shows once";
    EXPECT_EQ(form.lblStatus.caption(),
              "Zorvik will occasionally download ad blocking data from the Zorvik Server "
              "automatically.  This will happen every two weeks or so with normal use.  This "
              "makes sure you have the latest ad server data definitions to keep Zorvik up to "
              "date.");
    EXPECT_EQ(form.lblHelpText.caption(),
              "You can also get this data yourself.  Choose CTRL-D to get it now!");

    state.bLoadingSettings = true;
    form.chkAuto.setChecked(false);
    EXPECT_TRUE(state.bAutoDownload);
}

TEST_F(AdDataUpdateTest, ADefaultListBeyondTheCountsRangeKeepsItsFirstEntries) {
    Names names;
    for (int i = 0; i < 32800; ++i) {
        names.push_back("n" + std::to_string(i) + ".example");
    }
    fake.files.remove(kDefaultList);
    serve(kDomains, served(names));
    form.mnuUpdate.click();
    const core::ListFiles::List list = core::ListFiles::read(fake.files, kDefaultList);
    EXPECT_EQ(list.count, 32767);
    EXPECT_EQ(list.slots[32766], "n32766.example");
}

TEST_F(AdDataUpdateTest, TheListKeepsOnlyNamesTheHostsFileTakes) {
    // A valid name of the greatest length, and lines longer than any host name: cut by a reader,
    // each would block a name nobody listed.
    const std::string label(63, 'a');
    const std::string longest = label + "." + label + "." + label + "." + std::string(61, 'b');
    const std::string tooLong = std::string(259, 'c') + ".com";
    const std::string huge(4880, 'd');
    serve(kDate, "12/1/2026");
    serve(kDomains, served({"a.example", longest, tooLong, "*" + huge, "localhost",
                            "*LOCALHOST.localdomain", "two names.example", "b.example"}));
    serve(kRemovals, served({}));
    form.mnuUpdate.click();

    EXPECT_EQ(text(kDefaultList), listFile({"a.example", longest, "b.example"}));
    const std::string hostsText = text(kHosts);
    EXPECT_NE(hostsText.find("127.0.0.1 " + longest + "\r\n"), std::string::npos);
    EXPECT_EQ(hostsText.find(std::string(249, 'c')), std::string::npos);
    EXPECT_EQ(hostsText.find(std::string(249, 'd')), std::string::npos);
    const auto leftOut = std::count_if(log.begin(), log.end(), [](const std::string& line) {
        return line.starts_with("#Downloaded ad-server entry is not a host name to block");
    });
    EXPECT_EQ(leftOut, 5);

    // A list of nothing but such lines is no list: the old one stays.
    const std::string before = text(kDefaultList);
    serve(kDomains, served({tooLong, "localhost"}));
    form.cmdData.click();
    EXPECT_EQ(text(kDefaultList), before);
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "#The ad-server list holds no host name: the list is kept as it was"),
              log.end());
}

TEST(AdDataUpdateDates, DatesConvertAsTheUpdateServerWritesThem) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"12/1/2026", true},   {" 1/31/2004 \r\n", true}, {"2/29/2024", true},
        {"2/29/2023", false},  {"13/1/2026", false},      {"0/1/2026", false},
        {"1/32/2026", false},  {"2026-12-01", true},      {"1/1/04", true},
        {"", false},           {"<html>", false},         {"1/1", false},
        {"1/1/2026/1", false}, {"a/b/c", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AdDataUpdate::dayNumber(c.text).has_value(), c.valid) << c.text;
    }
    EXPECT_LT(*AdDataUpdate::dayNumber("12/31/2025"), *AdDataUpdate::dayNumber("1/1/2026"));
    EXPECT_EQ(*AdDataUpdate::dayNumber("12/1/2026"), *AdDataUpdate::dayNumber("2026-12-01"));
    EXPECT_EQ(*AdDataUpdate::dayNumber("1/1/04"), *AdDataUpdate::dayNumber("1/1/2004"));
    EXPECT_EQ(*AdDataUpdate::dayNumber("1/1/99"), *AdDataUpdate::dayNumber("1/1/1999"));
}

}  // namespace
}  // namespace halvern::adservers::fixture

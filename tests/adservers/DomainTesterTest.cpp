#include "adservers/DomainTester.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

using namespace std::chrono_literals;
using halvern::adservers::DomainTester;
using halvern::platform::BoxAnswer;
using halvern::platform::FakeHttp;
using Names = std::vector<std::string>;

namespace {

const std::string kDefaultList = "/opt/halvern/zorvikhosts.ini";
const std::string kRemovalsList = "/opt/halvern/removals.ini";
const std::string kDir = "/srv/zshared/";

std::string listFile(const Names& entries) {
    std::string text = "[DomainCount]\r\nN=" + std::to_string(entries.size()) + "\r\n[Domains]\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += "D" + std::to_string(i) + "=" + entries[i] + "\r\n";
    }
    return text;
}

FakeHttp::Script answer(std::string body, std::chrono::milliseconds delay = 10ms) {
    FakeHttp::Script script;
    script.body = std::move(body);
    script.delay = delay;
    return script;
}

std::string url(const std::string& host) {
    return "http://" + host + "/";
}

struct DomainTesterTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    halvern::testing::ProgramParts parts{fake.platform, {"/opt/halvern", "/etc/hosts"}};
    DomainTester tester{parts.context};
    halvern::adservers::DomainTesterForm& f = tester.form();

    DomainTesterTest() {
        tester.show();
        f.txtDir.setText(kDir);
    }
    /// Answers at once.
    void up(const std::string& host) { fake.http.scripts[url(host)] = {answer("hi " + host)}; }
    /// Never answers: every request runs into its 5 s limit.
    void down(const std::string& host) {
        FakeHttp::Script silent;
        silent.delay = 60s;
        fake.http.scripts[url(host)] = {silent};
    }
    int requests(const std::string& address) const {
        int n = 0;
        for (const auto& request : fake.http.requests) {
            n += request.url == address ? 1 : 0;
        }
        return n;
    }
    void test(const Names& entries) {
        fake.files.put(kDefaultList, listFile(entries));
        f.cmdTest.click();
    }
};

TEST_F(DomainTesterTest, ATestRunFilesTheFailuresThenRetriesThemOnce) {
    up("a.example");
    down("b.example");
    const FakeHttp::Script late = answer("late");
    FakeHttp::Script silent;
    silent.delay = 60s;
    fake.http.scripts[url("c.example")] = {silent, late};
    test({"a.example", "b.example", "c.example"});

    EXPECT_EQ(fake.dialogs.boxes().back().text,
              "Click YES for main list of ad servers (zorvikhosts.ini).  \r\nClick NO to retest "
              "removal list (removals.ini)");
    EXPECT_EQ(tester.inHand(), 3) << "all hosts in hand at once";
    EXPECT_FALSE(f.cmdTest.enabled());
    fake.clock.advance(100ms);
    EXPECT_EQ(f.txtResult.text(), "hi a.example");

    fake.clock.advance(15s);  // b's three attempts
    EXPECT_FALSE(tester.testRunning());
    EXPECT_TRUE(f.cmdTest.enabled());
    EXPECT_EQ(f.lstTry.items(), (Names{"a.example", "b.example", "c.example"}));
    EXPECT_EQ(f.lblTryCount.caption(), "3");
    EXPECT_EQ(f.lstFail.items(), Names{"b.example"}) << "c answered its second attempt";
    EXPECT_EQ(f.txtResult.text(), "hi a.example") << "a later attempt leaves the result";
    EXPECT_TRUE(tester.passRunning());
    EXPECT_FALSE(f.cmdTestFail.enabled());

    fake.clock.advance(5s);
    EXPECT_FALSE(tester.passRunning());
    EXPECT_EQ(requests(url("b.example")), 4);
    EXPECT_EQ(requests(url("c.example")), 2);
    EXPECT_EQ(f.lstFail.items(), Names{"b.example"});
    EXPECT_EQ(f.lblTries.caption(), "Fail list tries: 1");
    EXPECT_TRUE(tester.timer().enabled());
    EXPECT_TRUE(f.cmdTestFail.enabled());
}

TEST_F(DomainTesterTest, AnAnswerOverTheReadLimitIsStillAnAnswer) {
    const std::string big(DomainTester::kMaxBody + 1, 'x');
    fake.http.scripts[url("big.example")] = {answer(big)};
    test({"big.example"});
    fake.clock.advance(30s);
    EXPECT_TRUE(f.lstFail.items().empty());
    EXPECT_EQ(requests(url("big.example")), 1) << "one attempt did";
    EXPECT_EQ(f.txtResult.text().size(), DomainTester::kMaxBody);
    EXPECT_EQ(f.lblErr.caption(), "big.example Err#=0 Desc=''");
}

TEST_F(DomainTesterTest, TheCountdownRunsAPassEvery25TicksUntilStopped) {
    down("b.example");
    test({"b.example"});
    fake.clock.advance(20s + 10ms);
    ASSERT_EQ(f.lblTries.caption(), "Fail list tries: 1");
    fake.clock.advance(1s);
    EXPECT_EQ(f.lblStatus.caption(), "Retry Fail List in 24");
    fake.http.scripts[url("b.example")] = {answer("hi b.example", 200ms)};
    fake.clock.advance(23s);
    EXPECT_EQ(f.lblStatus.caption(), "Retry Fail List in 1");
    fake.clock.advance(1s);
    EXPECT_EQ(f.lblStatus.caption(), "Retrying Fail List NOW");
    EXPECT_FALSE(tester.timer().enabled()) << "off while the pass runs";
    fake.clock.advance(300ms);
    EXPECT_TRUE(f.lstFail.items().empty());
    EXPECT_EQ(f.lblFailStatus.caption(), "Worked! b.example");
    EXPECT_EQ(f.txtResult.text(), "hi b.example");
    EXPECT_EQ(f.lblTries.caption(), "Fail list tries: 2");
    EXPECT_EQ(tester.nRetryCountdown(), 25);

    f.cmdStopTimer.click();
    fake.clock.advance(60s);
    EXPECT_EQ(f.lblTries.caption(), "Fail list tries: 2");
    EXPECT_EQ(tester.nRetryCountdown(), 25);
}

TEST_F(DomainTesterTest, AnEmptyFailListStillCountsAPass) {
    f.cmdTestFail.click();
    EXPECT_EQ(f.lblTries.caption(), "Fail list tries: 1");
    EXPECT_TRUE(tester.timer().enabled());
}

TEST_F(DomainTesterTest, AQuickFailureIsAskedElevenTimesPerAttemptASlowOneOnce) {
    down("slow.example");
    test({"quick.example", "slow.example"});  // quick.example is unknown: refused at once
    fake.clock.advance(21s);
    EXPECT_EQ(requests(url("quick.example")), 3 * 11 + 11);
    EXPECT_EQ(requests(url("slow.example")), 3 + 1);
    EXPECT_EQ(f.lstFail.items(), (Names{"quick.example", "slow.example"}));
    EXPECT_EQ(f.lblErr.caption(), "slow.example Err#=0 Desc='Timeout was reached'");
    for (const auto& request : fake.http.requests) {
        EXPECT_EQ(request.timeout, 5000ms);
    }
}

TEST_F(DomainTesterTest, ManyHostsAreInHandUpToTheLimit) {
    Names hosts;
    for (int i = 0; i < 600; ++i) {
        hosts.push_back("h" + std::to_string(i) + ".example");
        up(hosts.back());
    }
    test(hosts);
    EXPECT_EQ(tester.inHand(), DomainTester::kStartsPerTurn) << "one turn of the loop starts a few";
    fake.clock.advance(0ms);
    EXPECT_EQ(tester.inHand(), DomainTester::kMaxInFlight);
    EXPECT_EQ(fake.http.active, DomainTester::kMaxInFlight);
    fake.clock.advance(1s);
    EXPECT_EQ(f.lstTry.listCount(), 600);
    EXPECT_TRUE(f.lstFail.items().empty());
    EXPECT_EQ(f.lblTries.caption(), "Fail list tries: 1");
}

TEST_F(DomainTesterTest, PauseFinishesTheHostsInHandAndTheNextRunResumesThere) {
    Names hosts;
    for (int i = 0; i < 300; ++i) {
        hosts.push_back("h" + std::to_string(i) + ".example");
        up(hosts.back());
    }
    test(hosts);
    fake.clock.advance(0ms);
    f.Command2.click();
    fake.clock.advance(1s);
    EXPECT_FALSE(tester.testRunning());
    EXPECT_EQ(f.lstTry.listCount(), DomainTester::kMaxInFlight);
    EXPECT_EQ(f.lblTries.caption(), "Fail list tries: 1") << "a pass follows the paused run";

    test(hosts);
    fake.clock.advance(1s);
    ASSERT_EQ(f.lstTry.listCount(), 300 + 1);
    EXPECT_EQ(f.lstTry.item(DomainTester::kMaxInFlight), hosts[DomainTester::kMaxInFlight - 1])
        << "the last host tested is tested again";

    // After a whole run only the last entry is tested again, unless the list is cleared.
    f.Command3.click();
    test(hosts);
    fake.clock.advance(1s);
    EXPECT_EQ(f.lstTry.listCount(), 300);
    test(hosts);
    fake.clock.advance(1s);
    ASSERT_EQ(f.lstTry.listCount(), 301);
    EXPECT_EQ(f.lstTry.item(300), hosts.back());
}

TEST_F(DomainTesterTest, PauseStopsARetryPassWithoutCountingIt) {
    down("b.example");
    test({"b.example"});
    fake.clock.advance(15s + 10ms);
    ASSERT_TRUE(tester.passRunning());
    f.Command2.click();
    fake.clock.advance(5s);
    EXPECT_FALSE(tester.passRunning());
    EXPECT_EQ(f.lblTries.caption(), "Fail Tries: 0");
    EXPECT_FALSE(tester.timer().enabled());
    EXPECT_TRUE(f.cmdTestFail.enabled());
}

TEST_F(DomainTesterTest, AHostFailingInTwoRunsIsListedTwiceAndAWorkingRetryClearsBoth) {
    down("b.example");
    test({"b.example"});
    fake.clock.advance(21s);
    test({"b.example"});
    fake.clock.advance(15s + 10ms);
    EXPECT_EQ(f.lstFail.items(), (Names{"b.example", "b.example"}));
    fake.clock.advance(5s);
    up("b.example");
    f.cmdTestFail.click();
    fake.clock.advance(100ms);
    EXPECT_TRUE(f.lstFail.items().empty());
}

TEST_F(DomainTesterTest, NamesOurHostsFileBlocksAreSkippedAndNeverFailed) {
    fake.files.put("/etc/hosts",
                   "127.0.0.1 localhost\r\n127.0.0.1 Blocked.example\r\n"
                   "# 127.0.0.1 comment.example\r\n");
    down("comment.example");
    test({"blocked.example", "comment.example"});
    EXPECT_EQ(f.lblErr.caption(), "skipping (blocked in /etc/hosts) blocked.example");
    fake.clock.advance(21s);
    EXPECT_EQ(requests(url("blocked.example")), 0);
    EXPECT_EQ(f.lstTry.items(), (Names{"blocked.example", "comment.example"}));
    EXPECT_EQ(f.lstFail.items(), Names{"comment.example"});

    // Blocked since it failed: not asked (our own server would answer), left on the list.
    fake.files.put("/etc/hosts", "127.0.0.1 comment.example\n");
    f.cmdTestFail.click();
    EXPECT_EQ(f.lblFailStatus.caption(), "skipping (blocked in /etc/hosts) comment.example");
    EXPECT_EQ(requests(url("comment.example")), 4);
    EXPECT_EQ(f.lstFail.items(), Names{"comment.example"});
}

TEST_F(DomainTesterTest, OnlyWebAddressesAreFetched) {
    fake.http.scripts["https://s.example/x"] = {answer("secure")};
    test({"file:///etc/passwd", "FTP://f.example/", "https://s.example/x"});
    fake.clock.advance(21s);
    ASSERT_EQ(fake.http.requests.size(), 1u);
    EXPECT_EQ(fake.http.requests[0].url, "https://s.example/x");
    EXPECT_TRUE(f.lstFail.items().empty());
    EXPECT_EQ(DomainTester::urlFor("ads.example/p"), "http://ads.example/p");
    EXPECT_EQ(DomainTester::urlFor("HTTP://ads.example"), "HTTP://ads.example");
    EXPECT_EQ(DomainTester::urlFor("gopher://ads.example"), "");
}

TEST_F(DomainTesterTest, NoTestsTheRemovalsList) {
    up("gone.example");
    fake.files.put(kRemovalsList, listFile({"gone.example"}));
    fake.dialogs.answerNext(BoxAnswer::No);
    f.cmdTest.click();
    fake.clock.advance(1s);
    EXPECT_EQ(f.lstTry.items(), Names{"gone.example"});
}

TEST_F(DomainTesterTest, OkAndTheExitStopEveryTransfer) {
    down("b.example");
    test({"b.example", "c.example"});
    EXPECT_GT(fake.http.active, 0);
    f.cmdOK.click();
    EXPECT_FALSE(f.frmTestDomains.visible());
    EXPECT_EQ(fake.http.active, 0);
    EXPECT_EQ(tester.inHand(), 0);

    tester.show();
    EXPECT_TRUE(f.lstTry.items().empty());
    EXPECT_EQ(f.lblTries.caption(), "Fail Tries: 0");
    test({"b.example"});
    parts.state.bExiting = true;
    fake.clock.advance(6s);
    EXPECT_EQ(fake.http.active, 0);
    EXPECT_FALSE(f.frmTestDomains.visible());
}

TEST_F(DomainTesterTest, OpenButtonsOpenTheServerCopies) {
    f.txtDir.setText("/srv/zshared");
    f.cmdOpenDomains.click();
    f.cmdOpenRemovals.click();
    EXPECT_EQ(fake.launcher.edited,
              (Names{"/srv/zshared/domains.txt", "/srv/zshared/removals.txt"}));
}

struct FixTest : DomainTesterTest {
    /// Fails the hosts through a test run and its retry pass, then stops the countdown.
    void fail(const Names& hosts) {
        for (const auto& host : hosts) {
            down(host);
        }
        test(hosts);
        fake.clock.advance(21s);
        f.cmdStopTimer.click();
        fake.dialogs.clear();
    }
};

TEST_F(FixTest, CutsWholeLinesFromDomainsAndAddsBeforeTheEndLine) {
    struct Case {
        const char* name;
        std::string domains, domainsAfter, removals, removalsAfter;
    };
    const std::string stamp = "#12/10/2026 9:00:21 AM";
    const std::vector<Case> cases = {
        {"crlf with end", "a.example\r\nb.example\r\nxb.example\r\n*b.example\r\n[END]",
         "a.example\r\nxb.example\r\n*b.example\r\n[END]", "old.example\r\n[END]",
         "old.example\r\n" + stamp + "\r\nb.example\r\n[END]"},
        {"lf without end", "b.example\na.example\nb.example", "a.example\n", "old.example\n",
         "old.example\n" + stamp + "\nb.example\n"},
        {"no line break", "a.example", "a.example", "old.example",
         "old.example\r\n" + stamp + "\r\nb.example\r\n"},
        {"end only", "[END]", "[END]", "[END]", stamp + "\r\nb.example\r\n[END]"},
        {"already listed", "b.example\r\n[END]", "[END]", "# b.example\r\n b.example \r\n[END]",
         "# b.example\r\n b.example \r\n" + stamp + "\r\n[END]"},
        {"only inside a longer name", "[END]", "[END]", "xb.example\r\n#b.example\r\n[END]\r\n",
         "xb.example\r\n#b.example\r\n" + stamp + "\r\nb.example\r\n[END]\r\n"},
    };
    fail({"b.example"});
    for (const Case& c : cases) {
        fake.files.put(kDir + "domains.txt", c.domains);
        fake.files.put(kDir + "removals.txt", c.removals);
        f.cmdUpdate.click();
        EXPECT_EQ(fake.files.text(kDir + "domains.txt"), c.domainsAfter) << c.name;
        EXPECT_EQ(fake.files.text(kDir + "removals.txt"), c.removalsAfter) << c.name;
    }
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(FixTest, AMissingOrUnreadableFileIsReportedAndNeverWritten) {
    fail({"b.example"});
    fake.files.put(kDir + "removals.txt", "[END]");
    f.cmdUpdate.click();
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].text, kDir + "domains.txt does not exist");
    EXPECT_FALSE(fake.files.exists(kDir + "domains.txt"));
    EXPECT_NE(fake.files.text(kDir + "removals.txt").find("b.example"), std::string::npos);

    fake.dialogs.clear();
    fake.files.put(kDir + "domains.txt", "b.example\r\n[END]");
    fake.files.setUnreadable(kDir + "domains.txt");
    fake.files.remove(kDir + "removals.txt");
    const int writes = fake.files.writes(kDir + "domains.txt");
    f.cmdUpdate.click();
    ASSERT_EQ(fake.dialogs.boxes().size(), 2u);
    EXPECT_TRUE(fake.dialogs.boxes()[0].text.starts_with(kDir + "domains.txt could not be read"))
        << fake.dialogs.boxes()[0].text;
    EXPECT_EQ(fake.dialogs.boxes()[1].text, kDir + "removals.txt does not exist");
    EXPECT_EQ(fake.files.writes(kDir + "domains.txt"), writes);
    EXPECT_FALSE(fake.files.exists(kDir + "removals.txt"));
}

TEST_F(FixTest, AFileThatCannotBeWrittenIsReportedWithTheSystemsReason) {
    fail({"b.example"});
    struct Case {
        const char* readOnly;
        const char* box;
        bool domainsWritten, removalsWritten;
    };
    const std::vector<Case> cases = {
        {"domains.txt", "domains.txt could not be written (Permission denied) and was not changed",
         false, true},
        {"removals.txt",
         "removals.txt could not be written (Permission denied) and was not changed", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.readOnly);
        fake.dialogs.clear();
        fake.files.put(kDir + "domains.txt", "b.example\r\n[END]");
        fake.files.put(kDir + "removals.txt", "[END]");
        fake.files.setReadOnly(kDir + c.readOnly);
        f.cmdUpdate.click();
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes()[0].text, kDir + c.box);
        EXPECT_EQ(fake.dialogs.boxes()[0].icon, halvern::platform::BoxIcon::Warning);
        EXPECT_EQ(fake.files.text(kDir + "domains.txt") == "[END]", c.domainsWritten);
        EXPECT_EQ(fake.files.text(kDir + "removals.txt") != "[END]", c.removalsWritten);
        fake.files.setReadOnly(kDir + c.readOnly, false);
    }
    EXPECT_EQ(f.lblStatus.caption(),
              kDir + "removals.txt could not be written (Permission denied)");
}

TEST_F(FixTest, FixTurnsTheCountdownOff) {
    fail({"b.example"});
    f.cmdTestFail.click();
    fake.clock.advance(5s + 10ms);
    ASSERT_TRUE(tester.timer().enabled());
    f.cmdUpdate.click();
    EXPECT_FALSE(tester.timer().enabled());
}

}  // namespace

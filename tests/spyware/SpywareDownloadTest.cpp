#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SpywareFixture.h"

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

namespace halvern::testing {
namespace {

using SpywareDownload = SpywareFixture;

const std::string kAddress = "https://updates.halvern.org/zshared/spyware.txt";
const std::string kIncomplete =
    "Internet download of the Zorvik  Spyware programs failed or didn't complete.  Please try "
    "again later.";

void serve(FakePlatform& fake, const std::string& body, int status = 200) {
    platform::FakeHttp::Script script;
    script.status = status;
    script.body = body;
    fake.http.scripts[kAddress] = {script};
}

TEST_F(SpywareDownload, AddsNewProgramsAsWatchedAndAskedAboutFirst) {
    serve(fake, "spy.exe:Shows ads\r\n[END]");
    spyware.ProcessSpyWare(true);
    ASSERT_EQ(fake.http.requests.size(), 1u);
    EXPECT_EQ(fake.http.requests[0].url, kAddress);
    EXPECT_EQ(fake.http.requests[0].timeout, 20000ms);
    EXPECT_EQ(fake.files.text(kList),
              "[Spyware]\r\nspy.exe=1:0:Shows ads\r\n[AppCount]\r\nN=1\r\n");
    EXPECT_EQ(parts.form.lblStatus.caption(), "Processing SpyWare detection for spy.exe");
    EXPECT_EQ(parts.form.lblHelpText.caption(), "Processing Known Spyware programs...");
    EXPECT_FALSE(parts.form.ProgressBar1.visible());
    // The scanner watches the new program at once.
    EXPECT_EQ(spyware.scanner.names(), Names{"spy.exe"});
}

TEST_F(SpywareDownload, KeepsTheUsersChoicesAndProgramsTheServerDropped) {
    writeList({"spy.exe=0:1:Old text", "mine.exe=1:1:kept", "half.exe=1", "ask.exe=1:"});
    serve(fake,
          "# comment\r\n\r\n   \r\nspy.exe:Shows ads:more\r\n  new.exe : New one \r\nhalf.exe:h\r\n"
          "ask.exe:a\r\nbad=name.exe:x\r\n[END]");
    spyware.ProcessSpyWare(true);
    EXPECT_EQ(fake.files.text(kList),
              "[Spyware]\r\nspy.exe=0:1:Shows ads\r\nmine.exe=1:1:kept\r\nhalf.exe=1:0:h\r\n"
              "ask.exe=1:0:a\r\nnew.exe=1:0:New one\r\n[AppCount]\r\nN=4\r\n");
    EXPECT_TRUE(logged("#spyware.txt: 'bad=name.exe' cannot be a list entry; skipped."));
}

TEST_F(SpywareDownload, TakesLinesEndedByLfAloneAsWell) {
    for (const std::string body : {"# list\nspy.exe:Shows ads\n\nnew.exe:New one\n[END]",
                                   "# list\r\nspy.exe:Shows ads\n\r\nnew.exe:New one\r\n[END]"}) {
        SCOPED_TRACE(body);
        writeList({"spy.exe=0:1:Old text"});
        serve(fake, body);
        spyware.ProcessSpyWare(true);
        EXPECT_EQ(fake.files.text(kList),
                  "[Spyware]\r\nspy.exe=0:1:Shows ads\r\nnew.exe=1:0:New one\r\n[AppCount]\r\n"
                  "N=2\r\n");
        EXPECT_EQ(spyware.scanner.names(), (Names{"x", "new.exe"}));
    }
}

TEST_F(SpywareDownload, AFailedOrIncompleteDownloadChangesNothing) {
    struct Case {
        const char* what;
        bool scripted;
        int status;
        std::string body;
        bool showStatus;
        std::string status_line;
    };
    const std::string failed = "spyware.txt connect failed.";
    const Case cases[] = {
        {"unreachable", false, 200, "", true, failed},
        {"unreachable, quiet", false, 200, "", false, failed},
        {"not found", true, 404, "spy.exe:x\r\n[END]", true, failed},
        {"empty", true, 200, "", true, failed},
        {"line break after the end", true, 200, "spy.exe:x\r\n[END]\r\n", true, kIncomplete},
        {"no end", true, 200, "spy.exe:x\r\nother.exe:y", true, kIncomplete},
        {"LF after the end", true, 200, "spy.exe:x\n[END]\n", true, kIncomplete},
        {"CR alone", true, 200, "spy.exe:x\r[END]", true, kIncomplete},
        {"end in lower case", true, 200, "spy.exe:x\r\n[end]", true, kIncomplete},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeList({"spy.exe=0:1:Old text"});
        const std::string before = fake.files.text(kList);
        fake.http.scripts.clear();
        if (c.scripted) {
            serve(fake, c.body, c.status);
        }
        spyware.ProcessSpyWare(c.showStatus);
        EXPECT_EQ(fake.files.text(kList), before);
        EXPECT_EQ(parts.form.lblStatus.caption(), c.status_line);
    }
    EXPECT_TRUE(logged("#spyware.txt: HTTP error 404"));
}

TEST_F(SpywareDownload, ShowsEachLineWithAPauseAndItsProgress) {
    serve(fake, "a-prog:1\r\n#skip\r\nb-prog:2\r\nc-prog:3\r\n[END]");
    std::vector<int> values;
    parts.form.ProgressBar1.changed().connect([this, &values] {
        if (parts.form.ProgressBar1.visible() &&
            (values.empty() || values.back() != parts.form.ProgressBar1.value())) {
            values.push_back(parts.form.ProgressBar1.value());
        }
    });
    std::vector<std::string> shown;
    parts.form.lblStatus.changed().connect(
        [this, &shown] { shown.push_back(parts.form.lblStatus.caption()); });
    const auto start = fake.clock.now();
    spyware.ProcessSpyWare(true);
    // 10 ms for the answer, then 50 ms per program shown.
    EXPECT_EQ(fake.clock.now() - start, 160ms);
    EXPECT_EQ(parts.form.ProgressBar1.max(), 4);
    EXPECT_EQ(values, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(shown, (Names{"Processing SpyWare detection for a-prog",
                            "Processing SpyWare detection for b-prog",
                            "Processing SpyWare detection for c-prog"}));
    EXPECT_NE(fake.files.text(kList).find("[AppCount]\r\nN=3\r\n"), std::string::npos);
}

TEST_F(SpywareDownload, UsesTheConnectedServerAndRunsOneAtATime) {
    spyware.download.updateServer = [] { return std::string("http://127.0.0.2/"); };
    platform::FakeHttp::Script script;
    script.body = "spy.exe:x\r\nb.exe:y\r\n[END]";
    fake.http.scripts["http://127.0.0.2/zshared/spyware.txt"] = {script};
    // A second download asked for while the first shows its lines does nothing.
    fake.clock.callAfter(30ms, [this] { spyware.ProcessSpyWare(true); });
    spyware.ProcessSpyWare(true);
    EXPECT_EQ(fake.http.requests.size(), 1u);
    EXPECT_EQ(fake.http.requests[0].url, "http://127.0.0.2/zshared/spyware.txt");
    EXPECT_EQ(fake.files.writes(kList), 1);
}

TEST_F(SpywareDownload, AnExitOrAFailedWriteLeavesTheListAsItWas) {
    writeList({"spy.exe=0:1:Old text"});
    const std::string before = fake.files.text(kList);
    serve(fake, "spy.exe:Shows ads\r\nb.exe:y\r\n[END]");
    fake.clock.callAfter(40ms, [this] { parts.state.bExiting = true; });
    spyware.ProcessSpyWare(true);
    EXPECT_EQ(fake.files.text(kList), before);
    EXPECT_EQ(fake.files.writes(kList), 0);
    EXPECT_FALSE(parts.form.ProgressBar1.visible());

    parts.state.bExiting = false;
    fake.files.setReadOnly(kList);
    spyware.ProcessSpyWare(true);
    EXPECT_EQ(fake.files.text(kList), before);
    EXPECT_TRUE(logged("could not be written; it stays as it was."));
    EXPECT_FALSE(parts.form.ProgressBar1.visible());
}

}  // namespace
}  // namespace halvern::testing

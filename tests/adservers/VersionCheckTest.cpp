#include "adservers/VersionCheck.h"

#include <gtest/gtest.h>

#include "UpdateFixture.h"

namespace halvern::adservers::fixture {
namespace {

class VersionCheckTest : public UpdateTest {
protected:
    std::string running = "2.1.4";
    int exits = 0;
    std::unique_ptr<VersionCheck> check;

    void click(const std::string& runningVersion) {
        check = std::make_unique<VersionCheck>(context, fetch, runningVersion, [this] { ++exits; });
        fake.dialogs.clear();
        form.mnuVersion.click();
    }
    const platform::FakeDialogs::Box& box() const { return fake.dialogs.boxes().at(0); }
};

TEST_F(VersionCheckTest, TheBoxesFollowTheNumbersComparedAsNumbers) {
    const struct {
        const char* running;
        const char* body;
        bool offered;
        const char* features;
    } cases[] = {
        {"2.1.4", "Version:2.1.5 Faster lists\r\nFewer popups", true,
         "Faster lists\r\nFewer popups"},
        {"2.1.4", "Version:2.1.4 Faster lists", false, "Faster lists"},
        {"2.1.5", "Version:2.1.4 Older", false, "Older"},
        {"2.1.10", "Version:2.1.9 Older", false, "Older"},
        {"2.1.9", "Version:2.1.10 Newer", true, "Newer"},
        {"4.2.8", "Version:10.0.0\r\nMuch newer", true, "Much newer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        serve("/zshared/version.txt", c.body);
        fake.dialogs.answerNext(platform::BoxAnswer::No);
        click(c.running);
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
        if (c.offered) {
            const std::string newest =
                std::string(c.body).substr(8, std::string(c.body).find_first_of(" \r", 8) - 8);
            EXPECT_EQ(box().title, "A New Version is Available");
            EXPECT_EQ(box().buttons, platform::BoxButtons::YesNo);
            EXPECT_EQ(box().text, "The newer version (" + newest +
                                      ") of Zorvik  is available. You have version (" + c.running +
                                      ")\r\n" + c.features +
                                      "\r\n\r\nWould you like to download this version now?\r\n"
                                      "https://halvern.org/download.asp");
        } else {
            EXPECT_EQ(box().buttons, platform::BoxButtons::Ok);
            EXPECT_EQ(box().text, "You have the latest version (" + std::string(c.running) +
                                      ").  It has these features that the previous version did "
                                      "not:\r\n" +
                                      c.features);
        }
    }
    EXPECT_EQ(exits, 0);
    EXPECT_TRUE(fake.launcher.opened.empty());
}

TEST_F(VersionCheckTest, AnythingButAVersionNumberOffersNothing) {
    const std::string unavailable =
        "You have the latest version (2.1.4).  It has these features that the previous version "
        "did not:\r\nTemporarily unavailable...  Please try agian later.";
    const Script cases[] = {
        reply(404, "<html>Not Found</html>"),
        reply(200, "<html><head><title>Error</title></head><body>oops</body></html>"),
        reply(200, "Version:"),
        reply(200, "Version:2.1"),
        reply(200, "Version:2.1.x new"),
        reply(200, "Version:9.9.9.9 new"),
        reply(200, "Version:1234567890.1.1 new"),
        failure("Could not connect", 10ms),
    };
    for (const Script& script : cases) {
        SCOPED_TRACE(script.body);
        serve("/zshared/version.txt", script);
        click("2.1.4");
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
        EXPECT_EQ(box().text, unavailable);
    }
}

TEST_F(VersionCheckTest, YesOpensTheInstallerAndExits) {
    serve("/zshared/version.txt", "Version:9.0.0 All new");
    fake.dialogs.answerNext(platform::BoxAnswer::Yes);
    click("4.2.8");
    EXPECT_EQ(requested(), Names{"/zshared/version.txt"});
    EXPECT_EQ(fake.http.requests[0].timeout, 15000ms);
    EXPECT_EQ(fake.launcher.opened, Names{kServer + "/files/zorvik.exe"});
    EXPECT_EQ(exits, 1);
}

TEST_F(VersionCheckTest, AskedDuringAnotherDownloadItSaysSoAndAsksNothing) {
    serve("/zshared/version.txt", "Version:9.0.0 All new");
    {
        UpdateFetch::Job other(fetch);
        ASSERT_TRUE(other.started());
        click("4.2.8");
        EXPECT_TRUE(fake.http.requests.empty());
        EXPECT_TRUE(fake.dialogs.boxes().empty());
        EXPECT_EQ(form.lblStatus.caption(), UpdateFetch::kBusyText);
    }
    fake.dialogs.answerNext(platform::BoxAnswer::No);
    form.mnuVersion.click();
    EXPECT_EQ(requested(), Names{"/zshared/version.txt"});
}

TEST_F(VersionCheckTest, NewDoesNothingWhileTheSettingsLoad) {
    serve("/zshared/version.txt", "Version:9.0.0 All new");
    check = std::make_unique<VersionCheck>(context, fetch, "4.2.8", [this] { ++exits; });
    state.bLoadingSettings = true;
    form.cmdNew.click();
    EXPECT_TRUE(fake.http.requests.empty());
    state.bLoadingSettings = false;
    fake.dialogs.answerNext(platform::BoxAnswer::No);
    form.cmdNew.click();
    EXPECT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(exits, 0);
}

}  // namespace
}  // namespace halvern::adservers::fixture

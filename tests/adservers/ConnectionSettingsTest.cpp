#include "adservers/ConnectionSettings.h"

#include <gtest/gtest.h>

#include "UpdateFixture.h"

namespace halvern::adservers::fixture {
namespace {

const std::string kTesting = "Testing Connection to Zorvik . Please wait...";
const std::string kTestingDirect =
    "Testing Connection to Zorvik  ad definitions site  (no proxy server used). Please wait...";

class ConnectionSettingsTest : public UpdateTest {
protected:
    std::string browserProxy;
    ConnectionSettings connection{context, fetch, [this] { return browserProxy; }};
};

TEST_F(ConnectionSettingsTest, ASuccessfulTestSaysSoInABox) {
    serve("/zshared/domains.txt", served({"a.example"}));
    form.mnuTest.click();

    EXPECT_EQ(requested(), Names{"/zshared/domains.txt"});
    EXPECT_EQ(fake.http.requests[0].timeout, 20000ms);
    EXPECT_EQ(form.A.tab(), forms::MainForm::kTabStartup);
    EXPECT_EQ(statuses, (Names{kTesting, kTestingDirect, "Connection Tests Concluded."}));
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].text,
              "The test was a success. Zorvik  was able to connect to the internet (no proxy "
              "server used).");
    EXPECT_EQ(fake.dialogs.boxes()[0].buttons, platform::BoxButtons::Ok);
}

TEST_F(ConnectionSettingsTest, AFailedTestGivesTheReason) {
    const struct {
        Script script;
        const char* reason;
    } cases[] = {
        {reply(404, "gone"), "HTTP error 404"},
        {reply(200, ""), "No Response Returned"},
        {reply(200, "x", 30000ms), "Timeout was reached"},
    };
    for (const auto& c : cases) {
        fake.dialogs.clear();
        serve("/zshared/domains.txt", c.script);
        form.cmdTestConn.click();
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
        EXPECT_EQ(fake.dialogs.boxes()[0].text,
                  "\r\n0\r\nThe test of your internet connection failed.\r\nReason: " +
                      std::string(c.reason) +
                      "\r\n\r\nAre you sure you're connected to the internet?\r\n\r\n"
                      "If you use Window ME or NT, some users can't connect. In this case, "
                      "simply download the latest version at any time to get the latest "
                      "updates.");
        EXPECT_EQ(form.lblStatus.caption(), "Connection Tests Concluded.");
    }
}

TEST_F(ConnectionSettingsTest, WithAProxyNameTheTestEndsWithoutABox) {
    form.txtProxyName.setText("proxy.lan:3128");
    statuses.clear();
    serve("/zshared/domains.txt", reply(404, ""));
    form.mnuTest.click();
    EXPECT_EQ(fake.http.requests.size(), 11u);
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    EXPECT_EQ(statuses, (Names{kTesting, "Connection Tests Concluded."}));
}

TEST_F(ConnectionSettingsTest, NothingWhileTheSettingsLoadOrAnotherDownloadRuns) {
    form.lblStatus.setCaption("");
    state.bLoadingSettings = true;
    form.mnuTest.click();
    state.bLoadingSettings = false;
    EXPECT_EQ(form.lblStatus.caption(), "");
    const std::function<void()> clicks[] = {[this] { form.mnuTest.click(); },
                                            [this] { form.cmdTestConn.click(); }};
    for (const auto& click : clicks) {
        form.lblStatus.setCaption("");
        UpdateFetch::Job running(fetch);
        click();
        EXPECT_EQ(form.lblStatus.caption(), UpdateFetch::kBusyText) << "said, not silent";
    }
    EXPECT_TRUE(fake.http.requests.empty());
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(ConnectionSettingsTest, TheProxyFieldShowsTheRestartNotice) {
    form.txtProxyName.setText("proxy.lan");
    EXPECT_EQ(form.lblStatus.caption(),
              "Proxy settings will only take effect when you RESTART Zorvik . \r\n\r\n"
              "When you're done typing in the proxy server name: \r\n--1) Close Zorvik  \r\n"
              "--2) Restart Zorvik  \r\n--3) Choose Settings-Test Connection to Zorvik  to test "
              "your Proxy Server Name settings.");
    form.lblStatus.setCaption("loading");
    state.bLoadingSettings = true;
    form.txtProxyName.setText("from.the.settings");
    EXPECT_EQ(form.lblStatus.caption(), "loading");
}

TEST_F(ConnectionSettingsTest, LookupFillsTheFieldOrHidesItself) {
    browserProxy = "http=proxy.lan:80;https=proxy.lan:443";
    form.cmdGuessProxy2.click();
    EXPECT_EQ(form.txtProxyName.text(), "http=proxy.lan:80;https=proxy.lan:443");
    EXPECT_TRUE(form.cmdGuessProxy2.visible());

    browserProxy.clear();
    form.cmdGuessProxy2.click();
    EXPECT_FALSE(form.cmdGuessProxy2.visible());
    EXPECT_EQ(form.txtProxyName.text(), "http=proxy.lan:80;https=proxy.lan:443");
}

TEST_F(ConnectionSettingsTest, TheStoredProxyReachesTheTransfers) {
    state.ProxyName = "proxy.lan";
    state.ProxyPort = "3128";
    connection.applyProxy();
    EXPECT_EQ(fake.http.proxy, "proxy.lan:3128");
    state.ProxyName.clear();
    connection.applyProxy();
    EXPECT_EQ(fake.http.proxy, "") << "no setting: the environment decides";
}

}  // namespace
}  // namespace halvern::adservers::fixture

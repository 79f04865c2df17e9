#include "adservers/UpdateFetch.h"

#include <gtest/gtest.h>

#include "UpdateFixture.h"

namespace halvern::adservers::fixture {
namespace {

class UpdateFetchTest : public UpdateTest {
protected:
    const std::string url = kServer + "/zshared/domains.txt";
};

TEST_F(UpdateFetchTest, AQuickEmptyAnswerIsAskedElevenTimesASlowOneOnce) {
    const struct {
        platform::Millis delay;
        std::size_t attempts;
    } cases[] = {{0ms, 11}, {10ms, 11}, {499ms, 11}, {500ms, 1}, {600ms, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.delay.count());
        fake.http.requests.clear();
        fake.http.scripts[url] = {reply(200, "", c.delay)};
        std::string errorText = "before";
        const platform::Millis started = fake.clock.now();
        EXPECT_EQ(fetch.FetchURL(url, 20, errorText), "");
        EXPECT_EQ(fake.http.requests.size(), c.attempts);
        EXPECT_EQ(errorText, "No Response Returned");
        EXPECT_EQ(fake.clock.now() - started, c.delay * static_cast<int>(c.attempts));
    }
}

TEST_F(UpdateFetchTest, TheFirstBodyEndsTheRetries) {
    fake.http.scripts[url] = {reply(200, ""), reply(200, ""), reply(200, "a\r\n[END]")};
    std::string errorText = "kept";
    EXPECT_EQ(fetch.FetchURL(url, 20, errorText), "a\r\n[END]");
    EXPECT_EQ(fake.http.requests.size(), 3u);
    EXPECT_EQ(errorText, "kept") << "success leaves the error text as it was";
}

TEST_F(UpdateFetchTest, TheTimeoutIsTheCallersOrThirtySeconds) {
    const struct {
        int seconds;
        platform::Millis timeout;
    } cases[] = {{12, 12000ms}, {1, 1000ms}, {0, 30000ms}, {-5, 30000ms}};
    for (const auto& c : cases) {
        fake.http.requests.clear();
        fake.http.scripts[url] = {reply(200, "x")};
        std::string errorText;
        fetch.FetchURL(url, c.seconds, errorText);
        ASSERT_EQ(fake.http.requests.size(), 1u);
        EXPECT_EQ(fake.http.requests[0].timeout, c.timeout) << c.seconds;
    }
}

TEST_F(UpdateFetchTest, FailuresSayWhyAndOnlyQuickOnesAreRepeated) {
    const struct {
        Script script;
        std::string error;
        std::size_t attempts;
    } cases[] = {
        {reply(404, "Not Found"), "HTTP error 404", 11},
        {reply(500, ""), "HTTP error 500", 11},
        {failure("Connection refused", 10ms), "Connection refused", 11},
        // A server that never answers: the transfer's own time limit ends the one attempt.
        {reply(200, "late", 60000ms), "Timeout was reached", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        fake.http.requests.clear();
        fake.http.scripts[url] = {c.script};
        std::string errorText;
        EXPECT_EQ(fetch.FetchURL(url, 20, errorText), "");
        EXPECT_EQ(errorText, c.error);
        EXPECT_EQ(fake.http.requests.size(), c.attempts);
    }
    std::string errorText;
    EXPECT_EQ(fetch.FetchURL(kServer + "/unscripted", 20, errorText), "");
    EXPECT_EQ(errorText, "Could not resolve host");
}

TEST_F(UpdateFetchTest, OnlyWebAddressesAreFetched) {
    for (const std::string bad :
         {"file:///etc/passwd", "ftp://updates.test/x", "/zshared/x", "gopher://a", "httpx://a"}) {
        std::string errorText;
        EXPECT_EQ(fetch.FetchURL(bad, 20, errorText), "") << bad;
        EXPECT_NE(errorText.find("Only http and https addresses are fetched"), std::string::npos);
    }
    EXPECT_TRUE(fake.http.requests.empty());
    EXPECT_TRUE(isWebAddress("HTTPS://Updates.Test/x"));
    EXPECT_TRUE(isWebAddress("http://a"));
}

TEST_F(UpdateFetchTest, AConditionalFetchSendsTheValidatorsAndANotModifiedAnswerIsNoFailure) {
    fake.http.scripts[url] = {reply(304, "")};
    std::string errorText = "kept";
    const Fetched fetched = fetch.fetch(url, 20, errorText, {"\"v1\"", "Tue, 01 Dec 2026"});
    EXPECT_TRUE(fetched.notModified);
    EXPECT_EQ(fake.http.requests.size(), 1u) << "no retry of a not-modified answer";
    EXPECT_EQ(fake.http.requests[0].etag, "\"v1\"");
    EXPECT_EQ(fake.http.requests[0].lastModified, "Tue, 01 Dec 2026");
    EXPECT_EQ(errorText, "kept");

    Script fresh = reply(200, "b");
    fresh.etag = "\"v2\"";
    fresh.lastModified = "Wed, 02 Dec 2026";
    fake.http.scripts[url] = {fresh};
    const Fetched changed = fetch.fetch(url, 20, errorText);
    EXPECT_EQ(changed.body, "b");
    EXPECT_EQ(changed.validators.etag, "\"v2\"");
    EXPECT_EQ(changed.validators.lastModified, "Wed, 02 Dec 2026");
}

TEST_F(UpdateFetchTest, TheExitEndsTheWaitAndDropsTheTransfer) {
    fake.http.scripts[url] = {reply(200, "slow", 15000ms)};
    fake.clock.callAfter(1000ms, [this] { state.bExiting = true; });
    std::string errorText;
    EXPECT_EQ(fetch.FetchURL(url, 20, errorText), "");
    EXPECT_EQ(fake.clock.now(), 1000ms);
    EXPECT_EQ(fake.http.requests.size(), 1u) << "nothing is asked again after the exit began";
    EXPECT_EQ(fake.http.active, 0) << "the transfer was cancelled";
}

TEST_F(UpdateFetchTest, OneDownloadJobAtATime) {
    {
        UpdateFetch::Job first(fetch);
        EXPECT_TRUE(first.started());
        EXPECT_TRUE(fetch.busy());
        UpdateFetch::Job second(fetch);
        EXPECT_FALSE(second.started());
    }
    EXPECT_FALSE(fetch.busy());
    UpdateFetch::Job again(fetch);
    EXPECT_TRUE(again.started());
}

TEST_F(UpdateFetchTest, AWaitingCallRunsFromTheLoopOnceTheJobUnderWayEnds) {
    std::vector<std::string> ran;
    {
        UpdateFetch::Job running(fetch);
        fetch.afterCurrentJob([&] { ran.push_back("first"); });
        const UpdateFetch::WaitId dropped =
            fetch.afterCurrentJob([&] { ran.push_back("dropped"); });
        fetch.afterCurrentJob([&] {
            ran.push_back("second");
            // A job started by one leaves the next waiting for its end.
            UpdateFetch::Job next(fetch);
            fetch.afterCurrentJob([&] { ran.push_back("third"); });
        });
        fetch.cancelWait(dropped);
        fake.clock.advance(1000ms);
        EXPECT_TRUE(ran.empty()) << "nothing runs while the job does";
    }
    EXPECT_TRUE(ran.empty()) << "nor inside the end of the job";
    fake.clock.advance(0ms);
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "third"}));

    fetch.afterCurrentJob([&] { ran.push_back("idle"); });
    EXPECT_EQ(ran.size(), 3u);
    fake.clock.advance(0ms);
    EXPECT_EQ(ran.back(), "idle") << "with no job, on the next turn";
}

TEST(UpdateFetchText, URLEncodeEncodesUpToTheFirstQuestionMark) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"a b/c?d e", "a%20b%2Fc?d e"},
        {"line one\r\nline two", "line%20oneDAline%20two"},
        {"100%,~:$&x", "100%25%2C%7E%3A%24%26x"},
        {"?a/b", "?a/b"},
        {"a\nb\rc", "a\nb\rc"},  // only a CR LF pair is a line break
        {"x?y?z/", "x?y?z/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(URLEncode(c.in), c.out) << c.in;
    }
}

TEST(UpdateFetchText, TheProxyComesFromTheNameAndThePort) {
    const struct {
        const char* name;
        const char* port;
        const char* proxy;
    } cases[] = {
        {"", "3128", ""},
        {"  ", "", ""},
        {"proxy.lan", "", "proxy.lan"},
        {"proxy.lan", "3128", "proxy.lan:3128"},
        {" proxy.lan ", " 8080 ", "proxy.lan:8080"},
        {"proxy.lan:3128", "8080", "proxy.lan:3128"},
        {"http=a:1;https=b:2", "3128", "http=a:1;https=b:2"},
        {"http://proxy.lan:3128", "", "http://proxy.lan:3128"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(proxySetting(c.name, c.port), c.proxy) << c.name << " / " << c.port;
    }
}

TEST(UpdateFetchText, TheUpdateServerIsTheSettingOrTheBuiltInAddress) {
    core::MainState state;
    EXPECT_EQ(updateServer(state), builtInUpdateServer());
    EXPECT_TRUE(isWebAddress(builtInUpdateServer()));
    EXPECT_FALSE(builtInUpdateServer().ends_with("/"));
    state.UpdateServer = "  http://mirror.example:8080//  ";
    EXPECT_EQ(updateServer(state), "http://mirror.example:8080");
    state.UpdateServer = "   ";
    EXPECT_EQ(updateServer(state), builtInUpdateServer());
}

}  // namespace
}  // namespace halvern::adservers::fixture

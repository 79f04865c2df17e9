#include "platform/linux/CurlHttp.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "LinuxTestSupport.h"
#include "platform/linux/PollScheduler.h"

using namespace std::chrono_literals;
using halvern::platform::CurlHttp;
using halvern::platform::HttpRequest;
using halvern::platform::HttpResponse;
using halvern::platform::Millis;
using halvern::platform::PollScheduler;
using halvern::platform::testing::TempFolder;

namespace {

const char* const kProxyVariables[] = {"http_proxy",  "https_proxy", "all_proxy", "no_proxy",
                                       "HTTPS_PROXY", "ALL_PROXY",   "NO_PROXY",  "HTTP_PROXY"};

/// Certificates made for the test: an authority and a server certificate it signed for
/// 127.0.0.1 only.
struct TestCertificates {
    std::string ca, cert, key;

    static std::optional<TestCertificates> make(const TempFolder& dir) {
        const std::string d = dir.path();
        std::ofstream(dir / "ext.cnf")
            << "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n";
        const std::string curve = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
        const std::string commands =
            "cd " + d + " && openssl req -x509" + curve +
            "-keyout ca.key -out ca.pem -days 2 -subj /CN=HalvernTestCA && openssl req" + curve +
            "-keyout server.key -out server.csr -subj /CN=127.0.0.1 && openssl x509 -req -in "
            "server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 "
            "-extfile ext.cnf";
        if (std::system(("(" + commands + ") >/dev/null 2>&1").c_str()) != 0) {
            return std::nullopt;
        }
        return TestCertificates{dir / "ca.pem", dir / "server.pem", dir / "server.key"};
    }
};

/// The local server script, started for one test and stopped with it.
class LocalServer {
public:
    int http = 0, https = 0, proxyA = 0, proxyB = 0;
    std::string log;

    bool start(const TempFolder& dir, const std::optional<TestCertificates>& certs) {
        log = dir / "proxy.log";
        std::vector<std::string> args = {
            "/usr/bin/python3", std::string(HALVERN_LINUX_TEST_DIR) + "/http_test_server.py",
            "--log", log};
        if (certs) {
            args.insert(args.end(), {"--cert", certs->cert, "--key", certs->key});
        }
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) {
            return false;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[1]);
            ::close(out[0]);
            std::vector<char*> argv;
            for (auto& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_stdin = in[1];
        std::string line;
        pollfd ready{out[0], POLLIN, 0};
        char c = 0;
        while (::poll(&ready, 1, 10000) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n') {
            line += c;
        }
        ::close(out[0]);
        const auto port = [&line](const char* name) {
            std::smatch match;
            const std::regex pattern(std::string("\"") + name + "\": (\\d+)");
            return std::regex_search(line, match, pattern) ? std::stoi(match[1]) : 0;
        };
        http = port("http");
        https = port("https");
        proxyA = port("proxyA");
        proxyB = port("proxyB");
        return http != 0;
    }

    ~LocalServer() {
        if (m_pid > 0) {
            ::close(m_stdin);
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    std::string logText() const {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
};

struct CurlHttpTest : ::testing::Test {
    PollScheduler loop;
    TempFolder dir;
    std::optional<TestCertificates> certs;
    LocalServer server;
    std::unique_ptr<CurlHttp> http;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment;

    void SetUp() override {
        for (const char* name : kProxyVariables) {
            const char* value = std::getenv(name);
            savedEnvironment.emplace_back(name,
                                          value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
        certs = TestCertificates::make(dir);
        ASSERT_TRUE(server.start(dir, certs)) << "the local server did not start";
        http = std::make_unique<CurlHttp>(loop);
    }

    void TearDown() override {
        http.reset();
        for (const auto& [name, value] : savedEnvironment) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(server.http) + path;
    }

    HttpResponse get(const std::string& address, Millis timeout = 10s,
                     std::size_t maxBody = 1 << 20) {
        HttpRequest request;
        request.url = address;
        request.timeout = timeout;
        request.maxBody = maxBody;
        return http->get(loop, request);
    }
};

TEST_F(CurlHttpTest, FetchesABodyAndStripsALeadingByteOrderMark) {
    HttpResponse hello = get(url("/hello"));
    EXPECT_TRUE(hello.ok) << hello.error;
    EXPECT_EQ(hello.status, 200);
    EXPECT_EQ(hello.body, "hello");
    EXPECT_EQ(hello.error, "");

    HttpResponse bom = get(url("/bom"));
    EXPECT_TRUE(bom.ok) << bom.error;
    EXPECT_EQ(bom.body, "list");
    EXPECT_EQ(http->activeCount(), 0u);
}

TEST_F(CurlHttpTest, FollowsAtMostFiveRedirects) {
    HttpResponse five = get(url("/redirect/5"));
    EXPECT_TRUE(five.ok) << five.error;
    EXPECT_EQ(five.body, "arrived");

    HttpResponse six = get(url("/redirect/6"));
    EXPECT_FALSE(six.ok);
    EXPECT_NE(six.error.find("redirects"), std::string::npos) << six.error;
    EXPECT_EQ(six.body, "");
}

TEST_F(CurlHttpTest, FailuresSayWhyAndCarryNoBody) {
    struct Case {
        std::string address;
        std::string error;  // the whole text, or a part of it after '~'
    };
    const std::string closedPort = "http://127.0.0.1:" + std::to_string(server.proxyB + 1) + "/";
    const std::vector<Case> cases = {
        {url("/status/404"), "HTTP error 404"},
        {url("/status/500"), "HTTP error 500"},
        {url("/status/403"), "HTTP error 403"},
        {url("/truncated"), "~transfer closed"},
        {url("/loop"), "~redirects"},
        {url("/tofile"), "~file"},
        {url("/nowhere"), "~HTTP error 302"},
        {"file:///etc/hostname", "~file"},
        {"ftp://127.0.0.1:" + std::to_string(server.http) + "/", "~ftp"},
        {"gopher://127.0.0.1/", "~gopher"},
        {closedPort, "~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        HttpResponse answer = get(c.address);
        EXPECT_FALSE(answer.ok);
        EXPECT_EQ(answer.body, "");
        EXPECT_FALSE(answer.error.empty());
        if (c.error.starts_with("~")) {
            EXPECT_NE(answer.error.find(c.error.substr(1)), std::string::npos) << answer.error;
        } else {
            EXPECT_EQ(answer.error, c.error);
        }
    }
}

TEST_F(CurlHttpTest, ABodyOverTheCapFailsWithOrWithoutALength) {
    struct Case {
        std::string path;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"/sized/1000", true},    {"/sized/1001", false},     {"/unsized/1000", true},
        {"/unsized/1001", false}, {"/unsized/300000", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        HttpResponse answer = get(url(c.path), 10s, 1000);
        EXPECT_EQ(answer.ok, c.ok) << answer.error;
        EXPECT_EQ(answer.body.size(), c.ok ? 1000u : 0u);
        if (!c.ok) {
            EXPECT_EQ(answer.error, "Maximum file size exceeded");
        }
    }
}

TEST_F(CurlHttpTest, ATruncatingRequestKeepsTheBodyUpToTheCapAsAnAnswer) {
    struct Case {
        std::string path;
        std::size_t size;
        bool truncated;
    };
    const std::vector<Case> cases = {
        {"/sized/1000", 1000, false},   {"/unsized/999", 999, false},
        {"/sized/1001", 1000, true},    {"/unsized/1001", 1000, true},
        {"/sized/5000000", 1000, true}, {"/unsized/300000", 1000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        HttpRequest request;
        request.url = url(c.path);
        request.timeout = 10s;
        request.maxBody = 1000;
        request.truncateAtMax = true;
        const HttpResponse answer = http->get(loop, request);
        EXPECT_TRUE(answer.ok) << answer.error;
        EXPECT_EQ(answer.error, "");
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.body, std::string(c.size, 'x'));
        EXPECT_EQ(answer.truncated, c.truncated);
    }
    // Cutting the body changes nothing about a failure.
    HttpRequest error;
    error.url = url("/status/404");
    error.maxBody = 4;
    error.truncateAtMax = true;
    const HttpResponse failed = http->get(loop, error);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error, "HTTP error 404");
    EXPECT_EQ(failed.body, "");
    EXPECT_EQ(http->activeCount(), 0u);
}

TEST_F(CurlHttpTest, AStalledTransferEndsAtTheStallLimit) {
    CurlHttp::Options options;
    options.stallBytesPerSecond = 100;
    options.stallTime = std::chrono::seconds(1);
    http = std::make_unique<CurlHttp>(loop, options);
    // 200 bytes at 5 a second would take 40 s.
    const Millis started = loop.now();
    HttpResponse answer = get(url("/trickle/200/200"), 30s);
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, "Timeout was reached");
    EXPECT_LT(loop.now() - started, 20s);
}

TEST_F(CurlHttpTest, ATricklingTransferEndsAtTheRequestsTimeout) {
    // 100 bytes at 20 a second would take 5 s, which the stall limit lets through.
    const Millis started = loop.now();
    HttpResponse answer = get(url("/trickle/100/50"), 800ms);
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.error, "Timeout was reached");
    EXPECT_EQ(answer.body, "");
    EXPECT_LT(loop.now() - started, 4s);
}

TEST_F(CurlHttpTest, AConditionalRequestGetsNotModifiedAndKeepsTheValidatorsExactly) {
    HttpResponse first = get(url("/conditional"));
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.body, "fresh");
    EXPECT_EQ(first.etag, "\"v1-abc\"");
    EXPECT_EQ(first.lastModified, "Wed, 21 Oct 2015 07:28:00 GMT");
    EXPECT_FALSE(first.notModified);

    struct Case {
        std::string etag, lastModified;
        bool notModified;
    };
    const std::vector<Case> cases = {
        {first.etag, "", true},
        {"", first.lastModified, true},
        {first.etag, first.lastModified, true},
        {"\"v0-old\"", "", false},
        {"", "Tue, 20 Oct 2015 07:28:00 GMT", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.etag + " / " + c.lastModified);
        HttpRequest request;
        request.url = url("/conditional");
        request.etag = c.etag;
        request.lastModified = c.lastModified;
        HttpResponse again = http->get(loop, request);
        EXPECT_TRUE(again.ok) << again.error;
        EXPECT_EQ(again.notModified, c.notModified);
        EXPECT_EQ(again.status, c.notModified ? 304 : 200);
        EXPECT_EQ(again.body, c.notModified ? "" : "fresh");
    }
}

TEST_F(CurlHttpTest, ValidatorsWithLineBreaksAreNotSent) {
    HttpRequest request;
    request.url = url("/headers");
    request.etag = "\"a\"\r\nX-Injected: 1";
    request.lastModified = "Wed, 21 Oct 2015 07:28:00 GMT";
    HttpResponse answer = http->get(loop, request);
    ASSERT_TRUE(answer.ok) << answer.error;
    EXPECT_EQ(answer.body.find("X-Injected"), std::string::npos) << answer.body;
    EXPECT_EQ(answer.body.find("If-None-Match"), std::string::npos) << answer.body;
    EXPECT_NE(answer.body.find("If-Modified-Since: Wed, 21 Oct 2015 07:28:00 GMT"),
              std::string::npos)
        << answer.body;
}

TEST_F(CurlHttpTest, TheProxySettingServesBothSchemesOrOneEntryPerScheme) {
    const std::string a = "127.0.0.1:" + std::to_string(server.proxyA);
    const std::string b = "127.0.0.1:" + std::to_string(server.proxyB);
    http->setProxy(a);
    EXPECT_EQ(get(url("/hello")).body, "proxy A: GET " + url("/hello"));

    http->setProxy(" http = " + a + " ; https=" + b);
    EXPECT_EQ(get(url("/hello")).body, "proxy A: GET " + url("/hello"));
    const std::string secure = "https://127.0.0.1:" + std::to_string(server.http) + "/hello";
    EXPECT_FALSE(get(secure).ok);
    EXPECT_NE(server.logText().find("B CONNECT 127.0.0.1:" + std::to_string(server.http)),
              std::string::npos)
        << server.logText();

    // A redirect from http to https takes the https entry for its second hop.
    const std::string https = std::to_string(server.https);
    EXPECT_FALSE(get(url("/tohttps/" + https)).ok);
    EXPECT_NE(server.logText().find("A GET " + url("/tohttps/" + https) +
                                    "\nB CONNECT 127.0.0.1:" + https + "\n"),
              std::string::npos)
        << server.logText();

    // No entry for the scheme: a direct connection.
    http->setProxy("https=" + b);
    EXPECT_EQ(get(url("/hello")).body, "hello");
}

TEST_F(CurlHttpTest, WithoutTheSettingTheEnvironmentChoosesTheProxy) {
    const std::string a = "http://127.0.0.1:" + std::to_string(server.proxyA);
    const std::string b = "http://127.0.0.1:" + std::to_string(server.proxyB);
    ::setenv("http_proxy", a.c_str(), 1);
    EXPECT_EQ(get(url("/hello")).body, "proxy A: GET " + url("/hello"));

    ::setenv("no_proxy", "example.org,127.0.0.1", 1);
    EXPECT_EQ(get(url("/hello")).body, "hello");

    ::unsetenv("no_proxy");
    ::unsetenv("http_proxy");
    ::setenv("all_proxy", b.c_str(), 1);
    EXPECT_EQ(get(url("/hello")).body, "proxy B: GET " + url("/hello"));

    // The setting wins over the environment, its exceptions included.
    ::setenv("http_proxy", b.c_str(), 1);
    ::setenv("no_proxy", "127.0.0.1", 1);
    http->setProxy("127.0.0.1:" + std::to_string(server.proxyA));
    EXPECT_EQ(get(url("/hello")).body, "proxy A: GET " + url("/hello"));

    // Cleared again, the environment is back.
    http->setProxy("");
    EXPECT_EQ(get(url("/hello")).body, "hello");
}

TEST_F(CurlHttpTest, HttpsNeedsACertificateFromATrustedAuthorityForTheHost) {
    ASSERT_TRUE(certs) << "openssl could not make the test certificates";
    ASSERT_NE(server.https, 0);
    const std::string address = "https://127.0.0.1:" + std::to_string(server.https) + "/hello";

    HttpResponse untrusted = get(address);
    EXPECT_FALSE(untrusted.ok);
    EXPECT_NE(untrusted.error.find("certificate"), std::string::npos) << untrusted.error;
    HttpResponse untrustedRedirect = get(url("/tohttps/" + std::to_string(server.https)));
    EXPECT_FALSE(untrustedRedirect.ok);
    EXPECT_EQ(untrustedRedirect.body, "");

    CurlHttp::Options options;
    options.caFile = certs->ca;
    http = std::make_unique<CurlHttp>(loop, options);
    HttpResponse trusted = get(address);
    EXPECT_TRUE(trusted.ok) << trusted.error;
    EXPECT_EQ(trusted.body, "hello");

    // A redirect from http to https, and on within https.
    HttpResponse redirected = get(url("/tohttps/" + std::to_string(server.https)));
    EXPECT_TRUE(redirected.ok) << redirected.error;
    EXPECT_EQ(redirected.body, "arrived");

    // The certificate names 127.0.0.1 only.
    HttpResponse wrongName = get("https://localhost:" + std::to_string(server.https) + "/hello");
    EXPECT_FALSE(wrongName.ok);
    EXPECT_EQ(wrongName.body, "");
}

TEST_F(CurlHttpTest, TheLoopStaysLiveWhileATransferRuns) {
    Millis last = loop.now();
    Millis longestGap{0};
    int ticks = 0;
    std::function<void()> tick = [&] {
        longestGap = std::max(longestGap, loop.now() - last);
        last = loop.now();
        ++ticks;
        loop.callAfter(10ms, tick);
    };
    loop.callAfter(10ms, tick);
    // 20 bytes, one every 40 ms.
    HttpResponse answer = get(url("/trickle/20/40"));
    EXPECT_TRUE(answer.ok) << answer.error;
    EXPECT_EQ(answer.body, std::string(20, 't'));
    EXPECT_GT(ticks, 20);
    EXPECT_LT(longestGap, 300ms);
}

TEST_F(CurlHttpTest, ConcurrentTransfersEachGetTheirOwnAnswer) {
    std::vector<std::string> bodies(8);
    int answered = 0;
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        HttpRequest request;
        request.url = url(i % 2 ? "/hello" : "/redirect/2");
        http->start(request, [&, i](const HttpResponse& response) {
            bodies[i] = response.body;
            ++answered;
        });
    }
    ASSERT_TRUE(loop.runUntil([&] { return answered == 8; }, 10s));
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        EXPECT_EQ(bodies[i], i % 2 ? "hello" : "arrived");
    }
}

TEST_F(CurlHttpTest, DoneMayWaitForAnotherTransferAndCancelOthers) {
    HttpRequest slow;
    slow.url = url("/trickle/50/40");
    bool slowAnswered = false;
    const auto slowId = http->start(slow, [&](const HttpResponse&) { slowAnswered = true; });

    HttpRequest fast;
    fast.url = url("/hello");
    std::string nested;
    bool fastAnswered = false;
    http->start(fast, [&](const HttpResponse& response) {
        EXPECT_EQ(response.body, "hello");
        // A nested wait inside `done`, then a cancel of a running transfer.
        nested = get(url("/redirect/1")).body;
        http->cancel(slowId);
        http->cancel(slowId);
        fastAnswered = true;
    });
    ASSERT_TRUE(loop.runUntil([&] { return fastAnswered; }, 10s));
    EXPECT_EQ(nested, "arrived");
    loop.wait(300ms);
    EXPECT_FALSE(slowAnswered);
    EXPECT_EQ(http->activeCount(), 0u);
}

TEST_F(CurlHttpTest, CancelledTransfersNeverAnswer) {
    int answers = 0;
    HttpRequest request;
    request.url = url("/hello");
    // Cancelled at once, and cancelled after its answer came in but before it was handed over.
    http->cancel(http->start(request, [&](const HttpResponse&) { ++answers; }));
    std::vector<CurlHttp::Id> ids;
    for (int i = 0; i < 4; ++i) {
        ids.push_back(http->start(request, [&](const HttpResponse&) {
            ++answers;
            for (auto id : ids) {
                http->cancel(id);
            }
        }));
    }
    loop.runUntil([&] { return http->activeCount() == 0; }, 10s);
    EXPECT_EQ(answers, 1);
    http->cancel(12345);
    loop.wait(100ms);
    EXPECT_EQ(answers, 1);
}

TEST_F(CurlHttpTest, DestroyingTheBackendStopsEveryTransferSilently) {
    bool answered = false;
    HttpRequest request;
    request.url = url("/trickle/50/40");
    http->start(request, [&](const HttpResponse&) { answered = true; });
    http->start(request, [&](const HttpResponse&) { answered = true; });
    loop.wait(100ms);
    // And one that has not even connected yet.
    request.url = url("/hello");
    http->start(request, [&](const HttpResponse&) { answered = true; });
    http.reset();
    loop.wait(200ms);
    EXPECT_FALSE(answered);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

}  // namespace

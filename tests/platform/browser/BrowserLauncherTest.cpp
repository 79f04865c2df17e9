// The launcher as a user runs it: its process handling against stand-in browsers (shell
// scripts), and the popup decision against a real headless Chromium and a loopback server.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <regex>

#include "LauncherTestSupport.h"
#include "RelayTestPeer.h"
#include "platform/linux/LinuxTestSupport.h"

namespace halvern::platform {
namespace {

using browsertest::ChildProgram;
using browsertest::RelayTestPeer;
using browsertest::slurp;
using browsertest::waitFor;
using testing::TempFolder;

constexpr const char* kChromium = "/usr/bin/chromium";

std::string hostName() {
    std::array<char, 256> name{};
    ::gethostname(name.data(), name.size() - 1);
    return name.data();
}

/// The test pages' server (popup_page_server.py), started for one test and stopped with it.
class PageServer {
public:
    explicit PageServer(const TempFolder& folder) : log(folder / "requests.log") {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[1]);
            ::close(out[0]);
            const std::string script =
                std::string(HALVERN_BROWSER_TEST_DIR) + "/popup_page_server.py";
            ::execl("/usr/bin/python3", "python3", script.c_str(), "--log", log.c_str(), nullptr);
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
        std::smatch match;
        if (std::regex_search(line, match, std::regex(R"("http": (\d+))"))) {
            port = std::stoi(match[1]);
        }
    }
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;
    ~PageServer() {
        if (m_pid > 0) {
            ::close(m_stdin);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    bool requested(const std::string& path) const {
        return slurp(log).find(path + "\n") != std::string::npos;
    }

    int port = 0;
    std::string log;

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
};

struct BrowserLauncherTest : ::testing::Test {
    TempFolder dir;
    std::string socketPath = dir / "run/zorvik-browser.sock";
    std::string errors = dir / "stderr.txt";

    /// A shell script standing in for the browser.
    std::string standIn(const std::string& body) {
        const std::string path = dir / "chromium";
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        ::chmod(path.c_str(), 0755);
        return path;
    }

    std::unique_ptr<ChildProgram> launch(const std::vector<std::string>& arguments,
                                         const std::string& browser) {
        std::vector<std::string> argv{HALVERN_LAUNCHER_BINARY};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::make_unique<ChildProgram>(
            argv,
            std::vector<std::string>{"ZORVIK_CHROMIUM=" + browser,
                                     "ZORVIK_BROWSER_SOCKET=" + socketPath,
                                     "XDG_CONFIG_HOME=" + dir / "config", "DISPLAY="},
            errors);
    }
};

TEST_F(BrowserLauncherTest, HandsTheBrowserItsPipeAndExitsWithItsStatus) {
    const std::string seen = dir / "seen";
    auto launcher = launch({"--user-data-dir=" + dir / "profile", "http://a.test/"},
                           standIn("echo \"$@\" > " + seen +
                                   "; test -r /dev/fd/3 && test -w "
                                   "/dev/fd/4 && echo pipe >> " +
                                   seen + "; exit 7"));
    EXPECT_EQ(launcher->exitStatus(), 7);
    EXPECT_EQ(slurp(seen), "--remote-debugging-pipe --disable-popup-blocking --user-data-dir=" +
                               dir / "profile" + " http://a.test/\npipe\n");
}

TEST_F(BrowserLauncherTest, AStopSignalClosesThePipeAndTheBrowserEnds) {
    // Like the browser: it reads its pipe and exits when the pipe closes.
    auto launcher = launch({}, standIn("cat <&3 >/dev/null; exit 5"));
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(socketPath); }));
    launcher->signal(SIGTERM);
    EXPECT_EQ(launcher->exitStatus(), 5);
    EXPECT_FALSE(std::filesystem::exists(socketPath));
}

TEST_F(BrowserLauncherTest, RefusesAProfileABrowserRunsOn) {
    const std::string profile = dir / "profile";
    std::filesystem::create_directories(profile);
    const std::string started = dir / "started";
    const std::string browser = standIn("touch " + started);
    struct Case {
        const char* name;
        std::string lock;
        int status;
    };
    const Case cases[] = {
        {"a live browser on this host", hostName() + "-" + std::to_string(::getpid()), 3},
        {"a stale lock", hostName() + "-2147483646", 0},
        {"another host's lock", "elsewhere.test-" + std::to_string(::getpid()), 0},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(profile + "/SingletonLock");
        std::filesystem::create_symlink(c.lock, profile + "/SingletonLock");
        std::filesystem::remove(started);
        auto launcher = launch({"--user-data-dir=" + profile}, browser);
        EXPECT_EQ(launcher->exitStatus(), c.status) << c.name;
        EXPECT_EQ(std::filesystem::exists(started), c.status == 0) << c.name;
        if (c.status == 3) {
            const std::string said = slurp(errors);
            EXPECT_NE(said.find("Chromium is already running on the profile " + profile),
                      std::string::npos)
                << said;
            EXPECT_NE(said.find("Close it"), std::string::npos) << said;
        }
    }
}

TEST_F(BrowserLauncherTest, SaysWhyWhenTheBrowserCannotStart) {
    auto launcher = launch({}, dir / "no-such-browser");
    EXPECT_EQ(launcher->exitStatus(), 1);
    EXPECT_NE(slurp(errors).find("cannot start " + dir / "no-such-browser"), std::string::npos);
}

TEST_F(BrowserLauncherTest, HelpAndVersionStartNothing) {
    const std::string started = dir / "started";
    for (const char* option : {"--help", "--version"}) {
        auto launcher = launch({option}, standIn("touch " + started));
        EXPECT_EQ(launcher->exitStatus(), 0) << option;
    }
    EXPECT_FALSE(std::filesystem::exists(started));
}

/// The real browser, headless, on a profile of the test's own.
struct RealChromiumTest : BrowserLauncherTest {
    void SetUp() override {
        if (::access(kChromium, X_OK) != 0) {
            GTEST_SKIP() << kChromium << " is not installed";
        }
    }
    std::unique_ptr<ChildProgram> launchChromium(const std::string& url) {
        std::vector<std::string> arguments{"--headless", "--user-data-dir=" + dir / "profile", url};
        if (::geteuid() == 0) {
            arguments.insert(arguments.begin(), "--no-sandbox");
        }
        return launch(arguments, kChromium);
    }
};

TEST_F(RealChromiumTest, AloneItCancelsPopupsWithoutAGestureBeforeTheirFirstRequest) {
    PageServer server(dir);
    ASSERT_NE(server.port, 0);
    // Three popups in a row while the page loads: each one a chance for a request to slip out.
    auto launcher = launchChromium(server.url("/onload3/a1"));
    // The opener goes on once its last window.open has returned, each with a window: the
    // popups were opened, and held, rather than refused by the browser itself.
    ASSERT_TRUE(waitFor([&] { return server.requested("/done/a1-3"); }))
        << slurp(errors) << slurp(server.log);
    // A Zorvik connecting now is told of the opener alone: the popups are gone.
    ASSERT_TRUE(waitFor([&] {
        RelayTestPeer zorvik;
        if (!zorvik.connect(socketPath)) {
            return false;
        }
        waitFor([&] {
            zorvik.collect();
            return !zorvik.withMethod("Relay.ready").empty();
        });
        int pages = 0;
        for (const auto& attached : zorvik.withMethod("Target.attachedToTarget")) {
            pages += attached["params"]["targetInfo"]["type"] == "page" ? 1 : 0;
        }
        return pages == 1;
    })) << slurp(errors);
    const std::string said = slurp(errors);
    int cancelled = 0;
    for (std::size_t at = 0;
         (at = said.find("zorvik-browser: cancelled a popup without a user gesture", at)) !=
         std::string::npos;
         ++at) {
        ++cancelled;
    }
    EXPECT_EQ(cancelled, 3) << said;
    launcher->signal(SIGTERM);
    EXPECT_EQ(launcher->exitStatus(), 0);
    // Not even once the browser has gone.
    const std::string requests = slurp(server.log);
    EXPECT_EQ(requests.find("/pop/"), std::string::npos) << requests;
}

TEST_F(RealChromiumTest, APopupHeldForAZorvikThatGoesIsDecidedAtOnce) {
    PageServer server(dir);
    ASSERT_NE(server.port, 0);
    auto launcher = launchChromium(server.url("/click/c1"));
    RelayTestPeer zorvik;
    ASSERT_TRUE(waitFor([&] { return zorvik.connect(socketPath); })) << slurp(errors);
    std::string page;
    ASSERT_TRUE(waitFor([&] {
        zorvik.collect();
        for (const auto& attached : zorvik.withMethod("Target.attachedToTarget")) {
            const auto& info = attached["params"]["targetInfo"];
            if (info["type"] == "page" && info["url"] == server.url("/click/c1")) {
                page = attached["params"]["sessionId"];
            }
        }
        return !page.empty() && server.requested("/click/c1");
    }));
    // A click of the browser's own input (a user gesture) until the popup it opens is held;
    // this Zorvik leaves it held.
    int id = 0;
    const auto popupHeld = [&] {
        for (const char* type : {"mousePressed", "mouseReleased"}) {
            zorvik.send(nlohmann::json{
                {"id", ++id},
                {"method", "Input.dispatchMouseEvent"},
                {"sessionId", page},
                {"params",
                 {{"type", type}, {"x", 50}, {"y", 50}, {"button", "left"}, {"clickCount", 1}}}});
        }
        return waitFor(
            [&] {
                zorvik.collect();
                for (const auto& attached : zorvik.withMethod("Target.attachedToTarget")) {
                    if (attached["params"].value("waitingForDebugger", false)) {
                        return true;
                    }
                }
                return false;
            },
            std::chrono::milliseconds(500));
    };
    ASSERT_TRUE(waitFor(popupHeld));
    EXPECT_FALSE(server.requested("/pop/c1"));
    // Zorvik goes: the launcher lets the clicked popup run, and its opener goes on.
    zorvik.close();
    EXPECT_TRUE(waitFor([&] { return server.requested("/pop/c1"); })) << slurp(server.log);
    EXPECT_TRUE(waitFor([&] { return server.requested("/done/c1"); }));
    launcher->signal(SIGTERM);
    EXPECT_EQ(launcher->exitStatus(), 0);
}

}  // namespace
}  // namespace halvern::platform

#include "platform/linux/LinuxShell.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "LinuxTestSupport.h"

using namespace std::chrono_literals;
using halvern::platform::LinuxShell;
using namespace halvern::platform::testing;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool haveNoChildren() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

/// Puts stand-in programs first in PATH for the test's duration.
struct LinuxShellTest : ::testing::Test {
    TempFolder dir;
    TempFolder bin;
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    LinuxShell shell{300ms};

    void SetUp() override { ::setenv("PATH", (bin.path() + ":" + oldPath).c_str(), 1); }
    void TearDown() override { ::setenv("PATH", oldPath.c_str(), 1); }

    /// A shell script named name in the stand-in folder.
    void fakeProgram(const std::string& name, const std::string& body) {
        const std::string path = bin / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
    }
};

TEST_F(LinuxShellTest, RunHiddenRunsTheCommandDetachedWithoutAZombie) {
    const std::string marker = dir / "ran";
    const std::string input = dir / "stdin";
    ASSERT_TRUE(
        shell.runHidden("readlink /proc/$$/fd/0 > '" + input + "'; touch '" + marker + "'"));
    EXPECT_TRUE(haveNoChildren()) << "the command is still our child";
    EXPECT_TRUE(eventually([&] { return ::access(marker.c_str(), F_OK) == 0; }));
    EXPECT_EQ(slurp(input), "/dev/null\n");
}

TEST_F(LinuxShellTest, OpenUrlAndOpenInEditorHandTheArgumentToXdgOpen) {
    const std::string log = dir / "log";
    fakeProgram("xdg-open", "printf '%s\\n' \"$1\" >> '" + log + "'");
    shell.openUrl("http://example.com/a b?c=1&d=2");
    EXPECT_TRUE(haveNoChildren());
    EXPECT_TRUE(eventually([&] { return slurp(log).size() > 0; }));
    shell.openInEditor(dir / "removals.ini");
    EXPECT_TRUE(eventually([&] {
        return slurp(log) == "http://example.com/a b?c=1&d=2\n" + (dir / "removals.ini") + "\n";
    })) << slurp(log);
}

TEST_F(LinuxShellTest, DefaultBrowserIsXdgSettingsAnswerOrEmpty) {
    struct Case {
        const char* script;
        const char* expected;
    } cases[] = {
        {"[ \"$1 $2\" = 'get default-web-browser' ] && echo '  chromium.desktop  '",
         "chromium.desktop"},
        {"echo firefox.desktop; exit 2", ""},
        {"exec sleep 30", ""},
    };
    for (const auto& c : cases) {
        fakeProgram("xdg-settings", c.script);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(shell.defaultBrowser(), c.expected) << c.script;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << c.script;
        EXPECT_TRUE(haveNoChildren()) << c.script;
    }
    ::unlink((bin / "xdg-settings").c_str());
    ::setenv("PATH", bin.path().c_str(), 1);
    EXPECT_EQ(shell.defaultBrowser(), "");
}

TEST_F(LinuxShellTest, FlushNameCachesInvalidatesNscdsHostsCache) {
    const std::string log = dir / "nscd";
    fakeProgram("nscd", "echo \"$@\" > '" + log + "'");
    shell.flushNameCaches();
    EXPECT_EQ(slurp(log), "-i hosts\n");
    EXPECT_TRUE(haveNoChildren());
}

TEST_F(LinuxShellTest, TerminateFlushesOutputAndEndsWithTheCode) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    int code = runInChild([&]() -> int {
        ::dup2(out[1], 1);
        std::printf("unsaved output");
        shell.terminate(7);
    });
    ::close(out[1]);
    char buffer[64] = {};
    ssize_t n = ::read(out[0], buffer, sizeof buffer - 1);
    ::close(out[0]);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "unsaved output");
}

TEST_F(LinuxShellTest, PlaceOnTheMachine) {
    EXPECT_EQ(shell.hostsFilePath(), "/etc/hosts");
    std::string exe = shell.executablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    struct stat named {};
    struct stat running {};
    ASSERT_EQ(::stat(exe.c_str(), &named), 0) << exe;
    ASSERT_EQ(::stat("/proc/self/exe", &running), 0);
    EXPECT_EQ(named.st_ino, running.st_ino) << exe;
    EXPECT_EQ(named.st_dev, running.st_dev) << exe;
    int quits = 0;
    shell.quit();
    shell.onQuit = [&] { ++quits; };
    shell.quit();
    EXPECT_EQ(quits, 1);
}

}  // namespace

#include "platform/linux/XdgLauncher.h"

#include <gtest/gtest.h>

#include "StandInPrograms.h"

using namespace std::chrono_literals;
using halvern::platform::XdgLauncher;
using namespace halvern::platform::testing;

namespace {

struct XdgLauncherTest : StandInPrograms {
    XdgLauncher launcher{300ms};
};

TEST_F(XdgLauncherTest, RunHiddenRunsTheCommandDetachedWithoutAZombie) {
    const std::string marker = dir / "ran";
    const std::string input = dir / "stdin";
    ASSERT_TRUE(
        launcher.runHidden("readlink /proc/$$/fd/0 > '" + input + "'; touch '" + marker + "'"));
    EXPECT_TRUE(haveNoChildren()) << "the command is still our child";
    EXPECT_TRUE(eventually([&] { return ::access(marker.c_str(), F_OK) == 0; }));
    EXPECT_EQ(slurp(input), "/dev/null\n");
}

TEST_F(XdgLauncherTest, OpenUrlAndOpenInEditorHandTheArgumentToXdgOpen) {
    const std::string log = dir / "log";
    fakeProgram("xdg-open", "printf '%s\\n' \"$1\" >> '" + log + "'");
    launcher.openUrl("http://example.com/a b?c=1&d=2");
    EXPECT_TRUE(haveNoChildren());
    EXPECT_TRUE(eventually([&] { return slurp(log).size() > 0; }));
    launcher.openInEditor(dir / "removals.ini");
    EXPECT_TRUE(eventually([&] {
        return slurp(log) == "http://example.com/a b?c=1&d=2\n" + (dir / "removals.ini") + "\n";
    })) << slurp(log);
}

TEST_F(XdgLauncherTest, DefaultBrowserIsXdgSettingsAnswerOrEmpty) {
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
        EXPECT_EQ(launcher.defaultBrowser(), c.expected) << c.script;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << c.script;
        EXPECT_TRUE(haveNoChildren()) << c.script;
    }
    ::unlink((bin / "xdg-settings").c_str());
    ::setenv("PATH", bin.path().c_str(), 1);
    EXPECT_EQ(launcher.defaultBrowser(), "");
}

}  // namespace

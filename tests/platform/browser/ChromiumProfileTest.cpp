#include "platform/browser/ChromiumProfile.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>

#include "platform/linux/LinuxTestSupport.h"

namespace halvern::platform {
namespace {

using testing::TempFolder;

TEST(ChromiumProfile, TheLastUserDataDirElseTheBrowsersDefault) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = config ? config : "";
    ::setenv("XDG_CONFIG_HOME", "/home/ann/.cfg", 1);
    EXPECT_EQ(ChromiumProfile::folderFor({"http://a.test/"}), "/home/ann/.cfg/chromium");
    EXPECT_EQ(ChromiumProfile::folderFor({"--user-data-dir=/p/one", "--user-data-dir=/p/two/"}),
              "/p/two/");
    EXPECT_EQ(ChromiumProfile::folderFor({"--user-data-dir=rel"}),
              (std::filesystem::current_path() / "rel").string());
    // A relative XDG_CONFIG_HOME counts as unset.
    ::setenv("XDG_CONFIG_HOME", "cfg", 1);
    EXPECT_EQ(ChromiumProfile::folderFor({}), home + "/.config/chromium");
    if (config) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

TEST(ChromiumProfile, ALockCountsOnlyWhileItsProcessRunsOnThisHost) {
    TempFolder profile;
    std::array<char, 256> host{};
    ::gethostname(host.data(), host.size() - 1);
    const std::string here = host.data();
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    struct Case {
        std::string lock;
        long running;
    };
    const Case cases[] = {
        {here + "-" + std::to_string(::getpid()), ::getpid()},
        {here + "-" + std::to_string(gone), 0},
        {"other-host-" + std::to_string(::getpid()), 0},
        {here + "-12x", 0},
        {here, 0},
        {"", 0},
    };
    EXPECT_EQ(ChromiumProfile::runningBrowser(profile.path()), 0) << "no lock";
    for (const Case& c : cases) {
        std::filesystem::remove(profile / "SingletonLock");
        std::filesystem::create_symlink(c.lock.empty() ? "-" : c.lock, profile / "SingletonLock");
        EXPECT_EQ(ChromiumProfile::runningBrowser(profile.path()), c.running) << c.lock;
    }
}

}  // namespace
}  // namespace halvern::platform

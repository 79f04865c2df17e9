#include "platform/linux/XdgFolders.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>

#include "LinuxTestSupport.h"
#include "platform/linux/XdgUserStore.h"

using namespace halvern::platform;
using halvern::platform::testing::TempFolder;

namespace {

/// An environment made of the given variables only.
XdgFolders::Environment environmentOf(std::map<std::string, std::string> variables) {
    return [variables = std::move(variables)](const char* name) -> const char* {
        const auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
}

TEST(XdgFolders, FollowTheVariablesOrFallBackUnderHome) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> variables;
        std::string config;
        std::string data;
    };
    const Case cases[] = {
        {"unset",
         {{"HOME", "/home/ann"}},
         "/home/ann/.config/halvern",
         "/home/ann/.local/share/halvern"},
        {"set",
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}, {"XDG_DATA_HOME", "/d/x"}},
         "/cfg/halvern",
         "/d/x/halvern"},
        // The XDG rules: a relative path is invalid and ignored, as is an empty one.
        {"relative",
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "cfg"}, {"XDG_DATA_HOME", "./data"}},
         "/home/ann/.config/halvern",
         "/home/ann/.local/share/halvern"},
        {"empty",
         {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", ""}},
         "/home/ann/.config/halvern",
         "/home/ann/.local/share/halvern"},
    };
    for (const Case& c : cases) {
        const auto environment = environmentOf(c.variables);
        EXPECT_EQ(XdgFolders::configFolder(environment), c.config) << c.what;
        EXPECT_EQ(XdgFolders::dataFolder(environment), c.data) << c.what;
    }
}

TEST(XdgFolders, WithoutAUsableHomeTheAccountsOwnHomeIsUsed) {
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    const std::string home = user->pw_dir;
    for (const char* value : {"", "relative/home"}) {
        const auto environment = environmentOf({{"HOME", value}});
        EXPECT_EQ(XdgFolders::configFolder(environment), home + "/.config/halvern") << value;
        EXPECT_EQ(XdgFolders::dataFolder(environment), home + "/.local/share/halvern") << value;
    }
}

TEST(XdgFolders, TheUserStoreLivesInTheConfigFolder) {
    EXPECT_EQ(XdgUserStore::defaultFolder(), XdgFolders::configFolder());
}

TEST(XdgFolders, ShippedFilesComeFromTheInstallationsDataFolderWhenItHoldsThem) {
    TempFolder prefix;
    ASSERT_EQ(::mkdir((prefix / "bin").c_str(), 0755), 0);
    const std::string exe = prefix / "bin/zorvik";
    // A build tree: nothing installed beside it, the executable's folder holds the files.
    EXPECT_EQ(XdgFolders::shippedFolder(exe), prefix / "bin");

    // A share/halvern without the shipped files is no installation of them.
    ASSERT_EQ(::mkdir((prefix / "share").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((prefix / "share/halvern").c_str(), 0755), 0);
    EXPECT_EQ(XdgFolders::shippedFolder(exe), prefix / "bin");

    std::ofstream(prefix / "share/halvern/1by1.jpg") << "GIF89a";
    EXPECT_EQ(XdgFolders::shippedFolder(exe), prefix / "share/halvern");

    const ProgramFolders folders = XdgFolders::forExecutable(
        exe, environmentOf({{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "/data"}}));
    EXPECT_EQ(folders.executable, prefix / "bin");
    EXPECT_EQ(folders.shipped, prefix / "share/halvern");
    EXPECT_EQ(folders.config, "/home/ann/.config/halvern");
    EXPECT_EQ(folders.data, "/data/halvern");
}

}  // namespace

#include "platform/linux/XdgScratchFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "LinuxTestSupport.h"

using halvern::platform::XdgScratchFiles;
using namespace halvern::platform::testing;

namespace {

std::string contentOf(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

struct XdgScratchFilesTest : ::testing::Test {
    TempFolder temp;
    std::string runtime = temp / "run";
    std::string cache = temp / "cache";
    XdgScratchFiles scratch{runtime, cache};

    XdgScratchFilesTest() { ::mkdir(runtime.c_str(), 0700); }
};

TEST_F(XdgScratchFilesTest, WritesAPrivateFileInAPrivateFolder) {
    const auto result = scratch.write("tempZV.txt", "a\r\n\r\n");
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.path, runtime + "/halvern/tempZV.txt");
    EXPECT_EQ(contentOf(result.path), "a\r\n\r\n");
    EXPECT_EQ(modeOf(runtime + "/halvern"), 0700u);
    EXPECT_EQ(modeOf(result.path), 0600u);

    // The next export replaces the file, and stays private.
    ::chmod(result.path.c_str(), 0644);
    EXPECT_TRUE(scratch.write("tempZV.txt", "b").written);
    EXPECT_EQ(contentOf(result.path), "b");
    EXPECT_EQ(modeOf(result.path), 0600u);
}

TEST_F(XdgScratchFilesTest, APlantedLinkIsReplacedNotFollowed) {
    ASSERT_EQ(::mkdir((runtime + "/halvern").c_str(), 0700), 0);
    const std::string victim = temp / "victim";
    std::ofstream(victim) << "precious";
    ASSERT_EQ(::symlink(victim.c_str(), (runtime + "/halvern/tempZV.txt").c_str()), 0);

    const auto result = scratch.write("tempZV.txt", "log");
    EXPECT_TRUE(result.written);
    EXPECT_EQ(contentOf(victim), "precious");
    struct stat st {};
    ASSERT_EQ(::lstat(result.path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(contentOf(result.path), "log");
}

TEST_F(XdgScratchFilesTest, AnUnsafeRuntimeFolderFallsBackToTheCache) {
    struct Case {
        const char* name;
        std::function<void()> plant;
    } cases[] = {
        {"a link in place of the folder",
         [&] {
             ::mkdir((temp / "elsewhere").c_str(), 0700);
             ::symlink((temp / "elsewhere").c_str(), (runtime + "/halvern").c_str());
         }},
        {"a folder others may enter", [&] { ::mkdir((runtime + "/halvern").c_str(), 0755); }},
        {"a file in place of the folder", [&] { std::ofstream(runtime + "/halvern") << "x"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        const std::string run = t / "run";
        ::mkdir(run.c_str(), 0700);
        runtime = run;
        c.plant();
        XdgScratchFiles s{run, t / "cache"};
        const auto result = s.write("tempZV.txt", "log");
        EXPECT_TRUE(result.written);
        EXPECT_EQ(result.path, t / "cache" + "/halvern/tempZV.txt");
        EXPECT_EQ(modeOf(t / "cache" + "/halvern"), 0700u);
        EXPECT_EQ(namesIn(temp / "elsewhere"), std::set<std::string>{});
    }
}

TEST_F(XdgScratchFilesTest, NoRuntimeFolderUsesTheCacheAndNoFolderAtAllWritesNothing) {
    XdgScratchFiles cacheOnly{"", cache};
    EXPECT_EQ(cacheOnly.write("tempZV.txt", "x").path, cache + "/halvern/tempZV.txt");

    XdgScratchFiles none{"", ""};
    const auto result = none.write("tempZV.txt", "x");
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.path, "");
    EXPECT_FALSE(scratch.write("../escape", "x").written);
    EXPECT_FALSE(scratch.write("", "x").written);
}

}  // namespace

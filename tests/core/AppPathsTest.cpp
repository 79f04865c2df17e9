#include "core/AppPaths.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fake/FakeFileSystem.h"

using halvern::core::AppPaths;

namespace {

const std::string kShipped = "/usr/share/halvern";
const std::string kConfig = "/home/ann/.config/halvern";
const std::string kData = "/home/ann/.local/share/halvern";

TEST(AppPaths, EachFileHasItsFolder) {
    halvern::platform::FakeFileSystem files;
    const AppPaths paths{files, {"/usr/bin", kShipped, kConfig, kData}, "/etc/hosts"};
    struct Case {
        std::string path;
        std::string expected;
    };
    const Case cases[] = {
        {paths.getIniFileName(), kConfig + "/zorvik.ini"},
        {paths.getUserBanIniFileName(), kData + "/userhosts.ini"},
        {paths.getLocalBanIniExcludeFileName(), kData + "/zorvikhostsexc.ini"},
        {paths.getLocalRemovalsIniFileName(), kData + "/removals.ini"},
        {paths.getUserTitleIniFileName(), kData + "/usertitles.ini"},
        {paths.getWhiteListIniFileName(), kData + "/userwl.ini"},
        {paths.getZVTitleIniFileName(), kShipped + "/zvtitles.ini"},
        {paths.getZVWhiteListIniFileName(), kShipped + "/zvwl.ini"},
        {paths.placeholderImage(), kShipped + "/1by1.jpg"},
        {paths.getLocalBanIniWriteFileName(), kData + "/zorvikhosts.ini"},
        {paths.spyWareWriteFile(), kData + "/zvspyware.ini"},
        {paths.getHostsFileName(), "/etc/hosts"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.path, c.expected);
    }
}

TEST(AppPaths, ARewrittenListIsTheShippedOneUntilTheUserHasACopy) {
    halvern::platform::FakeFileSystem files;
    const AppPaths paths{files, {"/usr/bin", kShipped, kConfig, kData}, "/etc/hosts"};
    files.put(kShipped + "/zorvikhosts.ini", "shipped");
    files.put(kShipped + "/zvspyware.ini", "shipped");
    EXPECT_EQ(paths.getLocalBanIniFileName(), kShipped + "/zorvikhosts.ini");
    EXPECT_EQ(paths.strgSpyWareFile(), kShipped + "/zvspyware.ini");

    files.put(kData + "/zorvikhosts.ini", "downloaded");
    EXPECT_EQ(paths.getLocalBanIniFileName(), kData + "/zorvikhosts.ini");
    EXPECT_EQ(paths.strgSpyWareFile(), kShipped + "/zvspyware.ini");
}

TEST(AppPaths, APortableCopyKeepsEverythingInItsFolder) {
    const AppPaths paths{"/opt/halvern", "/etc/hosts"};
    EXPECT_EQ(paths.getIniFileName(), "/opt/halvern/zorvik.ini");
    EXPECT_EQ(paths.getLocalBanIniFileName(), "/opt/halvern/zorvikhosts.ini");
    EXPECT_EQ(paths.getLocalBanIniWriteFileName(), "/opt/halvern/zorvikhosts.ini");
    EXPECT_EQ(paths.dataFile("zvhosts.dat"), "/opt/halvern/zvhosts.dat");
}

}  // namespace

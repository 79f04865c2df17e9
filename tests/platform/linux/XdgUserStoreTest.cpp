#include "platform/linux/XdgUserStore.h"

#include <gtest/gtest.h>

#include <vector>

#include "LinuxTestSupport.h"
#include "platform/linux/PosixFileSystem.h"

using halvern::platform::PosixFileSystem;
using halvern::platform::XdgUserStore;
using namespace halvern::platform::testing;

namespace {

struct XdgUserStoreTest : ::testing::Test {
    TempFolder config;
    PosixFileSystem files;
    XdgUserStore store{files, config / "halvern"};
};

TEST_F(XdgUserStoreTest, ValuesRoundTripWithCaseInsensitiveNames) {
    EXPECT_FALSE(store.get("KorvaneSoft", "Installs", "Zorvik"));
    EXPECT_EQ(store.get("KorvaneSoft", "Installs", "Zorvik", "none"), "none");
    EXPECT_FALSE(files.exists(config / "halvern")) << "reading made the folder";

    ASSERT_TRUE(store.set("KorvaneSoft", "Installs", "Zorvik", "/opt/halvern/zorvik"));
    EXPECT_TRUE(files.exists(config / "halvern/KorvaneSoft.ini"));
    EXPECT_EQ(store.get("korvanesoft", "INSTALLS", "zorvik"), "/opt/halvern/zorvik");

    ASSERT_TRUE(store.set("KORVANESOFT", "installs", "ZORVIK", "/usr/local/zorvik"));
    EXPECT_EQ(namesIn(config / "halvern"), std::set<std::string>{"KorvaneSoft.ini"});
    EXPECT_EQ(store.get("KorvaneSoft", "Installs", "Zorvik"), "/usr/local/zorvik");

    ASSERT_TRUE(store.set("Zorvik", "Zorvik", "bDisableMessenger", "True"));
    XdgUserStore reopened(files, config / "halvern");
    EXPECT_EQ(reopened.get("zorvik", "zorvik", "bdisablemessenger"), "True");
    EXPECT_EQ(reopened.get("KorvaneSoft", "Installs", "Zorvik"), "/usr/local/zorvik");

    EXPECT_TRUE(store.remove("korvanesoft", "installs", "zorvik"));
    EXPECT_FALSE(store.get("KorvaneSoft", "Installs", "Zorvik"));
    EXPECT_FALSE(store.remove("KorvaneSoft", "Installs", "Zorvik"));
    EXPECT_FALSE(store.remove("Nobody", "Installs", "Zorvik"));
}

TEST_F(XdgUserStoreTest, NeverTakesTheSettingsFileBesideItForAnApplicationsFile) {
    // The program's settings "zorvik.ini" share the folder with the store's "Zorvik.ini": with
    // the store's file missing, a case-insensitive match must not read or rewrite the settings.
    const std::string settings = "[Settings]\r\nbStartup=True\r\n";
    ASSERT_TRUE(files.makeDirectories(config / "halvern"));
    ASSERT_TRUE(files.write(config / "halvern/zorvik.ini", settings));
    XdgUserStore guarded{files, config / "halvern", {"zorvik.ini"}};

    EXPECT_FALSE(guarded.get("Zorvik", "Settings", "bStartup"));
    ASSERT_TRUE(guarded.set("Zorvik", "State", "FirstStart", "Done"));
    EXPECT_EQ(namesIn(config / "halvern"), (std::set<std::string>{"Zorvik.ini", "zorvik.ini"}));
    EXPECT_EQ(files.read(config / "halvern/zorvik.ini"), settings);
    EXPECT_EQ(guarded.get("ZORVIK", "state", "firststart"), "Done");
    EXPECT_TRUE(guarded.remove("zorvik", "State", "FirstStart"));
    EXPECT_EQ(files.read(config / "halvern/zorvik.ini"), settings);

    // Only the foreign file answers to a name: the store has no file for it.
    ASSERT_TRUE(files.remove(config / "halvern/Zorvik.ini"));
    EXPECT_FALSE(guarded.set("zorvik", "State", "FirstStart", "Done"));
    EXPECT_FALSE(guarded.get("zorvik", "Settings", "bStartup"));
    EXPECT_EQ(files.read(config / "halvern/zorvik.ini"), settings);
}

TEST_F(XdgUserStoreTest, ValuesKeepTheirBlanksAndQuotes) {
    for (const std::string& value :
         std::vector<std::string>{"", " leading", "trailing\t", "\"quoted\"", "'single'", "\"",
                                  "a = b ; c", "[not a section]", std::string(600, 'x')}) {
        ASSERT_TRUE(store.set("Zorvik", "Values", "v", value)) << value;
        EXPECT_EQ(store.get("Zorvik", "Values", "v"), value);
    }
}

TEST_F(XdgUserStoreTest, RefusesWhatALineCannotHoldAndLeavesTheFileAlone) {
    ASSERT_TRUE(store.set("Zorvik", "S", "k", "kept"));
    auto before = files.read(config / "halvern/Zorvik.ini");
    struct Case {
        std::string application, section, key, value;
    } cases[] = {
        {"Zorvik", "S", "k", "two\nlines"},
        {"Zorvik", "S", "a=b", "v"},
        {"Zorvik", "S\r\nX", "k", "v"},
        {"Zorvik", "", "k", "v"},
        {"Zorvik", "S", "", "v"},
        {"../escape", "S", "k", "v"},
        {"", "S", "k", "v"},
        {"..", "S", "k", "v"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(store.set(c.application, c.section, c.key, c.value))
            << c.application << "/" << c.section << "/" << c.key;
    }
    EXPECT_EQ(files.read(config / "halvern/Zorvik.ini"), before);
    EXPECT_EQ(namesIn(config.path()), std::set<std::string>{"halvern"});
}

TEST_F(XdgUserStoreTest, AnUnwritableFolderMakesSetFail) {
    ASSERT_TRUE(files.write(config / "halvern", "a file where the folder should be"));
    EXPECT_FALSE(store.set("Zorvik", "S", "k", "v"));
    EXPECT_FALSE(store.get("Zorvik", "S", "k"));
}

TEST_F(XdgUserStoreTest, DefaultFolderFollowsTheEnvironment) {
    std::string oldConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/user", 1);
    ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
    EXPECT_EQ(XdgUserStore::defaultFolder(), "/xdg/config/halvern");
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(XdgUserStore::defaultFolder(), "/home/user/.config/halvern");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(XdgUserStore::defaultFolder(), "/home/user/.config/halvern");
    ::setenv("HOME", oldHome.c_str(), 1);
    if (oldConfig.empty()) {
        ::unsetenv("XDG_CONFIG_HOME");
    } else {
        ::setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
    }
}

}  // namespace

namespace {

TEST(XdgUserStoreModes, TheFolderIsTheUsersAloneAndItsFilesReadableByTheUserOnly) {
    TempFolder config;
    PosixFileSystem files;
    XdgUserStore store{files, config / "deep/halvern"};
    ASSERT_TRUE(store.set("KorvaneSoft", "Zorvik", "BlockLevel", "$y$hash"));
    struct stat st {};
    ASSERT_EQ(::stat((config / "deep/halvern").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_EQ(::stat((config / "deep/halvern/KorvaneSoft.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // Files and a folder an older version left open to others are narrowed on the next write.
    ::chmod((config / "deep/halvern").c_str(), 0755);
    ::chmod((config / "deep/halvern/KorvaneSoft.ini").c_str(), 0644);
    ASSERT_TRUE(store.set("KorvaneSoft", "Zorvik", "BlockLevel", "$y$other"));
    ASSERT_EQ(::stat((config / "deep/halvern").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_EQ(::stat((config / "deep/halvern/KorvaneSoft.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(store.get("KorvaneSoft", "Zorvik", "BlockLevel"), "$y$other");
}

}  // namespace

// The file-backed registry on a temporary folder: the files it writes, the bytes they keep,
// files it must not overwrite, and a write killed half-way.

#include "platform/linux/FileRegistry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "LinuxTestSupport.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/RegistryFileFormat.h"

namespace halvern::platform {
namespace {

using testing::TempFolder;

const std::string kMain = "Software\\Microsoft\\Internet Explorer\\Main";

struct FileRegistryTest : ::testing::Test {
    TempFolder temp;
    std::string folder = temp / "halvern";
    PosixFileSystem files;
    FileRegistry registry{files, folder};

    std::string text(RegistryRoot root) const {
        return files.read(registry.fileOf(root)).value_or("<none>");
    }
};

TEST_F(FileRegistryTest, EachRootIsATextFileOfItsOwnThatKeepsTheFirstSpelling) {
    EXPECT_FALSE(files.exists(folder)) << "nothing is made before the first change";
    ASSERT_TRUE(registry.setValue(HKEY_CURRENT_USER, kMain, "Play_Animations",
                                  {REG_SZ, std::string("yes\0", 4)}));
    ASSERT_TRUE(registry.setValue(HKEY_CURRENT_USER, "SOFTWARE\\MICROSOFT\\Other", "",
                                  {REG_DWORD, std::string("\x00\x04\x00\x00", 4)}));
    ASSERT_TRUE(
        registry.setValue(HKEY_CURRENT_USER, kMain, "PLAY_ANIMATIONS", {REG_SZ, "50% \"no\""}));
    EXPECT_EQ(registry.fileOf(HKEY_CURRENT_USER), folder + "/HKEY_CURRENT_USER.registry");
    EXPECT_EQ(registry.fileOf(HKEY_LOCAL_MACHINE), folder + "/HKEY_LOCAL_MACHINE.registry");
    EXPECT_EQ(registry.fileOf(0x80000000u), "");
    EXPECT_EQ(text(HKEY_CURRENT_USER),
              "halvern registry 1\n"
              "# HKEY_CURRENT_USER, kept by Zorvik for its own options: nothing else reads it.\n"
              "key \"Software\"\n"
              "key \"Software\\Microsoft\"\n"
              "key \"Software\\Microsoft\\Internet Explorer\"\n"
              "key \"Software\\Microsoft\\Internet Explorer\\Main\"\n"
              "value \"Play_Animations\" 1 \"50%25 %22no%22\"\n"
              "key \"Software\\Microsoft\\Other\"\n"
              "value \"\" 4 \"%00%04%00%00\"\n");
    EXPECT_FALSE(files.exists(registry.fileOf(HKEY_LOCAL_MACHINE)));
    EXPECT_EQ(testing::namesIn(folder), (std::set<std::string>{"HKEY_CURRENT_USER.registry"}))
        << "no temporary is left";
}

TEST_F(FileRegistryTest, TheFileIsPlainAsciiWhateverTheBytes) {
    std::string everyByte;
    for (int b = 0; b < 256; ++b) {
        everyByte += static_cast<char>(b);
    }
    ASSERT_TRUE(registry.setValue(HKEY_LOCAL_MACHINE, "K\r\n" + everyByte.substr(93), everyByte,
                                  {REG_BINARY, everyByte}));
    const std::string written = text(HKEY_LOCAL_MACHINE);
    for (const char c : written) {
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << static_cast<int>(c);
    }
    FileRegistry reopened(files, folder);
    EXPECT_EQ(reopened.value(HKEY_LOCAL_MACHINE, "K\r\n" + everyByte.substr(93), everyByte),
              (RegistryValue{REG_BINARY, everyByte}));
}

TEST_F(FileRegistryTest, AFileItCannotReadIsNeverOverwritten) {
    ASSERT_TRUE(files.makeDirectories(folder));
    const std::string path = registry.fileOf(HKEY_LOCAL_MACHINE);
    struct Case {
        const char* why;
        std::string content;
        std::string error;  ///< what the failure says after the path
    } cases[] = {
        {"empty", "", " is not a registry file (the file is empty) and was left as it is"},
        {"another program's file", "[Settings]\nbFlash=1\n",
         " is not a registry file (line 1: not \"halvern registry 1\") and was left as it is"},
        {"a broken line", "halvern registry 1\nkey \"A\"\nvalue \"n\" 1 \"%G0\"\n",
         " is not a registry file (line 3: not a name in quotes, a type number and data in "
         "quotes) and was left as it is"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(files.write(path, c.content));
        EXPECT_FALSE(registry.keyExists(HKEY_LOCAL_MACHINE, "A"));
        EXPECT_FALSE(registry.setValue(HKEY_LOCAL_MACHINE, "A", "n", {REG_SZ, "x"}));
        EXPECT_EQ(registry.error(), path + c.error);
        EXPECT_FALSE(registry.createKey(HKEY_LOCAL_MACHINE, "B"));
        EXPECT_EQ(registry.removeKey(HKEY_LOCAL_MACHINE, "A"), RegistryRemoval::Failed);
        EXPECT_EQ(registry.removeValue(HKEY_LOCAL_MACHINE, "A", "n"), RegistryRemoval::Failed);
        EXPECT_EQ(files.read(path), c.content) << "left exactly as it was";
    }

    // A folder in the file's place cannot be read either.
    ASSERT_TRUE(files.remove(path));
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    EXPECT_FALSE(registry.setValue(HKEY_LOCAL_MACHINE, "A", "n", {REG_SZ, "x"}));
    EXPECT_EQ(registry.error(),
              path + " could not be read (not a regular file) and was left as it is");
    EXPECT_TRUE(files.isDirectory(path));

    // The other root is a file of its own and still works.
    EXPECT_TRUE(registry.setValue(HKEY_CURRENT_USER, "A", "n", {REG_SZ, "x"}));
}

/// Runs body as an ordinary user in a child (root reads and writes anything); its exit code, or
/// kNotPermitted when the privileges cannot be dropped.
int asOrdinaryUser(const std::function<int()>& body) {
    return testing::runInChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return testing::kNotPermitted;
        }
        return body();
    });
}

TEST_F(FileRegistryTest, AFileWithoutReadPermissionIsKept) {
    ASSERT_TRUE(registry.setValue(HKEY_CURRENT_USER, "A", "n", {REG_SZ, "old"}));
    const std::string path = registry.fileOf(HKEY_CURRENT_USER);
    const std::string before = text(HKEY_CURRENT_USER);
    // The folder lets anyone replace the file; only the file's own mode keeps it from being read.
    ASSERT_EQ(::chmod(temp.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    const int code = asOrdinaryUser([&] {
        PosixFileSystem userFiles;
        FileRegistry userRegistry(userFiles, folder);
        if (userRegistry.value(HKEY_CURRENT_USER, "A", "n")) {
            return 1;
        }
        if (userRegistry.setValue(HKEY_CURRENT_USER, "A", "n", {REG_SZ, "new"})) {
            return 2;
        }
        return userRegistry.error() ==
                       path + " could not be read (Permission denied) and was left as it is"
                   ? 0
                   : 3;
    });
    ::chmod(path.c_str(), 0600);
    if (code == testing::kNotPermitted) {
        GTEST_SKIP() << "cannot drop root privileges here";
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text(HKEY_CURRENT_USER), before);
}

TEST_F(FileRegistryTest, AWriteThatFailsSaysWhy) {
    // A file where the folder should be: the folder cannot be made.
    ASSERT_TRUE(files.write(folder, "not a folder"));
    EXPECT_FALSE(registry.setValue(HKEY_CURRENT_USER, "A", "n", {REG_SZ, "x"}));
    EXPECT_EQ(registry.error(), "the folder " + folder + " could not be made");
    EXPECT_EQ(files.read(folder), "not a folder");

    // A folder that refuses the file's temporary, and so its new content.
    TempFolder other;
    const std::string locked = other / "locked";
    ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
    FileRegistry lockedRegistry(files, locked);
    ASSERT_TRUE(lockedRegistry.setValue(HKEY_CURRENT_USER, "A", "n", {REG_SZ, "old"}));
    ASSERT_EQ(::chmod(other.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    const int code = asOrdinaryUser([&] {
        PosixFileSystem userFiles;
        FileRegistry userRegistry(userFiles, locked);
        if (userRegistry.setValue(HKEY_CURRENT_USER, "A", "n", {REG_SZ, "new"})) {
            return 1;
        }
        return userRegistry.error() == locked +
                                           "/HKEY_CURRENT_USER.registry could not be written "
                                           "(Permission denied)"
                   ? 0
                   : 2;
    });
    ::chmod(locked.c_str(), 0755);
    if (code == testing::kNotPermitted) {
        GTEST_SKIP() << "cannot drop root privileges here";
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(lockedRegistry.value(HKEY_CURRENT_USER, "A", "n"), (RegistryValue{REG_SZ, "old"}));
}

TEST_F(FileRegistryTest, AWriteKilledHalfWayLeavesTheOldFileAndTheNextStartTidiesUp) {
    ASSERT_TRUE(registry.setValue(HKEY_LOCAL_MACHINE, "Flash", "Compatibility Flags",
                                  {REG_DWORD, std::string("\x00\x04\x00\x00", 4)}));
    const std::string before = text(HKEY_LOCAL_MACHINE);

    const int code = testing::runInChild([&] {
        PosixFileSystem dying;
        dying.afterStep = [](PosixFileSystem::Step step) {
            if (step == PosixFileSystem::Step::TemporaryWritten) {
                ::raise(SIGKILL);
            }
        };
        FileRegistry child(dying, folder);
        child.removeKey(HKEY_LOCAL_MACHINE, "Flash");
        return 0;
    });
    EXPECT_EQ(code, -1) << "the child died in the write";
    EXPECT_EQ(text(HKEY_LOCAL_MACHINE), before);
    EXPECT_EQ(testing::namesIn(folder).size(), 2u) << "the file and the killed write's temporary";

    FileRegistry next(files, folder);
    EXPECT_EQ(testing::namesIn(folder), (std::set<std::string>{"HKEY_LOCAL_MACHINE.registry"}));
    EXPECT_EQ(next.value(HKEY_LOCAL_MACHINE, "flash", "compatibility flags"),
              (RegistryValue{REG_DWORD, std::string("\x00\x04\x00\x00", 4)}));
    EXPECT_EQ(next.removeKey(HKEY_LOCAL_MACHINE, "Flash"), RegistryRemoval::Removed);
}

TEST(RegistryFileFormat, ReadsNotesBlankLinesAndCrLfAndRefusesWhatItCannotRead) {
    struct Case {
        const char* why;
        std::string text;
        std::string error;  ///< "" when the text reads
    } cases[] = {
        {"the first line only", "halvern registry 1", ""},
        {"notes, blank lines and CR LF",
         "halvern registry 1\r\n# a note\r\n\r\nkey \"A\"\r\nvalue \"n\" 1 \"x%0a\"\r\n", ""},
        {"lower-case escapes", "halvern registry 1\nkey \"A\"\nvalue \"n\" 1 \"%0a%ff\"\n", ""},
        {"a value before any key", "halvern registry 1\nvalue \"n\" 1 \"x\"\n",
         "line 2: a value before any key"},
        {"an unknown line", "halvern registry 1\nkeys \"A\"\n",
         "line 2: neither a key nor a value"},
        {"an unclosed quote", "halvern registry 1\nkey \"A\n", "line 2: not a key path in quotes"},
        {"an empty part", "halvern registry 1\nkey \"A\\\\B\"\n",
         "line 2: not a key path in quotes"},
        {"text after the key", "halvern registry 1\nkey \"A\" x\n",
         "line 2: not a key path in quotes"},
        {"two blanks", "halvern registry 1\nkey  \"A\"\n", "line 2: not a key path in quotes"},
        {"a type over 32 bits", "halvern registry 1\nkey \"A\"\nvalue \"n\" 4294967296 \"\"\n",
         "line 3: not a name in quotes, a type number and data in quotes"},
        {"a short escape", "halvern registry 1\nkey \"A\"\nvalue \"n\" 1 \"%4\"\n",
         "line 3: not a name in quotes, a type number and data in quotes"},
        {"another version", "halvern registry 2\n", "line 1: not \"halvern registry 1\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::string error;
        const auto tree = RegistryFileFormat::parse(c.text, error);
        EXPECT_EQ(tree.has_value(), c.error.empty());
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    const auto tree = RegistryFileFormat::parse(
        "halvern registry 1\nkey \"A\"\nvalue \"n\" 4294967295 \"%0a%ff\"\n", error);
    ASSERT_TRUE(tree);
    EXPECT_EQ(*tree->value("a", "N"), (RegistryValue{0xFFFFFFFFu, "\n\xff"}));
}

}  // namespace
}  // namespace halvern::platform

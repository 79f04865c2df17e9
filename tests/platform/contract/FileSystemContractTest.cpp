// What every FileSystem backend promises, as one typed suite: files in memory and files in a
// temporary folder. A driver gives the file system and a fresh, empty folder to work in; a new
// operation of the interface gets its own tests here, for every backend at once.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>
#include <string>

#include "../linux/LinuxTestSupport.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/linux/PosixFileSystem.h"

namespace halvern::platform::contract {
namespace {

class FakeFileSystemDriver {
public:
    static constexpr const char* kName = "Fake";
    FakeFileSystemDriver() { m_files.makeDirectories(kRoot); }
    FileSystem& files() { return m_files; }
    std::string root() const { return kRoot; }
    /// Something that is there but is no regular file: a FIFO on disk.
    void makeSpecial(const std::string& path) { m_files.putSpecial(path); }

private:
    static constexpr const char* kRoot = "/tmp/contract";
    FakeFileSystem m_files;
};

class PosixFileSystemDriver {
public:
    static constexpr const char* kName = "Posix";
    FileSystem& files() { return m_files; }
    std::string root() const { return m_folder.path(); }
    void makeSpecial(const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }

private:
    testing::TempFolder m_folder;
    PosixFileSystem m_files;
};

template <typename Driver>
class FileSystemContract : public ::testing::Test {
protected:
    FileSystem& files() { return m_driver.files(); }
    /// A path inside the test's own folder.
    std::string at(const std::string& name) const { return m_driver.root() + "/" + name; }
    /// Writes a file the test needs, failing the test when it cannot.
    void give(const std::string& name, const std::string& content) {
        ASSERT_TRUE(files().write(at(name), content)) << name;
    }

    Driver m_driver;
};

using Drivers = ::testing::Types<FakeFileSystemDriver, PosixFileSystemDriver>;
class DriverNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return T::kName;
    }
};
TYPED_TEST_SUITE(FileSystemContract, Drivers, DriverNames);

TYPED_TEST(FileSystemContract, MissingFilesAreNothingAndEveryOperationOnThemFails) {
    auto& files = this->files();
    const std::string missing = this->at("missing.txt");
    EXPECT_EQ(files.read(missing), std::nullopt);
    EXPECT_FALSE(files.exists(missing));
    EXPECT_FALSE(files.isDirectory(missing));
    EXPECT_EQ(files.size(missing), std::nullopt);
    EXPECT_FALSE(files.copy(missing, this->at("copy.txt")));
    EXPECT_FALSE(files.rename(missing, this->at("moved.txt")));
    EXPECT_FALSE(files.remove(missing));
    EXPECT_FALSE(files.exists(this->at("copy.txt")));
    EXPECT_FALSE(files.exists(this->at("moved.txt")));
}

TYPED_TEST(FileSystemContract, WritesReplaceTheWholeFile) {
    auto& files = this->files();
    const std::string path = this->at("hosts");
    struct Case {
        const char* what;
        std::string content;
    } cases[] = {
        {"text", "127.0.0.1 localhost\n"},
        {"a shorter text over a longer one", "x"},
        {"nothing", ""},
        {"bytes of every kind", std::string("a\0b\r\n\xff", 6)},
        {"a large file", std::string(300000, 'h')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(files.write(path, c.content));
        EXPECT_EQ(files.read(path), c.content);
        EXPECT_EQ(files.size(path), c.content.size());
        EXPECT_TRUE(files.exists(path));
        EXPECT_FALSE(files.isDirectory(path));
    }
}

TYPED_TEST(FileSystemContract, WritingNeedsAnExistingFolder) {
    auto& files = this->files();
    struct Case {
        const char* what;
        std::string path;
        const char* error;
    } cases[] = {
        {"missing folder", this->at("missing/file.txt"), "No such file or directory"},
        {"missing folders", this->at("a/b/c/file.txt"), "No such file or directory"},
        {"a file where a folder should be", this->at("plain.txt/file.txt"), "Not a directory"},
    };
    this->give("plain.txt", "plain");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(files.write(c.path, "lost"));
        EXPECT_EQ(files.writeError(), c.error);
        EXPECT_FALSE(files.exists(c.path));
        EXPECT_EQ(files.read(c.path), std::nullopt);
    }
    EXPECT_FALSE(files.exists(this->at("missing")));
    EXPECT_EQ(files.read(this->at("plain.txt")), "plain");
}

TYPED_TEST(FileSystemContract, MakeDirectoriesCreatesEveryMissingLevel) {
    auto& files = this->files();
    const std::string deep = this->at("a/b/c");
    ASSERT_TRUE(files.makeDirectories(deep));
    for (const std::string& folder : {this->at("a"), this->at("a/b"), deep}) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(files.isDirectory(folder));
        EXPECT_TRUE(files.exists(folder));
        EXPECT_EQ(files.size(folder), std::nullopt);
        EXPECT_EQ(files.read(folder), std::nullopt);
    }
    EXPECT_TRUE(files.makeDirectories(deep)) << "an existing folder is fine";
    EXPECT_TRUE(files.makeDirectories(deep + "/"));
    ASSERT_TRUE(files.write(deep + "/file.txt", "deep"));
    EXPECT_EQ(files.read(deep + "/file.txt"), "deep");
}

TYPED_TEST(FileSystemContract, MakeDirectoriesFailsWhereAFileIsInTheWay) {
    auto& files = this->files();
    this->give("plain.txt", "plain");
    EXPECT_FALSE(files.makeDirectories(this->at("plain.txt")));
    EXPECT_FALSE(files.makeDirectories(this->at("plain.txt/below")));
    EXPECT_FALSE(files.makeDirectories(""));
    EXPECT_FALSE(files.isDirectory(this->at("plain.txt")));
    EXPECT_EQ(files.read(this->at("plain.txt")), "plain");
}

TYPED_TEST(FileSystemContract, AFolderIsNeitherWrittenNorRemovedAsAFile) {
    auto& files = this->files();
    const std::string folder = this->at("folder");
    ASSERT_TRUE(files.makeDirectories(folder));
    this->give("folder/inside.txt", "inside");
    EXPECT_FALSE(files.write(folder, "over a folder"));
    EXPECT_EQ(files.writeError(), "Is a directory");
    EXPECT_FALSE(files.remove(folder));
    this->give("plain.txt", "plain");
    EXPECT_FALSE(files.copy(this->at("plain.txt"), folder));
    EXPECT_FALSE(files.rename(this->at("plain.txt"), folder));
    EXPECT_TRUE(files.isDirectory(folder));
    EXPECT_EQ(files.read(this->at("folder/inside.txt")), "inside");
    EXPECT_EQ(files.read(this->at("plain.txt")), "plain");
}

TYPED_TEST(FileSystemContract, CopyLeavesTheSourceAndReplacesTheTarget) {
    auto& files = this->files();
    this->give("from.txt", "new");
    this->give("to.txt", "old and longer");
    ASSERT_TRUE(files.copy(this->at("from.txt"), this->at("to.txt")));
    EXPECT_EQ(files.read(this->at("to.txt")), "new");
    EXPECT_EQ(files.read(this->at("from.txt")), "new");

    ASSERT_TRUE(files.copy(this->at("from.txt"), this->at("fresh.txt")));
    EXPECT_EQ(files.read(this->at("fresh.txt")), "new");

    EXPECT_TRUE(files.copy(this->at("from.txt"), this->at("from.txt"))) << "onto itself";
    EXPECT_EQ(files.read(this->at("from.txt")), "new");

    EXPECT_FALSE(files.copy(this->at("from.txt"), this->at("missing/to.txt")));
    EXPECT_FALSE(files.exists(this->at("missing/to.txt")));
}

TYPED_TEST(FileSystemContract, RenameMovesTheFileOverTheTarget) {
    auto& files = this->files();
    this->give("from.txt", "moving");
    this->give("to.txt", "replaced");
    ASSERT_TRUE(files.rename(this->at("from.txt"), this->at("to.txt")));
    EXPECT_FALSE(files.exists(this->at("from.txt")));
    EXPECT_EQ(files.read(this->at("to.txt")), "moving");

    EXPECT_TRUE(files.rename(this->at("to.txt"), this->at("to.txt"))) << "onto itself";
    EXPECT_EQ(files.read(this->at("to.txt")), "moving");

    EXPECT_FALSE(files.rename(this->at("to.txt"), this->at("missing/to.txt")));
    EXPECT_EQ(files.read(this->at("to.txt")), "moving") << "a failed rename keeps the source";
}

TYPED_TEST(FileSystemContract, RemoveDeletesAFileOnce) {
    auto& files = this->files();
    this->give("file.txt", "x");
    EXPECT_TRUE(files.remove(this->at("file.txt")));
    EXPECT_FALSE(files.exists(this->at("file.txt")));
    EXPECT_EQ(files.read(this->at("file.txt")), std::nullopt);
    EXPECT_FALSE(files.remove(this->at("file.txt")));
    this->give("file.txt", "back");
    EXPECT_EQ(files.read(this->at("file.txt")), "back");
}

TYPED_TEST(FileSystemContract, ABoundedReadGivesTheFileOrSaysWhyNot) {
    auto& files = this->files();
    this->give("list.ini", "[DomainCount]\nN=0\n");
    const ReadResult whole = files.readLimited(this->at("list.ini"), 64);
    EXPECT_EQ(whole.content, "[DomainCount]\nN=0\n");
    EXPECT_EQ(whole.failure, ReadFailure::None);
    EXPECT_FALSE(whole.refused());

    const ReadResult large = files.readLimited(this->at("list.ini"), 4);
    EXPECT_EQ(large.content, std::nullopt);
    EXPECT_EQ(large.failure, ReadFailure::TooLarge);
    EXPECT_TRUE(large.refused());
    EXPECT_FALSE(large.error.empty());

    const ReadResult missing = files.readLimited(this->at("missing.ini"), 64);
    EXPECT_EQ(missing.failure, ReadFailure::Missing);
    EXPECT_FALSE(missing.refused());
}

TYPED_TEST(FileSystemContract, WhatIsNoRegularFileIsNeverReadNorCopied) {
    auto& files = this->files();
    ASSERT_TRUE(files.makeDirectories(this->at("folder")));
    this->m_driver.makeSpecial(this->at("fifo"));
    for (const char* name : {"folder", "fifo"}) {
        const ReadResult read = files.readLimited(this->at(name), 64);
        EXPECT_EQ(read.content, std::nullopt) << name;
        EXPECT_EQ(read.failure, ReadFailure::NotAFile) << name;
        EXPECT_TRUE(read.refused()) << name;
        EXPECT_EQ(files.read(this->at(name)), std::nullopt) << name;
        EXPECT_FALSE(files.copy(this->at(name), this->at("copy"))) << name;
        EXPECT_FALSE(files.exists(this->at("copy"))) << name;
    }
    EXPECT_FALSE(files.write(this->at("fifo"), "never"));
    EXPECT_EQ(files.writeError(), "not a regular file");
}

}  // namespace
}  // namespace halvern::platform::contract

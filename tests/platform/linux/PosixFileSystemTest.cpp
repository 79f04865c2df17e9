#include "platform/linux/PosixFileSystem.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <fstream>

#include "LinuxTestSupport.h"

using halvern::platform::PosixFileSystem;
using namespace halvern::platform::testing;

namespace {

struct PosixFileSystemTest : ::testing::Test {
    TempFolder dir;
    PosixFileSystem files;
};

// A private mount namespace, so mounts made by the test vanish with the child.
bool enterPrivateMounts() {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

TEST_F(PosixFileSystemTest, ReadsBackWhatItWroteAndLeavesNoTemporaryFile) {
    const std::string path = dir / "hosts";
    const std::string content("127.0.0.1 localhost\r\n\0binary\xff", 30);
    ASSERT_TRUE(files.write(path, content));
    EXPECT_EQ(files.read(path), content);
    EXPECT_EQ(files.size(path), content.size());
    EXPECT_EQ(modeOf(path), 0644u);
    ASSERT_TRUE(files.write(path, ""));
    EXPECT_EQ(files.read(path), "");
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"hosts"});
}

TEST_F(PosixFileSystemTest, ReplacingAFileKeepsItsModeAndOwner) {
    const std::string path = dir / "zorvik.ini";
    ASSERT_TRUE(files.write(path, "old"));
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
    }
    ASSERT_TRUE(files.write(path, "new"));
    EXPECT_EQ(files.read(path), "new");
    EXPECT_EQ(modeOf(path), 0600u);
    if (root) {
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 8765u);
    }
}

TEST_F(PosixFileSystemTest, WritingThroughALinkChangesTheFileItPointsTo) {
    ASSERT_TRUE(files.write(dir / "real", "old"));
    ASSERT_EQ(::symlink((dir / "real").c_str(), (dir / "link").c_str()), 0);
    ASSERT_TRUE(files.write(dir / "link", "new"));
    EXPECT_EQ(files.read(dir / "real"), "new");
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(PosixFileSystemTest, WriteIntoAReadOnlyFolderFailsAndKeepsTheOldFile) {
    const std::string path = dir / "hosts";
    ASSERT_TRUE(files.write(path, "old content"));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    // Root writes anywhere, so the write is tried by an ordinary user in a child.
    int code = runInChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return kNotPermitted;
        }
        return PosixFileSystem().write(path, "new content") ? 1 : 0;
    });
    ::chmod(dir.path().c_str(), 0755);
    if (code == kNotPermitted) {
        GTEST_SKIP() << "cannot drop root privileges here";
    }
    EXPECT_EQ(code, 0) << "the write reported success";
    EXPECT_EQ(files.read(path), "old content");
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"hosts"});
}

TEST_F(PosixFileSystemTest, FullDiskKeepsTheOldFileAndNoTemporary) {
    int code = runInChild([&] {
        if (!enterPrivateMounts() ||
            ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
            return kNotPermitted;
        }
        PosixFileSystem fs;
        if (!fs.write(dir / "hosts", "old")) {
            return 1;
        }
        if (fs.write(dir / "hosts", std::string(512 * 1024, 'x'))) {
            return 2;
        }
        if (fs.read(dir / "hosts") != "old") {
            return 3;
        }
        return namesIn(dir.path()) == std::set<std::string>{"hosts"} ? 0 : 4;
    });
    if (code == kNotPermitted) {
        GTEST_SKIP() << "mount namespaces are not permitted here";
    }
    EXPECT_EQ(code, 0);
}

TEST_F(PosixFileSystemTest, RenameAcrossFileSystemsCopiesAndRemoves) {
    int code = runInChild([&] {
        const std::string other = dir / "other";
        ::mkdir(other.c_str(), 0755);
        if (!enterPrivateMounts() || ::mount("tmpfs", other.c_str(), "tmpfs", 0, "size=64k") != 0) {
            return kNotPermitted;
        }
        PosixFileSystem fs;
        if (!fs.write(dir / "hostszvb", "backup") || !fs.write(other + "/hosts", "old")) {
            return 1;
        }
        if (!fs.rename(dir / "hostszvb", other + "/hosts")) {
            return 2;
        }
        return fs.read(other + "/hosts") == "backup" && !fs.exists(dir / "hostszvb") ? 0 : 3;
    });
    if (code == kNotPermitted) {
        GTEST_SKIP() << "mount namespaces are not permitted here";
    }
    EXPECT_EQ(code, 0);
}

// The bind mount of a file over /etc/hosts, as containers do it: rename onto it is refused.
struct MountedTarget {
    std::string source;
    std::string target;
};

int withMountedTarget(const TempFolder& dir, const std::function<int(const MountedTarget&)>& body,
                      const char* sourceFsOptions = nullptr) {
    return runInChild([&] {
        if (!enterPrivateMounts()) {
            return kNotPermitted;
        }
        std::string sourceFolder = dir / "source";
        ::mkdir(sourceFolder.c_str(), 0755);
        ::mkdir((dir / "etc").c_str(), 0755);
        if (sourceFsOptions &&
            ::mount("tmpfs", sourceFolder.c_str(), "tmpfs", 0, sourceFsOptions) != 0) {
            return kNotPermitted;
        }
        MountedTarget m{sourceFolder + "/hosts", dir / "etc/hosts"};
        std::ofstream(m.source) << "127.0.0.1 localhost\n";
        std::ofstream(m.target) << "";
        if (::mount(m.source.c_str(), m.target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return kNotPermitted;
        }
        return body(m);
    });
}

TEST_F(PosixFileSystemTest, MountPointIsRewrittenInPlaceToTheExactLength) {
    int code = withMountedTarget(dir, [&](const MountedTarget& m) {
        PosixFileSystem fs;
        if (!fs.write(m.target, "127.0.0.1 localhost\n127.0.0.1 ads.example\n")) {
            return 1;
        }
        if (!fs.write(m.target, "short\n")) {
            return 2;
        }
        if (fs.read(m.target) != "short\n" || fs.read(m.source) != "short\n") {
            return 3;
        }
        return namesIn(dir / "etc") == std::set<std::string>{"hosts"} ? 0 : 4;
    });
    if (code == kNotPermitted) {
        GTEST_SKIP() << "mount namespaces are not permitted here";
    }
    EXPECT_EQ(code, 0);
}

TEST_F(PosixFileSystemTest, MountPointThatCannotTakeTheContentKeepsItsOldContent) {
    // The temporary copy fits in the target's folder, but the mounted file's own file system
    // is too small for the new content.
    int code = withMountedTarget(
        dir,
        [&](const MountedTarget& m) {
            PosixFileSystem fs;
            if (fs.write(m.target, std::string(256 * 1024, 'x'))) {
                return 1;
            }
            if (fs.read(m.target) != "127.0.0.1 localhost\n") {
                return 2;
            }
            return namesIn(dir / "etc") == std::set<std::string>{"hosts"} ? 0 : 3;
        },
        "size=16k");
    if (code == kNotPermitted) {
        GTEST_SKIP() << "mount namespaces are not permitted here";
    }
    EXPECT_EQ(code, 0);
}

TEST_F(PosixFileSystemTest, FailuresReportFalseOrNothing) {
    EXPECT_FALSE(files.write(dir / "missing/folder/file", "x"));
    EXPECT_FALSE(files.read(dir / "missing"));
    EXPECT_FALSE(files.read(dir.path()));
    EXPECT_FALSE(files.size(dir / "missing"));
    EXPECT_FALSE(files.size(dir.path()));
    EXPECT_FALSE(files.remove(dir / "missing"));
    EXPECT_FALSE(files.rename(dir / "missing", dir / "other"));
    EXPECT_FALSE(files.copy(dir / "missing", dir / "other"));
    EXPECT_FALSE(files.write(dir.path(), "a folder is not replaced"));
    EXPECT_TRUE(files.isDirectory(dir.path()));
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{});
}

TEST_F(PosixFileSystemTest, CopyRenameRemoveAndFolders) {
    const std::string deep = dir / "a/b/c";
    ASSERT_TRUE(files.makeDirectories(deep));
    EXPECT_TRUE(files.makeDirectories(deep + "/"));
    EXPECT_TRUE(files.isDirectory(deep));
    ASSERT_TRUE(files.write(deep + "/hosts", "list"));
    EXPECT_FALSE(files.makeDirectories(deep + "/hosts/sub"));

    ASSERT_TRUE(files.copy(deep + "/hosts", dir / "hostszvb"));
    EXPECT_EQ(files.read(dir / "hostszvb"), "list");
    ASSERT_TRUE(files.write(dir / "hostszvf", "older"));
    ASSERT_TRUE(files.rename(dir / "hostszvb", dir / "hostszvf"));
    EXPECT_FALSE(files.exists(dir / "hostszvb"));
    EXPECT_EQ(files.read(dir / "hostszvf"), "list");
    EXPECT_TRUE(files.remove(dir / "hostszvf"));
    EXPECT_FALSE(files.exists(dir / "hostszvf"));
    EXPECT_TRUE(files.exists(deep + "/hosts"));
    EXPECT_FALSE(files.isDirectory(deep + "/hosts"));
}

}  // namespace

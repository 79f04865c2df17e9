#include "platform/linux/PosixFileSystem.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>

#include <fstream>
#include <vector>

#include "LinuxTestSupport.h"

using halvern::platform::FileSystem;
using halvern::platform::PosixFileSystem;
using halvern::platform::ReadFailure;
using halvern::platform::ReadResult;
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

namespace {

/// Runs body in a child that a hang cannot keep: after 5 s it dies of SIGALRM (code -1).
int withinFiveSeconds(const std::function<int()>& body) {
    return runInChild([&] {
        ::alarm(5);
        return body();
    });
}

TEST_F(PosixFileSystemTest, OnlyRegularFilesAreReadAndNothingWaitsForAWriter) {
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", (dir / "zero").c_str()), 0);
    ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
    for (const char* name : {"fifo", "zero", "folder"}) {
        const std::string path = dir / name;
        int code = withinFiveSeconds([&] {
            PosixFileSystem fs;
            std::vector<std::string> told;
            fs.onReadRefused = [&](const std::string& p, const ReadResult&) { told.push_back(p); };
            const ReadResult result = fs.readLimited(path, FileSystem::kMaxSettingsBytes);
            if (result.content || result.failure != ReadFailure::NotAFile) {
                return 1;
            }
            if (fs.read(path) || fs.copy(path, dir / "copy") || fs.exists(dir / "copy")) {
                return 2;
            }
            return told == std::vector<std::string>(3, path) ? 0 : 3;
        });
        EXPECT_EQ(code, 0) << name << (code == -1 ? ": hung or died" : "");
    }
}

TEST_F(PosixFileSystemTest, AFileBeyondTheLimitIsRefusedAndReported) {
    const std::string path = dir / "zorvikhosts.ini";
    ASSERT_TRUE(files.write(path, std::string(101, 'x')));
    std::vector<std::pair<std::string, ReadFailure>> told;
    files.onReadRefused = [&](const std::string& p, const ReadResult& r) {
        told.emplace_back(p, r.failure);
    };
    EXPECT_EQ(files.readLimited(path, 101).content, std::string(101, 'x'));
    const ReadResult refused = files.readLimited(path, 100);
    EXPECT_FALSE(refused.content);
    EXPECT_EQ(refused.failure, ReadFailure::TooLarge);
    EXPECT_EQ(refused.error, "101 bytes, over the limit of 100 bytes");
    EXPECT_EQ(files.readLimited(dir / "missing", 100).failure, ReadFailure::Missing);
    EXPECT_EQ(told,
              (std::vector<std::pair<std::string, ReadFailure>>{{path, ReadFailure::TooLarge}}))
        << "a missing file is not a refusal";

    // A sparse file just over the general limit costs no disk, and is neither read nor copied.
    const std::string huge = dir / "hosts";
    std::ofstream(huge) << "";
    ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(FileSystem::kMaxFileBytes + 1)), 0);
    EXPECT_FALSE(files.read(huge));
    EXPECT_FALSE(files.copy(huge, dir / "hostszvb"));
    EXPECT_FALSE(files.exists(dir / "hostszvb"));
}

/// Writes the content in a child process that kills itself with SIGKILL at the step.
int killedAt(PosixFileSystem::Step step, const std::string& path, const std::string& content) {
    return runInChild([&] {
        PosixFileSystem fs;
        fs.afterStep = [&](PosixFileSystem::Step reached) {
            if (reached == step) {
                ::raise(SIGKILL);
            }
        };
        fs.write(path, content);
        return 0;
    });
}

const std::string kBlocked = "127.0.0.1 localhost\n" + std::string(4000, 'b') + "\n";
const std::string kUsersOwn = "127.0.0.1 localhost\n::1 localhost ip6-localhost\n";

TEST_F(PosixFileSystemTest, AKilledRewriteOfAMountPointIsFinishedByRecover) {
    using Step = PosixFileSystem::Step;
    const struct {
        Step step;
        bool tornBeforeRecover;
        std::string afterRecover;
    } cases[] = {
        {Step::TemporaryWritten, false, kBlocked},
        {Step::JournalWritten, false, kUsersOwn},
        {Step::InPlaceWritten, true, kUsersOwn},
        {Step::InPlaceDone, false, kUsersOwn},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        int code = withMountedTarget(folder, [&](const MountedTarget& m) {
            PosixFileSystem fs;
            if (!fs.write(m.target, kBlocked)) {
                return 1;
            }
            if (killedAt(c.step, m.target, kUsersOwn) != -1) {
                return 2;
            }
            const std::string left = fs.read(m.target).value_or("?");
            const bool torn = left != kBlocked && left != kUsersOwn;
            if (torn != c.tornBeforeRecover) {
                return 3;
            }
            fs.recover(m.target);
            if (fs.read(m.target) != c.afterRecover || fs.read(m.source) != c.afterRecover) {
                return 4;
            }
            return namesIn(folder / "etc") == std::set<std::string>{"hosts"} ? 0 : 5;
        });
        if (code == kNotPermitted) {
            GTEST_SKIP() << "mount namespaces are not permitted here";
        }
        EXPECT_EQ(code, 0) << "killed at step " << static_cast<int>(c.step);
    }
}

TEST_F(PosixFileSystemTest, AJournalIsFinishedOnAPlainFileAndNeverOutlivesALaterWrite) {
    const std::string path = dir / "hosts";
    ASSERT_TRUE(files.write(path, kBlocked));
    std::ofstream(dir / ".hosts.zorvik-journal") << kUsersOwn;
    files.recover(path);
    EXPECT_EQ(files.read(path), kUsersOwn);
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"hosts"});

    // A journal that a later complete write made stale must not bring old content back.
    std::ofstream(dir / ".hosts.zorvik-journal") << "stale";
    ASSERT_TRUE(files.write(path, kBlocked));
    files.recover(path);
    EXPECT_EQ(files.read(path), kBlocked);
}

TEST_F(PosixFileSystemTest, RecoverSweepsOnlyOurStaleTemporariesOfThatFile) {
    const std::string path = dir / "hosts";
    ASSERT_TRUE(files.write(path, kUsersOwn));
    ASSERT_EQ(killedAt(PosixFileSystem::Step::TemporaryWritten, path, kBlocked), -1);
    ASSERT_EQ(killedAt(PosixFileSystem::Step::TemporaryWritten, dir / "hostszvb", kUsersOwn), -1);
    ASSERT_EQ(namesIn(dir.path()).size(), 3u) << "the killed writes left their temporaries";
    EXPECT_EQ(files.read(path), kUsersOwn);

    const std::set<std::string> notOurs = {
        "hosts.zorvik-abc123",   // not hidden: not a name we give
        ".hosts.abc123",         // another program's temporary
        ".hosts.zorvik-ab",      // too short
        ".hosts.zorvik-abc!23",  // not mkstemp's letters
        ".group.zorvik-abc123",  // a temporary of another file
        ".hosts.zorvik-dir123",  // a folder
        ".hosts.zorvik-lnk123",  // a link
    };
    for (const std::string& name : notOurs) {
        if (name == ".hosts.zorvik-dir123") {
            ASSERT_EQ(::mkdir((dir / name).c_str(), 0755), 0);
        } else if (name == ".hosts.zorvik-lnk123") {
            ASSERT_EQ(::symlink(path.c_str(), (dir / name).c_str()), 0);
        } else {
            std::ofstream(dir / name) << "keep";
        }
    }
    TempFolder elsewhere;
    std::ofstream(elsewhere / ".hosts.zorvik-abc123") << "another folder";

    files.recover(path);
    std::set<std::string> expected = notOurs;
    expected.insert("hosts");
    EXPECT_EQ(namesIn(dir.path()), expected);
    EXPECT_EQ(namesIn(elsewhere.path()), std::set<std::string>{".hosts.zorvik-abc123"});
    EXPECT_EQ(files.read(path), kUsersOwn);
}

}  // namespace

#include "platform/linux/LockFileSingleInstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <functional>
#include <memory>

#include "LinuxTestSupport.h"
#include "platform/linux/PollScheduler.h"

using namespace std::chrono_literals;
using halvern::platform::LockFileSingleInstance;
using halvern::platform::LockOutcome;
using halvern::platform::PollScheduler;
using namespace halvern::platform::testing;

namespace {

struct LockFileSingleInstanceTest : ::testing::Test {
    TempFolder dir;
    PollScheduler loop;
    int shows = 0;

    std::unique_ptr<LockFileSingleInstance> make() {
        auto instance = std::make_unique<LockFileSingleInstance>(dir.path(), loop, "zorvik-test");
        instance->onShowRequest = [this] { ++shows; };
        return instance;
    }
    /// Runs the loop until a show request arrived, for up to 5 s.
    bool showArrives() {
        for (int i = 0; i < 500 && shows == 0; ++i) {
            loop.wait(10ms);
        }
        return shows > 0;
    }
    /// Connects to the running copy's socket and sends raw bytes.
    void sendRaw(const std::string& path, const std::string& bytes) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }
};

TEST_F(LockFileSingleInstanceTest, ACopyInAnotherProcessFindsTheLockAndAsksTheFirstToShow) {
    auto first = make();
    ASSERT_EQ(first->acquire().outcome, LockOutcome::Acquired);
    EXPECT_EQ(first->acquire().outcome, LockOutcome::Acquired) << "taking a lock we hold again";
    int code = runInChild([&] {
        PollScheduler childLoop;
        LockFileSingleInstance second(dir.path(), childLoop, "zorvik-test");
        if (second.acquire().outcome != LockOutcome::HeldByAnotherCopy) {
            return 1;
        }
        second.signalRunningCopy();
        return 0;
    });
    EXPECT_EQ(code, 0) << "the second copy took the lock";
    EXPECT_TRUE(showArrives());
    EXPECT_EQ(shows, 1);
}

TEST_F(LockFileSingleInstanceTest, ASecondOpenOfTheLockInTheSameProcessIsRefusedToo) {
    auto first = make();
    ASSERT_EQ(first->acquire().outcome, LockOutcome::Acquired);
    auto second = make();
    EXPECT_EQ(second->acquire().outcome, LockOutcome::HeldByAnotherCopy);
    second->signalRunningCopy();
    EXPECT_TRUE(showArrives());
}

TEST_F(LockFileSingleInstanceTest, TheLockIsFreeAgainWhenTheRunningCopyEnds) {
    auto first = make();
    ASSERT_EQ(first->acquire().outcome, LockOutcome::Acquired);
    first.reset();
    auto next = make();
    ASSERT_EQ(next->acquire().outcome, LockOutcome::Acquired);
    make()->signalRunningCopy();
    EXPECT_TRUE(showArrives());
}

TEST_F(LockFileSingleInstanceTest, AStaleSocketFileIsReplaced) {
    auto probe = make();
    std::string socketPath = probe->socketPath();
    probe.reset();
    // A socket bound and left behind by a copy that crashed.
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    auto first = make();
    ASSERT_EQ(first->acquire().outcome, LockOutcome::Acquired);
    make()->signalRunningCopy();
    EXPECT_TRUE(showArrives());
}

TEST_F(LockFileSingleInstanceTest, OnlyTheShowMessageShowsTheRunningCopy) {
    auto first = make();
    ASSERT_EQ(first->acquire().outcome, LockOutcome::Acquired);
    for (const char* bytes : {"hello\n", "shows\n", "sho", "", "show"}) {
        sendRaw(first->socketPath(), bytes);
    }
    loop.wait(100ms);
    EXPECT_EQ(shows, 0);
    sendRaw(first->socketPath(), "show\n");
    EXPECT_TRUE(showArrives());
}

TEST_F(LockFileSingleInstanceTest, SignallingWithNoRunningCopyDoesNothing) {
    auto lone = make();
    lone->signalRunningCopy();
    EXPECT_EQ(shows, 0);
}

TEST_F(LockFileSingleInstanceTest, AMissingRuntimeFolderDoesNotKeepTheProgramFromStarting) {
    LockFileSingleInstance instance(dir / "missing", loop, "zorvik-test");
    EXPECT_EQ(instance.acquire().outcome, LockOutcome::Acquired);
    EXPECT_EQ(modeOf(dir / "missing"), 0700u);
}

TEST_F(LockFileSingleInstanceTest, ALockThatCannotBeTakenIsUnavailableNotFree) {
    const std::string lock = dir / "zorvik-test.lock";
    const struct {
        const char* name;
        std::function<void()> arrange;
    } cases[] = {
        {"a folder in its place", [&] { ::mkdir(lock.c_str(), 0700); }},
        {"a dangling link in its place",
         [&] { ASSERT_EQ(::symlink((dir / "nowhere").c_str(), lock.c_str()), 0); }},
        {"a FIFO in its place", [&] { ::mkfifo(lock.c_str(), 0600); }},
    };
    for (const auto& c : cases) {
        c.arrange();
        const int code = runInChild([&] {
            ::alarm(5);
            PollScheduler childLoop;
            const auto result =
                LockFileSingleInstance(dir.path(), childLoop, "zorvik-test").acquire();
            return result.outcome == LockOutcome::Unavailable && result.path == lock &&
                           !result.error.empty()
                       ? 0
                       : 1;
        });
        EXPECT_EQ(code, 0) << c.name;
        ::rmdir(lock.c_str());
        ::unlink(lock.c_str());
    }
}

TEST_F(LockFileSingleInstanceTest, AReadOnlyRuntimeFolderIsUnavailable) {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    // Root writes anywhere, so the lock is tried by an ordinary user in a child.
    const int code = runInChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return kNotPermitted;
        }
        PollScheduler childLoop;
        const auto result = LockFileSingleInstance(dir.path(), childLoop, "zorvik-test").acquire();
        return result.outcome == LockOutcome::Unavailable && result.error == std::strerror(EACCES)
                   ? 0
                   : 1;
    });
    ::chmod(dir.path().c_str(), 0755);
    if (code == kNotPermitted) {
        GTEST_SKIP() << "cannot drop root privileges here";
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{});
}

}  // namespace

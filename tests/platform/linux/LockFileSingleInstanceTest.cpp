#include "platform/linux/LockFileSingleInstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <memory>

#include "LinuxTestSupport.h"
#include "platform/linux/PollScheduler.h"

using namespace std::chrono_literals;
using halvern::platform::LockFileSingleInstance;
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
    ASSERT_TRUE(first->acquire());
    EXPECT_TRUE(first->acquire()) << "taking a lock we hold again";
    int code = runInChild([&] {
        PollScheduler childLoop;
        LockFileSingleInstance second(dir.path(), childLoop, "zorvik-test");
        if (second.acquire()) {
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
    ASSERT_TRUE(first->acquire());
    auto second = make();
    EXPECT_FALSE(second->acquire());
    second->signalRunningCopy();
    EXPECT_TRUE(showArrives());
}

TEST_F(LockFileSingleInstanceTest, TheLockIsFreeAgainWhenTheRunningCopyEnds) {
    auto first = make();
    ASSERT_TRUE(first->acquire());
    first.reset();
    auto next = make();
    ASSERT_TRUE(next->acquire());
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
    ASSERT_TRUE(first->acquire());
    make()->signalRunningCopy();
    EXPECT_TRUE(showArrives());
}

TEST_F(LockFileSingleInstanceTest, OnlyTheShowMessageShowsTheRunningCopy) {
    auto first = make();
    ASSERT_TRUE(first->acquire());
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
    EXPECT_TRUE(instance.acquire());
}

}  // namespace

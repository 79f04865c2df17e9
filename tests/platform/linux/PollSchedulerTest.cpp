#include "platform/linux/PollScheduler.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using halvern::platform::Millis;
using halvern::platform::PollScheduler;
using halvern::platform::Scheduler;

namespace {

/// A pipe whose ends close with the test.
struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    int readEnd() const { return fds[0]; }
    int writeEnd() const { return fds[1]; }
    void put(const char* text) const { ASSERT_GT(::write(fds[1], text, 1), 0); }
};

struct PollSchedulerTest : ::testing::Test {
    PollScheduler loop;
    std::string order;
};

TEST_F(PollSchedulerTest, CallbacksRunByDueTimeThenBySchedulingOrder) {
    loop.callAfter(30ms, [&] { order += 'a'; });
    loop.callAfter(10ms, [&] { order += 'b'; });
    loop.callAfter(10ms, [&] { order += 'c'; });
    loop.callAfter(0ms, [&] { order += 'd'; });
    loop.callAfter(-5ms, [&] { order += 'e'; });
    loop.pump();
    EXPECT_EQ(order, "de");
    Millis start = loop.now();
    loop.wait(50ms);
    EXPECT_EQ(order, "debca");
    EXPECT_GE(loop.now() - start, 50ms);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(PollSchedulerTest, CallbacksMayCancelThemselvesAndOthersWhileRunning) {
    Scheduler::Id self = 0;
    Scheduler::Id later = 0;
    self = loop.callAfter(5ms, [&] {
        order += 's';
        loop.cancel(self);
        loop.cancel(later);
        loop.cancel(12345);
    });
    loop.callAfter(5ms, [&] { order += 'n'; });
    later = loop.callAfter(5ms, [&] { order += 'x'; });
    loop.wait(20ms);
    EXPECT_EQ(order, "sn");
}

TEST_F(PollSchedulerTest, ACallbackRescheduledWithoutDelayRunsOncePerPump) {
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        loop.callAfter(0ms, again);
    };
    loop.callAfter(0ms, again);
    loop.pump();
    EXPECT_EQ(runs, 1);
    loop.pump();
    EXPECT_EQ(runs, 2);
}

TEST_F(PollSchedulerTest, ReadyDescriptorsWakeTheirHandlers) {
    Pipe pipe;
    std::vector<int> calls;
    auto id = loop.watchFd(pipe.readEnd(), Scheduler::kReadable, [&](int ready) {
        calls.push_back(ready);
        char c;
        ASSERT_EQ(::read(pipe.readEnd(), &c, 1), 1);
    });
    loop.pump();
    EXPECT_TRUE(calls.empty());
    pipe.put("x");
    loop.pump();
    EXPECT_EQ(calls, std::vector<int>{Scheduler::kReadable});

    loop.setWatchEvents(id, 0);
    pipe.put("y");
    loop.pump();
    EXPECT_EQ(calls.size(), 1u) << "a paused watch ran";
    loop.setWatchEvents(id, Scheduler::kReadable);
    loop.pump();
    EXPECT_EQ(calls.size(), 2u);

    int writable = 0;
    Scheduler::Id writer = 0;
    writer = loop.watchFd(pipe.writeEnd(), Scheduler::kWritable, [&](int ready) {
        writable = ready;
        loop.unwatch(writer);
    });
    loop.pump();
    EXPECT_EQ(writable, Scheduler::kWritable);
}

TEST_F(PollSchedulerTest, WaitWakesForADescriptorBeforeTheTimeIsUp) {
    Pipe pipe;
    int woken = 0;
    loop.watchFd(pipe.readEnd(), Scheduler::kReadable, [&](int) {
        char c;
        ASSERT_EQ(::read(pipe.readEnd(), &c, 1), 1);
        ++woken;
        loop.stop();
    });
    loop.callAfter(20ms, [&] { pipe.put("x"); });
    loop.run();
    EXPECT_EQ(woken, 1);
    EXPECT_LT(loop.now(), 5000ms);
}

TEST_F(PollSchedulerTest, AHandlerMayUnwatchAnotherReadyOneAndItself) {
    Pipe first;
    Pipe second;
    first.put("1");
    second.put("2");
    Scheduler::Id firstId = 0;
    Scheduler::Id secondId = 0;
    firstId = loop.watchFd(first.readEnd(), Scheduler::kReadable, [&](int) {
        order += '1';
        loop.unwatch(secondId);
        loop.unwatch(firstId);
    });
    secondId = loop.watchFd(second.readEnd(), Scheduler::kReadable, [&](int) { order += '2'; });
    loop.pump();
    loop.pump();
    EXPECT_EQ(order, "1");
}

TEST_F(PollSchedulerTest, AHandlerThatPumpsIsNotReenteredByItsOwnDescriptor) {
    Pipe pipe;
    pipe.put("x");
    int depth = 0;
    int calls = 0;
    loop.watchFd(pipe.readEnd(), Scheduler::kReadable, [&](int) {
        ++calls;
        ++depth;
        EXPECT_EQ(depth, 1);
        loop.pump();
        --depth;
        char c;
        ASSERT_EQ(::read(pipe.readEnd(), &c, 1), 1);
    });
    loop.pump();
    EXPECT_EQ(calls, 1);
}

TEST_F(PollSchedulerTest, AClosedDescriptorDoesNotSpinTheLoop) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    int calls = 0;
    loop.watchFd(fds[0], Scheduler::kReadable, [&](int) { ++calls; });
    ::close(fds[0]);
    ::close(fds[1]);
    loop.wait(20ms);
    EXPECT_EQ(calls, 0);
}

TEST_F(PollSchedulerTest, LocalTimeIsTheMachinesClock) {
    std::time_t seconds = std::time(nullptr);
    std::tm expected{};
    ::localtime_r(&seconds, &expected);
    auto now = loop.localTime();
    EXPECT_EQ(now.year, expected.tm_year + 1900);
    EXPECT_EQ(now.month, expected.tm_mon + 1);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.hour, 23);
}

TEST_F(PollSchedulerTest, RunUntilEndsAsSoonAsACallbackMakesItTrue) {
    // Nothing is watched and nothing else is due: the loop must not sleep out the limit.
    bool answered = false;
    loop.callAfter(0ms, [&] { answered = true; });
    const Millis start = loop.now();
    EXPECT_TRUE(loop.runUntil([&] { return answered; }, 5s));
    EXPECT_LT(loop.now() - start, 2s);
}

}  // namespace

#include "forms/Timer.h"

#include <gtest/gtest.h>

#include "platform/fake/FakeScheduler.h"

using namespace std::chrono_literals;
using halvern::forms::Timer;
using halvern::platform::FakeScheduler;

namespace {

struct TimerTest : ::testing::Test {
    FakeScheduler clock;
    int ticks = 0;
};

TEST_F(TimerTest, PeriodicTicksEveryInterval) {
    Timer timer(clock, "t", 500, true);
    timer.onTimer = [&] { ++ticks; };
    clock.advance(499ms);
    EXPECT_EQ(ticks, 0);
    clock.advance(1ms);
    EXPECT_EQ(ticks, 1);
    clock.advance(1000ms);
    EXPECT_EQ(ticks, 3);
}

TEST_F(TimerTest, EnablingARunningTimerKeepsItsCountdown) {
    Timer timer(clock, "t", 1000, true);
    timer.onTimer = [&] { ++ticks; };
    clock.advance(600ms);
    timer.setEnabled(true);
    clock.advance(400ms);
    EXPECT_EQ(ticks, 1);
}

TEST_F(TimerTest, ChangingTheIntervalRestartsTheCountdown) {
    Timer timer(clock, "t", 1000, true);
    timer.onTimer = [&] { ++ticks; };
    clock.advance(600ms);
    timer.setInterval(1000);
    clock.advance(600ms);
    EXPECT_EQ(ticks, 0) << "the same interval set again still restarts";
    clock.advance(400ms);
    EXPECT_EQ(ticks, 1);
}

TEST_F(TimerTest, HandlerThatDisablesItsTimerMakesAOneShot) {
    Timer timer(clock, "t", 2500, false);
    timer.onTimer = [&] {
        timer.setEnabled(false);
        ++ticks;
    };
    clock.advance(5000ms);
    EXPECT_EQ(ticks, 0) << "a disabled timer never ticks";
    timer.setEnabled(true);
    clock.advance(10000ms);
    EXPECT_EQ(ticks, 1);
}

TEST_F(TimerTest, TickNeverReentersItsOwnHandlerButOthersRunInside) {
    Timer slow(clock, "slow", 100, true);
    Timer other(clock, "other", 50, true);
    int slowRuns = 0, otherRuns = 0, depth = 0, maxDepth = 0;
    other.onTimer = [&] { ++otherRuns; };
    slow.onTimer = [&] {
        ++slowRuns;
        maxDepth = std::max(maxDepth, ++depth);
        if (slowRuns == 1) {
            clock.wait(450ms);  // a long step that pumps the loop
        }
        --depth;
    };
    clock.advance(100ms);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(slowRuns, 1);
    EXPECT_GE(otherRuns, 9);
    clock.advance(100ms);
    EXPECT_EQ(slowRuns, 2) << "the timer keeps ticking after the long handler";
}

TEST_F(TimerTest, IntervalZeroNeverTicks) {
    Timer timer(clock, "t", 0, true);
    timer.onTimer = [&] { ++ticks; };
    clock.advance(10000ms);
    EXPECT_EQ(ticks, 0);
}

}  // namespace

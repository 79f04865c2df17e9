#pragma once

// What every Scheduler backend promises, as one typed suite. A backend takes part through a
// driver: a type with scheduler() and advance(duration). For the virtual clock, advancing moves
// the clock; for a real loop, it lets real time pass through wait(). Amounts of real time are
// tens of milliseconds, and no test bounds real time from above, so a loaded machine only slows
// the suite down.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Scheduler.h"

namespace halvern::platform::contract {

using namespace std::chrono_literals;

/// A non-blocking pipe whose ends close with the test; either end may be closed early.
class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe2(m_fds, O_NONBLOCK | O_CLOEXEC), 0); }
    ~Pipe() {
        closeReadEnd();
        closeWriteEnd();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    int readEnd() const { return m_fds[0]; }
    int writeEnd() const { return m_fds[1]; }
    void put(const std::string& text) const {
        ASSERT_EQ(::write(m_fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    /// Reads whatever is waiting.
    std::string drain() const {
        std::string text;
        char buffer[256];
        for (ssize_t n; (n = ::read(m_fds[0], buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }
    void closeReadEnd() { closeEnd(m_fds[0]); }
    void closeWriteEnd() { closeEnd(m_fds[1]); }

private:
    static void closeEnd(int& fd) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    int m_fds[2] = {-1, -1};
};

template <typename Driver>
class SchedulerContract : public ::testing::Test {
protected:
    Scheduler& loop() { return m_driver.scheduler(); }
    void advance(Millis duration) { m_driver.advance(duration); }
    /// Advances in small steps until the condition holds, for at most two seconds of loop time.
    bool advanceUntil(const std::function<bool()>& condition) {
        for (int step = 0; step < 200 && !condition(); ++step) {
            advance(10ms);
        }
        return condition();
    }

    Driver m_driver;
    std::string order;
};

TYPED_TEST_SUITE_P(SchedulerContract);

TYPED_TEST_P(SchedulerContract, CallbacksRunInDueOrderAndTiesInSubmissionOrder) {
    auto& loop = this->loop();
    loop.callAfter(30ms, [&] { this->order += 'c'; });
    loop.callAfter(10ms, [&] { this->order += 'a'; });
    loop.callAfter(20ms, [&] { this->order += 'b'; });
    loop.callAfter(20ms, [&] { this->order += 'B'; });
    loop.callAfter(20ms, [&] { this->order += '2'; });
    this->advance(60ms);
    EXPECT_EQ(this->order, "abB2c");
}

TYPED_TEST_P(SchedulerContract, NothingRunsInsideCallAfterOrBeforeTheLoopRuns) {
    auto& loop = this->loop();
    loop.callAfter(0ms, [&] { this->order += 'z'; });
    loop.callAfter(-5ms, [&] { this->order += 'n'; });
    EXPECT_EQ(this->order, "");
    loop.pump();
    EXPECT_EQ(this->order, "zn");
}

TYPED_TEST_P(SchedulerContract, PumpRunsOnlyWhatIsDue) {
    auto& loop = this->loop();
    loop.callAfter(0ms, [&] { this->order += 'd'; });
    loop.callAfter(10s, [&] { this->order += 'L'; });
    loop.pump();
    EXPECT_EQ(this->order, "d");
    loop.pump();
    EXPECT_EQ(this->order, "d");
}

TYPED_TEST_P(SchedulerContract, PumpReturnsWhenACallbackReschedulesItselfWithoutDelay) {
    auto& loop = this->loop();
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        loop.callAfter(0ms, again);
    };
    loop.callAfter(0ms, again);
    loop.pump();  // must come back
    EXPECT_EQ(runs, 1);
}

TYPED_TEST_P(SchedulerContract, CancelledCallbacksNeverRun) {
    auto& loop = this->loop();
    Scheduler::Id sameTime = 0;
    Scheduler::Id later = 0;
    Scheduler::Id self = 0;
    self = loop.callAfter(10ms, [&] {
        this->order += 's';
        loop.cancel(self);  // already running: ignored
        loop.cancel(sameTime);
        loop.cancel(later);
    });
    sameTime = loop.callAfter(10ms, [&] { this->order += 'x'; });
    loop.callAfter(10ms, [&] { this->order += 'k'; });
    later = loop.callAfter(20ms, [&] { this->order += 'y'; });
    const Scheduler::Id before = loop.callAfter(5ms, [&] { this->order += 'p'; });
    loop.cancel(before);
    this->advance(50ms);
    EXPECT_EQ(this->order, "sk");
}

TYPED_TEST_P(SchedulerContract, CancellingAnUnknownOrFinishedIdChangesNothing) {
    auto& loop = this->loop();
    Pipe pipe;
    int reads = 0;
    const Scheduler::Id watch = loop.watchFd(pipe.readEnd(), Scheduler::kReadable, [&](int) {
        ++reads;
        pipe.drain();
    });
    const Scheduler::Id done = loop.callAfter(0ms, [&] { this->order += 'd'; });
    loop.pump();
    loop.callAfter(10ms, [&] { this->order += 'w'; });
    loop.cancel(done);
    loop.cancel(987654321);
    loop.cancel(watch);  // a watch is not a callback
    pipe.put("x");
    EXPECT_TRUE(this->advanceUntil([&] { return reads > 0 && this->order.size() == 2; }));
    EXPECT_EQ(this->order, "dw");
    EXPECT_EQ(reads, 1);
    loop.unwatch(watch);
}

TYPED_TEST_P(SchedulerContract, WaitLetsTimePassWhileCallbacksRun) {
    auto& loop = this->loop();
    const Millis start = loop.now();
    Millis innerStart{};
    Millis innerEnd{};
    loop.callAfter(10ms, [&] {
        this->order += 'a';
        innerStart = loop.now();
        loop.wait(40ms);  // a pause that keeps the loop live
        innerEnd = loop.now();
        this->order += 'A';
    });
    loop.callAfter(20ms, [&] { this->order += 'b'; });
    loop.wait(100ms);
    EXPECT_EQ(this->order, "abA");
    EXPECT_GE(innerEnd - innerStart, 40ms);
    EXPECT_GE(loop.now() - start, 100ms);
}

TYPED_TEST_P(SchedulerContract, ReadyDescriptorsWakeTheirHandlers) {
    auto& loop = this->loop();
    Pipe pipe;
    std::vector<int> readable;
    std::vector<int> writable;
    const Scheduler::Id reader = loop.watchFd(pipe.readEnd(), Scheduler::kReadable, [&](int ready) {
        readable.push_back(ready);
        pipe.drain();
    });
    this->advance(20ms);
    EXPECT_TRUE(readable.empty()) << "an empty pipe is not readable";

    Scheduler::Id writer = 0;
    writer = loop.watchFd(pipe.writeEnd(), Scheduler::kWritable, [&](int ready) {
        writable.push_back(ready);
        loop.unwatch(writer);
    });
    EXPECT_TRUE(this->advanceUntil([&] { return !writable.empty(); }));
    EXPECT_EQ(writable, std::vector<int>{Scheduler::kWritable});

    pipe.put("hello");
    EXPECT_TRUE(this->advanceUntil([&] { return !readable.empty(); }));
    EXPECT_EQ(readable.front(), Scheduler::kReadable);
    loop.unwatch(reader);
}

TYPED_TEST_P(SchedulerContract, HandlersHearOnlyTheEventsTheyWatch) {
    auto& loop = this->loop();
    struct Case {
        const char* name;
        bool watchReadEnd;  // else the write end
        int events;
    };
    // A hang-up (the other end closed) wakes the handler, but only for what it watches.
    const Case cases[] = {
        {"read end, writer gone", true, Scheduler::kReadable},
        {"write end, reader gone", false, Scheduler::kWritable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pipe pipe;
        if (c.watchReadEnd) {
            pipe.closeWriteEnd();
        } else {
            pipe.closeReadEnd();
        }
        std::vector<int> calls;
        Scheduler::Id id = 0;
        id = loop.watchFd(c.watchReadEnd ? pipe.readEnd() : pipe.writeEnd(), c.events,
                          [&](int ready) {
                              calls.push_back(ready);
                              loop.unwatch(id);
                          });
        EXPECT_TRUE(this->advanceUntil([&] { return !calls.empty(); }));
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls.front(), c.events);
    }
}

TYPED_TEST_P(SchedulerContract, NoEventsPausesAWatchUntilEventsAreSetAgain) {
    auto& loop = this->loop();
    Pipe pipe;
    pipe.put("x");
    int calls = 0;
    const Scheduler::Id id = loop.watchFd(pipe.readEnd(), Scheduler::kReadable, [&](int) {
        ++calls;
        pipe.drain();
    });
    loop.setWatchEvents(id, 0);
    this->advance(30ms);
    loop.pump();
    EXPECT_EQ(calls, 0);
    loop.setWatchEvents(id, Scheduler::kReadable);
    EXPECT_TRUE(this->advanceUntil([&] { return calls > 0; }));
    loop.unwatch(id);
    loop.setWatchEvents(id, Scheduler::kReadable);  // unknown now: ignored
    pipe.put("y");
    this->advance(30ms);
    EXPECT_EQ(calls, 1);
}

TYPED_TEST_P(SchedulerContract, AHandlerMayUnwatchItself) {
    auto& loop = this->loop();
    Pipe pipe;
    pipe.put("left unread");
    int calls = 0;
    Scheduler::Id id = 0;
    // The handler owns state that dies with it: unwatching must not destroy it mid-call.
    auto owned = std::make_shared<std::string>("alive");
    id = loop.watchFd(pipe.readEnd(), Scheduler::kReadable, [&, owned](int) {
        ++calls;
        loop.unwatch(id);
        this->order = *owned;
    });
    owned.reset();
    EXPECT_TRUE(this->advanceUntil([&] { return calls > 0; }));
    this->advance(30ms);
    loop.pump();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(this->order, "alive");
}

TYPED_TEST_P(SchedulerContract, AHandlerThatRunsTheLoopIsNotReenteredForItsOwnDescriptor) {
    auto& loop = this->loop();
    Pipe pipe;
    pipe.put("x");
    int depth = 0;
    int deepest = 0;
    int calls = 0;
    const Scheduler::Id id = loop.watchFd(pipe.readEnd(), Scheduler::kReadable, [&](int) {
        ++calls;
        deepest = std::max(deepest, ++depth);
        if (depth == 1) {
            loop.pump();  // the old DoEvents, with the data still unread
            loop.wait(20ms);
            pipe.drain();
        }
        --depth;
    });
    EXPECT_TRUE(this->advanceUntil([&] { return calls > 0; }));
    loop.unwatch(id);
    EXPECT_EQ(deepest, 1);
}

REGISTER_TYPED_TEST_SUITE_P(SchedulerContract, CallbacksRunInDueOrderAndTiesInSubmissionOrder,
                            NothingRunsInsideCallAfterOrBeforeTheLoopRuns, PumpRunsOnlyWhatIsDue,
                            PumpReturnsWhenACallbackReschedulesItselfWithoutDelay,
                            CancelledCallbacksNeverRun,
                            CancellingAnUnknownOrFinishedIdChangesNothing,
                            WaitLetsTimePassWhileCallbacksRun, ReadyDescriptorsWakeTheirHandlers,
                            HandlersHearOnlyTheEventsTheyWatch,
                            NoEventsPausesAWatchUntilEventsAreSetAgain, AHandlerMayUnwatchItself,
                            AHandlerThatRunsTheLoopIsNotReenteredForItsOwnDescriptor);

}  // namespace halvern::platform::contract

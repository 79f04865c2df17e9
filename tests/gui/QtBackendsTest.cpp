#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <string>
#include <vector>

#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtScheduler.h"
#include "platform/qt/QtSound.h"

namespace halvern::platform {
namespace {

using namespace std::chrono_literals;

TEST(QtScheduler, CallbacksRunInTimeOrderAndCancelledOnesNever) {
    QtScheduler scheduler;
    std::vector<std::string> ran;
    scheduler.callAfter(30ms, [&] { ran.push_back("late"); });
    const auto dropped = scheduler.callAfter(10ms, [&] { ran.push_back("dropped"); });
    scheduler.callAfter(5ms, [&] {
        ran.push_back("early");
        // A callback may cancel another and schedule more.
        scheduler.cancel(dropped);
        scheduler.callAfter(0ms, [&] { ran.push_back("next"); });
    });
    const auto start = scheduler.now();
    scheduler.wait(60ms);
    EXPECT_EQ(ran, (std::vector<std::string>{"early", "next", "late"}));
    EXPECT_GE(scheduler.now() - start, 60ms);
    scheduler.cancel(dropped);  // already gone: ignored
    scheduler.cancel(12345);
}

TEST(QtScheduler, WatchesADescriptorUntilUnwatched) {
    QtScheduler scheduler;
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    std::vector<int> events;
    Scheduler::Id watch = 0;
    watch = scheduler.watchFd(fds[0], Scheduler::kReadable, [&](int ready) {
        events.push_back(ready);
        char buffer[8];
        while (::read(fds[0], buffer, sizeof buffer) > 0) {
        }
        scheduler.unwatch(watch);  // from inside its own handler
    });
    scheduler.wait(20ms);
    EXPECT_TRUE(events.empty());

    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    scheduler.wait(20ms);
    ASSERT_EQ(::write(fds[1], "y", 1), 1);
    scheduler.wait(20ms);
    EXPECT_EQ(events, (std::vector<int>{Scheduler::kReadable}));

    const auto writable = scheduler.watchFd(fds[1], 0, [&](int ready) { events.push_back(ready); });
    scheduler.wait(10ms);
    EXPECT_EQ(events.size(), 1u);  // paused with no events
    scheduler.setWatchEvents(writable, Scheduler::kWritable);
    scheduler.pump();
    scheduler.wait(10ms);
    EXPECT_GT(events.size(), 1u);
    EXPECT_EQ(events.back(), Scheduler::kWritable);
    scheduler.unwatch(writable);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(QtScheduler, LocalTimeIsAPlausibleClock) {
    QtScheduler scheduler;
    const LocalTime t = scheduler.localTime();
    EXPECT_GE(t.year, 2024);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12);
    EXPECT_TRUE(t.hour >= 0 && t.hour < 24);
}

TEST(QtDialogs, OldStyleFiltersBecomeQtFilters) {
    struct Case {
        const char* old;
        const char* qt;
    };
    const Case cases[] = {
        {"*.wav", "*.wav"},
        {"Sounds|*.wav", "Sounds (*.wav)"},
        {"Sounds|*.wav;*.au|All files|*.*", "Sounds (*.wav *.au);;All files (*.*)"},
        {"", ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(QtDialogs::qtFilter(c.old), c.qt) << c.old;
    }
}

TEST(QtSound, MissingFilesPlayNothingAndNeverBlock) {
    QtSound sound;
    const auto start = std::chrono::steady_clock::now();
    sound.play("");
    sound.play("/nonexistent/pop.wav");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
}

}  // namespace
}  // namespace halvern::platform

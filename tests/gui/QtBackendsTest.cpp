#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTest>
#include <QTime>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtScheduler.h"
#include "platform/qt/QtSound.h"
#include "platform/qt/StopSignals.h"

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

TEST(QtScheduler, LocalTimeFollowsTheClockFromSecondToSecond) {
    // Stamps within a second share one reading of the zone; a new second is read anew.
    QtScheduler scheduler;
    const auto seconds = [](const LocalTime& t) {
        return (t.hour * 60 + t.minute) * 60 + t.second;
    };
    const LocalTime first = scheduler.localTime();
    const QTime wall = QTime::currentTime();
    const int apart = std::abs(seconds(first) - wall.msecsSinceStartOfDay() / 1000);
    EXPECT_TRUE(apart <= 1 || apart >= 24 * 3600 - 1)
        << apart;  // the same local second, or midnight
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return seconds(scheduler.localTime()) != seconds(first); }, 5000));
}

TEST(QtScheduler, InterruptEndsTheWaitsInProgressOnly) {
    QtScheduler scheduler;
    std::vector<int> order;
    // A wait nested in a wait, as a box's loop inside a handler: both end at once.
    scheduler.callAfter(10ms, [&] {
        scheduler.callAfter(10ms, [&] { scheduler.interrupt(); });
        scheduler.wait(60s);
        order.push_back(1);
    });
    const auto start = scheduler.now();
    scheduler.wait(60s);
    order.push_back(2);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_LT(scheduler.now() - start, 30s);

    // A later wait lasts its time again.
    const auto again = scheduler.now();
    scheduler.wait(30ms);
    EXPECT_GE(scheduler.now() - again, 30ms);
}

TEST(StopSignals, ASignalBecomesOneEventOfTheLoop) {
    QtScheduler scheduler;
    int stops = 0;
    {
        StopSignals signals(scheduler, [&] { ++stops; });
        EXPECT_FALSE(StopSignals::arrived());
        ASSERT_EQ(std::raise(SIGTERM), 0);  // handled, so the test goes on
        EXPECT_TRUE(StopSignals::arrived());
        EXPECT_EQ(stops, 0) << "the exit runs on the loop, not in the signal handler";
        scheduler.wait(20ms);
        EXPECT_EQ(stops, 1);
        ASSERT_EQ(std::raise(SIGINT), 0);
        ASSERT_EQ(std::raise(SIGHUP), 0);
        scheduler.wait(20ms);
        EXPECT_GE(stops, 2);
    }
    struct sigaction now = {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << "the handler goes with its StopSignals";
}

TEST(StopSignals, ASignalHeldBackSinceTheStartIsTakenOver) {
    QtScheduler scheduler;
    StopSignals::holdBack();
    ASSERT_EQ(std::raise(SIGTERM), 0);  // waits: the process goes on
    int stops = 0;
    StopSignals signals(scheduler, [&] { ++stops; });
    EXPECT_TRUE(StopSignals::arrived());
    scheduler.wait(20ms);
    EXPECT_EQ(stops, 1);

    sigset_t blocked;
    ::pthread_sigmask(SIG_SETMASK, nullptr, &blocked);
    EXPECT_FALSE(sigismember(&blocked, SIGTERM)) << "taken over, the signals are received again";
}

TEST(QtDialogs, EndAllClosesTheOpenBoxAndOpensNoMore) {
    QtDialogs dialogs;
    QtScheduler scheduler;
    bool shown = false;
    // The program's exit, run from the loop nested in the open box.
    scheduler.callAfter(50ms, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            shown = shown || (qobject_cast<QMessageBox*>(widget) && widget->isVisible());
        }
        dialogs.endAll();
    });
    EXPECT_EQ(dialogs.messageBox("Exit?", "Zorvik", BoxButtons::YesNo, BoxIcon::Question),
              BoxAnswer::No);
    EXPECT_TRUE(shown);

    // Later boxes and file dialogs answer at once, as if dismissed, and never show.
    scheduler.callAfter(50ms, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            EXPECT_FALSE(qobject_cast<QDialog*>(widget) && widget->isVisible());
        }
    });
    EXPECT_EQ(dialogs.messageBox("Again", "Zorvik", BoxButtons::OkCancel, BoxIcon::None),
              BoxAnswer::Cancel);
    EXPECT_EQ(dialogs.openFile("Sound", "*.wav", "wav", "/tmp"), std::nullopt);
    scheduler.wait(80ms);
}

TEST(QtDialogs, AfterAStopSignalNoDialogOpensAndBoxTextsGoToStderr) {
    QtScheduler scheduler;
    QtDialogs dialogs;
    // The exit a signal began must end without a click: a box there would hold a logout. Any
    // box that does show is noted and closed, so that the test fails rather than waits.
    bool shown = false;
    bool watching = true;
    std::function<void()> watch = [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) {
                shown = true;
                dialog->reject();
            }
        }
        if (watching) {
            scheduler.callAfter(20ms, watch);
        }
    };
    scheduler.callAfter(20ms, watch);
    {
        StopSignals signals(scheduler, [] {});
        ASSERT_EQ(std::raise(SIGTERM), 0);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(dialogs.messageBox("Could not put\r\nit back.", "Zorvik", BoxButtons::Ok,
                                     BoxIcon::Warning),
                  BoxAnswer::Ok);
        EXPECT_EQ(dialogs.messageBox("Really?", "Zorvik", BoxButtons::YesNo, BoxIcon::Question),
                  BoxAnswer::No);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "zorvik: Zorvik: Could not put\nit back.\nzorvik: Zorvik: Really?\n");
        EXPECT_EQ(dialogs.openFile("Sound", "*.wav", "wav", "/tmp"), std::nullopt);
        scheduler.wait(60ms);
        EXPECT_FALSE(shown);
    }

    // Once the signals' owner has gone, boxes show again.
    EXPECT_EQ(dialogs.messageBox("Shown", "Zorvik", BoxButtons::Ok, BoxIcon::None), BoxAnswer::Ok);
    EXPECT_TRUE(shown);
    watching = false;
    scheduler.wait(60ms);
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

#include <QCoreApplication>

#include "SchedulerContract.h"
#include "platform/qt/QtScheduler.h"

namespace halvern::platform::contract {
namespace {

/// Qt's event loop on the real clock: advancing lets real time pass through a nested loop.
class QtSchedulerDriver {
public:
    Scheduler& scheduler() { return m_scheduler; }
    void advance(Millis duration) { m_scheduler.wait(duration); }

private:
    QtScheduler m_scheduler;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, SchedulerContract, QtSchedulerDriver);

}  // namespace
}  // namespace halvern::platform::contract

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

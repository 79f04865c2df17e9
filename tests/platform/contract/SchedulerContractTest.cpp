#include "SchedulerContract.h"

#include "platform/fake/FakeScheduler.h"
#include "platform/linux/PollScheduler.h"

namespace halvern::platform::contract {
namespace {

/// The virtual clock: advancing moves it, running what falls due on the way.
class FakeSchedulerDriver {
public:
    Scheduler& scheduler() { return m_scheduler; }
    void advance(Millis duration) { m_scheduler.advance(duration); }

private:
    FakeScheduler m_scheduler;
};

/// The poll() loop on the real clock: advancing lets real time pass through the loop.
class PollSchedulerDriver {
public:
    Scheduler& scheduler() { return m_scheduler; }
    void advance(Millis duration) { m_scheduler.wait(duration); }

private:
    PollScheduler m_scheduler;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Fake, SchedulerContract, FakeSchedulerDriver);
INSTANTIATE_TYPED_TEST_SUITE_P(Poll, SchedulerContract, PollSchedulerDriver);

}  // namespace
}  // namespace halvern::platform::contract

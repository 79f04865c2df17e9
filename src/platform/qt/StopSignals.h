#pragma once

#include <functional>

#include "platform/Scheduler.h"

namespace halvern::platform {

/// Turns SIGTERM, SIGINT and SIGHUP into an event of the loop, where the exit command runs like
/// any other handler. A signal handler may do next to nothing, so it only writes a byte into a
/// pipe that the loop watches.
///
/// holdBack(), called first thing in main(), makes the three signals wait from the first moment
/// of the process, in every thread started after it, instead of ending it; the StopSignals takes
/// them over, including one that arrived meanwhile, and from then on the main thread receives
/// them. Only one StopSignals may live at a time.
class StopSignals final {
public:
    static void holdBack();

    StopSignals(Scheduler& scheduler, std::function<void()> onStop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    /// True once a stop signal arrived, even before the loop has run its handler, until the
    /// StopSignals that took it ends.
    static bool arrived();

private:
    Scheduler& m_scheduler;
    int m_pipe[2] = {-1, -1};
    Scheduler::Id m_watch = 0;
};

}  // namespace halvern::platform

#pragma once

#include <string>

#include "forms/Signal.h"
#include "platform/Scheduler.h"

namespace halvern::forms {

/// A timer with the old toolkit's semantics: Interval in ms and Enabled. Enabling a running timer
/// keeps its countdown; setting Interval restarts it; each tick starts the next countdown; a
/// handler that disables its timer makes it a one-shot; a tick never re-enters its own handler.
class Timer {
public:
    Timer(platform::Scheduler& scheduler, std::string name, int intervalMs, bool enabled);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    const std::string& name() const { return m_name; }
    int interval() const { return m_interval; }
    void setInterval(int intervalMs);
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    /// The tick handler.
    Handler onTimer;

private:
    void arm();
    void disarm();
    void tick();

    platform::Scheduler& m_scheduler;
    std::string m_name;
    int m_interval;
    bool m_enabled = false;
    bool m_armed = false;
    bool m_inHandler = false;
    platform::Scheduler::Id m_pending = 0;
};

}  // namespace halvern::forms

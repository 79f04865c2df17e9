#include "forms/Timer.h"

namespace halvern::forms {

Timer::Timer(platform::Scheduler& scheduler, std::string name, int intervalMs, bool enabled)
    : m_scheduler(scheduler), m_name(std::move(name)), m_interval(intervalMs) {
    setEnabled(enabled);
}

Timer::~Timer() {
    disarm();
}

void Timer::setInterval(int intervalMs) {
    m_interval = intervalMs;
    // A new interval always starts a fresh countdown, even with the same value.
    disarm();
    if (m_enabled) {
        arm();
    }
}

void Timer::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled) {
        disarm();
    } else if (!m_armed) {
        arm();
    }
}

void Timer::arm() {
    if (m_interval <= 0) {
        return;  // an interval of 0 never ticks
    }
    m_armed = true;
    m_pending = m_scheduler.callAfter(platform::Millis(m_interval), [this] { tick(); });
}

void Timer::disarm() {
    if (m_armed) {
        m_scheduler.cancel(m_pending);
        m_armed = false;
    }
}

void Timer::tick() {
    m_armed = false;
    // The next countdown starts now, so a slow handler does not stretch the period.
    arm();
    if (m_inHandler || !onTimer) {
        return;
    }
    m_inHandler = true;
    onTimer();
    m_inHandler = false;
}

}  // namespace halvern::forms

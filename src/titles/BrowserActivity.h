#pragma once

#include "core/Context.h"
#include "forms/Timer.h"
#include "platform/Desktop.h"

namespace halvern::titles {

/// Recent browser activity as the desktop shows it: a window of a browser class was created,
/// activated or retitled (a page loaded) in the last 4 seconds. The title scanner answers the
/// browser's script-error box only then.
class BrowserActivity {
public:
    /// Wires TimerIEActive.
    explicit BrowserActivity(core::Context& context);
    BrowserActivity(const BrowserActivity&) = delete;
    BrowserActivity& operator=(const BrowserActivity&) = delete;

    /// A window was created, activated or retitled: a browser's starts the activity window.
    void noteWindow(platform::WindowId window);
    /// Whether a browser was active in the last 4 seconds.
    bool isBrowserActive() const { return TimerIEActive.enabled(); }

    /// Runs for 4 s from the first browser event after it stopped; its tick stops it.
    forms::Timer TimerIEActive;

private:
    core::Context& m_context;
};

}  // namespace halvern::titles

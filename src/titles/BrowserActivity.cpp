#include "titles/BrowserActivity.h"

#include <algorithm>

#include "titles/WindowReading.h"

namespace halvern::titles {

BrowserActivity::BrowserActivity(core::Context& context)
    : TimerIEActive(context.platform.scheduler, "TimerIEActive", 4000, false), m_context(context) {
    TimerIEActive.onTimer = [this] { TimerIEActive.setEnabled(false); };
}

void BrowserActivity::noteWindow(platform::WindowId window) {
    const std::vector<platform::WindowInfo>& windows = m_context.platform.desktop.windows();
    const auto it = std::ranges::find(windows, window, &platform::WindowInfo::id);
    if (it != windows.end() && it->visible && isBrowserClass(it->className) &&
        !isOwnWindow(*it, m_context.platform.processes.ownPid())) {
        TimerIEActive.setEnabled(true);
    }
}

}  // namespace halvern::titles

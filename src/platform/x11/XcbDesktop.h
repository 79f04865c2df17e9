#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/Scheduler.h"

namespace halvern::platform {

/// The X11 desktop over xcb: a connection of its own to the display, watched on the scheduler,
/// keeps a cache of the top-level windows current from the display's events, so `windows()` costs
/// no round trip. Closing is polite only (WM_DELETE_WINDOW); buttons are pressed through the
/// accessibility bus. Xlib and xcb headers stay in the source file.
class XcbDesktop final : public Desktop {
public:
    /// Connects to `displayName`, or to $DISPLAY when empty; not available() when that fails.
    explicit XcbDesktop(Scheduler& scheduler, const std::string& displayName = {});
    ~XcbDesktop() override;
    XcbDesktop(const XcbDesktop&) = delete;
    XcbDesktop& operator=(const XcbDesktop&) = delete;

    bool available() const override;
    const std::vector<WindowInfo>& windows() override;
    std::vector<WindowInfo> children(WindowId window) override;
    std::uint64_t generation() const override;
    CloseResult requestClose(WindowId window) override;
    bool pressButton(WindowId window, const std::string& caption) override;
    void follow(bool on) override;

    /// Reads every top-level window from the display now, bypassing the cache (one round trip
    /// for all windows); the cache is left as it is.
    std::vector<WindowInfo> readAll();
    /// Whether a window manager that keeps the client list runs on the display.
    bool windowManagerPresent() const;

private:
    class Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace halvern::platform

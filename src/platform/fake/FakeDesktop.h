#pragma once

#include <map>
#include <vector>

#include "platform/Desktop.h"

namespace halvern::platform {

/// Scripted windows: tests add, retitle and remove them, and read the close requests and button
/// presses the program made.
class FakeDesktop final : public Desktop {
public:
    bool available() const override { return present; }
    const std::vector<WindowInfo>& windows() override { return topLevel; }
    std::vector<WindowInfo> children(WindowId window) override;
    std::uint64_t generation() const override { return m_generation; }
    CloseResult requestClose(WindowId window) override;
    bool pressButton(WindowId window, const std::string& caption) override;
    void follow(bool on) override { following = on; }

    /// Puts a window on top; tells the program when it follows.
    WindowId open(WindowInfo window);
    void retitle(WindowId window, const std::string& title);
    void close(WindowId window);
    void activate(WindowId window);
    /// Marks the list changed without a notification.
    void touch() { ++m_generation; }

    bool present = true;
    bool following = false;
    std::vector<WindowInfo> topLevel;
    std::map<WindowId, std::vector<WindowInfo>> subWindows;
    /// Windows that ignore a close request, and those that do not take one at all.
    std::vector<WindowId> ignoresClose;
    std::vector<WindowId> refusesClose;
    /// Buttons each window has, by caption as shown (mnemonic marks included).
    std::map<WindowId, std::vector<std::string>> buttons;

    std::vector<WindowId> closeRequests;
    /// Every press asked for, whether the button was there or not, and those that pressed one.
    std::vector<std::pair<WindowId, std::string>> pressAsked;
    std::vector<std::pair<WindowId, std::string>> pressed;

private:
    WindowInfo* find(WindowId window);
    std::uint64_t m_generation = 1;
    WindowId m_nextId = 0x1000;
};

}  // namespace halvern::platform

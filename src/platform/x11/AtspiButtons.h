#pragma once

#include <chrono>
#include <string>

namespace halvern::platform {

/// Presses push buttons in other programs' windows through the accessibility bus (AT-SPI).
/// GLib's and libatspi's headers stay in the source file.
class AtspiButtons {
public:
    /// `timeout` bounds every call on the bus, so a hung program cannot hang the caller.
    explicit AtspiButtons(std::chrono::milliseconds timeout);

    /// Presses the push button captioned `caption` in the window titled `title` of the program
    /// with process id `pid`; captions compare without their mnemonic marks ("&", "_"). False
    /// when there is no accessibility bus, no such window or button, or it does not answer.
    bool press(int pid, const std::string& title, const std::string& caption);

    /// The caption without the mnemonic marks "&" and "_".
    static std::string withoutMnemonics(const std::string& caption);

private:
    /// Connects to the bus on first use; false, for good, when there is none.
    bool ready();

    std::chrono::milliseconds m_timeout;
    bool m_tried = false;
    bool m_ready = false;
};

}  // namespace halvern::platform

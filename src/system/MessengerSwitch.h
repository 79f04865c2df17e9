#pragma once

#include "core/Context.h"

namespace halvern::system {

/// "Disable Messenger Service Popup ads.": Linux has no Messenger service, so a click only says
/// that the option has no effect, stores nothing, runs nothing and puts the box back unchecked.
/// Wires chkMessenger.
class MessengerSwitch {
public:
    explicit MessengerSwitch(core::Context& context);
    ~MessengerSwitch();
    MessengerSwitch(const MessengerSwitch&) = delete;
    MessengerSwitch& operator=(const MessengerSwitch&) = delete;

    void chkMessenger_Click();

private:
    core::Context& m_context;
    /// Set while the handler itself clears the box, so that clearing it says nothing again.
    bool m_clearing = false;
};

}  // namespace halvern::system

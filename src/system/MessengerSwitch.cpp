#include "system/MessengerSwitch.h"

#include <string>

namespace halvern::system {

MessengerSwitch::MessengerSwitch(core::Context& context) : m_context(context) {
    m_context.form.chkMessenger.onClick = [this] { chkMessenger_Click(); };
}

MessengerSwitch::~MessengerSwitch() {
    m_context.form.chkMessenger.onClick = nullptr;
}

void MessengerSwitch::chkMessenger_Click() {
    if (m_context.state.bLoadingSettings || m_clearing) {
        return;
    }
    const std::string n = core::kServiceName;
    m_context.platform.dialogs.messageBox(
        "The Messenger Service popups only occur for Windows NT, XP, and 2000 users.  This "
        "setting has no effect for you.",
        n + " - Windows Messenger Service", platform::BoxButtons::Ok,
        platform::BoxIcon::Information);
    // Nothing was changed, and the box says so rather than promising a service it cannot stop.
    m_clearing = true;
    m_context.form.chkMessenger.setChecked(false);
    m_clearing = false;
}

}  // namespace halvern::system

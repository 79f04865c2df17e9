#include "ui/Uninstall.h"

#include <string>

namespace halvern::ui {

Uninstall::Uninstall(core::Context& context)
    : m_dialogs(context.platform.dialogs), m_form(context.form) {
    m_form.mnuUninstallUninstall.onClick = [this] { mnuUninstallUninstall_Click(); };
}

Uninstall::~Uninstall() {
    m_form.mnuUninstallUninstall.onClick = nullptr;
}

void Uninstall::mnuUninstallUninstall_Click() {
    const std::string n = core::kServiceName;
    const std::string crLf = "\r\n";
    const platform::BoxAnswer answer = m_dialogs.messageBox(
        "To Un-Install " + n + " : " + crLf + "--1) Click YES to the question below so " + n +
            "  can save some settings for the uninstall process." + crLf +
            "--2) Use Control Panel - Add/Remove programs to un-install " + n + "  completely." +
            crLf + crLf + "Do you want to start the un-install process now?",
        n, platform::BoxButtons::YesNo, platform::BoxIcon::Question);
    if (answer != platform::BoxAnswer::Yes) {
        return;
    }
    // Each box's own click handler does the work: the hosts file loses the block list and the
    // placeholder server stops, the browser button goes, the autostart entry goes.
    m_form.chkAdServers.setChecked(false);
    m_form.chkIEToolBar.setChecked(false);
    m_form.chkStartup.setChecked(false);
    m_dialogs.messageBox("Now go to your control panel - add/remove programs to run the " + n +
                             "  uninstall." + crLf + crLf + n + "  will now close.",
                         n, platform::BoxButtons::Ok, platform::BoxIcon::Information);
    // The exit's unload saves the settings, now with all three off.
    m_form.mnuFileExit.click();
}

}  // namespace halvern::ui

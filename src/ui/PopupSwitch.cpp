#include "ui/PopupSwitch.h"

#include <string>

namespace halvern::ui {

PopupSwitch::PopupSwitch(core::Context& context, HelpLine& help)
    : m_context(context), m_help(help) {
    m_context.form.chkIEPops.onClick = [this] { chkIEPops_Click(); };
}

PopupSwitch::~PopupSwitch() {
    m_context.form.chkIEPops.onClick = nullptr;
}

void PopupSwitch::chkIEPops_Click() {
    core::MainState& st = m_context.state;
    forms::MainForm& f = m_context.form;
    if (st.bLoadingSettings) {
        return;
    }
    const std::string n = core::kServiceName;
    st.bBlockIEPopups = f.chkIEPops.checked();
    if (st.bBlockIEPopups) {
        if (createBrowserTracker) {
            createBrowserTracker();
        }
        m_help.FlashHelpText(n +
                             " will now perform special processing by preventing all unsolicited "
                             "popup windows from opening if you use Internet Explorer.  This "
                             "settings has no effect for other browsers.");
        f.chkJavaPops.setEnabled(true);
    } else {
        if (discardBrowserTracker) {
            discardBrowserTracker();
        }
        m_help.FlashHelpText(n +
                             " will no longer use special Internet Explorer processing to block "
                             "unsolicited popup window ads from loading.");
        f.chkJavaPops.setEnabled(false);
    }
}

}  // namespace halvern::ui

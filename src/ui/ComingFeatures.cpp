#include "ui/ComingFeatures.h"

#include <initializer_list>
#include <string>

#include "core/MainState.h"

namespace halvern::ui {

ComingFeatures::ComingFeatures(forms::MainForm& form) {
    forms::MainForm& f = form;
    for (forms::ComboBox* list :
         {&f.cmbOnOff, &f.cmbIEWhiteList, &f.cmbBlockByTitle, &f.cmbCloseBrowser}) {
        m_unavailable.disable(*list, "hot keys");
    }
    m_unavailable.disable(f.chkJavaPops, "blocking of new browser windows");
    m_unavailable.disable(f.chkRunIE, "tracking of the browser's windows");
    const std::string n = core::kServiceName;
    UnavailableControls::note(f.chkStartup,
                              "Not available yet: this build of " + n +
                                  " makes no autostart entry, so it does not start by itself "
                                  "when you log in.  While this box is checked, the list of ad "
                                  "servers stays in /etc/hosts when " +
                                  n + " exits.");
}

}  // namespace halvern::ui

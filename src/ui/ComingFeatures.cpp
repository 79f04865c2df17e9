#include "ui/ComingFeatures.h"

#include <initializer_list>

namespace halvern::ui {

ComingFeatures::ComingFeatures(forms::MainForm& form) {
    forms::MainForm& f = form;
    for (forms::ComboBox* list :
         {&f.cmbOnOff, &f.cmbIEWhiteList, &f.cmbBlockByTitle, &f.cmbCloseBrowser}) {
        m_unavailable.disable(*list, "hot keys");
    }
    m_unavailable.disable(f.chkJavaPops, "blocking of new browser windows");
    m_unavailable.disable(f.chkRunIE, "tracking of the browser's windows");
}

}  // namespace halvern::ui

#pragma once

#include "forms/Button.h"
#include "forms/Form.h"
#include "forms/Label.h"

namespace halvern::forms {

/// The about window: the program's name, version and licence and the project's address, which
/// is a link to its pages. Its texts are filled by the help commands.
struct AboutForm {
    forms::Form frmAbout{"frmAbout", "About"};
    forms::Label lblName{"lblName", ""};
    forms::Label lblVersion{"lblVersion", ""};
    forms::Label lblLicence{"lblLicence", ""};
    forms::Label lblAddress{"lblAddress", ""};
    forms::Button cmdOK{"cmdOK", "OK"};
};

}  // namespace halvern::forms

#pragma once

#include "forms/Button.h"
#include "forms/Form.h"
#include "forms/ListBox.h"
#include "forms/TextBox.h"

namespace halvern::popups {

/// The white-list editor's window: the entry to add and the list of pages on which popups may
/// open, each control named and captioned as the user sees it. It holds no behaviour.
struct WhiteListForm {
    WhiteListForm();
    WhiteListForm(const WhiteListForm&) = delete;
    WhiteListForm& operator=(const WhiteListForm&) = delete;

    forms::Form frmIEWhiteList{"frmIEWhiteList",
                               "Popup Ad site White List (Effects Internet Explorer users ONLY)"};
    forms::TextBox txtTitle{"txtTitle"};
    forms::Button cmdAdd{"cmdAdd", "Add to White List"};
    forms::ListBox lstAdd{"lstAdd"};
    forms::Button cmdDel{"cmdDel", "Delete from White List"};
    forms::Button cmdOK{"cmdOK", "OK"};
    forms::Button cmdCancel{"cmdCancel", "Cancel"};
};

}  // namespace halvern::popups

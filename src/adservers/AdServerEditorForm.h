#pragma once

#include "forms/Button.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/ListBox.h"
#include "forms/TextBox.h"

namespace halvern::adservers {

/// The ad-server list editor's window: the default list, the allowed list and the user's own
/// servers, with every control named and captioned as the user sees it. It holds no behaviour.
struct AdServerEditorForm {
    forms::Form frmExclude{"frmExclude", "Block or Allow all content from ad server domains."};

    forms::Label lblAllTitle{"lblAllTitle", "Blocked Ad Servers:"};
    forms::ListBox lstAll{"lstAll"};
    /// The size of the default list: N + " Total Ad Servers".
    forms::Label lblTotal{"lblTotal", ""};
    forms::Label lblExcludeTitle{"lblExcludeTitle", "Allowed (unblocked) Ad Servers:"};
    forms::ListBox lstExclude{"lstExclude"};
    forms::Label lblExclude{"lblExclude", ""};
    forms::Button cmdDo{"cmdDo", "=>"};
    forms::Button cmdUndo{"cmdUndo", "<="};

    forms::TextBox txtFind{"txtFind"};
    forms::Button cmdGo{"cmdGo", "Find"};

    forms::Label lblAddTitle{"lblAddTitle", "Add Additional Ad Servers to Block:"};
    forms::ListBox lstAdd{"lstAdd"};
    forms::Label lblServer{"lblServer", "Server:"};
    forms::TextBox txtServer{"txtServer"};
    forms::Button cmdAdd{"cmdAdd", "Add to List"};
    forms::Button cmdDel{"cmdDel", "Delete from List"};

    forms::Label lblLast{"lblLast", ""};
    forms::Label lblAdd{"lblAdd", ""};
    forms::Label lblPopupTitles{
        "lblPopupTitles",
        "Click Here to have this software close Any window based on its Window Title"};

    forms::Button cmdOK{"cmdOK", "OK"};
    forms::Button cmdCancel{"cmdCancel", "Cancel"};
};

}  // namespace halvern::adservers

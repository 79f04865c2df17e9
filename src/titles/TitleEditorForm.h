#pragma once

#include "forms/Button.h"
#include "forms/Form.h"
#include "forms/Frame.h"
#include "forms/Label.h"
#include "forms/ListBox.h"
#include "forms/TextBox.h"

namespace halvern::titles {

/// The title list editor's window: the windows open now, the title to add, and the blocked
/// list, each control named and captioned as the user sees it. It holds no behaviour.
struct TitleEditorForm {
    TitleEditorForm();
    TitleEditorForm(const TitleEditorForm&) = delete;
    TitleEditorForm& operator=(const TitleEditorForm&) = delete;

    forms::Form frmPopupTitles{"frmPopupTitles", "Popup Window Blocking Using  Window Titles"};
    forms::Label Label1{"Label1",
                        "Find and click on the Popup Window you want closed by this software from "
                        "the list of active Windows below.  This feature does not work with the "
                        "Opera Browser:"};
    forms::ListBox lstCurrent{"lstCurrent"};
    forms::Button cmdRefresh{"cmdRefresh", "Refresh Current Window List"};
    forms::Label Label2{"Label2",
                        "In the Title field below, edit, or type in text that occurs in the window "
                        "title you want blocked.  A short string is all that's required (don't "
                        "need the entire title)."};
    forms::Label Label3{"Label3", "Title:"};
    forms::TextBox txtTitle{"txtTitle"};
    forms::Button cmdAdd{"cmdAdd", "Add to List"};
    forms::Frame Frame1{"Frame1", "Close windows based on Window Title:"};
    forms::ListBox lstAdd{"lstAdd"};
    forms::Button cmdDel{"cmdDel", "Delete from List"};
    forms::Button cmdOK{"cmdOK", "OK"};
    forms::Button cmdCancel{"cmdCancel", "Cancel"};
    forms::Label lblPopupTitles{
        "lblPopupTitles", "Click Here to Block or Allow Ads based on domain name not window Title"};
};

}  // namespace halvern::titles

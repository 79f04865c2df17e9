#include "popups/WhiteListForm.h"

namespace halvern::popups {

WhiteListForm::WhiteListForm() {
    txtTitle.setToolTip(
        "A site name or a part of a web address (5 characters or more): popups may open on every "
        "page whose address contains it.");
    cmdAdd.setToolTip("Click to add the text above to the White List.");
    lstAdd.setToolTip(
        "The sites whose popups may open.  A page whose web address contains any of these "
        "(capitals or not) is allowed to open popup windows.");
    cmdDel.setToolTip("Choose a site from the list and click Delete... to block its popups again.");
    cmdOK.setToolTip(
        "This saves any changes you have made to the list.  Click the Cancel button to undo any "
        "changes you've made.");
    cmdCancel.setToolTip("Close this dialog and do not save changes.");
}

}  // namespace halvern::popups

#include "titles/TitleEditorForm.h"

namespace halvern::titles {

TitleEditorForm::TitleEditorForm() {
    lstCurrent.setToolTip("The list of Active Windows and their Window Titles. ");
    txtTitle.setToolTip("A full or partial (substring) window title you want blocked by Zorvik");
    cmdAdd.setToolTip("Click to add the Title above to the Blocked List.");
    lstAdd.setToolTip(
        "The list of Window Title Strings you have instructed this software to close.  Any window "
        "title with this string (whether complete or partial) will be blocked.");
    cmdDel.setToolTip(
        "Choose an item from the blocked list and click Delete... to allow Windows with this "
        "Title (this software won't block them anymore).");
    cmdOK.setToolTip(
        "This saves any changes you have made to the lists.  Click the Cancel button to undo any "
        "changes you've made.");
    cmdCancel.setToolTip("Close this dialog and do not save changes.");
}

}  // namespace halvern::titles

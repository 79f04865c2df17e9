#include "popups/WhiteListEditor.h"

#include "base/ValueConversion.h"
#include "core/ListFiles.h"
#include "core/MainState.h"
#include "popups/WhiteList.h"

namespace halvern::popups {

namespace {

const std::string kN = core::kServiceName;
const std::string kParagraph = "\r\n\r\n";

/// The text with every occurrence of what removed, in one pass from the left.
std::string removeAll(const std::string& text, const std::string& what) {
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, from)) {
        result.append(text, from, at - from);
        from = at + what.size();
    }
    result.append(text, from);
    return result;
}

/// Characters, not bytes: a UTF-8 sequence counts once.
std::size_t countCharacters(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U) {
            ++count;
        }
    }
    return count;
}

}  // namespace

WhiteListEditor::WhiteListEditor(core::Context& context, WhiteList& list)
    : m_context(context), m_list(list) {
    form.txtTitle.onChange = [this] { txtTitle_Change(); };
    form.lstAdd.onClick = [this] { lstAdd_Click(); };
    form.cmdAdd.onClick = [this] { cmdAdd_Click(); };
    form.cmdDel.onClick = [this] { cmdDel_Click(); };
    form.cmdOK.onClick = [this] { cmdOK_Click(); };
    form.cmdCancel.onClick = [this] { cmdCancel_Click(); };
    form.frmIEWhiteList.onQueryUnload = [this](forms::UnloadMode) {
        Form_Unload();
        return false;
    };
}

void WhiteListEditor::open() {
    if (!form.frmIEWhiteList.visible()) {
        Form_Load();
    }
    form.frmIEWhiteList.show();
    form.frmIEWhiteList.raiseRequested().emit();
}

void WhiteListEditor::Form_Load() {
    bListChanged = false;
    // A window opened afresh starts empty; the entry of the last opening is gone.
    form.txtTitle.setText("");
    form.lstAdd.clear();
    form.cmdDel.setEnabled(false);
    form.cmdAdd.setEnabled(false);
    core::LoadListBox(form.lstAdd, core::ListFiles::kCountSection, core::ListFiles::kItemSection,
                      m_context.platform.files, m_list.fileInUse());
    if (!m_list.lastBlockedPopPage().empty()) {
        form.txtTitle.setText(m_list.lastBlockedPopPage());
    }
}

void WhiteListEditor::Form_Unload() {
    form.frmIEWhiteList.hide();
}

void WhiteListEditor::txtTitle_Change() {
    form.cmdAdd.setEnabled(true);
}

void WhiteListEditor::lstAdd_Click() {
    form.cmdDel.setEnabled(true);
}

void WhiteListEditor::cmdAdd_Click() {
    std::string s = base::ValueConversion::lowerAscii(form.txtTitle.text());
    s = removeAll(s, "http://");
    s = removeAll(s, "https://");
    if (countCharacters(s) < kMinEntry) {
        info("'" + s + "' is too short.  Needs to be 5 characters or more.",
             "Substring too short.");
        return;
    }
    int index = -1;
    if (core::FindListItem(s, form.lstAdd, index)) {
        info("'" + s + "' is already in your list of 'White Listed Sites' " + "to Block'. ",
             "Duplicate Entry Found.");
        return;
    }
    bListChanged = true;
    form.lstAdd.addItem(s);
    form.lstAdd.setListIndex(form.lstAdd.listCount() - 1);
}

void WhiteListEditor::cmdDel_Click() {
    const int index = form.lstAdd.listIndex();
    if (index >= 0) {
        form.lstAdd.removeItem(index);
        bListChanged = true;
    }
    form.cmdDel.setEnabled(false);
}

bool WhiteListEditor::cmdOK_Click() {
    if (bListChanged) {
        platform::FileSystem& files = m_context.platform.files;
        const std::string path = m_context.paths.getWhiteListIniFileName();
        if (!core::SaveListBox(form.lstAdd, core::ListFiles::kCountSection,
                               core::ListFiles::kItemSection, files, path)) {
            // Closing now would lose the edits: the reload would bring the old list back.
            std::string why = files.writeError();
            m_context.platform.dialogs.messageBox(
                kN + " could not save your popup White List to the file '" + path + "'" +
                    (why.empty() ? std::string() : " (" + why + ")") + "." + kParagraph +
                    "Your changes are still in the window: press OK to try again, "
                    "or Cancel to leave them.",
                kN, platform::BoxButtons::Ok, platform::BoxIcon::Warning);
            return false;
        }
        bListChanged = false;
        m_list.setWhiteListArray();
    }
    Form_Unload();
    return true;
}

void WhiteListEditor::cmdCancel_Click() {
    Form_Unload();
}

void WhiteListEditor::info(const std::string& text, const std::string& title) {
    m_context.platform.dialogs.messageBox(text, title, platform::BoxButtons::Ok,
                                          platform::BoxIcon::Information);
}

}  // namespace halvern::popups

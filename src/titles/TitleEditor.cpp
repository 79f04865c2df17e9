#include "titles/TitleEditor.h"

#include "core/ListFiles.h"
#include "core/MainState.h"
#include "titles/TitleText.h"
#include "titles/WindowWalks.h"

namespace halvern::titles {

namespace {

const std::string kN = core::kServiceName;
const std::string kParagraph = "\r\n\r\n";

}  // namespace

struct TitleEditor::SpecialTitle {
    std::string title;
    std::string boxTitle;
    std::string already;
    std::string added;
};

std::optional<std::string> entryOfRecord(const std::string& record) {
    const std::string found = "found '";
    const auto start = record.find(found);
    if (start == std::string::npos) {
        return std::nullopt;
    }
    const auto from = start + found.size();
    // The entry may hold apostrophes itself ("Don't miss"): it ends where the title part begins.
    auto end = record.find("' within Window Title '", from);
    if (end == std::string::npos) {
        end = record.find('\'', from);
    }
    return record.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

TitleEditor::TitleEditor(core::Context& context, TitleList& list, TitleScanner& scanner)
    : Timer1(context.platform.scheduler, "Timer1", 1000, false),
      m_context(context),
      m_list(list),
      m_scanner(scanner) {
    Timer1.onTimer = [this] { Timer1_Timer(); };
    form.lstCurrent.onClick = [this] { lstCurrent_Click(); };
    form.txtTitle.onChange = [this] { txtTitle_Change(); };
    form.cmdAdd.onClick = [this] { cmdAdd_Click(); };
    form.cmdDel.onClick = [this] { cmdDel_Click(); };
    form.lstAdd.onClick = [this] { lstAdd_Click(); };
    form.cmdRefresh.onClick = [this] { cmdRefresh_Click(); };
    form.cmdOK.onClick = [this] { cmdOK_Click(); };
    form.cmdCancel.onClick = [this] { cmdCancel_Click(); };
    form.lblPopupTitles.onClick = [this] { lblPopupTitles_Click(); };
    form.frmPopupTitles.onQueryUnload = [this](forms::UnloadMode) {
        Form_Unload();
        return false;
    };
}

void TitleEditor::open() {
    if (!form.frmPopupTitles.visible()) {
        Form_Load();
    }
    form.frmPopupTitles.show();
    form.frmPopupTitles.raiseRequested().emit();
}

void TitleEditor::Form_Load() {
    bListChanged = false;
    nFlashCount = 0;
    bLoading = true;
    form.cmdDel.setEnabled(false);
    form.cmdAdd.setEnabled(false);
    form.txtTitle.setText("");
    fillCurrent();
    form.lstAdd.clear();
    const std::string user = m_context.paths.getUserTitleIniFileName();
    const platform::FileSystem& files = m_context.platform.files;
    core::LoadListBox(form.lstAdd, core::ListFiles::kCountSection, core::ListFiles::kItemSection,
                      files, files.exists(user) ? user : m_context.paths.getZVTitleIniFileName());
    selectEntry(m_scanner.getLastPopupTitle());
    const std::string handed = getWhiteListItemText ? getWhiteListItemText() : std::string();
    if (const auto entry = entryOfRecord(handed)) {
        selectEntry(*entry);
        if (setWhiteListItemText) {
            setWhiteListItemText("");
        }
    }
    bLoading = false;
}

void TitleEditor::Form_Unload() {
    Timer1.setEnabled(false);
    form.frmPopupTitles.hide();
}

void TitleEditor::fillCurrent() {
    form.lstCurrent.clear();
    const int ownPid = m_context.platform.processes.ownPid();
    for (std::string& title : listWindowTitles(m_context.platform.desktop, ownPid)) {
        form.lstCurrent.addItem(std::move(title));
    }
}

void TitleEditor::selectEntry(const std::string& entry) {
    int index = -1;
    if (core::FindListItem(entry, form.lstAdd, index)) {
        form.lstAdd.setListIndex(index);
        Timer1.setEnabled(true);
    } else {
        form.lstAdd.setListIndex(-1);
    }
}

void TitleEditor::Timer1_Timer() {
    form.cmdDel.setEnabled(nFlashCount % 2 == 1);
    ++nFlashCount;
    if (nFlashCount > 9) {
        Timer1.setEnabled(false);
    }
}

void TitleEditor::lstCurrent_Click() {
    const int index = form.lstCurrent.listIndex();
    if (index >= 0) {
        // Trimming drops the indentation of sub-window titles.
        form.txtTitle.setText(std::string(trimBlanks(form.lstCurrent.item(index))));
    }
}

void TitleEditor::txtTitle_Change() {
    if (!bLoading) {
        form.cmdAdd.setEnabled(true);
    }
}

void TitleEditor::cmdAdd_Click() {
    const std::string text = form.txtTitle.text();
    if (countCharacters(text) < kMinEntry) {
        info("'" + text + "' is too short.  Needs to be 3 characters or more.",
             "Substring too short.");
        return;
    }
    int index = -1;
    if (core::FindListItem(text, form.lstAdd, index)) {
        info("'" + text + "' is already in your list of 'Additional Popup Windows " + "to Block'. ",
             "Duplicate Entry Found.");
        return;
    }
    form.lstAdd.addItem(text);
    form.lstAdd.setListIndex(form.lstAdd.listCount() - 1);
    bListChanged = true;
}

void TitleEditor::cmdDel_Click() {
    const int index = form.lstAdd.listIndex();
    if (index >= 0) {
        form.lstAdd.removeItem(index);
        bListChanged = true;
    }
    form.cmdDel.setEnabled(false);
}

void TitleEditor::lstAdd_Click() {
    if (form.lstAdd.listIndex() >= 0) {
        form.cmdDel.setEnabled(true);
    }
}

void TitleEditor::cmdRefresh_Click() {
    fillCurrent();
}

bool TitleEditor::cmdOK_Click() {
    if (bListChanged) {
        const std::string path = m_context.paths.getUserTitleIniFileName();
        if (!core::SaveListBox(form.lstAdd, core::ListFiles::kCountSection,
                               core::ListFiles::kItemSection, m_context.platform.files, path)) {
            // Closing now would lose the edits: the scanner would reload the old list.
            m_context.platform.dialogs.messageBox(
                kN + " could not save your list of blocked window titles to '" + path + "'." +
                    kParagraph +
                    "Your changes are still in the window: press OK to try again, "
                    "or Cancel to leave them.",
                kN, platform::BoxButtons::Ok, platform::BoxIcon::Warning);
            return false;
        }
        m_list.setPopupListArray();
        bListChanged = false;
    }
    Form_Unload();
    return true;
}

void TitleEditor::cmdCancel_Click() {
    Form_Unload();
}

void TitleEditor::lblPopupTitles_Click() {
    Form_Unload();
    if (openAdServerEditor) {
        openAdServerEditor();
    }
}

void TitleEditor::info(const std::string& text, const std::string& title) {
    m_context.platform.dialogs.messageBox(text, title, platform::BoxButtons::Ok,
                                          platform::BoxIcon::Information);
}

void TitleEditor::blockSpecialTitle(const SpecialTitle& special) {
    if (m_list.IsInPopupList(special.title)) {
        open();
        m_context.form.frmMain.hide();
        info(special.already, special.boxTitle);
        return;
    }
    open();
    form.txtTitle.setText(special.title);
    cmdAdd_Click();
    if (!cmdOK_Click()) {
        return;  // the warning said the title was not saved
    }
    open();
    m_context.form.frmMain.hide();
    info(special.added, special.boxTitle);
}

void TitleEditor::lblMessengerPops_Click() {
    const std::string kind = "These are a new kind of popup ad that's more and more popular";
    blockSpecialTitle(
        {"Messenger Service", "Messenger  Service popup ad blocking.",
         "You'll notice you are already having " + kN +
             " watch for the title 'Messenger Service' (look on the list on the right column)" +
             kParagraph + kind + ".  It effects " +
             "Windows XP, Windows 2000, and Windows XP users only. " +
             "These are messages broadcast to your computer from the Internet. They always have "
             "a window  " +
             "title of 'Messenger Service' so " + kN +
             " is already set to stop these when they occur.",
         "Up until now, you were NOT protected from 'Messenger Service' popup Ads." + kParagraph +
             "The Entry 'Messenger Service' was just added to the " +
             "list of blocked window titles.  " + kN +
             " will now watch and block any of these types of ads from now on." + kParagraph +
             kind + " these days.  It effects " +
             "Windows XP, Windows 2000, and Windows XP users only. " +
             "Messenger Service are messages broadcast to your computer from the Internet. They "
             "always have a Window  " +
             "Title of 'Messenger Service' so " + kN +
             " is now set to watch for these types of popups."});
}

void TitleEditor::lblWebPagePops_Click() {
    const std::string about =
        "These are a new kind of popup ad that's more and more popular.  It effects "
        "all users.  It's special HTML that creates a web page dialog box mostly used for Ads. "
        "These ads always have a window  "
        "title of '-- Web Page Dialog' (e.g. 'Some Great Offer -- Web Page Dialog') so " +
        kN;
    blockSpecialTitle(
        {"-- Web Page Dialog", "Web Page  Dialog Popup blocking.",
         "You'll notice you are already having " + kN +
             " watch for the title '-- Web Page Dialog' (look on the list on the right column)" +
             kParagraph + about + " is already set to stop these when they occur.",
         "Up until now, you were NOT protected from '-- Web Page Dialog' popup Ads." + kParagraph +
             "The Entry '-- Web Page Dialog' was just added to the " +
             "list of blocked window titles.  " + kN +
             " will now watch and block any of these types of ads from now on." + kParagraph +
             about + " is now set to stop these when they occur."});
}

}  // namespace halvern::titles

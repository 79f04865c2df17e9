#include "adservers/AdServerEditor.h"

#include <utility>

#include "adservers/HostName.h"
#include "base/ValueConversion.h"
#include "core/ListFiles.h"

namespace halvern::adservers {

namespace {

using base::ValueConversion::lowerAscii;
using base::ValueConversion::trimBlanks;
using platform::BoxAnswer;
using platform::BoxButtons;
using platform::BoxIcon;

const std::string kCrLf = "\r\n";
const std::string kN = core::kServiceName;
const std::string kQuote = "\"";
const std::string kAllowedCount = " Allowed (unblocked) Ad Servers";

std::string key(std::string_view entry) {
    return lowerAscii(trimBlanks(entry));
}

std::string twoExamples() {
    return kQuote + AdServerEditor::kExampleHost + kQuote + " or " + kQuote +
           AdServerEditor::kOtherExampleHost + kQuote;
}

/// An address: nothing but digits and dots (an empty value too).
bool isAddress(std::string_view value) {
    return value.find_first_not_of("0123456789.") == std::string_view::npos;
}

std::string helpText() {
    return "If you know a server (domain) that serves nothing but ads, type its name below and "
           "add it with the 'Add To List' button.  All content from that server is then "
           "blocked, so be sure it serves only ads.  You cannot give path patterns (like "
           "ads.example.com/banners/), only whole server names: " +
           kN + " is much faster this way.  Only domain names are allowed here, like " +
           AdServerEditor::kExampleHost;
}

}  // namespace

AdServerEditor::AdServerEditor(core::Context& context, AdServerBlocking& blocking)
    : m_dialogs(context.platform.dialogs),
      m_scheduler(context.platform.scheduler),
      m_state(context.state),
      m_paths(context.paths),
      m_files(context.platform.files),
      m_blocking(blocking) {
    context.form.cmdAddSites.setToolTip(
        std::string("Click here to add server (domain names like ") + kExampleHost +
        ") to the ad blocking list.");
    context.form.cmdAllow.setToolTip(
        "Click here to select ad servers that you want to allow (don't want to block anymore)");

    AdServerEditorForm& f = m_form;
    f.lstAll.onClick = [this] { m_form.cmdDo.setEnabled(true); };
    f.lstExclude.onClick = [this] { m_form.cmdUndo.setEnabled(true); };
    f.lstAdd.onClick = [this] {
        if (!m_bLoading) {
            m_form.cmdDel.setEnabled(true);
        }
    };
    f.txtServer.onChange = [this] {
        // Enabled once six characters are typed; never disabled again.
        if (!m_bLoading && m_form.txtServer.text().size() >= 6) {
            m_form.cmdAdd.setEnabled(true);
        }
    };
    f.txtFind.onChange = [this] { m_nFindNext = 0; };
    f.cmdDo.onClick = [this] { cmdDo_Click(); };
    f.cmdUndo.onClick = [this] { cmdUndo_Click(); };
    f.cmdDel.onClick = [this] { cmdDel_Click(); };
    f.cmdGo.onClick = [this] { cmdGo_Click(); };
    f.cmdAdd.onClick = [this] { cmdAdd_Click(); };
    f.cmdOK.onClick = [this] { cmdOK_Click(); };
    f.cmdCancel.onClick = [this] { unload(); };
    f.lblPopupTitles.onClick = [this] {
        unload();
        if (openTitleEditor) {
            openTitleEditor();
        }
    };
    f.frmExclude.onQueryUnload = [this](forms::UnloadMode) {
        unload();
        return false;
    };
    f.lblAdd.setCaption(helpText());
}

void AdServerEditor::show(const std::string& record) {
    if (m_form.frmExclude.visible()) {
        m_form.frmExclude.raiseRequested().emit();
        return;
    }
    Form_Load(record);
}

void AdServerEditor::unload() {
    m_form.frmExclude.hide();
    m_bLoading = false;
}

void AdServerEditor::Form_Load(const std::string& record) {
    AdServerEditorForm& f = m_form;
    m_bLoading = true;
    m_bListChanged = false;
    m_nFindNext = 0;
    f.cmdDo.setEnabled(false);
    f.cmdUndo.setEnabled(false);
    f.cmdGo.setCaption("Find");
    f.lblLast.setCaption("");
    f.txtFind.setText("");
    f.txtServer.setText("");
    for (forms::ListBox* list : {&f.lstAll, &f.lstExclude, &f.lstAdd}) {
        list->clear();
    }
    f.frmExclude.show();

    fill(f.lstAll, m_paths.getLocalBanIniFileName(), true);
    const core::ListFiles::List allowed =
        m_blocking.readWholeList(m_paths.getLocalBanIniExcludeFileName());
    for (int i = 0; i < allowed.count; ++i) {
        if (const std::string& entry = allowed.slots[static_cast<std::size_t>(i)]; !entry.empty()) {
            f.lstExclude.addItem(entry);
        }
    }
    // The count as the file states it.
    setExcludeCount(allowed.count);
    m_scheduler.pump();
    if (m_state.bExiting || !f.frmExclude.visible()) {
        return;
    }
    fill(f.lstAdd, m_paths.getUserBanIniFileName(), false);
    f.cmdDel.setEnabled(false);
    f.cmdAdd.setEnabled(false);
    m_bLoading = false;
    showHint(record);
}

void AdServerEditor::fill(forms::ListBox& list, const std::string& path, bool keepDefaults) {
    // Entries whole, as the hosts build reads them: a save never writes a long name back cut.
    const core::ListFiles::List read = m_blocking.readWholeList(path);
    if (keepDefaults) {
        m_strDefaultList.assign(read.slots.begin(), read.slots.end() - 1);
        m_defaults.clear();
        m_form.lblTotal.setCaption(std::to_string(read.count) + " Total Ad Servers");
    }
    for (int i = 0; i < read.count; ++i) {
        const std::string& entry = read.slots[static_cast<std::size_t>(i)];
        if (entry.empty()) {
            continue;
        }
        list.addItem(entry);
        if (keepDefaults) {
            m_defaults.insert(key(entry));
        }
    }
}

void AdServerEditor::showHint(const std::string& record) {
    AdServerEditorForm& f = m_form;
    const auto quote = record.find(" '");
    std::string server;
    if (quote != std::string::npos) {
        const auto begin = quote + 2;
        const auto end = record.find('\'', begin);
        server = record.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        f.lblLast.setCaption("The Ad Server you click on was '" + server + "'" +
                             " To allow all content from " + server +
                             " from now on, click the '=>' button.");
    } else if (!m_state.strLastHost.empty()) {
        server = m_state.strLastHost;
        f.lblLast.setCaption("The last Ad blocked was from the server '" + server + "'" +
                             " To allow all content from " + server +
                             " from now on, click the '=>' button.");
    } else {
        return;
    }
    f.txtFind.setText(server);
    cmdGo_Click();
}

void AdServerEditor::setExcludeCount(int count) {
    m_form.lblExclude.setCaption(std::to_string(count) + kAllowedCount);
}

bool AdServerEditor::isDefault(const std::string& value) const {
    return m_defaults.contains(key(value));
}

void AdServerEditor::cmdDo_Click() {
    AdServerEditorForm& f = m_form;
    const int selected = f.lstAll.listIndex();
    if (selected < 0) {
        return;
    }
    const std::string entry = f.lstAll.item(selected);
    int found = 0;
    if (core::FindListItem(entry, f.lstExclude, found)) {
        m_dialogs.messageBox("'" + entry + "' is already in the 'Allow Sites List'",
                             "Duplicate Server Entry", BoxButtons::Ok, BoxIcon::Information);
        return;
    }
    f.lstExclude.addItem(entry);
    f.lstAll.removeItem(selected);
    f.lstAll.setListIndex(-1);
    m_bListChanged = true;
}

void AdServerEditor::cmdUndo_Click() {
    AdServerEditorForm& f = m_form;
    const int selected = f.lstExclude.listIndex();
    if (selected < 0) {
        return;
    }
    const std::string entry = f.lstExclude.item(selected);
    int found = 0;
    if (isDefault(entry)) {
        if (!core::FindListItem(entry, f.lstAll, found)) {
            f.lstAll.insertItem(0, entry);
            f.lstAll.setListIndex(0);
        }
    } else if (!core::FindListItem(entry, f.lstAdd, found)) {
        // A server the user took off their own list goes back there: it is no default.
        f.lstAdd.addItem(entry);
        f.lstAdd.setListIndex(f.lstAdd.listCount() - 1);
    }
    f.lstExclude.removeItem(selected);
    f.lstExclude.setListIndex(-1);
    setExcludeCount(f.lstExclude.listCount());
    m_bListChanged = true;
}

void AdServerEditor::cmdDel_Click() {
    AdServerEditorForm& f = m_form;
    const int selected = f.lstAdd.listIndex();
    if (selected < 0) {
        return;
    }
    // In the allowed list, its hosts line goes at the next build.
    f.lstExclude.addItem(f.lstAdd.item(selected));
    f.lstAdd.removeItem(selected);
    f.lstAdd.setListIndex(-1);
    m_bListChanged = true;
    f.cmdDel.setEnabled(false);
}

void AdServerEditor::cmdGo_Click() {
    AdServerEditorForm& f = m_form;
    if (m_bLoading) {
        return;
    }
    const std::string text = f.txtFind.text();
    if (text.empty()) {
        m_dialogs.messageBox(
            std::string("You need to first type something in the 'Find' box i.e. ") + kExampleHost,
            kN, BoxButtons::Ok, BoxIcon::None);
        return;
    }
    for (int i = std::max(m_nFindNext, 0); i < f.lstAll.listCount(); ++i) {
        if (f.lstAll.item(i).find(text) != std::string::npos) {
            f.lstAll.setListIndex(i);
            m_nFindNext = i + 1;
            f.cmdGo.setCaption("Find Next");
            return;
        }
    }
    if (text == m_state.strLastHost) {
        // The last blocked server is one of the user's own.
        f.lblLast.setCaption("The last Ad blocked was from the server '" + text + "'" +
                             " To allow all content from " + text +
                             " select it from your personal blocked server list and click the "
                             "'Delete from List' button.");
    } else {
        m_dialogs.messageBox("Sorry, didn't find " + text + " in the list.  Please try again.", kN,
                             BoxButtons::Ok, BoxIcon::None);
    }
    m_nFindNext = 0;
    f.cmdGo.setCaption("Find");
}

std::string AdServerEditor::httpText() {
    return "Do not use a leading " + kQuote + "http://" + kQuote + ".  Just specify a domain " +
           "like " + kQuote + kExampleHost + kQuote;
}

std::string AdServerEditor::compoundText() {
    return "We're sorry, only domain names are allowed. No compound names are accepted "
           "because " +
           kN +
           " needs to remain fast and allowing this functionality would slow it down too much.  " +
           kCrLf + kCrLf + "Only simple domains like " + twoExamples() + " are allowed.  " + kCrLf +
           kCrLf + httpText();
}

std::string AdServerEditor::addressText() {
    return "We're sorry, only domain names are allowed. No IP addresses are accepted. " + kCrLf +
           kCrLf + "Only domains names (not IPs) like " + twoExamples() + " are allowed.  ";
}

bool AdServerEditor::refused(const std::string& value) {
    const std::string_view name = trimBlanks(value);
    if (value.find("http://") != std::string::npos) {
        m_dialogs.messageBox(httpText(), "Don't use leading http://", BoxButtons::Ok,
                             BoxIcon::Information);
        return true;
    }
    // A name the hosts file would skip is no more use than a compound one.
    if (value.find('/') != std::string::npos || (!isAddress(name) && !HostName::isValid(name))) {
        m_dialogs.messageBox(compoundText(), "Compound URLs not supported at this time.",
                             BoxButtons::Ok, BoxIcon::Information);
        return true;
    }
    if (isAddress(name)) {
        m_dialogs.messageBox(addressText(), "There was an error in your input", BoxButtons::Ok,
                             BoxIcon::Information);
        return true;
    }
    return false;
}

void AdServerEditor::cmdAdd_Click() {
    AdServerEditorForm& f = m_form;
    const std::string value = f.txtServer.text();
    if (refused(value)) {
        return;
    }
    int found = 0;
    if (core::FindListItem(value, f.lstExclude, found)) {
        const BoxAnswer answer = m_dialogs.messageBox(
            "'" + value + "' is already in the 'Allowed Sites' list. " + kCrLf + kCrLf +
                "Are you sure you want to block all content " + " from '" + value + "'?",
            "Are you Sure?", BoxButtons::YesNo, BoxIcon::Question);
        if (answer != BoxAnswer::Yes) {
            return;
        }
        f.lstExclude.removeItem(found);
        f.lstExclude.setListIndex(-1);
        m_bListChanged = true;
    } else {
        f.lstExclude.setListIndex(-1);
    }
    if (isDefault(value)) {
        const std::string wanted = key(value);
        for (int i = 0; i < f.lstAll.listCount(); ++i) {
            if (key(f.lstAll.item(i)) == wanted) {
                f.lstAll.setListIndex(i);
                break;
            }
        }
        m_dialogs.messageBox(
            "The domain '" + value + "' is " + "in the default list of servers " + kN +
                " Blocks. " + kCrLf + kCrLf + "Make sure you " +
                "reboot your computer after you make any changes to these server blocking / "
                "allowing lists.  " +
                kCrLf + kCrLf + "This is the only way to be sure the changes will take effect.",
            "Duplicate Ad Server Entry Found.", BoxButtons::Ok, BoxIcon::Information);
        return;
    }
    if (core::FindListItem(value, f.lstAdd, found)) {
        m_dialogs.messageBox(
            "'" + value + "' is already in your list of 'Additional Ad " + "Server to Block'. ",
            "Duplicate Entry Found.", BoxButtons::Ok, BoxIcon::Information);
        return;
    }
    f.lstAdd.addItem(std::string(trimBlanks(value)));
    f.lstAdd.setListIndex(f.lstAdd.listCount() - 1);
    m_bListChanged = true;
}

void AdServerEditor::cmdOK_Click() {
    AdServerEditorForm& f = m_form;
    if (m_saving) {
        return;
    }
    if (m_bListChanged) {
        m_saving = true;
        f.lblLast.setCaption("*** Please Wait.  Saving changes may take several seconds ***");
        // Lets the notice paint.
        for (int i = 0; i < 100 && !m_state.bExiting; ++i) {
            m_scheduler.pump();
        }
        // Nothing is written once the exit has begun, nor after the window was closed.
        if (m_state.bExiting || !f.frmExclude.visible()) {
            m_saving = false;
            return;
        }
        // A list that could not be written is said so, and the window stays open with the
        // changes: reporting them saved would lose them at the next start.
        for (const auto& [list, path] :
             {std::pair{&f.lstAdd, m_paths.getUserBanIniFileName()},
              std::pair{&f.lstExclude, m_paths.getLocalBanIniExcludeFileName()}}) {
            if (!core::SaveListBox(*list, core::ListFiles::kCountSection,
                                   core::ListFiles::kItemSection, m_files, path)) {
                m_saving = false;
                f.lblLast.setCaption("");
                std::string text = kN + " could not write the file named '";
                text += path;
                text += "'. Your changes are not saved yet.";
                m_dialogs.messageBox(text, kN, BoxButtons::Ok, BoxIcon::Warning);
                return;
            }
        }
        m_bListChanged = false;
        m_blocking.setExcludeArray();
        // While blocking is off the hosts file holds none of the lists: the next switch-on
        // builds it from the saved lists.
        if (m_state.bBlockAdServers) {
            m_blocking.ReadLocalBanListAndUpdateHostsFile(true);
        }
        m_saving = false;
        if (m_state.bExiting) {
            return;
        }
        m_dialogs.messageBox(
            "If the changes you've made don't seem to work right away, try closing all "
            "of your browser windows first. " +
                kCrLf + kCrLf + "If that doesn't work, " +
                "restarting your computer should take care of it.",
            kN, BoxButtons::Ok, BoxIcon::None);
    }
    unload();
}

}  // namespace halvern::adservers

#include "spyware/SpywareViewer.h"

#include <optional>
#include <vector>

#include "core/IniFile.h"
#include "core/MainState.h"
#include "spyware/SpywareList.h"

namespace halvern::spyware {

namespace {

const std::string kCrLf = "\r\n";

}  // namespace

SpywareViewer::SpywareViewer(core::Context& context, core::StatusLog& log, SpywareScanner& scanner,
                             SpywareDownload& download)
    : m_ctx(context), m_log(log), m_scanner(scanner), m_download(download) {
    m_form.cmdOK.onClick = [this] { cmdOK_Click(); };
    m_form.cmdCancel.onClick = [this] { cmdCancel_Click(); };
    m_form.lbladaware.onClick = [this] { lbladaware_Click(); };
    m_form.Picture1.onClick = [this] { lbladaware_Click(); };
    // The window's close box is Cancel.
    m_form.frmAdWare.onQueryUnload = [this](forms::UnloadMode) {
        cmdCancel_Click();
        return false;
    };
}

void SpywareViewer::open() {
    if (m_form.frmAdWare.visible()) {
        m_form.frmAdWare.raiseRequested().emit();
        return;
    }
    Form_Load();
}

void SpywareViewer::Form_Load() {
    const std::string n = core::kServiceName;
    m_form.lbl2.setCaption(
        "The following shows the known list of SpyWare/AdWare based on the latest information " +
        std::string(" on the ") + n +
        " spyware database server.  This software normally checks our server " +
        "for the latest updates to this list.");
    m_form.lstSpyware.clear();
    m_form.lblSpyCount.setCaption("0");
    m_form.frmAdWare.show();
    if (!m_ctx.platform.files.exists(m_ctx.paths.strgSpyWareFile())) {
        m_download.ProcessSpyWare(false);
        if (m_ctx.state.bExiting) {
            return;
        }
    }
    FillSpyWareList();
}

void SpywareViewer::FillSpyWareList() {
    const core::IniFile file(m_ctx.platform.files, m_ctx.paths.strgSpyWareFile());
    const std::vector<SpywareList::Line> lines = SpywareList::read(file.document());
    CheckList& list = m_form.lstSpyware;
    list.clear();
    m_form.lblSpyCount.setCaption(std::to_string(lines.size()));
    for (const SpywareList::Line& line : lines) {
        const SpywareList::Fields fields = SpywareList::split(line.value);
        list.addItem(line.name + "\t" + fields.description,
                     SpywareList::hasFields(line.value) && fields.watched());
    }
    list.setListIndex(list.listCount() > 0 ? 0 : -1);
}

void SpywareViewer::cmdOK_Click() {
    if (m_ctx.state.bExiting) {
        return;
    }
    // Read, changed and written in one step: nothing runs in between.
    core::IniFile file(m_ctx.platform.files, m_ctx.paths.strgSpyWareFile(),
                       m_ctx.paths.spyWareWriteFile());
    const CheckList& list = m_form.lstSpyware;
    for (int i = 0; i < list.listCount(); ++i) {
        const std::string& item = list.item(i);
        const std::string name = item.substr(0, item.find('\t'));
        const std::optional<std::string> current = SpywareList::value(file.document(), name);
        if (!current) {
            // Removed from the file while the window was open: not written back.
            continue;
        }
        const std::string value = SpywareList::withWatch(*current, list.checked(i));
        if (value != *current) {
            file.set(SpywareList::kSection, name, value);
        }
    }
    if (!file.save()) {
        const std::string n = core::kServiceName;
        m_log.AddToStatus("#Spyware list: " + file.path() + " could not be written.");
        m_ctx.platform.dialogs.messageBox(n + " could not save the spyware list:" + kCrLf + kCrLf +
                                              file.path() + kCrLf + kCrLf +
                                              "Your check marks were not saved.",
                                          n, platform::BoxButtons::Ok, platform::BoxIcon::Warning);
        return;
    }
    m_scanner.setSpyWareListArray();
    Form_Unload();
}

void SpywareViewer::cmdCancel_Click() {
    Form_Unload();
}

void SpywareViewer::toggleCurrent() {
    CheckList& list = m_form.lstSpyware;
    const int index = list.listIndex();
    if (index < 0 || index >= list.listCount()) {
        return;
    }
    list.setChecked(index, !list.checked(index));
}

void SpywareViewer::lbladaware_Click() {
    m_ctx.platform.launcher.openUrl(kRemovalToolPage);
}

void SpywareViewer::Form_Unload() {
    m_form.frmAdWare.hide();
    m_form.lstSpyware.clear();
}

}  // namespace halvern::spyware

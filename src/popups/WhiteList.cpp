#include "popups/WhiteList.h"

#include "base/ValueConversion.h"
#include "core/ListFiles.h"
#include "core/TimeStamp.h"
#include "forms/Caption.h"
#include "popups/AddressText.h"

namespace halvern::popups {

using base::ValueConversion::lowerAscii;

WhiteList::WhiteList(core::Context& context, core::StatusLog& log, core::BlockedRings& rings)
    : editor(context, *this), m_context(context), m_log(log), m_rings(rings) {}

WhiteList::~WhiteList() = default;

std::string WhiteList::fileInUse() const {
    const std::string user = m_context.paths.getWhiteListIniFileName();
    return m_context.platform.files.exists(user) ? user
                                                 : m_context.paths.getZVWhiteListIniFileName();
}

void WhiteList::setWhiteListArray() {
    const platform::FileSystem& files = m_context.platform.files;
    const std::string path = fileInUse();
    const auto countText = core::ListFiles::readCountText(files, path);
    if (countText && !countText->empty() && !core::ListFiles::readCount(files, path)) {
        // Reads as an empty list, as the format says; the line tells a puzzled user why.
        m_log.AddToStatus("#White list '" + path + "': the count N='" + *countText +
                          "' is not a number; no pages read");
    }
    core::ListFiles::List list = core::ListFiles::read(files, path);
    std::vector<std::string> entries(list.slots.begin(), list.slots.end() - 1);
    std::vector<std::string> lowerEntries;
    lowerEntries.reserve(entries.size());
    for (const std::string& entry : entries) {
        if (!entry.empty()) {
            m_log.AddToStatus("User Defined IE WhiteList in Memory '" + entry + "'");
        }
        lowerEntries.push_back(lowerAscii(entry));
    }
    aWhiteList = std::move(entries);
    m_lowerEntries = std::move(lowerEntries);
    m_loaded = true;
}

bool WhiteList::IsInIEWhiteList(const std::string& url, std::string& strOutFoundSubString) const {
    if (url.empty() || !m_loaded) {
        return false;
    }
    // The whole address takes part, however long: only what is shown is cut.
    const std::string lowerUrl = lowerAscii(url);
    for (std::size_t i = 0; i < m_lowerEntries.size() && i < aWhiteList.size(); ++i) {
        const std::string& entry = m_lowerEntries[i];
        if (!entry.empty() && lowerUrl.find(entry) != std::string::npos) {
            strOutFoundSubString = aWhiteList[i];
            return true;
        }
    }
    return false;
}

bool WhiteList::IsInIEWhiteList(const std::string& url) const {
    std::string found;
    return IsInIEWhiteList(url, found);
}

void WhiteList::setLastIEPopURL(const std::string& strIn) {
    const std::string page = shownAddress(CutScheme(strIn));
    m_rings.cycIEPopups.PutItem(core::GetTimeStamp(m_context.platform.scheduler) +
                                " - Blocked Popup on Page '" + page + "'");
    showBlockedPage(page);
}

void WhiteList::setLastIEPopPage(const std::string& strIn) {
    showBlockedPage(shownAddress(CutScheme(strIn)));
}

void WhiteList::showBlockedPage(const std::string& page) {
    strLastBlockedPopPage = page;
    forms::MainForm& form = m_context.form;
    form.lblLastIEPop.setCaption("Allow all Popups on page " + forms::escapeAccessKeys(page));
    form.lblLastIEPop1.setCaption(
        "The last popup ad was from the page above.  You may allow popups based on a site URL or "
        "site name.");
    form.mnuTrayLastIEPop.setEnabled(true);
    form.mnuTrayLastIEPop.setCaption(trayCaption(form.lblLastIEPop.caption()));
}

void WhiteList::setLastAllowedIEPopURL(const std::string& strIn) {
    const std::string page = forms::escapeAccessKeys(shownAddress(CutScheme(strIn)));
    forms::MenuItem& entry = m_context.form.mnuTrayLastIEPop;
    entry.setEnabled(true);
    entry.setCaption(trayCaption("Block Popups recently allowed from '" + page + "'"));
}

std::string WhiteList::trayCaption(const std::string& text) const {
    const auto key = base::ValueConversion::toInt32(m_context.state.ngIEWhiteList);
    return key && *key > 0 ? "F" + std::to_string(*key) + " - " + text : "-- " + text;
}

void WhiteList::openEditor() {
    editor.open();
}

std::string WhiteList::CutScheme(const std::string& address) {
    const auto at = address.find("://");
    return at == std::string::npos ? address : address.substr(at + 3);
}

}  // namespace halvern::popups

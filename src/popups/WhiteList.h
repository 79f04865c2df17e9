#pragma once

#include <string>
#include <vector>

#include "core/BlockedRings.h"
#include "core/Context.h"
#include "core/StatusLog.h"
#include "popups/WhiteListEditor.h"

namespace halvern::popups {

/// The pages on which every popup is allowed: a piece of text each, matched anywhere in the
/// address, ignoring case. The user's list (userwl.ini) when it exists, else the shipped one
/// (zvwl.ini). Also the record of the most recent blocked or white-listed popup, which leads the
/// user to the editor through mnuTrayLastIEPop, cmdAllowIEPop and lblLastIEPop (the window
/// commands run openEditor for all three), and the editor itself.
class WhiteList {
public:
    WhiteList(core::Context& context, core::StatusLog& log, core::BlockedRings& rings);
    ~WhiteList();
    WhiteList(const WhiteList&) = delete;
    WhiteList& operator=(const WhiteList&) = delete;

    /// Loads the list from the file in use.
    void setWhiteListArray();
    /// Whether the address holds an entry; `strOutFoundSubString` is the first such entry as
    /// stored.
    bool IsInIEWhiteList(const std::string& url, std::string& strOutFoundSubString) const;
    bool IsInIEWhiteList(const std::string& url) const;

    /// Records the page of a blocked popup (or of a log line the user double-clicked).
    void setLastIEPopURL(const std::string& strIn);
    /// Records the page of a popup the list let through.
    void setLastAllowedIEPopURL(const std::string& strIn);
    /// Makes a page the user picked in the recently-blocked log the most recent blocked popup
    /// page, as setLastIEPopURL does, but adds no record: the popup was recorded when it was
    /// blocked.
    void setLastIEPopPage(const std::string& strIn);
    /// The page of the latest blocked popup, scheme cut off; "" until the first.
    const std::string& lastBlockedPopPage() const { return strLastBlockedPopPage; }

    /// Opens the editor, modeless (or brings it to the front).
    void openEditor();

    /// The list file in use: the user's when it exists, else the shipped one.
    std::string fileInUse() const;
    /// The entries as loaded, "" for a gap; empty before the first load.
    const std::vector<std::string>& entries() const { return aWhiteList; }

    /// The editor window frmIEWhiteList.
    WhiteListEditor editor;

    /// The part after the first "://", or the whole address when it holds none.
    static std::string CutScheme(const std::string& address);

private:
    /// Shows the page on the labels and the tray entry; page is the address without its scheme.
    void showBlockedPage(const std::string& page);
    /// The tray entry's caption: the hot key's name or "--", then the text.
    std::string trayCaption(const std::string& text) const;

    core::Context& m_context;
    core::StatusLog& m_log;
    core::BlockedRings& m_rings;
    /// Slots 0..N-1 of the array (slot N, always empty, is left out).
    std::vector<std::string> aWhiteList;
    /// The same entries lower-cased, for matching.
    std::vector<std::string> m_lowerEntries;
    bool m_loaded = false;
    /// Cut to what a caption shows (popups::shownAddress).
    std::string strLastBlockedPopPage;
};

}  // namespace halvern::popups

#pragma once

#include <string>
#include <vector>

#include "core/BlockedRings.h"
#include "core/Context.h"
#include "core/StatusLog.h"

namespace halvern::popups {

/// The pages on which every popup is allowed: a piece of text each, matched anywhere in the
/// address, ignoring case. The user's list (userwl.ini) when it exists, else the shipped one
/// (zvwl.ini). Also the record of the most recent blocked or white-listed popup, which leads the
/// user to the editor. Wires mnuTrayLastIEPop, cmdAllowIEPop and lblLastIEPop.
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
    /// The page of the latest blocked popup, scheme cut off; "" until the first.
    const std::string& lastBlockedPopPage() const { return strLastBlockedPopPage; }

    /// Opens the editor, modeless (or brings it to the front).
    void openEditor();

    /// The part after the first "://", or the whole address when it holds none.
    static std::string CutScheme(const std::string& address);

private:
    core::Context& m_context;
    core::StatusLog& m_log;
    core::BlockedRings& m_rings;
    std::vector<std::string> aWhiteList;
    bool m_loaded = false;
    std::string strLastBlockedPopPage;
};

}  // namespace halvern::popups

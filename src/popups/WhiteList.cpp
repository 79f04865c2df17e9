#include "popups/WhiteList.h"

namespace halvern::popups {

WhiteList::WhiteList(core::Context& context, core::StatusLog& log, core::BlockedRings& rings)
    : m_context(context), m_log(log), m_rings(rings) {}

WhiteList::~WhiteList() = default;

void WhiteList::setWhiteListArray() {}

bool WhiteList::IsInIEWhiteList(const std::string& url, std::string& strOutFoundSubString) const {
    (void)url;
    (void)strOutFoundSubString;
    return false;
}

bool WhiteList::IsInIEWhiteList(const std::string& url) const {
    std::string found;
    return IsInIEWhiteList(url, found);
}

void WhiteList::setLastIEPopURL(const std::string&) {}

void WhiteList::setLastAllowedIEPopURL(const std::string&) {}

void WhiteList::openEditor() {}

std::string WhiteList::CutScheme(const std::string& address) {
    const auto at = address.find("://");
    return at == std::string::npos ? address : address.substr(at + 3);
}

}  // namespace halvern::popups

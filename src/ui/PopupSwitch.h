#pragma once

#include <functional>

#include "core/Context.h"
#include "ui/HelpLine.h"

namespace halvern::ui {

/// The browser popup switch "Block Internet Explorer Popup Ads": keeps the stored setting
/// bBlockIEPopups in step with the box, so the next save writes what the user chose, builds or
/// discards the browser tracker, says so on the help line, and lets "Block ALL new Internet
/// Explorer popup windows" be chosen only while the switch is on. The title scan and the walk on
/// new windows read the box itself. Wires chkIEPops.
class PopupSwitch {
public:
    PopupSwitch(core::Context& context, HelpLine& help);
    ~PopupSwitch();
    PopupSwitch(const PopupSwitch&) = delete;
    PopupSwitch& operator=(const PopupSwitch&) = delete;

    void chkIEPops_Click();

    /// Builds the browser tracker anew (discarding the old one) and discards it; the tracker
    /// belongs to the browser subsystem, so Program fills these. Empty ones do nothing.
    std::function<void()> createBrowserTracker;
    std::function<void()> discardBrowserTracker;

private:
    core::Context& m_context;
    HelpLine& m_help;
};

}  // namespace halvern::ui

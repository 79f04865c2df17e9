#pragma once

#include <functional>

#include "forms/Button.h"
#include "forms/Form.h"
#include "forms/ListBox.h"

namespace halvern::ui {

/// The recently-blocked log window "Recent Ads Blocked": four view buttons, the list of the
/// current view, and its commands. It holds no behaviour.
struct LogWindowForm {
    LogWindowForm() = default;
    LogWindowForm(const LogWindowForm&) = delete;
    LogWindowForm& operator=(const LogWindowForm&) = delete;

    forms::Form frmLastBlocked{"frmLastBlocked", "Recent Ads Blocked"};
    forms::ListBox lstBlocked{"lstBlocked"};
    forms::Button cmdByAdServer{"cmdByAdServer", "Blocked Hosts (Ad Servers)"};
    forms::Button cmdIEPopups{"cmdIEPopups", "Internet Explorer Popups"};
    forms::Button cmdTitles{"cmdTitles", "Window Titles"};
    forms::Button cmdSpyWare{"cmdSpyWare", "Spyware"};
    forms::Button cmdCopy{"cmdCopy", "Copy"};
    forms::Button cmdClear{"cmdClear", "Clear Log"};
    forms::Button cmdCancel{"cmdCancel", "Close"};

    /// The list's size in twips, as the window's resize handler sets it.
    int listWidth = 0;
    int listHeight = 0;
    /// Raised after the list's size changed.
    forms::Signal listResized;
    /// The resize handler: the window's new inner size in twips.
    std::function<void(int width, int height)> onResize;
};

}  // namespace halvern::ui

#pragma once

#include <string>

#include "adservers/BlockCounter.h"
#include "core/Context.h"
#include "ui/TrayIcon.h"

namespace halvern::titles {

/// The common reaction to a blocked popup, for windows closed by title and answered error boxes:
/// the page labels, the tray flash, the popup sound and the count.
class BlockedPopupReaction {
public:
    BlockedPopupReaction(core::Context& context, ui::TrayIcon& tray,
                         adservers::BlockCounter& counter);

    /// Shows the text as the cancelled page, flashes the tray icon, plays the popup sound
    /// unless sounds are off, and counts one blocked item.
    void DoBlockedPopup(const std::string& text);

private:
    core::Context& m_context;
    ui::TrayIcon& m_tray;
    adservers::BlockCounter& m_counter;
};

}  // namespace halvern::titles

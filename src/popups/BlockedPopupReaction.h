#pragma once

#include <string>

#include "adservers/BlockCounter.h"
#include "core/Context.h"
#include "platform/Scheduler.h"
#include "popups/UserIntent.h"
#include "ui/TrayIcon.h"

namespace halvern::popups {

/// The common reaction to a blocked popup, for browser popups, windows closed by title and
/// answered error boxes alike: the page labels, the burst count, the tray flash, the popup sound
/// and the count.
class BlockedPopupReaction {
public:
    BlockedPopupReaction(core::Context& context, ui::TrayIcon& tray,
                         adservers::BlockCounter& counter, UserIntent& intent);
    ~BlockedPopupReaction();
    BlockedPopupReaction(const BlockedPopupReaction&) = delete;
    BlockedPopupReaction& operator=(const BlockedPopupReaction&) = delete;

    /// Shows the text as the cancelled page, counts it for the burst detector, flashes the tray
    /// icon, plays the popup sound unless sounds are off, and counts one blocked item.
    void DoBlockedPopup(const std::string& text);

    /// At most one popup sound starts in this window, however many popups are blocked.
    static constexpr platform::Millis kSoundWindow{250};

private:
    bool soundWanted() const;
    void playPopSound();

    core::Context& m_context;
    ui::TrayIcon& m_tray;
    adservers::BlockCounter& m_counter;
    UserIntent& m_intent;
    platform::Scheduler::Id m_soundTimer = 0;
    bool m_soundPlayed = false;
    platform::Millis m_lastSound{0};
};

}  // namespace halvern::popups

#pragma once

#include <cstdint>
#include <string>

#include "adservers/PlaceholderServer.h"
#include "core/Context.h"
#include "forms/Timer.h"
#include "popups/HotKeys.h"

namespace halvern::popups {

/// What the user meant: the mouse buttons and the Ctrl and Alt keys, read from the input device,
/// open short windows after each press (the click window of 2 s, the double-click window of
/// 400 ms and its 2.5 s grace), which the popup decision, the title scan and the walk on new
/// windows ask about. Also the burst detector, which lengthens the click window once when three
/// items are blocked within 4 s. The tray's temporary allow and sound switches are read from the
/// shared state. Wires Timerkeys, timerClickReset, TimerLDClick, TimerRDClick, TimerDClickOK and
/// TimerManyPops.
class UserIntent {
public:
    UserIntent(core::Context& context, adservers::PlaceholderServer& server);
    ~UserIntent();
    UserIntent(const UserIntent&) = delete;
    UserIntent& operator=(const UserIntent&) = delete;

    bool IsMouseClick() const { return bLClick || bRClick; }
    bool IsUserJustDoubleClicked() const { return TimerDClickOK.enabled(); }
    bool IsHotKeyDown() const { return bHotKeyDown; }
    bool IsTempPopsAllowed() const;
    bool IsTempSoundOff() const;

    /// Sets both click flags, shows the reason, and ends the click window. Every caller passes
    /// false.
    void setMouseClick(bool bval, const std::string& strIn);
    void setHotKeyDown(bool bval);

    /// The key poll: the function keys, then the buttons and modifiers, then the placeholder
    /// server's pause while a modifier counts as held.
    void CheckKeys();
    /// Takes in the presses the device already received and runs the poll when one is waiting:
    /// run before every popup decision, so that a click a moment ago counts.
    void takeInPresses();
    /// One more blocked item for the burst detector.
    void CountManyPops();

    /// The hot keys the poll runs.
    HotKeys hotKeys;

    forms::Timer Timerkeys;
    forms::Timer timerClickReset;
    forms::Timer TimerLDClick;
    forms::Timer TimerRDClick;
    forms::Timer TimerDClickOK;
    forms::Timer TimerManyPops;

    bool bLClick = false;
    bool bRClick = false;
    bool bHotKeyDown = false;
    std::int16_t nLClicks = 0;
    std::int16_t nRClicks = 0;
    std::int16_t nManyPops = 0;
    bool bManyPopsAdjusted = false;

private:
    core::Context& m_context;
};

}  // namespace halvern::popups

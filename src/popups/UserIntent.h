#pragma once

#include <cstddef>
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
/// TimerManyPops, and the input device's onPress.
///
/// Timerkeys polls every 50 ms, but sleeps while a poll would find nothing to do: no press
/// latched, no watched key held, and the placeholder server already where the modifier wants
/// it. A press, a change of the modifier, of ad-server blocking or of the server wakes it, and
/// the woken poll runs at the moment the 50 ms rhythm would have run it.
class UserIntent {
public:
    /// The period of the key poll.
    static constexpr int kKeyPollMs = 50;

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

    /// Whether Timerkeys sleeps until something wakes it.
    bool keyPollAsleep() const { return m_asleep; }

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
    /// The poll's passes; the timer's poll lets pending events run between them, the intake
    /// before a popup decision does not.
    void poll(bool pumpBetweenPasses);
    /// The button-and-modifier pass, for the watched codes 1 to 18 in ascending order.
    void mouseAndModifierPass();
    /// A newly pressed left or right button: the click window and the double-click count.
    void buttonPressed(bool& bClick, forms::Timer& doubleClickTimer, std::int16_t& nClicks);

    void Timerkeys_Timer();
    void timerClickReset_Timer();
    void TimerManyPops_Timer();

    /// Whether a poll now would change nothing.
    bool keyPollIdle() const;
    /// Wakes a sleeping Timerkeys at the next moment of its rhythm.
    void wakeKeyPoll();

    core::Context& m_context;
    adservers::PlaceholderServer& m_server;
    /// The click window was restarted once to bound a modifier that outlived it (see
    /// setMouseClick).
    bool m_clickWindowRearmed = false;
    bool m_asleep = false;
    platform::Millis m_lastPoll{0};
    platform::Scheduler::Id m_wakeCall = 0;
    std::size_t m_blockingWatch = 0;
    std::size_t m_serverWatch = 0;
};

}  // namespace halvern::popups

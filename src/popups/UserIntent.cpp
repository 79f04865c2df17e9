#include "popups/UserIntent.h"

#include <limits>
#include <vector>

#include "platform/InputDevice.h"

namespace halvern::popups {

namespace {

/// The keys the poll reads: the buttons and keys of the button-and-modifier pass, in the order
/// it takes them, and F1 to F12. No state is kept for any other key.
std::vector<int> watchedKeys() {
    namespace vk = platform::vk;
    std::vector<int> keys{vk::kLButton,  vk::kRButton, vk::kMButton, vk::kXButton1,
                          vk::kXButton2, vk::kBack,    vk::kTab,     vk::kClear,
                          vk::kReturn,   vk::kShift,   vk::kControl, vk::kMenu};
    for (int key = vk::kF1; key <= vk::kF12; ++key) {
        keys.push_back(key);
    }
    return keys;
}

/// The button-and-modifier codes of watchedKeys(), ascending.
const std::vector<int>& mouseAndModifierKeys() {
    static const std::vector<int> keys = [] {
        std::vector<int> all = watchedKeys();
        std::erase_if(all, [](int key) { return key >= platform::vk::kF1; });
        return all;
    }();
    return keys;
}

constexpr int kDoubleClickGraceMs = 2500;
constexpr int kClickWindowGrowthMs = 500;

}  // namespace

UserIntent::UserIntent(core::Context& context, adservers::PlaceholderServer& server)
    : hotKeys(context, server),
      Timerkeys(context.platform.scheduler, "Timerkeys", kKeyPollMs, true),
      timerClickReset(context.platform.scheduler, "timerClickReset", 2000, true),
      TimerLDClick(context.platform.scheduler, "TimerLDClick", 400, false),
      TimerRDClick(context.platform.scheduler, "TimerRDClick", 400, false),
      TimerDClickOK(context.platform.scheduler, "TimerDClickOK", kDoubleClickGraceMs, true),
      TimerManyPops(context.platform.scheduler, "TimerManyPops", 4000, false),
      m_context(context),
      m_server(server),
      m_lastPoll(context.platform.scheduler.now()) {
    Timerkeys.onTimer = [this] { Timerkeys_Timer(); };
    timerClickReset.onTimer = [this] { timerClickReset_Timer(); };
    TimerLDClick.onTimer = [this] {
        nLClicks = 0;
        TimerLDClick.setEnabled(false);
    };
    TimerRDClick.onTimer = [this] {
        nRClicks = 0;
        TimerRDClick.setEnabled(false);
    };
    TimerDClickOK.onTimer = [this] {
        bLClick = false;
        bRClick = false;
        TimerDClickOK.setEnabled(false);
    };
    TimerManyPops.onTimer = [this] { TimerManyPops_Timer(); };

    platform::InputDevice& input = context.platform.input;
    input.watch(watchedKeys());
    input.onPress = [this] { wakeKeyPoll(); };
    // What the server pause of the poll looks at, besides the modifier.
    m_blockingWatch = context.form.chkAdServers.changed().connect([this] { wakeKeyPoll(); });
    m_serverWatch = server.switched().connect([this] { wakeKeyPoll(); });
}

UserIntent::~UserIntent() {
    m_context.platform.input.onPress = nullptr;
    m_context.form.chkAdServers.changed().disconnect(m_blockingWatch);
    m_server.switched().disconnect(m_serverWatch);
    m_context.platform.scheduler.cancel(m_wakeCall);
}

bool UserIntent::IsTempPopsAllowed() const {
    return m_context.state.bTempPopsAllowed;
}

bool UserIntent::IsTempSoundOff() const {
    return m_context.state.bTempSoundOff;
}

void UserIntent::setMouseClick(bool bval, const std::string& strIn) {
    bLClick = bval;
    bRClick = bval;
    m_context.form.LblKeyName.setCaption(strIn);
    if (!bHotKeyDown) {
        timerClickReset.setEnabled(false);
        m_clickWindowRearmed = false;
        return;
    }
    // Only the tick of timerClickReset clears a held Ctrl or Alt. Stopping the window here (a
    // navigation after a Ctrl-click) would leave the modifier set for good: popups allowed, the
    // title scan and the placeholder server paused until some later press. So the window starts
    // once more from here instead: the new page's popups are still allowed for that long, and
    // then the tick clears the modifier. Later resets leave the restarted window running, so a
    // page that keeps navigating (frames rotating every 2 s) cannot keep the modifier alive.
    if (!m_clickWindowRearmed || !timerClickReset.enabled()) {
        timerClickReset.setEnabled(false);
        timerClickReset.setEnabled(true);
        m_clickWindowRearmed = true;
    }
}

void UserIntent::setHotKeyDown(bool bval) {
    if (bHotKeyDown == bval) {
        return;
    }
    bHotKeyDown = bval;
    // The server pause follows the modifier at the next poll.
    wakeKeyPoll();
}

void UserIntent::CheckKeys() {
    poll(true);
}

void UserIntent::takeInPresses() {
    platform::InputDevice& input = m_context.platform.input;
    input.drain();
    if (input.anythingPending()) {
        // No pumping here: the popup decision that asked must not let later browser events (a
        // navigation that resets the click) run before it.
        poll(false);
    }
}

void UserIntent::poll(bool pumpBetweenPasses) {
    platform::Scheduler& scheduler = m_context.platform.scheduler;
    if (pumpBetweenPasses) {
        scheduler.pump();
    }
    hotKeys.functionKeyPass();
    if (pumpBetweenPasses) {
        scheduler.pump();
    }
    mouseAndModifierPass();
    hotKeys.pauseWebServer(bHotKeyDown);
}

void UserIntent::mouseAndModifierPass() {
    namespace vk = platform::vk;
    forms::MainForm& form = m_context.form;
    std::string keyText = hotKeys.keyText();
    for (int k : mouseAndModifierKeys()) {
        if (!hotKeys.newlyPressed(k)) {
            continue;
        }
        form.LblVKeycode.setCaption(std::to_string(k));
        switch (k) {
            case vk::kLButton:
                keyText = "[LBUTTON]";
                buttonPressed(bLClick, TimerLDClick, nLClicks);
                break;
            case vk::kRButton:
                keyText = "[RBUTTON]";
                buttonPressed(bRClick, TimerRDClick, nRClicks);
                break;
            case vk::kShift:
                break;
            case vk::kControl:
                bHotKeyDown = true;
                timerClickReset.setEnabled(true);
                keyText = "[CONTROL]";
                break;
            case vk::kMenu:
                bHotKeyDown = true;
                timerClickReset.setEnabled(true);
                keyText = "[ALT]";
                break;
            default:
                // The middle and side buttons, Backspace, Tab, Clear and Enter: the user does
                // something else than asking for a window.
                bHotKeyDown = false;
                break;
        }
        form.LblKeyName.setCaption(keyText);
    }
}

void UserIntent::buttonPressed(bool& bClick, forms::Timer& doubleClickTimer,
                               std::int16_t& nClicks) {
    bClick = true;
    timerClickReset.setEnabled(true);
    if (doubleClickTimer.enabled()) {
        if (nClicks < std::numeric_limits<std::int16_t>::max()) {
            ++nClicks;
        }
        if (nClicks >= 2 && !TimerDClickOK.enabled()) {
            TimerDClickOK.setEnabled(true);
            TimerDClickOK.setInterval(kDoubleClickGraceMs);
        }
    } else {
        doubleClickTimer.setEnabled(true);
        nClicks = 1;
    }
}

void UserIntent::Timerkeys_Timer() {
    platform::Scheduler& scheduler = m_context.platform.scheduler;
    m_lastPoll = scheduler.now();
    m_asleep = false;
    scheduler.cancel(m_wakeCall);
    m_wakeCall = 0;
    CheckKeys();
    if (keyPollIdle()) {
        Timerkeys.setEnabled(false);
        m_asleep = true;
    }
}

void UserIntent::timerClickReset_Timer() {
    setMouseClick(false, "reset LC and CNTRL: timer");
    setHotKeyDown(false);
    timerClickReset.setEnabled(false);
    m_clickWindowRearmed = false;
}

void UserIntent::CountManyPops() {
    if (bManyPopsAdjusted) {
        return;
    }
    if (TimerManyPops.enabled()) {
        if (nManyPops < std::numeric_limits<std::int16_t>::max()) {
            ++nManyPops;
        }
    } else {
        TimerManyPops.setEnabled(true);
        nManyPops = 1;
    }
}

void UserIntent::TimerManyPops_Timer() {
    if (nManyPops > 2) {
        m_context.platform.scheduler.pump();
        m_context.platform.scheduler.pump();
        nManyPops = 0;
        bManyPopsAdjusted = true;
        timerClickReset.setInterval(timerClickReset.interval() + kClickWindowGrowthMs);
    }
    TimerManyPops.setEnabled(false);
}

bool UserIntent::keyPollIdle() const {
    return !m_context.platform.input.anythingPending() && !hotKeys.pauseWouldAct(bHotKeyDown);
}

void UserIntent::wakeKeyPoll() {
    if (!m_asleep || m_wakeCall != 0) {
        return;
    }
    // The poll that wakes runs when the running timer would have ticked next: at the first
    // multiple of the period after the last poll that is still to come.
    platform::Scheduler& scheduler = m_context.platform.scheduler;
    const auto sinceLast = (scheduler.now() - m_lastPoll).count();
    const auto delay = kKeyPollMs - sinceLast % kKeyPollMs;
    m_wakeCall = scheduler.callAfter(platform::Millis(delay), [this] {
        m_wakeCall = 0;
        Timerkeys.setEnabled(true);
        Timerkeys_Timer();
    });
}

}  // namespace halvern::popups

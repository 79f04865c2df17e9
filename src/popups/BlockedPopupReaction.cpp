#include "popups/BlockedPopupReaction.h"

#include "forms/Caption.h"
#include "popups/AddressText.h"

namespace halvern::popups {

BlockedPopupReaction::BlockedPopupReaction(core::Context& context, ui::TrayIcon& tray,
                                           adservers::BlockCounter& counter, UserIntent& intent)
    : m_context(context), m_tray(tray), m_counter(counter), m_intent(intent) {}

BlockedPopupReaction::~BlockedPopupReaction() {
    m_context.platform.scheduler.cancel(m_soundTimer);
}

void BlockedPopupReaction::DoBlockedPopup(const std::string& text) {
    forms::MainForm& form = m_context.form;
    form.lbltype.setCaption("cancelled popup on page ");
    // "/ " lets a long address wrap; a page's own "&" is shown as it is.
    const std::string shown = shownAddress(text);
    std::string page;
    page.reserve(shown.size() + shown.size() / 8);
    for (char c : shown) {
        page += c;
        if (c == '/') {
            page += ' ';
        }
    }
    form.lblpage.setCaption(forms::escapeAccessKeys(page));
    m_intent.CountManyPops();
    m_tray.TimerTrayFlash.setEnabled(true);
    playPopSound();
    m_counter.CountBlockedAd(true);
}

bool BlockedPopupReaction::soundWanted() const {
    return m_context.form.chkPopSound.checked() && !m_intent.IsTempSoundOff();
}

void BlockedPopupReaction::playPopSound() {
    if (!soundWanted() || m_soundTimer != 0) {
        return;  // a sound is already due at the end of the current window
    }
    platform::Scheduler& scheduler = m_context.platform.scheduler;
    const platform::Millis now = scheduler.now();
    if (!m_soundPlayed || now - m_lastSound >= kSoundWindow) {
        m_soundPlayed = true;
        m_lastSound = now;
        m_context.platform.sound.play(m_context.form.txtPopWav.text());
        return;
    }
    // A burst of popups plays one sound per window instead of one per popup.
    m_soundTimer = scheduler.callAfter(m_lastSound + kSoundWindow - now, [this] {
        m_soundTimer = 0;
        if (soundWanted()) {
            m_lastSound = m_context.platform.scheduler.now();
            m_context.platform.sound.play(m_context.form.txtPopWav.text());
        }
    });
}

}  // namespace halvern::popups

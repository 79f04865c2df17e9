#include "titles/BlockedPopupReaction.h"

namespace halvern::titles {

BlockedPopupReaction::BlockedPopupReaction(core::Context& context, ui::TrayIcon& tray,
                                           adservers::BlockCounter& counter)
    : m_context(context), m_tray(tray), m_counter(counter) {}

void BlockedPopupReaction::DoBlockedPopup(const std::string& text) {
    forms::MainForm& form = m_context.form;
    form.lbltype.setCaption("cancelled popup on page ");
    // "/ " lets a long address wrap.
    std::string page;
    page.reserve(text.size());
    for (char c : text) {
        page += c;
        if (c == '/') {
            page += ' ';
        }
    }
    form.lblpage.setCaption(page);
    m_tray.TimerTrayFlash.setEnabled(true);
    if (form.chkPopSound.checked() && !m_context.state.bTempSoundOff) {
        m_context.platform.sound.play(form.txtPopWav.text());
    }
    m_counter.CountBlockedAd(true);
}

}  // namespace halvern::titles

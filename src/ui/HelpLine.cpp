#include "ui/HelpLine.h"

namespace halvern::ui {

HelpLine::HelpLine(platform::Scheduler& scheduler, forms::MainForm& form)
    : TimerFlash(scheduler, "TimerFlash", 150, false), m_form(form) {
    TimerFlash.onTimer = [this] { TimerFlash_Timer(); };
}

void HelpLine::FlashHelpText(const std::string& text) {
    m_form.lblHelpText.setCaption(text);
    TimerFlash.setEnabled(true);
}

void HelpLine::TimerFlash_Timer() {
    if (nHelpFlashTicks < 3) {
        ++nHelpFlashTicks;
        m_form.lblHelpText.setVisible(nHelpFlashTicks % 2 == 0);
        return;
    }
    nHelpFlashTicks = 0;
    TimerFlash.setEnabled(false);
    m_form.lblHelpText.setVisible(true);
    m_form.lblStatus.setVisible(true);
}

}  // namespace halvern::ui

#pragma once

#include <cstdint>
#include <string>

#include "forms/MainForm.h"
#include "forms/Timer.h"
#include "platform/Scheduler.h"

namespace halvern::ui {

/// The settings window's help line: shows a text and blinks it twice to draw the eye.
class HelpLine {
public:
    HelpLine(platform::Scheduler& scheduler, forms::MainForm& form);
    HelpLine(const HelpLine&) = delete;
    HelpLine& operator=(const HelpLine&) = delete;

    /// Shows the text in lblHelpText and starts the blinking.
    void FlashHelpText(const std::string& text);
    /// One blink step: ticks 1 and 3 hide the line, tick 2 shows it, tick 4 ends the blinking.
    void TimerFlash_Timer();

    /// Blink steps, 150 ms apart; off until a text is flashed.
    forms::Timer TimerFlash;
    /// Steps taken in the current blinking.
    std::int16_t nHelpFlashTicks = 0;

private:
    forms::MainForm& m_form;
};

}  // namespace halvern::ui

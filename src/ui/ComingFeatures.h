#pragma once

#include "forms/MainForm.h"
#include "ui/UnavailableControls.h"

namespace halvern::ui {

/// The settings window's controls of features this build does not have yet: the hot-key lists,
/// "Block ALL new Internet Explorer popup windows" and the option to run only with the browser.
/// Each is disabled for good and its tool tip says what is missing; the box "Start when Windows
/// Starts " keeps its effect on the exit (the block list stays in the hosts file) and its tip
/// says that it makes no autostart entry yet.
class ComingFeatures {
public:
    explicit ComingFeatures(forms::MainForm& form);

private:
    UnavailableControls m_unavailable;
};

}  // namespace halvern::ui

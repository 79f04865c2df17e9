#pragma once

#include "forms/MainForm.h"
#include "ui/UnavailableControls.h"

namespace halvern::ui {

/// The settings window's controls of features this build does not have yet: the hot-key lists,
/// "Block ALL new Internet Explorer popup windows" and the option to run only with the browser.
/// Each is disabled for good and its tool tip says what is missing.
class ComingFeatures {
public:
    explicit ComingFeatures(forms::MainForm& form);

    /// True when this build lacks the control's feature, so that it stays disabled.
    bool lacks(const forms::Control& control) const { return m_unavailable.holds(control); }

private:
    UnavailableControls m_unavailable;
};

}  // namespace halvern::ui

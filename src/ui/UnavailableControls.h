#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "forms/Control.h"

namespace halvern::ui {

/// Controls whose feature this build does not have. Each is disabled, its tool tip says what is
/// missing, and it stays disabled whatever enables it later (the settings load, the password
/// lock, a handler that enables it as things happen), so that it is never silently inert.
class UnavailableControls {
public:
    UnavailableControls() = default;
    ~UnavailableControls();
    UnavailableControls(const UnavailableControls&) = delete;
    UnavailableControls& operator=(const UnavailableControls&) = delete;

    /// Disables the control for good and adds the reason to its tool tip; `missing` names the
    /// feature as the tip says it ("ad-server list editor").
    void disable(forms::Control& control, const std::string& missing);

    /// True when the control was disabled here for a missing feature.
    bool holds(const forms::Control& control) const;

    /// Adds a note to the control's tool tip and leaves it usable: for a control that works, but
    /// not yet in every way its caption promises.
    static void note(forms::Control& control, const std::string& note);

    /// The tool tip of an unavailable control: its own tip, if any, and the reason.
    static std::string unavailableTip(const std::string& ownTip, const std::string& missing);

private:
    std::vector<std::pair<forms::Signal*, std::size_t>> m_guards;
    std::vector<const forms::Control*> m_controls;
};

}  // namespace halvern::ui

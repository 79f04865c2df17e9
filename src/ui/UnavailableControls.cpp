#include "ui/UnavailableControls.h"

#include <algorithm>

#include "core/MainState.h"

namespace halvern::ui {

UnavailableControls::~UnavailableControls() {
    for (auto& [signal, id] : m_guards) {
        signal->disconnect(id);
    }
}

void UnavailableControls::disable(forms::Control& control, const std::string& missing) {
    control.setToolTip(unavailableTip(control.toolTip(), missing));
    control.setEnabled(false);
    m_controls.push_back(&control);
    m_guards.emplace_back(&control.changed(), control.changed().connect([&control] {
        if (control.enabled()) {
            control.setEnabled(false);
        }
    }));
}

bool UnavailableControls::holds(const forms::Control& control) const {
    return std::find(m_controls.begin(), m_controls.end(), &control) != m_controls.end();
}

void UnavailableControls::note(forms::Control& control, const std::string& note) {
    const std::string& ownTip = control.toolTip();
    control.setToolTip(ownTip.empty() ? note : ownTip + "  (" + note + ")");
}

std::string UnavailableControls::unavailableTip(const std::string& ownTip,
                                                const std::string& missing) {
    const std::string reason = "Not available yet: this build of " +
                               std::string(core::kServiceName) + " has no " + missing + ".";
    return ownTip.empty() ? reason : ownTip + "  (" + reason + ")";
}

}  // namespace halvern::ui

#pragma once

#include "forms/Control.h"

namespace halvern::forms {

/// A check box. As in the old toolkit, a change of its value, by the user or by code, raises Click.
class CheckBox : public CaptionControl {
public:
    CheckBox(std::string name, std::string caption, bool checked = false)
        : CaptionControl(std::move(name), std::move(caption)), m_checked(checked) {}

    bool checked() const { return m_checked; }

    /// Sets the value; raises Click when it changes, even for a disabled box.
    void setChecked(bool checked) {
        if (update(m_checked, checked) && onClick) {
            onClick();
        }
    }

    /// The user's click toggles the value.
    void click() override {
        if (enabled()) {
            setChecked(!m_checked);
        }
    }

private:
    bool m_checked;
};

}  // namespace halvern::forms

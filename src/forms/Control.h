#pragma once

#include <string>

#include "forms/Signal.h"

namespace halvern::forms {

/// Properties every control has; changed() fires after any of them changes.
class Control {
public:
    explicit Control(std::string name) : m_name(std::move(name)) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return m_name; }

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { update(m_enabled, enabled); }

    bool visible() const { return m_visible; }
    void setVisible(bool visible) { update(m_visible, visible); }

    const std::string& toolTip() const { return m_toolTip; }
    void setToolTip(std::string text) { update(m_toolTip, std::move(text)); }

    /// Fires after a property changed; the view repaints from the model.
    Signal& changed() { return m_changed; }

protected:
    /// Sets a property and tells the observers when the value really changed.
    template <typename T>
    bool update(T& field, T value) {
        if (field == value) {
            return false;
        }
        field = std::move(value);
        m_changed.emit();
        return true;
    }

private:
    std::string m_name;
    bool m_enabled = true;
    bool m_visible = true;
    std::string m_toolTip;
    Signal m_changed;
};

/// A control with a caption, whose Click the user or the code can raise.
class CaptionControl : public Control {
public:
    CaptionControl(std::string name, std::string caption)
        : Control(std::move(name)), m_caption(std::move(caption)) {}

    const std::string& caption() const { return m_caption; }
    void setCaption(std::string caption) { update(m_caption, std::move(caption)); }

    /// The Click handler; the owner of the behaviour installs it.
    Handler onClick;

    /// Raises Click as a user's click does; a disabled control ignores the user.
    virtual void click() {
        if (enabled() && onClick) {
            onClick();
        }
    }

private:
    std::string m_caption;
};

}  // namespace halvern::forms

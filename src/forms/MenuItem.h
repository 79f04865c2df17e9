#pragma once

#include <vector>

#include "forms/Control.h"

namespace halvern::forms {

/// A menu entry; an entry with children is a menu. A caption of dashes is a separator.
class MenuItem : public CaptionControl {
public:
    using CaptionControl::CaptionControl;

    bool checked() const { return m_checked; }
    void setChecked(bool checked) { update(m_checked, checked); }

    /// Keyboard shortcut text as the view shows it ("Ctrl+S"), or "".
    const std::string& shortcut() const { return m_shortcut; }
    void setShortcut(std::string shortcut) { update(m_shortcut, std::move(shortcut)); }

    /// The key of the small picture beside the entry ("save", "help"), or "" for none.
    const std::string& icon() const { return m_icon; }
    void setIcon(std::string icon) { update(m_icon, std::move(icon)); }

    /// A separator line: a caption that is nothing but dashes. A caption that only begins with
    /// dashes ("-- Block ...", an entry without a hot key) is an ordinary entry.
    bool isSeparator() const {
        return !caption().empty() && caption().find_first_not_of('-') == std::string::npos;
    }

    const std::vector<MenuItem*>& children() const { return m_children; }
    void setChildren(std::vector<MenuItem*> children) { m_children = std::move(children); }

private:
    bool m_checked = false;
    std::string m_shortcut;
    std::string m_icon;
    std::vector<MenuItem*> m_children;
};

}  // namespace halvern::forms

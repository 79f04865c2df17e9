#pragma once

#include <string>
#include <vector>

#include "forms/Control.h"

namespace halvern::forms {

/// Tabs with captions, each enabled or not; a change of the current tab, by the user or by
/// code, raises Click.
class TabControl : public Control {
public:
    TabControl(std::string name, std::vector<std::string> captions)
        : Control(std::move(name)),
          m_captions(std::move(captions)),
          m_tabEnabled(m_captions.size(), true) {}

    const std::vector<std::string>& captions() const { return m_captions; }
    int tab() const { return m_tab; }
    void setTab(int tab) {
        if (tab >= 0 && tab < static_cast<int>(m_captions.size()) && update(m_tab, tab) &&
            onClick) {
            onClick();
        }
    }

    /// Whether the user can select the tab; code can still make it the current one.
    bool tabEnabled(int tab) const {
        return tab >= 0 && tab < static_cast<int>(m_tabEnabled.size()) &&
               m_tabEnabled[static_cast<std::size_t>(tab)];
    }
    void setTabEnabled(int tab, bool enabled) {
        if (tab >= 0 && tab < static_cast<int>(m_tabEnabled.size()) &&
            m_tabEnabled[static_cast<std::size_t>(tab)] != enabled) {
            m_tabEnabled[static_cast<std::size_t>(tab)] = enabled;
            changed().emit();
        }
    }

    Handler onClick;

private:
    std::vector<std::string> m_captions;
    std::vector<bool> m_tabEnabled;
    int m_tab = 0;
};

}  // namespace halvern::forms

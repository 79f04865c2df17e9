#pragma once

#include <string>
#include <vector>

#include "forms/Control.h"

namespace halvern::forms {

/// Tabs with captions; a change of the current tab, by the user or by code, raises Click.
class TabControl : public Control {
public:
    TabControl(std::string name, std::vector<std::string> captions)
        : Control(std::move(name)), m_captions(std::move(captions)) {}

    const std::vector<std::string>& captions() const { return m_captions; }
    int tab() const { return m_tab; }
    void setTab(int tab) {
        if (tab >= 0 && tab < static_cast<int>(m_captions.size()) && update(m_tab, tab) &&
            onClick) {
            onClick();
        }
    }

    Handler onClick;

private:
    std::vector<std::string> m_captions;
    int m_tab = 0;
};

}  // namespace halvern::forms

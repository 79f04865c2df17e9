#pragma once

#include <string>
#include <vector>

#include "core/Context.h"
#include "core/Settings.h"
#include "ui/HelpLine.h"

namespace halvern::ui {

/// The settings window's reaction to a change of tab: the topic on cmdContextHelp, a help text
/// flashed in the help line and, on the first visit of some tabs, a once-only explanation.
/// Wires the tab control A.
class TabHelp {
public:
    /// What a tab shows when it is selected; an empty topic leaves topic and help line as they are.
    struct Row {
        std::string caption;
        std::string topic;
        std::string help;
        /// The once-only message: the suffix of its key "MSG" + suffix ("" for none), its title
        /// and its text.
        std::string suffix;
        std::string title;
        std::string message;
    };

    TabHelp(core::Context& context, HelpLine& help, core::Settings& settings);
    ~TabHelp();
    TabHelp(const TabHelp&) = delete;
    TabHelp& operator=(const TabHelp&) = delete;

    /// The tab control's click: nothing while the settings load; otherwise the row of the tab
    /// now selected, found by its caption.
    void A_Click();

    /// The eleven rows, in the order of the tabs.
    static std::vector<Row> rows();

private:
    forms::MainForm& m_form;
    core::MainState& m_state;
    HelpLine& m_help;
    core::Settings& m_settings;
    std::vector<Row> m_rows;
};

}  // namespace halvern::ui

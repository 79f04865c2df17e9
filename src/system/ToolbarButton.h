#pragma once

#include <string>

#include "core/Context.h"
#include "core/Settings.h"
#include "core/StatusLog.h"
#include "ui/HelpLine.h"

namespace halvern::system {

/// The settings button on the browser's toolbar and in its Tools menu: an extension key under
/// HKEY_LOCAL_MACHINE naming the executable, the icons and the texts. The key is the only
/// state; the box's click adds or removes it, also when the settings load check the box, and
/// says in the status line whether that worked. Wires chkIEToolBar.
class ToolbarButton {
public:
    ToolbarButton(core::Context& context, core::Settings& settings, ui::HelpLine& help,
                  core::StatusLog& log);
    ~ToolbarButton();
    ToolbarButton(const ToolbarButton&) = delete;
    ToolbarButton& operator=(const ToolbarButton&) = delete;

    /// Writes the button's key: the icons are files of that name in the shipped files' folder.
    /// False, with the registry's error() saying why, when a value could not be stored.
    bool AddToolbarButton(const std::string& hotIcon, const std::string& icon,
                          const std::string& buttonText);
    /// Deletes the button's key; true when it is gone (or was never there).
    bool RemoveToolbarButton();

    void chkIEToolBar_Click();

    static constexpr const char* kKey =
        "Software\\Microsoft\\Internet "
        "Explorer\\Extensions\\{ECC5777A-6E88-BFCE-13CE-81F134789E7B}";

private:
    core::Context& m_context;
    core::Settings& m_settings;
    ui::HelpLine& m_help;
    core::StatusLog& m_log;
};

}  // namespace halvern::system

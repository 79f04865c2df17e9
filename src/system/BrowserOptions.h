#pragma once

#include <string>

#include "core/Context.h"
#include "core/Settings.h"
#include "core/StatusLog.h"

namespace halvern::system {

/// The four browser options of the settings window, kept in the registry: script debugging,
/// script-error notifications and animations as "yes" or "no" under HKEY_CURRENT_USER, and the
/// Flash control's compatibility flags under HKEY_LOCAL_MACHINE (the whole key goes when the box
/// is cleared). Each click writes its setting, also while the settings load; a setting that
/// could not be stored is said in the status line and the log. Wires
/// chkDisableScriptDebuggingInIE, chkDisableNotificationScriptErrorIE, chkFlashIE and
/// chkPlayAnimationinWebPagesIE.
class BrowserOptions {
public:
    BrowserOptions(core::Context& context, core::Settings& settings, core::StatusLog& log);
    ~BrowserOptions();
    BrowserOptions(const BrowserOptions&) = delete;
    BrowserOptions& operator=(const BrowserOptions&) = delete;

    /// Sets each box from its stored setting (the start-up's step); a box that changes writes
    /// its setting back.
    void readBrowserSettings();

    void chkDisableScriptDebuggingInIE_Click();
    void chkDisableNotificationScriptErrorIE_Click();
    void chkFlashIE_Click();
    void chkPlayAnimationinWebPagesIE_Click();

    static constexpr const char* kMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
    /// The Flash control's compatibility entry; 0x400 in its flags keeps the control from loading.
    static constexpr const char* kFlashKey =
        "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX "
        "Compatibility\\{D27CDB6E-AE6D-11CF-96B8-444553540000}";

private:
    /// Writes "yes" or "no" for the box under the main key.
    void storeYesNo(const forms::CheckBox& box, const std::string& value);
    /// Says in the status line and the log that the box's setting was not stored.
    void reportFailure(const forms::CheckBox& box);

    core::Context& m_context;
    core::Settings& m_settings;
    core::StatusLog& m_log;
};

}  // namespace halvern::system

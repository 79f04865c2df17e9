#pragma once

#include <string>

#include "core/Context.h"
#include "platform/Autostart.h"
#include "ui/HelpLine.h"

namespace halvern::system {

/// Start with the session: an entry in the user's start-up folder that the desktop session runs
/// at login, pointing at this very executable. "Start when Windows Starts " adds or removes it,
/// with messages when that fails, and the first start adds it silently. Wires chkStartup.
class StartupShortcut {
public:
    StartupShortcut(core::Context& context, ui::HelpLine& help);
    ~StartupShortcut();
    StartupShortcut(const StartupShortcut&) = delete;
    StartupShortcut& operator=(const StartupShortcut&) = delete;

    /// The product family name, which names the entry file.
    static std::string GetServiceName();

    /// Where the entry of that name goes, and the program folder it starts in.
    struct Location {
        /// The start-up folder + "/" + name + ".desktop".
        std::string file;
        /// The running executable's folder, as it is on disk.
        std::string programFolder;
    };
    Location getShortCutFileName(const std::string& strInName) const;

    /// Writes (true) or deletes (false) the entry; with bShowMsg, a failure is explained in a
    /// box. A write counts as failed when no entry is there afterwards.
    void AddOrRemoveGroupShortCut(bool bAddTrueRemoveFalse, bool bShowMsg);

    /// Adds or removes the entry as the box says and tells the user what that means; ignored
    /// while the settings load.
    void chkStartup_Click();

    /// The entry that starts the running executable.
    platform::AutostartEntry entry() const;

private:
    /// Changes chkRunIE along with the box: being active only with the browser needs the start
    /// with the session.
    void followRunIE(bool startup);

    core::Context& m_context;
    ui::HelpLine& m_help;
};

}  // namespace halvern::system

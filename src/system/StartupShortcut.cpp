#include "system/StartupShortcut.h"

#include "core/MainState.h"

namespace halvern::system {

namespace {

const std::string kCrLf = "\r\n";

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string addFailureText(const std::string& n) {
    return n + " was NOT ABLE to add a shortcut to your STARTUP group so " + n + " will " +
           "restart when windows starts." + kCrLf + kCrLf +
           "You can add the shortcut yourself:" + kCrLf + kCrLf +
           "1) Right click on the Windows START button (lower left of windows)" + kCrLf +
           "2) Choose 'Open' (at the top)." + kCrLf + "3) Click on the 'Programs'." + kCrLf +
           "4) Click on the 'Startup' folder." + kCrLf +
           "5) Make the 'Startup' folder window small enough so you can drag the " + n +
           " Icon from " + "your desktop into this folder." + kCrLf +
           "6) Click OK here, minimize " + n +
           ", and drag the desktop icon into the 'Startup' group." + kCrLf + kCrLf +
           "The next time windows starts, " + n + " will also start!";
}

std::string removalFailureText(const std::string& path, const std::string& description) {
    return "There was trouble removing the shortcut.   This might happen if you have "
           "manually renamed the shortcut some time in the past.   Otherwise, some "
           "unknown error occurred. File= " +
           path + " Desc = " + description + kCrLf + kCrLf +
           "You can manually remove any shortcuts you do not want: " + kCrLf + kCrLf +
           "1) Right Click on the Windows Start button. " + kCrLf +
           "2) Click the 'Open' menu choice. " + kCrLf +
           "3) Double Click on the 'Programs' icon. " + kCrLf +
           "4) Find the group named 'StartUp' and Double Click on that." + kCrLf + kCrLf +
           "From there, you should be able to select and delete any shortcut you do not want.";
}

std::string removalAdvice(const std::string& n) {
    return n + " runs best when set to start with Windows.  " + n +
           " is not a drain on system resources.  If you insist on starting " + n +
           " yourself, keep in mind that if you're not running " + n +
           ", you may see broken images where banner ads should be. Also, banner ad blocking "
           "might not work as well as if you start " +
           n + " with Windows startup.";
}

}  // namespace

StartupShortcut::StartupShortcut(core::Context& context, ui::HelpLine& help)
    : m_context(context), m_help(help) {
    m_context.form.chkStartup.onClick = [this] { chkStartup_Click(); };
}

StartupShortcut::~StartupShortcut() {
    m_context.form.chkStartup.onClick = nullptr;
}

std::string StartupShortcut::GetServiceName() {
    return core::kServiceName;
}

StartupShortcut::Location StartupShortcut::getShortCutFileName(const std::string& strInName) const {
    const platform::Autostart& autostart = m_context.platform.autostart;
    return {autostart.folder() + "/" + strInName + autostart.entrySuffix(),
            folderOf(m_context.platform.process.executablePath())};
}

platform::AutostartEntry StartupShortcut::entry() const {
    // The executable's path goes in as it is: a file system that tells case apart would find no
    // program at a lower-cased one.
    const std::string program = m_context.platform.process.executablePath();
    const std::string folder = folderOf(program);
    // In a build tree the shipped picture sits next to the executable; an installed program
    // has it in the icon theme under the program's own name.
    const std::string picture = (folder == "/" ? "" : folder) + "/zv.png";
    const std::string icon = m_context.platform.files.exists(picture) ? picture : "zorvik";
    return {GetServiceName(), "Popup blocker and ad stopper", program, folder, icon};
}

void StartupShortcut::AddOrRemoveGroupShortCut(bool bAddTrueRemoveFalse, bool bShowMsg) {
    platform::Autostart& autostart = m_context.platform.autostart;
    const Location where = getShortCutFileName(GetServiceName());
    const std::string n = core::kServiceName;
    if (bAddTrueRemoveFalse) {
        // Whatever the write says, the entry counts only when it is there afterwards.
        autostart.write(where.file, entry());
        if (!autostart.exists(where.file) && bShowMsg) {
            m_context.platform.dialogs.messageBox(addFailureText(n), n, platform::BoxButtons::Ok,
                                                  platform::BoxIcon::Critical);
        }
        return;
    }
    const platform::AutostartResult removed = autostart.remove(where.file);
    if (!removed.done && bShowMsg) {
        m_context.platform.dialogs.messageBox(removalFailureText(where.file, removed.error), n,
                                              platform::BoxButtons::Ok, platform::BoxIcon::None);
    }
}

void StartupShortcut::chkStartup_Click() {
    if (m_context.state.bLoadingSettings) {
        return;
    }
    forms::MainForm& f = m_context.form;
    const std::string n = core::kServiceName;
    const bool startup = f.chkStartup.checked();
    AddOrRemoveGroupShortCut(startup, true);
    f.lblStatus.setCaption("");
    if (startup) {
        f.lblStatus.setCaption(n + " was just added to the Windows startup group.  " + n +
                               " will now start each time Windows starts. " + kCrLf + kCrLf +
                               "This is the preferred way to run " + n +
                               " and you'll have the fewest odd side effects.  " + n + " is not " +
                               "a drain on system resources and is designed to operate best when "
                               "always running.");
        f.lblStatus.setCaption(f.lblStatus.caption() + kCrLf + kCrLf +
                               "UnCheck this option to remove " + n +
                               " from the startup group (will not start when windows restarts).");
        m_help.FlashHelpText("This option should always be set unless you plan to uninstall.  " +
                             n + " needs to configure Windows at system startup.");
    } else {
        f.lblStatus.setCaption("Removing " + n + " from the startup group. " + n +
                               " will no longer start when Windows restarts.");
        f.lblStatus.setCaption(f.lblStatus.caption() + kCrLf + kCrLf + removalAdvice(n));
        m_help.FlashHelpText("If you restart " + n +
                             ", this option will automatically reset back on.  Only turn this "
                             "off if you plan to uninstall " +
                             n + ".");
    }
    followRunIE(startup);
}

void StartupShortcut::followRunIE(bool startup) {
    forms::CheckBox& runIE = m_context.form.chkRunIE;
    if (startup) {
        runIE.setEnabled(true);
        return;
    }
    runIE.setChecked(false);
    runIE.setEnabled(false);
}

}  // namespace halvern::system

#pragma once

#include <string>

#include "core/Context.h"
#include "forms/AboutForm.h"

namespace halvern::ui {

/// The help, feedback and information commands of the menus, the tray menu and the " Help" tab:
/// the about window, and the project's pages (help, audio help, feedback, tell a friend, the
/// security rating, spyware removal) opened in the default browser. Wires mnuHelpAbout,
/// mnuHelpWeb, mnuHelpTut, mnuHelpFeedback, mnuUninstallFeedback, mnuOptionsTellFriend,
/// mnuTrayFeedback, mnuTrayTellFriend, cmdFeedback, cmdHelpOnline, Command3, lbladaware, picOn
/// and the about window's link and OK button.
class HelpCommands {
public:
    HelpCommands(core::Context& context, forms::AboutForm& about);
    ~HelpCommands();
    HelpCommands(const HelpCommands&) = delete;
    HelpCommands& operator=(const HelpCommands&) = delete;

    /// Shows the about window in front.
    void mnuHelpAbout_Click();
    /// "Security Rating": the rating page, told which of the publisher's programs are installed
    /// for this user, as their "Installs" values record.
    void Command3_Click();

    /// The version, as the main caption ends: the text after its last " v".
    static std::string version();

private:
    void open(const std::string& url);
    void wire();
    void unwire();

    platform::Launcher& m_launcher;
    platform::UserStore& m_userStore;
    forms::MainForm& m_form;
    forms::AboutForm& m_about;
};

}  // namespace halvern::ui

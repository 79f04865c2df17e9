#include "ui/HelpCommands.h"

#include <initializer_list>
#include <string_view>

#include "ui/ProjectPages.h"

namespace halvern::ui {

namespace {

/// The publisher's programs whose installation the security rating asks about.
constexpr const char* kPublisherPrograms[] = {core::kServiceName};

}  // namespace

HelpCommands::HelpCommands(core::Context& context, forms::AboutForm& about)
    : m_launcher(context.platform.launcher),
      m_userStore(context.platform.userStore),
      m_form(context.form),
      m_about(about) {
    m_about.frmAbout.setCaption(std::string("About ") + core::kServiceName);
    m_about.lblName.setCaption(core::kServiceName);
    m_about.lblVersion.setCaption("Version " + version());
    m_about.lblLicence.setCaption(kLicence);
    m_about.lblAddress.setCaption(kProjectUrl);
    m_about.lblAddress.setToolTip("Open the project's pages in your web browser.");
    wire();
}

HelpCommands::~HelpCommands() {
    unwire();
}

void HelpCommands::wire() {
    forms::MainForm& f = m_form;
    f.mnuHelpAbout.onClick = [this] { mnuHelpAbout_Click(); };
    f.mnuHelpWeb.onClick = [this] { open(ProjectPages::help()); };
    f.picOn.onClick = f.mnuHelpWeb.onClick;
    f.mnuHelpTut.onClick = [this] { open(ProjectPages::audioHelp()); };
    f.mnuTrayFeedback.onClick = f.mnuHelpTut.onClick;
    f.cmdHelpOnline.onClick = f.mnuHelpTut.onClick;
    f.mnuHelpFeedback.onClick = [this] { open(ProjectPages::feedback()); };
    f.mnuUninstallFeedback.onClick = f.mnuHelpFeedback.onClick;
    f.cmdFeedback.onClick = f.mnuHelpFeedback.onClick;
    f.mnuOptionsTellFriend.onClick = [this] { open(ProjectPages::tellAFriend()); };
    f.mnuTrayTellFriend.onClick = f.mnuOptionsTellFriend.onClick;
    f.Command3.onClick = [this] { Command3_Click(); };
    f.lbladaware.onClick = [this] { open(ProjectPages::spywareRemoval()); };
    m_about.lblAddress.onClick = [this] { open(ProjectPages::home()); };
    m_about.cmdOK.onClick = [this] { m_about.frmAbout.hide(); };
}

void HelpCommands::unwire() {
    forms::MainForm& f = m_form;
    for (forms::CaptionControl* control : std::initializer_list<forms::CaptionControl*>{
             &f.mnuHelpAbout, &f.mnuHelpWeb, &f.picOn, &f.mnuHelpTut, &f.mnuTrayFeedback,
             &f.cmdHelpOnline, &f.mnuHelpFeedback, &f.mnuUninstallFeedback, &f.cmdFeedback,
             &f.mnuOptionsTellFriend, &f.mnuTrayTellFriend, &f.Command3, &f.lbladaware,
             &m_about.lblAddress, &m_about.cmdOK}) {
        control->onClick = nullptr;
    }
}

std::string HelpCommands::version() {
    const std::string_view caption = core::kMainCaption;
    const auto at = caption.rfind(" v");
    return std::string(at == std::string_view::npos ? caption : caption.substr(at + 2));
}

void HelpCommands::mnuHelpAbout_Click() {
    m_about.frmAbout.show();
    m_about.frmAbout.raiseRequested().emit();
}

void HelpCommands::Command3_Click() {
    std::string installed;
    for (const char* program : kPublisherPrograms) {
        if (!m_userStore.get(core::kPublisherApp, "Installs", program, "").empty()) {
            installed += (installed.empty() ? "" : ",") + std::string(program);
        }
    }
    open(ProjectPages::securityRating(installed));
}

void HelpCommands::open(const std::string& url) {
    m_launcher.openUrl(url);
}

}  // namespace halvern::ui

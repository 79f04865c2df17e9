#include "ui/AutoDownloadOption.h"

#include <string>

namespace halvern::ui {

AutoDownloadOption::AutoDownloadOption(core::Context& context, HelpLine& help,
                                       core::Settings& settings)
    : m_form(context.form), m_state(context.state), m_help(help), m_settings(settings) {
    m_form.chkAuto.onClick = [this] { chkAuto_Click(); };
}

AutoDownloadOption::~AutoDownloadOption() {
    m_form.chkAuto.onClick = nullptr;
}

void AutoDownloadOption::chkAuto_Click() {
    if (m_state.bLoadingSettings) {
        return;
    }
    const std::string n = core::kServiceName;
    m_settings.MsgBoxOnce(
        n + " can keep itself up to date by automatically downloading ad blocking data "
            "from our server.  This is similar to auto-update for a virus checker.  You may "
            "manually download the ad blocking data by clicking the button below.",
        "Automatic Update", "MSGAutoAdData");
    m_state.bAutoDownload = m_form.chkAuto.checked();
    if (m_state.bAutoDownload) {
        m_form.lblStatus.setCaption(
            n + " will occasionally download ad blocking data from the " + n +
            " Server automatically.  This will happen every two weeks or so with normal use.  "
            "This makes sure you have the latest ad server data definitions to keep " +
            n + " up to date.");
        m_help.FlashHelpText("You can also get this data yourself.  Choose CTRL-D to get it now!");
    } else {
        m_form.lblStatus.setCaption(
            n + " will no longer automatically download ad blocking data from the " + n +
            " Server.  Make sure you choose CTRL-D to get this data once in a while to make sure "
            "you keep " +
            n + " up to date!");
        m_help.FlashHelpText(
            "If you're concerned about privacy, read our license agreement and privacy "
            "statement on the " +
            std::string(core::kPublisherApp) + " site.");
    }
}

}  // namespace halvern::ui

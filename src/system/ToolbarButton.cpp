#include "system/ToolbarButton.h"

#include <utility>
#include <vector>

#include "system/RegistryHelpers.h"

namespace halvern::system {

namespace {

const std::string kCrLf = "\r\n";

/// The path without the extension of its file name ("/opt/zorvik.bin" gives "/opt/zorvik"); a
/// name that only opens with a dot has none.
std::string withoutExtension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.find_last_of('.');
    return dot == std::string::npos || dot <= name ? path : path.substr(0, dot);
}

}  // namespace

ToolbarButton::ToolbarButton(core::Context& context, core::Settings& settings, ui::HelpLine& help,
                             core::StatusLog& log)
    : m_context(context), m_settings(settings), m_help(help), m_log(log) {
    m_context.form.chkIEToolBar.onClick = [this] { chkIEToolBar_Click(); };
}

ToolbarButton::~ToolbarButton() {
    m_context.form.chkIEToolBar.onClick = nullptr;
}

bool ToolbarButton::AddToolbarButton(const std::string& hotIcon, const std::string& icon,
                                     const std::string& buttonText) {
    const std::string& folder = m_context.paths.strAppFolder;
    const std::vector<std::pair<const char*, std::string>> values = {
        {"ButtonText", buttonText},
        // The browser's class for buttons that run an executable.
        {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
        {"Default Visible", "Yes"},
        {"Exec", withoutExtension(m_context.platform.process.executablePath())},
        {"HotIcon", folder + "/" + hotIcon},
        {"Icon", folder + "/" + icon},
        {"MenuStatusBar", "Display " + buttonText + " Settings"},
        {"MenuText", "&" + buttonText + " Settings"},
    };
    for (const auto& [name, data] : values) {
        // The rest would fail the same way; the error says why the first did.
        if (!SetKeyValueString(m_context.platform.registry, platform::HKEY_LOCAL_MACHINE, kKey,
                               name, data)) {
            return false;
        }
    }
    return true;
}

bool ToolbarButton::RemoveToolbarButton() {
    // The whole key goes, as deleting it by its path does; a key already gone is no failure.
    return DeleteRegKey(m_context.platform.registry, platform::HKEY_LOCAL_MACHINE, kKey);
}

void ToolbarButton::chkIEToolBar_Click() {
    const std::string n = core::kServiceName;
    forms::MainForm& f = m_context.form;
    m_settings.MsgBoxOnce(
        "Clicking this option on and off will install an " + n +
            " Button on the IE toolbar (requires browser restart). If you plan to un-install " + n +
            ", you should uncheck this option first. The toolbar button allows you to bring "
            "up " +
            n + " quickly.  This does the same thing as clicking on the " + n +
            " Icon (near your clock).",
        "Internet Explorer (IE) Toolbar", "MSGIEToolBar");
    const bool add = f.chkIEToolBar.checked();
    if (!(add ? AddToolbarButton("toolhot.png", "tool1.png", n) : RemoveToolbarButton())) {
        const std::string text =
            n + " could not " +
            (add ? "add its settings button to"
                 : "remove its settings "
                   "button from") +
            " the Internet Explorer toolbar: " + m_context.platform.registry.error() + ".";
        f.lblStatus.setCaption(text);
        m_log.AddToStatus("#" + text);
        return;
    }
    std::string result;
    if (add) {
        result = "An " + n +
                 " settings button will now appear on your Internet Explorer Toolbar and Tools "
                 "Menu.";
        m_help.FlashHelpText("If you uninstall " + n +
                             ", uncheck this option first!  Otherwise, the Toolbar button will "
                             "not be uninstalled.");
    } else {
        result = "The " + n +
                 " settings button was removed from your Internet Explorer toolbar and Tools "
                 "menu.";
        m_help.FlashHelpText("The " + n +
                             " button and menu item was removed from Internet "
                             "Explorer.");
    }
    f.lblStatus.setCaption(result + kCrLf + kCrLf +
                           "Please close all Internet Explorer browser windows for this change "
                           "to take effect!");
}

}  // namespace halvern::system

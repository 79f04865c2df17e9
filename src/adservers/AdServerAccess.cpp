#include "adservers/AdServerAccess.h"

#include <cctype>

#include "core/SettingKeys.h"

namespace halvern::adservers {

namespace {

using Status = platform::HostsAccess::Status;
const std::string kCrLf = "\r\n";
const std::string kN = core::kServiceName;
/// The group whose members zorvik-helper serves.
const std::string kHelperGroup = "zorvik";

std::string holderText(const platform::HostsAccess& access) {
    return access.holder.empty() ? "another user's " + kN
                                 : "the " + kN + " of the user '" + access.holder + "'";
}

/// The helper's own words, when it gave any.
std::string because(const std::string& error) {
    return error.empty() ? "" : " (" + error + ")";
}

}  // namespace

AdServerAccess::AdServerAccess(core::Context& context, core::Settings& settings)
    : m_claim(context.platform.claimHostsAccess),
      m_dialogs(context.platform.dialogs),
      m_resolver(context.platform.resolver),
      m_state(context.state),
      m_form(context.form),
      m_settings(settings) {}

void AdServerAccess::claim() {
    if (m_claim) {
        m_access = m_claim();
    }
}

void AdServerAccess::applyAfterLoad() {
    if (available()) {
        return;
    }
    // The switch is off for this run only: the user's choice stays in the settings file.
    m_settings.keepStored(core::SettingKey::bBlockAdServers);
    m_state.bBlockAdServers = false;
    m_form.chkAdServers.setChecked(false);
    m_form.chkAdServers.setEnabled(false);
    m_form.chkAdServers.setToolTip(toolTip(m_access));
    m_form.cmdOn.setEnabled(false);
    m_form.cmdOn.setToolTip(toolTip(m_access));
}

void AdServerAccess::tellWhyUnavailable() {
    if (available()) {
        return;
    }
    const platform::BoxIcon icon = m_access.status == Status::HeldByOther
                                       ? platform::BoxIcon::Information
                                       : platform::BoxIcon::Warning;
    m_dialogs.messageBox(boxText(m_access, m_resolver.hostsFilePath()), kN,
                         platform::BoxButtons::Ok, icon);
}

std::string AdServerAccess::boxText(const platform::HostsAccess& access,
                                    const std::string& hostsFile) {
    const std::string without = kN + " runs without ad-server blocking: it leaves " + hostsFile +
                                " as it is. Popup, title and spyware blocking work as usual.";
    const std::string helper =
        "zorvik-helper, which writes " + hostsFile + " and opens port 80 for " + kN + ",";
    switch (access.status) {
        case Status::Granted:
            break;
        case Status::HeldByOther: {
            std::string holder = holderText(access);
            holder[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(holder[0])));
            return holder + " blocks ad servers on this machine. Only one user's " + kN +
                   " at a time can block them." + kCrLf + kCrLf + without + kCrLf + kCrLf +
                   "Your own choice is kept: ad-server blocking comes back when you start " + kN +
                   " again while no other user's " + kN + " blocks ad servers.";
        }
        case Status::NotAuthorised:
            return kN + " cannot block ad servers for you: " + helper +
                   " does not serve your user" + because(access.error) + "." + kCrLf + kCrLf +
                   "To fix this, have your user added to the group '" + kHelperGroup +
                   "' (for example: sudo usermod -aG " + kHelperGroup +
                   " YOUR-USER-NAME), log out and in again, and start " + kN + " again." + kCrLf +
                   kCrLf + without;
        case Status::Unavailable:
            return kN + " cannot block ad servers: " + helper + " does not answer" +
                   because(access.error) + "." + kCrLf + kCrLf + "To fix this, install " + kN +
                   "'s package, which runs zorvik-helper as a "
                   "system service, or start zorvik-helper as root; then start " +
                   kN + " again." + kCrLf + kCrLf + without;
    }
    return {};
}

std::string AdServerAccess::toolTip(const platform::HostsAccess& access) {
    const std::string off = "Ad-server blocking is off for this run: ";
    switch (access.status) {
        case Status::Granted:
            break;
        case Status::HeldByOther:
            return off + holderText(access) +
                   " blocks ad servers on this machine, and only one user's " + kN +
                   " at a time can. Your own choice is kept for the next start.";
        case Status::NotAuthorised:
            return off +
                   "zorvik-helper does not serve your user. Have your user added to the "
                   "group '" +
                   kHelperGroup + "', log out and in again, and start " + kN + " again.";
        case Status::Unavailable:
            return off + "zorvik-helper does not answer. Install " + kN +
                   "'s package or start zorvik-helper as root, then start " + kN + " again.";
    }
    return {};
}

}  // namespace halvern::adservers

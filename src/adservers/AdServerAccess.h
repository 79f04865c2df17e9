#pragma once

#include <functional>
#include <string>

#include "core/Context.h"
#include "core/Settings.h"
#include "platform/HostsAccess.h"

namespace halvern::adservers {

/// A run without ad-server blocking, when the hosts file and port 80 are out of its reach:
/// another user's copy holds zorvik-helper, the helper refuses this user, or no helper runs.
/// The switch chkAdServers is then off and disabled, with the reason in its tool tip; the
/// user's stored choice is kept for the next run that can block; and a box says why and how to
/// fix it. Nothing of the hosts file or port 80 is touched. A run that has access changes
/// nothing here.
class AdServerAccess {
public:
    /// Keeps the stored switch through the settings while blocking is out of reach.
    AdServerAccess(core::Context& context, core::Settings& settings);
    AdServerAccess(const AdServerAccess&) = delete;
    AdServerAccess& operator=(const AdServerAccess&) = delete;

    /// Asks the platform, once this copy knows it is the only one running for its user, whether
    /// the run may change the hosts file and serve port 80.
    void claim();
    /// True when this run may change the hosts file and serve port 80 (and before claim()).
    bool available() const { return m_access.granted(); }
    /// Right after the settings load: without access, turns the switch off for this run (and
    /// the web server's developer button with it) and keeps the stored choice.
    void applyAfterLoad();
    /// At the start-up step that would take over the hosts file: the box saying why ad servers
    /// are not blocked. Nothing with access.
    void tellWhyUnavailable();

    /// The box's text.
    static std::string boxText(const platform::HostsAccess& access, const std::string& hostsFile);
    /// The switch's tool tip.
    static std::string toolTip(const platform::HostsAccess& access);

private:
    platform::HostsAccess m_access;
    const std::function<platform::HostsAccess()>& m_claim;
    platform::Dialogs& m_dialogs;
    platform::Resolver& m_resolver;
    core::MainState& m_state;
    forms::MainForm& m_form;
    core::Settings& m_settings;
};

}  // namespace halvern::adservers

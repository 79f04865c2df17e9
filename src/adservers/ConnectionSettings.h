#pragma once

#include <functional>
#include <string>

#include "adservers/UpdateFetch.h"
#include "core/Context.h"

namespace halvern::adservers {

/// The settings window's connection controls: the proxy field with its Lookup button and its
/// restart notice, and the test of the connection to the update server. Wires mnuTest,
/// cmdTestConn, cmdGuessProxy2 and txtProxyName.
class ConnectionSettings {
public:
    /// The browser's proxy as the user configured it ("" when none), read by Lookup.
    using BrowserProxy = std::function<std::string()>;

    ConnectionSettings(core::Context& context, UpdateFetch& fetch, BrowserProxy browserProxy);
    ConnectionSettings(const ConnectionSettings&) = delete;
    ConnectionSettings& operator=(const ConnectionSettings&) = delete;

    /// Hands the stored ProxyName and ProxyPort to the transfers; a changed field takes effect at
    /// the next start, as its notice says.
    void applyProxy();

    /// "&Test Connection to ad definition server": downloads the ad-server list once and says
    /// whether that worked. Nothing while the settings load.
    void mnuTest_Click();
    /// "Lookup": fills the proxy field from the browser's settings, or hides itself when there
    /// are none.
    void cmdGuessProxy2_Click();
    /// The proxy field changed: the restart notice.
    void txtProxyName_Change();

    /// The boxes' texts.
    static std::string successText();
    static std::string failureText(const std::string& errorText);

private:
    platform::Http& m_http;
    platform::Dialogs& m_dialogs;
    core::MainState& m_state;
    forms::MainForm& m_form;
    UpdateFetch& m_fetch;
    BrowserProxy m_browserProxy;
};

}  // namespace halvern::adservers
